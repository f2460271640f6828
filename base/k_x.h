#pragma once

#include <cstdint>
#include <exception>

// The library's exceptions. Every failure carries a numbered code whose text
// lives under \Strings\Errors\; boundaries that must not fail catch KX.
class KX : public std::exception {
 public:
  explicit KX(int32_t code) : code_(code) {}
  int32_t Code() const { return code_; }
  const char* what() const noexcept override;

 private:
  int32_t code_;
};

// A failed transfer: the code and how many bytes moved before it failed.
class KXStream : public KX {
 public:
  explicit KXStream(int32_t code, int32_t count = 0) : KX(code), count_(count) {}
  int32_t Count() const { return count_; }

 private:
  int32_t count_;
};

// A stored record with a tag or version the reader does not accept.
class KXPersistent : public KX {
 public:
  explicit KXPersistent(int32_t code) : KX(code) {}
};

// Codes of the memory and file families.
namespace KErrors {
inline constexpr int32_t kMemory = 2000;
inline constexpr int32_t kMemoryAllocate = 2001;
inline constexpr int32_t kFile = 3000;
inline constexpr int32_t kFileAlreadyOpen = 3001;
inline constexpr int32_t kFileOpen = 3002;
inline constexpr int32_t kFileAccess = 3003;
inline constexpr int32_t kFileRead = 3004;
inline constexpr int32_t kFileWrite = 3005;
inline constexpr int32_t kDiskFull = 3006;
inline constexpr int32_t kFileClose = 3007;
inline constexpr int32_t kFileDelete = 3008;
inline constexpr int32_t kFileVersion = 3009;
inline constexpr int32_t kFileContents = 3010;
}  // namespace KErrors
