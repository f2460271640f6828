#include "sources/k_string_processor.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "sources/t_field_string_processor.h"

namespace {

std::u16string Exec(KStringProcessor& processor, std::u16string_view program,
                    int maxLength = KString::kMaxLength) {
  return processor.Run(program, maxLength).ToU16();
}

TEST(KStringProcessor, HexEscapesTakeLowercaseDigitsOnly) {
  KStringProcessor p;
  EXPECT_EQ(Exec(p, u"\\0d\\0a\\02\\2c\\5c"), std::u16string(u"\r\n\x02,\\"));
  EXPECT_EQ(Exec(p, u"\\ff"), std::u16string(1, char16_t{0xFF}));
  // Uppercase letters name commands: '0' has no operand and is dropped.
  EXPECT_EQ(Exec(p, u"\\0D"), u"D");
  EXPECT_EQ(Exec(p, u"\\0A"), u"A");
  // A backslash at the very end, and a command cut off, are dropped.
  EXPECT_EQ(Exec(p, u"ab\\"), u"ab");
  EXPECT_EQ(Exec(p, u"ab\\L"), u"ab");
  // The modifier is taken, then the missing operand skips the command.
  EXPECT_EQ(Exec(p, u"ab\\Lzq"), u"abq");
  // An operand may itself be a hex escape.
  EXPECT_EQ(Exec(p, u"abcdefghijklm\\L\\0a|"), u"abc|defghijklm");
}

TEST(KStringProcessor, CursorMovesAndDeletes) {
  KStringProcessor p;
  EXPECT_EQ(Exec(p, u"12345\\L3."), u"12.345");
  EXPECT_EQ(Exec(p, u"12345\\L9<"), u"<12345");  // clamped to C
  EXPECT_EQ(Exec(p, u"12345\\L0<"), u"<12345");  // 0 means all of C
  EXPECT_EQ(Exec(p, u"12345\\L0\\R2|"), u"12|345");
  EXPECT_EQ(Exec(p, u"12345\\L0\\R0|"), u"12345|");
  EXPECT_EQ(Exec(p, u"12345\\B2"), u"123");
  EXPECT_EQ(Exec(p, u"12345\\B0"), u"");
  EXPECT_EQ(Exec(p, u"12345\\L0\\D2"), u"345");
  EXPECT_EQ(Exec(p, u"12345\\L3\\D0"), u"12");
  // With X, B and D cut the whole string down to X characters.
  EXPECT_EQ(Exec(p, u"12345\\X2\\B0"), u"12");
  EXPECT_EQ(Exec(p, u"12345\\L0\\X2\\D9"), u"45");
  EXPECT_EQ(Exec(p, u"12\\X5\\B0"), u"12");  // k negative: nothing
}

TEST(KStringProcessor, InsertPadsAndFills) {
  KStringProcessor p;
  EXPECT_EQ(Exec(p, u"ab\\I3"), u"ab   ");
  EXPECT_EQ(Exec(p, u"ab\\L0\\I2|"), u"|  ab");  // the cursor stays before the fill
  EXPECT_EQ(Exec(p, u"7\\L0\\X3\\I0"), u"  7");
  EXPECT_EQ(Exec(p, u"7\\X3\\I0"), u"7  ");
  EXPECT_EQ(Exec(p, u"7777\\X3\\I0"), u"7777");  // already longer
  // "c": X is the fill character and the operand the count.
  EXPECT_EQ(Exec(p, u"7\\L0\\X\\30\\Ic2"), u"007");
  EXPECT_EQ(Exec(p, u"7\\L0\\Ic2"), u"  7");
}

TEST(KStringProcessor, PendingArgumentsLastForOneCommand) {
  KStringProcessor p;
  // X and U survive each other, and any other command clears both.
  EXPECT_EQ(Exec(p, u"\\X3\\U9\\I0"), u"   ");
  EXPECT_EQ(Exec(p, u"\\X3\\U9\\I0\\I0"), u"   ");  // cleared after the first I
  EXPECT_EQ(Exec(p, u"\\X3\\Q0\\I0"), u"");         // an unknown command clears X
  EXPECT_EQ(Exec(p, u"\\X3a\\I0"), u"a  ");         // a plain character does not
  // U selects the register that gives the count.
  p.SetRegister(4, 2);
  EXPECT_EQ(Exec(p, u"\\U4\\I7"), u"  ");
  EXPECT_EQ(Exec(p, u"abcd\\U4\\L0|"), u"ab|cd");
  EXPECT_EQ(Exec(p, u"abcd\\Ui4\\L0|"), u"|abcd");  // register 2 = 0: all of C
  p.SetRegister(2, 1);
  EXPECT_EQ(Exec(p, u"abcd\\Ui4\\L0|"), u"abc|d");  // register (register 4) = register 2
}

TEST(KStringProcessor, ScanInEveryUnitMode) {
  KStringProcessor p;
  Exec(p, u"AB\\L0\\X2\\U1\\S4");
  EXPECT_EQ(p.Register(4), 0x4241);
  Exec(p, u"AB\\L0\\X2\\U2\\S4");
  EXPECT_EQ(p.Register(4), 0x4142);
  Exec(p, u"ABCDEF\\L0\\X9\\U1\\S4");  // at most 4 bytes
  EXPECT_EQ(p.Register(4), 0x44434241);
  Exec(p, u"\\5c\\L0\\U1\\S4");  // X defaults to one character
  EXPECT_EQ(p.Register(4), 0x5C);
  EXPECT_EQ(Exec(p, u"\\ff\\L0\\U2\\S5"), std::u16string(1, char16_t{0xFF}));  // the text stays
  EXPECT_EQ(p.Register(5), 0xFF);
  // Other units: decimal over at most min(X, 10) characters.
  Exec(p, u"12345\\L0\\X3\\S1");
  EXPECT_EQ(p.Register(1), 123);
  Exec(p, u" -42x\\L0\\X5\\U7\\S1");
  EXPECT_EQ(p.Register(1), -42);
  Exec(p, u"99999999999\\L0\\X\\ff\\S1");  // ten digits at most, wrapped at 32 bits
  EXPECT_EQ(p.Register(1), 1410065407);
  Exec(p, u"abc\\L0\\X3\\S1");  // no digit: unchanged
  EXPECT_EQ(p.Register(1), 1410065407);
  Exec(p, u"99\\S1");  // nothing after the cursor
  EXPECT_EQ(p.Register(1), 1410065407);
}

TEST(KStringProcessor, OutputInEveryUnitMode) {
  KStringProcessor p;
  p.SetRegister(0, 0x41424344);
  // Unset and unknown units: least significant first, each shifted value cut to 16 bits.
  const std::u16string lsb{char16_t{0x4344}, char16_t{0x4243}, char16_t{0x4142}, char16_t{0x41}};
  EXPECT_EQ(Exec(p, u"\\X4\\O0"), lsb);
  EXPECT_EQ(Exec(p, u"\\X4\\U9\\O0"), lsb);
  EXPECT_EQ(Exec(p, u"\\X4\\U1\\O0"), std::u16string(lsb.rbegin(), lsb.rend()));
  EXPECT_EQ(Exec(p, u"\\O0"), std::u16string(1, char16_t{0x4344}));  // X defaults to 1
  // Shifts go modulo 32: the fifth character repeats the first.
  EXPECT_EQ(Exec(p, u"\\X5\\O0").substr(4), std::u16string(1, char16_t{0x4344}));
  EXPECT_EQ(Exec(p, u"\\X\\ff\\O0").size(), 10u);
  p.SetRegister(1, 7);
  for (const char16_t* unit : {u"2", u"3", u"4", u"5"}) {
    EXPECT_EQ(Exec(p, std::u16string(u"\\X3\\U") + unit + u"\\O1"), u"007")
        << static_cast<int>(unit[0]);
  }
  p.SetRegister(1, -7);
  EXPECT_EQ(Exec(p, u"\\X3\\U2\\O1"), u"-00");  // the first k characters only
  p.SetRegister(1, 123456);
  EXPECT_EQ(Exec(p, u"\\X3\\U3\\O1"), u"123");
  EXPECT_EQ(Exec(p, u"ab\\L1\\X2\\U4\\O1|"), u"a12|b");  // inserted at the cursor
}

TEST(KStringProcessor, RegisterArithmetic) {
  KStringProcessor p;
  Exec(p, u"\\X\\64\\=0");  // 100
  EXPECT_EQ(p.Register(0), 100);
  Exec(p, u"\\+0");  // v defaults to 1
  EXPECT_EQ(p.Register(0), 101);
  Exec(p, u"\\X7\\-0\\X2\\*0");
  EXPECT_EQ(p.Register(0), 188);
  Exec(p, u"\\X5\\#0");
  EXPECT_EQ(p.Register(0), 3);
  p.SetRegister(3, 4);
  Exec(p, u"\\U3\\<0");  // v is register U
  EXPECT_EQ(p.Register(0), 48);
  Exec(p, u"\\X2\\>0\\X\\0f\\&0\\X\\30\\|0\\X1\\^0");
  EXPECT_EQ(p.Register(0), (((48 >> 2) & 15) | 0x30) ^ 1);
  Exec(p, u"\\~0");
  EXPECT_EQ(p.Register(0), ~((((48 >> 2) & 15) | 0x30) ^ 1));
  Exec(p, u"\\X0\\/0");
  EXPECT_EQ(p.Register(0), 0);
  // Register numbers beyond 9 share one scratch cell.
  Exec(p, u"\\X9\\=\\ff");
  EXPECT_EQ(p.Register(42), 9);
  EXPECT_EQ(p.Register(-1), 9);
  for (int i = 0; i < 10; ++i) EXPECT_NE(p.Register(i), 9) << i;
}

TEST(KStringProcessor, ArithmeticIsDefinedForEveryValue) {
  KStringProcessor p;
  p.SetRegister(1, -1);
  p.SetRegister(0, INT_MIN);
  Exec(p, u"\\U1\\/0");
  EXPECT_EQ(p.Register(0), INT_MIN);
  p.SetRegister(0, INT_MIN);
  Exec(p, u"\\U1\\#0");
  EXPECT_EQ(p.Register(0), 0);
  p.SetRegister(0, INT_MAX);
  Exec(p, u"\\+0");
  EXPECT_EQ(p.Register(0), INT_MIN);
  p.SetRegister(0, INT_MAX);
  Exec(p, u"\\X\\ff\\*0");
  EXPECT_EQ(p.Register(0), static_cast<int32_t>(static_cast<uint32_t>(INT_MAX) * 255u));
  p.SetRegister(2, 33);  // shift counts go modulo 32
  p.SetRegister(0, 1);
  Exec(p, u"\\U2\\<0");
  EXPECT_EQ(p.Register(0), 2);
  p.SetRegister(0, -8);
  Exec(p, u"\\U2\\>0");
  EXPECT_EQ(p.Register(0), -4);
  p.SetRegister(0, INT_MIN);
  p.SetRegister(2, 31);
  Exec(p, u"\\U2\\<0");
  Exec(p, u"\\X\\ff\\<0");
  EXPECT_EQ(p.Register(0), 0);
}

TEST(KStringProcessor, HugeCountsStayInsideTheLimit) {
  KStringProcessor p;
  p.SetRegister(0, INT_MAX);
  EXPECT_EQ(Exec(p, u"\\Xi0\\I0", 100).size(), 100u);
  EXPECT_EQ(Exec(p, u"\\U0\\I0", 50).size(), 50u);
  EXPECT_EQ(Exec(p, u"\\Xi0\\Ic\\ff", 20).size(), 20u);
  EXPECT_EQ(Exec(p, u"abc\\Xi0\\O1", 2), u"ab");
  EXPECT_EQ(Exec(p, u"abcdef", 4), u"abcd");
  p.SetRegister(0, INT_MIN);
  EXPECT_EQ(Exec(p, u"abc\\Xi0\\B0"), u"");
  EXPECT_EQ(Exec(p, u"abc\\Xi0\\I0"), u"abc");
  EXPECT_EQ(Exec(p, u"abc\\U0\\L0|"), u"abc|");  // a negative count moves nothing
  EXPECT_EQ(Exec(p, u"abc\\Xi0\\O0"), u"abc");
  EXPECT_EQ(Exec(p, u"abc\\L0\\Xi0\\S1"), u"abc");
}

TEST(KStringProcessor, HooksDoNothingInTheBase) {
  KStringProcessor p;
  EXPECT_EQ(Exec(p, u"  a  \\L0\\P0"), u"  a  ");
  EXPECT_EQ(Exec(p, u"abc\\L0\\F1"), u"abc");
}

TEST(TFieldStringProcessor, ProcedureZeroTrimsTheTextAfterTheCursor) {
  TFieldStringProcessor p;
  EXPECT_EQ(p.Run(u"  a b  \\L0\\P0").ToU16(), u"a b");
  EXPECT_EQ(p.Run(u"  a b  \\P0").ToU16(), u"  a b  ");  // nothing after the cursor
  EXPECT_EQ(p.Run(u"x  a  \\L5\\P0|").ToU16(), u"x|a");
  EXPECT_EQ(p.Run(u"  a  \\L0\\X3\\P0").ToU16(), u"a  ");  // X limits the count
  EXPECT_EQ(p.Run(u"  a  \\L0\\P1").ToU16(), u"  a  ");
  EXPECT_EQ(p.Run(u"     \\L0\\P0").ToU16(), u"");
}

TEST(TFieldStringProcessor, CounterCarriesAcrossEvaluations) {
  TFieldStringProcessor p;
  const KString counter(u"\\+0\\X3\\U2\\O0");
  KString first(u"anything");
  p.Process(counter, first);
  KString second(u"else");
  p.Process(counter, second);
  EXPECT_EQ(first.ToU16(), u"001");
  EXPECT_EQ(second.ToU16(), u"002");
}

}  // namespace

namespace {

TEST(KStringProcessor, ProgramInsideTheOutput) {
  KStringProcessor p;
  KString text(u"ab\\L1|");
  p.Run(text.View(), text);
  EXPECT_EQ(text.ToU16(), u"a|b");
}

}  // namespace
