#include "sources/t_field_string_processor.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string Format(std::u16string_view process, std::u16string_view value,
                      int maxLength = KString::kMaxLength) {
  KString out;
  TFieldStringProcessor::Format(process, value, out, maxLength);
  return out.ToU16();
}

std::u16string Process(TFieldStringProcessor& p, std::u16string_view process,
                       std::u16string_view value) {
  KString text(value);
  p.Process(KString(process), text);
  return text.ToU16();
}

TEST(ProcessFormatting, PiecesOfTheValue) {
  EXPECT_EQ(Format(u"%.2s:%.2s", u"1234"), u"12:34");
  EXPECT_EQ(Format(u"%5s", u"ab"), u"   ab");
  EXPECT_EQ(Format(u"%5.3s", u"ab"), u" ab");
  EXPECT_EQ(Format(u"%2s", u"abcdef"), u"abcdef");  // a width alone does not limit
  EXPECT_EQ(Format(u"%-4s|", u"ab"), u"ab  |");
  EXPECT_EQ(Format(u"%%%s", u"5"), u"%5");
  EXPECT_EQ(Format(u"%.1s", u"abc"), u"a");  // characters not taken are dropped
  EXPECT_EQ(Format(u"[%s][%s]", u"abc"), u"[abc][]");
  EXPECT_EQ(Format(u"[%3s]", u""), u"[   ]");
  EXPECT_EQ(Format(u"%.0s|%s", u"abc"), u"|abc");
}

TEST(ProcessFormatting, OtherConversionsAreDropped) {
  EXPECT_EQ(Format(u"%d%s", u"x"), u"x");
  EXPECT_EQ(Format(u"a%5.2xb", u"x"), u"ab");
  EXPECT_EQ(Format(u"%s%", u"x"), u"x");
  EXPECT_EQ(Format(u"%s%-", u"x"), u"x");
}

TEST(ProcessFormatting, WidthsFromTheWireAreCapped) {
  EXPECT_EQ(Format(u"%99999999999999999999s", u"ab", 10).size(), 10u);
  EXPECT_EQ(Format(u"%-99999999s", u"ab", 5), u"ab   ");
  EXPECT_EQ(Format(u"xyz%s", u"abc", 4), u"xyza");
}

TEST(ProcessFormatting, ThenRunAsAProgram) {
  TFieldStringProcessor p;
  EXPECT_EQ(Process(p, u"%s\\L3.", u"12345"), u"12.345");
  EXPECT_EQ(Process(p, u"%s\\L0\\X3\\I0", u"7"), u"  7");
  EXPECT_EQ(Process(p, u"%s\\X3\\I0", u"7"), u"7  ");
  EXPECT_EQ(Process(p, u"%s\\L0\\P0", u"  Smith  "), u"Smith");
  // Without moving to the start, P sees nothing after the cursor.
  EXPECT_EQ(Process(p, u"%s\\P0", u"  Smith  "), u"  Smith  ");
  EXPECT_EQ(Process(p, u"%.2s:%.2s", u"1234"), u"12:34");
}

TEST(ProcessFormatting, EscapeRunsTheProgramInPlace) {
  TFieldStringProcessor p;
  KString text(u"\\02ab\\2c");
  p.Escape(text);
  EXPECT_EQ(text.ToU16(),
            u"\x02"
            u"ab,");
  KString capped(u"\\X\\ff\\I0");
  p.Escape(capped, 16);
  EXPECT_EQ(capped.Length(), 16);
}

}  // namespace
