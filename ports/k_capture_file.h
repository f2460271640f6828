#pragma once

#include <cstdint>
#include <vector>

#include "base/k_stream.h"

// A recorded feed: the bytes a port received, each chunk with its arrival
// time. The format (docs/capture-format.md) is small, versioned and read
// back to the last whole chunk when the file was cut short.
namespace KCapture {

inline constexpr uint8_t kMagic[8] = {'T', 'V', 'C', 'A', 'P', '\r', '\n', 0x1A};
inline constexpr int32_t kVersion = 0x10000;  // 1.0
// No chunk is larger; a capture claiming more is damaged.
inline constexpr int32_t kMaxChunkBytes = 1 << 20;

struct Chunk {
  int64_t atUs = 0;  // since the start of the capture
  std::vector<uint8_t> bytes;
};

class Writer {
 public:
  // Writes the file header at once.
  explicit Writer(KStream& out);
  // Times never go backwards; an earlier time is taken as the previous one.
  void Add(int64_t atUs, const uint8_t* bytes, int count);

 private:
  KStream& out_;
  int64_t lastUs_ = 0;
};

class Reader {
 public:
  // Reads the header; KXPersistent 3009 when the stream is no capture of a
  // version this reader knows.
  explicit Reader(KStream& in);
  // The next chunk; false at the end. A chunk cut off by the end of the data
  // ends the capture and sets Truncated().
  bool Next(Chunk& chunk);
  bool Truncated() const { return truncated_; }

  // Whether `bytes` start like a capture, so a plain byte file can be told apart.
  static bool LooksLikeCapture(const uint8_t* bytes, size_t count);

 private:
  void ReadHeader();

  KStream& in_;
  int64_t atUs_ = 0;
  bool truncated_ = false;
  bool ended_ = false;
};

}  // namespace KCapture
