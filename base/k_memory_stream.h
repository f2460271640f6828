#pragma once

#include <cstdint>
#include <vector>

#include "base/k_stream.h"

// A stream over bytes in memory: reads consume from the front, writes append.
// Used for captured feeds, tests and in-memory records.
class KMemoryStream : public KStream {
 public:
  KMemoryStream() = default;
  explicit KMemoryStream(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  KMemoryStream(const void* bytes, size_t count);

  bool IsOpen() const override { return true; }
  void Read(void* bytes, int count) override;
  void Write(const void* bytes, int count) override;

  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  size_t Position() const { return position_; }
  size_t Remaining() const { return bytes_.size() - position_; }
  void Rewind() { position_ = 0; }

 private:
  std::vector<uint8_t> bytes_;
  size_t position_ = 0;
};
