#include <gtest/gtest.h>

#include <clocale>

#include "config/k_r_bool.h"
#include "config/k_r_float.h"
#include "config/k_r_int.h"
#include "config/k_r_rat.h"
#include "config/k_r_string.h"
#include "config/k_r_text.h"
#include "config/k_registry.h"
#include "settings_test_util.h"

namespace {

// The line a value writes after being created from `line` on an empty root.
std::string RoundTrip(const char16_t* line) {
  KRegistry root;
  KRNode* node = root.Apply(line);
  if (!node) return "(none)";
  std::string text = Written(*node);
  return text.substr(23, text.size() - 24);  // no header, no line end
}

int32_t IntOf(const char16_t* text) {
  KRegistry root;
  KString line(u"X:Int=");
  line.Append(std::u16string_view(text));
  KRNode* node = root.Apply(line);
  return node ? static_cast<KRInt*>(node)->Value() : -999999;
}

}  // namespace

TEST(KRValueTexts, IntegersReadLikeCLiteralsAndWrap) {
  EXPECT_EQ(IntOf(u"0x1F"), 31);
  EXPECT_EQ(IntOf(u"0X1f"), 31);
  EXPECT_EQ(IntOf(u"017"), 15);
  EXPECT_EQ(IntOf(u"-5"), -5);
  EXPECT_EQ(IntOf(u"+5"), 5);
  EXPECT_EQ(IntOf(u"12abc"), 12);
  EXPECT_EQ(IntOf(u"0"), 0);
  EXPECT_EQ(IntOf(u"09"), 0);          // octal stops at 9
  EXPECT_EQ(IntOf(u"0x"), 0);          // a lone "0" followed by text
  EXPECT_EQ(IntOf(u"4294967297"), 1);  // wraps at 32 bits
  EXPECT_EQ(IntOf(u"2147483648"), -2147483647 - 1);
  EXPECT_EQ(IntOf(u" 5"), -999999);  // no blank before the digits
  EXPECT_EQ(RoundTrip(u"X:Int=0x10"), "X:Int,1,,=16");
  EXPECT_EQ(RoundTrip(u"X:Int,1,-2147483648,2147483647=1"), "X:Int,1,,=1");
  EXPECT_EQ(RoundTrip(u"X:Int,-1,0,100=50"), "X:Int,-1,0,100=50");
}

TEST(KRValueTexts, BooleansAreAnyNonZeroNumber) {
  EXPECT_EQ(RoundTrip(u"B:Bool=7"), "B:Bool,1=1");
  EXPECT_EQ(RoundTrip(u"B:Bool=0x0"), "B:Bool,1=0");
  EXPECT_EQ(RoundTrip(u"B:Bool=-1"), "B:Bool,1=1");
  EXPECT_EQ(RoundTrip(u"B:Bool=yes"), "(none)");
}

TEST(KRValueTexts, FloatsHaveSixDecimalsAndNoExponent) {
  EXPECT_EQ(RoundTrip(u"X:Float=2.5e3"), "X:Float,1,,=2.500000");
  EXPECT_EQ(RoundTrip(u"X:Float=.5"), "X:Float,1,,=0.500000");
  EXPECT_EQ(RoundTrip(u"X:Float=5."), "X:Float,1,,=5.000000");
  EXPECT_EQ(RoundTrip(u"X:Float=-0.0000004"), "X:Float,1,,=-0.000000");
  EXPECT_EQ(RoundTrip(u"X:Float=+12"), "X:Float,1,,=12.000000");
  EXPECT_EQ(RoundTrip(u"X:Float=1,5"), "X:Float,1,,=1.000000");
  EXPECT_EQ(RoundTrip(u"X:Float=-"), "(none)");
  EXPECT_EQ(RoundTrip(u"X:Float=e3"), "(none)");
  // Hundreds of digits neither overflow the reader nor the writer.
  const std::u16string huge = u"X:Float=" + std::u16string(400, u'9');
  EXPECT_NE(RoundTrip(huge.c_str()), "(none)");
  const std::u16string tiny = u"X:Float=0." + std::u16string(400, u'0') + u"1";
  EXPECT_EQ(RoundTrip(tiny.c_str()), "X:Float,1,,=0.000000");
}

TEST(KRValueTexts, FloatsIgnoreTheLocale) {
  const char* saved = std::setlocale(LC_NUMERIC, nullptr);
  const std::string restore = saved ? saved : "C";
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
    GTEST_SKIP() << "no locale with a decimal comma installed";
  }
  EXPECT_EQ(RoundTrip(u"X:Float=2.25"), "X:Float,1,,=2.250000");
  std::setlocale(LC_NUMERIC, restore.c_str());
}

TEST(KRValueTexts, RationalsAreReducedAndWrittenAsMixedNumbers) {
  EXPECT_EQ(RoundTrip(u"R:Rat=1.25"), "R:Rat,1=1 1/4");
  EXPECT_EQ(RoundTrip(u"R:Rat=3/2"), "R:Rat,1=1 1/2");
  EXPECT_EQ(RoundTrip(u"R:Rat=-3/4"), "R:Rat,1=-3/4");
  EXPECT_EQ(RoundTrip(u"R:Rat=4/2"), "R:Rat,1=2");
  EXPECT_EQ(RoundTrip(u"R:Rat=0/5"), "R:Rat,1=0");
  EXPECT_EQ(RoundTrip(u"R:Rat=2 6/8"), "R:Rat,1=2 3/4");
  EXPECT_EQ(RoundTrip(u"R:Rat=-1 1/2"), "R:Rat,1=-1 1/2");
  EXPECT_EQ(RoundTrip(u"R:Rat=2 x"), "R:Rat,1=2");  // the fraction is 0
  EXPECT_EQ(RoundTrip(u"R:Rat=2 1/0"), "R:Rat,1=2");
  EXPECT_EQ(RoundTrip(u"R:Rat=1/0x10"), "R:Rat,1=1/16");  // C literals after the first number
  EXPECT_EQ(RoundTrip(u"R:Rat=1/-2"), "R:Rat,1=-1/2");    // the sign moves up
  EXPECT_EQ(RoundTrip(u"R:Rat=7"), "R:Rat,1=7");
  EXPECT_EQ(RoundTrip(u"R:Rat=1/0"), "(none)");
  EXPECT_EQ(RoundTrip(u"R:Rat=/2"), "(none)");
  // Decimals past what a 32-bit denominator holds are dropped, not wrapped into garbage.
  EXPECT_EQ(RoundTrip(u"R:Rat=0.1234567890123456789"), "R:Rat,1=123456789/1000000000");
  KRational r;
  std::u16string_view text = u"-2147483648/-1";
  ASSERT_TRUE(KRText::ReadRational(text, r));
  EXPECT_GE(r.denominator, 1);
  EXPECT_EQ(KRational::Reduced(6, -4), (KRational{-3, 2}));
  EXPECT_EQ(KRational::Reduced(5, 0), (KRational{0, 1}));
}

TEST(KRValueTexts, StringsAreTheRestOfTheLineUnchanged) {
  EXPECT_EQ(RoundTrip(u"S:String=  a,b=c  "), "S:String,1=  a,b=c  ");
  EXPECT_EQ(RoundTrip(u"S:String=a\\nb"), "S:String,1=a\\nb");
  EXPECT_EQ(RoundTrip(u"S:String=C:\\x\\y.rss"), "S:String,1=C:\\x\\y.rss");
  KRegistry root;
  KRString* s = static_cast<KRString*>(root.Apply(u"S:String=x"));
  EXPECT_EQ(s->Value().Length(), 1);
  s->SetValue(KString(u"two\nlines"));
  EXPECT_EQ(s->Value().ToUtf8(), "two\\nlines");
  s->Assign(KString(u"\r"));
  EXPECT_EQ(s->Value().ToUtf8(), "\\n");
}

TEST(KRValueHandlers, AHandlerDecidesWhetherTheValueChanges) {
  KRegistry root;
  auto* width = static_cast<KRInt*>(root.Apply(u"W:Int=1"));
  int calls = 0;
  width->SetHandler([&](KRInt& node, int32_t value, intptr_t) {
    ++calls;
    if (value >= 0) node.Assign(value);
  });
  root.Apply(u"W:Int=-4");
  EXPECT_EQ(width->Value(), 1);
  width->SetValue(9);
  EXPECT_EQ(width->Value(), 9);
  EXPECT_EQ(calls, 2);
  width->SetHandler(nullptr);
  width->SetValue(-4);
  EXPECT_EQ(width->Value(), -4);
  EXPECT_EQ(calls, 2);

  auto* scale = static_cast<KRRat*>(root.Apply(u"R:Rat=1"));
  KRational seen;
  scale->SetHandler([&](KRRat& node, KRational value, intptr_t) {
    seen = value;
    node.Assign(value);
  });
  scale->SetValue({6, 4});  // reduced before the handler sees it
  EXPECT_EQ(seen, (KRational{3, 2}));
  EXPECT_EQ(scale->Value(), (KRational{3, 2}));

  auto* text = static_cast<KRString*>(root.Apply(u"S:String=a"));
  text->SetHandler([](KRString&, const KString&, intptr_t) { return false; });
  int result = -1;
  EXPECT_EQ(root.Apply(u"S:String=b", &result), text);
  EXPECT_EQ(result, KRNode::kAttributesAccepted);  // refused by the handler
  EXPECT_EQ(text->Value().ToUtf8(), "a");
  // A new string whose handler... cannot exist yet, so creation is unaffected.
  EXPECT_NE(root.Apply(u"T:String=b"), nullptr);
}

TEST(KRValueHandlers, BoolAndFloatAreAssignedDirectly) {
  KRegistry root;
  auto* flag = static_cast<KRBool*>(root.Apply(u"B:Bool=1"));
  EXPECT_TRUE(flag->Value());
  EXPECT_TRUE(flag->HasFlag(KRNode::kAssigned));
  flag->SetValue(false);
  EXPECT_FALSE(root.LookupBool(u"B", true));
  auto* number = static_cast<KRFloat*>(root.Apply(u"F:Float=1"));
  number->SetValue(0.25);
  EXPECT_EQ(root.LookupFloat(u"F", 0), 0.25);
  EXPECT_EQ(number->Minimum(), 2.2250738585072014e-308);
}
