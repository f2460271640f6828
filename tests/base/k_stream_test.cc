#include "base/k_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/k_memory_stream.h"
#include "base/k_x.h"

namespace {

KMemoryStream StreamOf(std::string_view bytes) {
  return KMemoryStream(bytes.data(), bytes.size());
}

// Every character until the data ends.
std::u16string ReadAll(KStream& stream) {
  std::u16string out;
  try {
    for (;;) out += stream.ReadChar();
  } catch (const KXStream& error) {
    EXPECT_EQ(error.Code(), KErrors::kFileRead);
  }
  return out;
}

std::string Written(const KMemoryStream& stream) {
  return std::string(stream.Bytes().begin(), stream.Bytes().end());
}

}  // namespace

TEST(KStreamEncoding, ByteOrderMarksChooseTheReadEncoding) {
  auto little =
      StreamOf(std::string("\xFF\xFE"
                           "a\0b\0",
                           6));
  EXPECT_EQ(ReadAll(little), u"ab");
  EXPECT_EQ(little.ReadEncoding(), KStream::kEncoding16Bit);
  EXPECT_FALSE(little.SwapBytes());

  auto big = StreamOf(std::string("\xFE\xFF\0a\0b", 6));
  EXPECT_EQ(ReadAll(big), u"ab");
  EXPECT_TRUE(big.SwapBytes());

  auto plain = StreamOf("\xE9t\xE9");
  EXPECT_EQ(ReadAll(plain), u"\u00E9t\u00E9");
  EXPECT_EQ(plain.ReadEncoding(), KStream::kEncoding8Bit);

  // FF followed by anything but FE is two 8-bit characters.
  auto pair = StreamOf(
      "\xFF"
      "A");
  EXPECT_EQ(ReadAll(pair), u"\u00FFA");
  auto lone = StreamOf("\xFE");
  EXPECT_EQ(ReadAll(lone), u"\u00FE");
}

TEST(KStreamEncoding, SixteenBitMarksInsideTheTextAreSkippedOrFlipTheOrder) {
  auto stream =
      StreamOf(std::string("a\0\xFF\xFE"
                           "b\0\xFE\xFF\0c\xFE\xFF\0d",
                           14));
  stream.SetReadEncoding(KStream::kEncoding16Bit);
  // FEFF is skipped; the unit FFFE (read as the bytes FE FF) turns the order round.
  EXPECT_EQ(ReadAll(stream), u"abcd");
  EXPECT_TRUE(stream.SwapBytes());
}

TEST(KStreamEncoding, Utf8SequencesDecodeWholeAndNeverPastTheData) {
  auto stream = StreamOf(
      "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8F\x81"
      "A");
  stream.SetReadEncoding(KStream::kEncodingMultiByte);
  EXPECT_EQ(ReadAll(stream), u"\u00E9\u20AC\U0001F3C1A");

  // A byte that breaks a sequence starts the next character.
  auto broken = StreamOf(
      "\xE2\x82"
      "A\x80"
      "B");
  broken.SetReadEncoding(KStream::kEncodingMultiByte);
  EXPECT_EQ(ReadAll(broken), u"\uFFFDA\uFFFDB");

  // A sequence cut off by the end of the data waits for the rest.
  KMemoryStream live;
  live.SetReadEncoding(KStream::kEncodingMultiByte);
  live.Write("x\xE2\x82", 3);
  EXPECT_EQ(ReadAll(live), u"x");
  live.Write("\xAC", 1);
  EXPECT_EQ(ReadAll(live), u"\u20AC");
}

TEST(KStreamEncoding, Utf8WritesPairSurrogates) {
  KMemoryStream out;
  out.SetWriteEncoding(KStream::kEncodingMultiByte);
  out.WriteText(KString(u"\u00E9\U0001F3C1"));
  out.WriteChar(0xD800);  // a lone half cannot be written as itself
  out.WriteChar('z');
  EXPECT_EQ(Written(out), "\xC3\xA9\xF0\x9F\x8F\x81\xEF\xBF\xBDz");
}

TEST(KStreamLineEnds, AutomaticModeIsFixedByTheFirstLineEnd) {
  auto stream = StreamOf("a\r\nb\rc\n");
  EXPECT_EQ(stream.ReadChar(), u'a');
  EXPECT_EQ(stream.ReadChar(), 10);
  EXPECT_EQ(stream.ReadChar(), u'b');
  EXPECT_EQ(stream.ReadLineMode(), KStream::kLineCRLF);
  EXPECT_EQ(stream.ReadChar(), 10);  // a lone CR is still a line end
  EXPECT_EQ(stream.ReadChar(), u'c');
  EXPECT_EQ(stream.ReadChar(), 10);  // an LF in CR LF mode passes as itself
}

TEST(KStreamLineEnds, EveryConventionReachesTheCallerAsOneLineFeed) {
  for (const char* text : {"x\ny\n", "x\ry\r", "x\r\ny\r\n", "x\n\ry\n\r"}) {
    auto stream = StreamOf(text);
    EXPECT_EQ(ReadAll(stream), u"x\ny\n") << text;
  }
  auto lfcr = StreamOf("1\n\r2");
  ReadAll(lfcr);
  EXPECT_EQ(lfcr.ReadLineMode(), KStream::kLineLFCR);

  auto none = StreamOf("a\r\nb");
  none.SetReadLineMode(KStream::kLineNone);
  EXPECT_EQ(ReadAll(none), u"a\r\nb");
  // A NUL is not a line end just because mode none has no line-end character.
  auto nul = StreamOf(std::string("a\0b", 3));
  nul.SetReadLineMode(KStream::kLineNone);
  EXPECT_EQ(ReadAll(nul), std::u16string(u"a\0b", 3));
}

TEST(KStreamLineEnds, WritingFollowsTheWriteModeOrWhatWasRead) {
  KMemoryStream fresh;
  fresh.SetWriteEncoding(KStream::kEncoding8Bit);
  EXPECT_EQ(fresh.WriteChar(10), 2);
  EXPECT_EQ(Written(fresh), "\r\n");

  auto readLf = StreamOf("a\nb");
  ReadAll(readLf);
  KMemoryStream out;
  readLf.CloneSettings(out);
  out.SetWriteEncoding(KStream::kEncoding8Bit);
  EXPECT_EQ(out.WriteChar(10), 1);
  EXPECT_EQ(Written(out), "\n");

  auto readCrLf = StreamOf("a\r\nb");
  ReadAll(readCrLf);
  KMemoryStream crlf;
  readCrLf.CloneSettings(crlf);
  crlf.SetWriteEncoding(KStream::kEncoding8Bit);
  crlf.WriteChar(10);
  EXPECT_EQ(Written(crlf), "\r\n");

  KMemoryStream lfcr;
  lfcr.SetWriteEncoding(KStream::kEncoding8Bit);
  lfcr.SetWriteLineMode(KStream::kLineLFCR);
  EXPECT_EQ(lfcr.WriteText(KString("a\nb")), 4);
  EXPECT_EQ(Written(lfcr), "a\n\rb");
}

TEST(KStreamEncoding, AutomaticWriteEncodingFollowsTheReadEncoding) {
  KMemoryStream fresh;  // never read: 16-bit with a mark
  fresh.WriteByteOrderMark();
  fresh.WriteChar('A');
  EXPECT_EQ(Written(fresh), std::string("\xFF\xFE"
                                        "A\0",
                                        4));

  auto narrow = StreamOf("x");
  ReadAll(narrow);
  KMemoryStream out;
  narrow.CloneSettings(out);
  out.WriteByteOrderMark();  // no mark for 8-bit text
  out.WriteChar('A');
  EXPECT_EQ(Written(out), "A");

  KMemoryStream big;
  big.SetSwapBytes(true);
  big.WriteByteOrderMark();
  EXPECT_EQ(Written(big), "\xFE\xFF");
}

TEST(KStreamText, ReadUntilSkipsEmptyLinesAndIgnoredCharacters) {
  auto stream = StreamOf("\n\none\t two\n\nthree");
  KString line;
  const KString stops(u"\n");
  EXPECT_EQ(stream.ReadUntil(line, stops, KString(u"\t"), stops), 10);
  EXPECT_EQ(line.ToUtf8(), "one two");
  line.Clear();
  EXPECT_EQ(stream.ReadUntil(line, stops, KString(), stops), -1);
  EXPECT_EQ(line.ToUtf8(), "three");  // the data ended before a stop

  auto empty = StreamOf("\n\n");
  KString nothing("kept");
  EXPECT_EQ(empty.ReadUntil(nothing, stops, KString(), stops), -1);
  EXPECT_EQ(nothing.ToUtf8(), "kept");
}

TEST(KStreamText, HasMorePeeksAndSkipCounts) {
  auto stream = StreamOf("abc");
  EXPECT_TRUE(stream.HasMore());
  EXPECT_TRUE(stream.HasMore());
  EXPECT_EQ(stream.ReadChar(), u'a');
  EXPECT_EQ(stream.Skip(1), 1);
  EXPECT_EQ(stream.Skip(-1), 1);
  EXPECT_FALSE(stream.HasMore());
  EXPECT_THROW(stream.ReadChar(), KXStream);
}

TEST(KStreamData, NumbersAreLittleEndianUnlessSwapped) {
  KMemoryStream out;
  out.WriteInt32(0x01020304);
  out.WriteInt16(-2);
  out.WriteByte(0xAB);
  out.SetSwapBytes(true);
  out.WriteInt32(0x01020304);
  out.WriteUInt16(0xBEEF);
  EXPECT_EQ(Written(out), std::string("\x04\x03\x02\x01\xFE\xFF\xAB\x01\x02\x03\x04\xBE\xEF", 13));

  KMemoryStream in(out.Bytes());
  EXPECT_EQ(in.ReadInt32(), 0x01020304);
  EXPECT_EQ(in.ReadInt16(), -2);
  EXPECT_EQ(in.ReadByte(), 0xAB);
  in.SetSwapBytes(true);
  EXPECT_EQ(in.ReadInt32(), 0x01020304);
  EXPECT_EQ(in.ReadUInt16(), 0xBEEF);
  try {
    in.ReadInt32();
    FAIL();
  } catch (const KXStream& error) {
    EXPECT_EQ(error.Code(), KErrors::kFileRead);
    EXPECT_EQ(error.Count(), 0);
  }
}

TEST(KStreamBase, ThePlainStreamCannotTransfer) {
  KStream plain;
  uint8_t byte = 0;
  EXPECT_FALSE(plain.IsOpen());
  EXPECT_TRUE(plain.Accepts(0));
  EXPECT_FALSE(plain.Accepts(1));
  EXPECT_THROW(plain.Read(&byte, 1), KXStream);
  EXPECT_THROW(plain.Write(&byte, 1), KXStream);
  plain.PurgeInput();  // ends on the first failure
  plain.WaitDrained();
  EXPECT_FALSE(plain.SetSpec(KString("1,9600")));
}

TEST(KStreamBase, ObserversSeeEveryCompleteTransfer) {
  KMemoryStream stream;
  std::string seen;
  stream.SetWriteObserver([&](const uint8_t* bytes, int count) {
    seen.append(reinterpret_cast<const char*>(bytes), static_cast<size_t>(count));
  });
  stream.WriteInt16(0x4241);
  EXPECT_EQ(seen, "AB");
  int reads = 0;
  stream.SetReadObserver([&](const uint8_t*, int) { ++reads; });
  stream.ReadByte();
  EXPECT_THROW(stream.ReadInt32(), KXStream);
  EXPECT_EQ(reads, 1);  // a short read is not reported
}
