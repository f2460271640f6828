// Reading what is waiting in blocks must decode exactly as reading one
// character at a time does, whatever the encoding, line ends and the way
// the bytes arrive; and "nothing waiting" is a count of 0, not an error.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/k_stream.h"
#include "base/k_x.h"

namespace {

// A port that has only part of the data yet. With `blocks` it hands out
// what is there through ReadAvailable, as the port kinds do; without, the
// stream's fallback over Read is used.
class ArrivingStream : public KStream {
 public:
  explicit ArrivingStream(bool blocks) : blocks_(blocks) {}
  bool IsOpen() const override { return true; }
  void Read(void* bytes, int count) override {
    if (data.size() - position < static_cast<size_t>(count)) throw KXStream(8002);
    std::memcpy(bytes, data.data() + position, static_cast<size_t>(count));
    position += static_cast<size_t>(count);
  }
  int ReadAvailable(void* bytes, int max) override {
    if (failing) throw KXStream(8001);
    if (!blocks_) return KStream::ReadAvailable(bytes, max);
    const int take = std::min(max, static_cast<int>(data.size() - position));
    std::memcpy(bytes, data.data() + position, static_cast<size_t>(take));
    position += static_cast<size_t>(take);
    ++calls;
    return take;
  }
  std::string data;
  size_t position = 0;
  bool failing = false;
  int calls = 0;

 private:
  bool blocks_;
};

std::string RandomBytes(std::mt19937& random, size_t count) {
  // Heavy in the bytes the decoders treat specially.
  static const unsigned char kSpecial[] = {0xFF, 0xFE, 0x0D, 0x0A, 0xC3, 0xE2, 0xF0,
                                           0x80, 0xBF, 0xA9, 0x00, 0xED, 0xF4, 0x41};
  std::string bytes;
  for (size_t i = 0; i < count; ++i) {
    const unsigned pick = random() % 3;
    bytes += static_cast<char>(pick == 0 ? random() % 256 : kSpecial[random() % sizeof kSpecial]);
  }
  return bytes;
}

void Configure(KStream& stream, int encoding, int lineMode) {
  stream.SetReadEncoding(encoding);
  stream.SetReadLineMode(lineMode);
}

TEST(KStreamAvailable, BlockReadsDecodeAsCharacterReadsDo) {
  std::mt19937 random(20261209);
  const int encodings[] = {KStream::kEncoding8Bit, KStream::kEncoding16Bit,
                           KStream::kEncodingMultiByte, KStream::kEncodingAuto};
  const int lineModes[] = {KStream::kLineNone, KStream::kLineAuto, KStream::kLineCRLF,
                           KStream::kLineLF};
  for (int round = 0; round < 400; ++round) {
    const int encoding = encodings[round % 4];
    const int lineMode = lineModes[(round / 4) % 4];
    const bool blocks = (round / 16) % 2 == 0;
    const std::string all = RandomBytes(random, 1 + random() % 300);
    ArrivingStream one(true);
    ArrivingStream many(blocks);
    Configure(one, encoding, lineMode);
    Configure(many, encoding, lineMode);
    std::u16string byChar;
    std::u16string byBlock;
    for (size_t at = 0; at < all.size();) {
      const size_t piece = std::min(all.size() - at, size_t{1} + random() % 9);
      one.data.append(all, at, piece);
      many.data.append(all, at, piece);
      at += piece;
      try {
        for (;;) byChar += one.ReadChar();
      } catch (const KX&) {
      }
      char16_t out[8];
      for (;;) {
        const int got = many.ReadAvailableChars(out, 1 + static_cast<int>(random() % 7));
        if (got == 0) break;
        byBlock.append(out, static_cast<size_t>(got));
      }
    }
    ASSERT_EQ(byBlock, byChar) << "round " << round << " encoding " << encoding << " lines "
                               << lineMode;
  }
}

TEST(KStreamAvailable, NothingWaitingIsZeroAndAFailureIsAnError) {
  ArrivingStream stream(true);
  Configure(stream, KStream::kEncoding8Bit, KStream::kLineNone);
  char16_t out[4];
  EXPECT_EQ(stream.ReadAvailableChars(out, 4), 0);
  stream.data = "abcdef";
  EXPECT_EQ(stream.ReadAvailableChars(out, 4), 4);
  // The rest is held in the stream: no new read from the port is needed.
  EXPECT_TRUE(stream.HasBuffered());
  const int callsBefore = stream.calls;
  EXPECT_EQ(stream.ReadAvailableChars(out, 4), 2);
  EXPECT_EQ(std::u16string(out, 2), u"ef");
  EXPECT_FALSE(stream.HasBuffered());
  EXPECT_EQ(stream.calls, callsBefore + 1);  // the held bytes, then one empty look
  stream.failing = true;
  EXPECT_THROW(stream.ReadAvailableChars(out, 4), KXStream);
}

TEST(KStreamAvailable, HalfACharacterIsNotBufferedWork) {
  ArrivingStream stream(true);
  Configure(stream, KStream::kEncoding16Bit, KStream::kLineNone);
  stream.data = std::string("A\0B", 3);
  char16_t out[4];
  EXPECT_EQ(stream.ReadAvailableChars(out, 4), 1);
  // The lone byte waits for its partner: the loop need not wake for it.
  EXPECT_FALSE(stream.HasBuffered());
  stream.data.append(std::string("\0", 1));
  EXPECT_EQ(stream.ReadAvailableChars(out, 4), 1);
  EXPECT_EQ(out[0], u'B');
}

}  // namespace
