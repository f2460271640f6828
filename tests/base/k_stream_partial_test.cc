#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/k_stream.h"
#include "base/k_x.h"

namespace {

// A port that has only part of the data yet: a read beyond it throws
// without taking anything, as a non-blocking port does.
class ArrivingStream : public KStream {
 public:
  bool IsOpen() const override { return true; }
  void Read(void* bytes, int count) override {
    if (data.size() - position < static_cast<size_t>(count)) throw KXStream(8002);
    std::memcpy(bytes, data.data() + position, static_cast<size_t>(count));
    position += static_cast<size_t>(count);
  }
  std::string data;
  size_t position = 0;
};

TEST(KStreamPartial, HalfASixteenBitCharacterWaitsForItsSecondByte) {
  ArrivingStream stream;
  stream.SetReadEncoding(KStream::kEncoding16Bit);
  stream.SetReadLineMode(KStream::kLineNone);
  stream.data = std::string("A\0B", 3);
  EXPECT_EQ(stream.ReadChar(), u'A');
  EXPECT_THROW(stream.ReadChar(), KX);
  stream.data.append(std::string("\0C\0", 3));
  EXPECT_EQ(stream.ReadChar(), u'B');
  EXPECT_EQ(stream.ReadChar(), u'C');
}

}  // namespace
