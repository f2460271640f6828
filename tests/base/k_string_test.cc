#include "base/k_string.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

TEST(KString, GrowableGrowsToNeededOrTwiceItsCapacity) {
  KString s;
  s.Append(u'a');
  EXPECT_EQ(s.Capacity(), 1);
  s.Append(u'b');
  EXPECT_EQ(s.Capacity(), 2);
  s.Append(u'c');
  EXPECT_EQ(s.Capacity(), 4);
  s.Append(std::u16string(10, u'x'));
  EXPECT_EQ(s.Capacity(), 13);  // the needed size beats twice four
  EXPECT_EQ(s.Length(), 13);
}

TEST(KString, FixedStringsCutSilently) {
  KString255 s;
  EXPECT_EQ(s.Append(std::u16string(300, u'x')), 255);
  EXPECT_EQ(s.Length(), 255);
  EXPECT_EQ(s.Append(u'y'), 0);
  EXPECT_EQ(s.Last(), u'x');

  KString15 small("0123456789abcdefXYZ");
  EXPECT_EQ(small.ToUtf8(), "0123456789abcde");
  // Inserting into a full string keeps the first 15 characters of the result.
  EXPECT_EQ(small.Insert(1, u"!!"), 2);
  EXPECT_EQ(small.ToUtf8(), "0!!123456789abc");
  small.Delete(3, 100);
  EXPECT_EQ(small.ToUtf8(), "0!!");
}

TEST(KString, CopiesBetweenFormsKeepEachCapacity) {
  KString big(std::u16string(100, u'z'));
  KString31 fixed(big);
  EXPECT_EQ(fixed.Length(), 31);
  KString back = fixed;
  EXPECT_EQ(back.GrowthMode(), KString::Growth::Growable);
  EXPECT_EQ(back.Length(), 31);
  KString& asBase = fixed;
  asBase = big;  // assignment through the base still respects the capacity
  EXPECT_EQ(fixed.Length(), 31);
  KString moved = std::move(fixed);
  EXPECT_EQ(moved.Length(), 31);
  EXPECT_EQ(fixed.Length(), 31);  // a fixed buffer is copied, never stolen
}

TEST(KString, ReadsOutsideGiveZeroAndWritesThereDoNothing) {
  KString s("abc");
  EXPECT_EQ(s[-1], 0);
  EXPECT_EQ(s[3], 0);
  EXPECT_EQ(s[1000000], 0);
  s.SetAt(3, u'x');
  s.SetAt(-1, u'x');
  EXPECT_EQ(s.ToUtf8(), "abc");
  s.SetAt(1, u'X');
  EXPECT_EQ(s.ToUtf8(), "aXc");
}

TEST(KString, ViewsIgnoreEveryChange) {
  const std::u16string text = u"constant";
  KString view = KString::MakeView(text);
  EXPECT_EQ(view.Append(u'x'), 0);
  view.SetAt(0, u'X');
  view.Clear();
  view.Delete(0, 3);
  view = u"other";
  EXPECT_EQ(view.View(), u"constant");
  EXPECT_EQ(text, u"constant");
}

TEST(KString, FrontDeletionAndReuseOfTheBuffer) {
  KString s("hello world");
  const int capacity = s.Capacity();
  s.Delete(0, 6);
  EXPECT_EQ(s.ToUtf8(), "world");
  s.Append(u"!!!!!!");  // fits once the text moves back to the front
  EXPECT_EQ(s.ToUtf8(), "world!!!!!!");
  EXPECT_EQ(s.Capacity(), capacity);
  s.Append(s.View());  // appending itself must not read freed memory
  EXPECT_EQ(s.ToUtf8(), "world!!!!!!world!!!!!!");
}

TEST(KString, MidFindAndInsertAtTheEdges) {
  KString s("a,b,,c");
  EXPECT_EQ(s.Find(u','), 1);
  EXPECT_EQ(s.Find(u',', 2), 3);
  EXPECT_EQ(s.FindLast(u','), 4);
  EXPECT_EQ(s.Find(u'z'), -1);
  EXPECT_EQ(s.Mid(-2, 4).ToUtf8(), "a,");
  EXPECT_EQ(s.Mid(4).ToUtf8(), ",c");
  EXPECT_TRUE(s.Mid(10).IsEmpty());
  s.Insert(100, u"!");
  s.Insert(-5, u"^");
  EXPECT_EQ(s.ToUtf8(), "^a,b,,c!");
  s.Truncate(3);
  EXPECT_EQ(s.ToUtf8(), "^a,");
}

TEST(KString, ComparisonCanIgnoreCase) {
  KString s("Display\\Width");
  EXPECT_TRUE(s.EqualsNoCase(u"DISPLAY\\width"));
  EXPECT_FALSE(s.Equals(u"DISPLAY\\width"));
  EXPECT_LT(KString("abc").Compare(u"abd"), 0);
  EXPECT_GT(KString("abcd").Compare(u"abc"), 0);
  EXPECT_EQ(KString(u"\u00C9T\u00C9").Compare(u"\u00E9t\u00E9", true), 0);  // Latin-1
  EXPECT_EQ(KString(u"\u0416").Compare(u"\u0436", true), 0);                // Cyrillic
  EXPECT_NE(KString(u"\u00D7").Compare(u"\u00F7", true), 0);  // multiply and divide signs differ
  EXPECT_TRUE(KString("Registry Version").StartsWith(u"REGISTRY", true));
}

TEST(KString, Utf8RoundTripsIncludingCharactersBeyondTheBasicPlane) {
  const std::string text = "Z\xC3\xBCrich \xE2\x82\xAC \xF0\x9F\x8F\x81";  // Zürich € 🏁
  KString s(text);
  EXPECT_EQ(s.Length(), 11);  // the flag takes a surrogate pair
  EXPECT_EQ(s[9], 0xD83C);
  EXPECT_EQ(s[10], 0xDFC1);
  EXPECT_EQ(s.ToUtf8(), text);
  // Broken input never reads past its end and becomes replacement characters.
  KString broken(std::string_view("a\xE2\x82", 3));
  EXPECT_EQ(broken.View(), u"a\uFFFD");
  KString overlong(std::string_view("\xC0\xAF", 2));
  EXPECT_EQ(overlong.View(), u"\uFFFD\uFFFD");
}

TEST(KString, InsertKeepsTheNewTextAndCutsTheTail) {
  // In a growable string, and in a fixed one as full as it gets, and from
  // the string's own text.
  KString grown("abcdef");
  EXPECT_EQ(grown.Insert(3, u"XYZ"), 3);
  EXPECT_EQ(grown.ToUtf8(), "abcXYZdef");
  EXPECT_EQ(grown.Insert(1, grown.View().substr(3, 3)), 3);
  EXPECT_EQ(grown.ToUtf8(), "aXYZbcXYZdef");
  grown.Delete(0, 2);  // the text no longer starts at the front of its buffer
  EXPECT_EQ(grown.Insert(0, u"<"), 1);
  EXPECT_EQ(grown.ToUtf8(), "<YZbcXYZdef");

  KStringN<8> fixed("abcdef");
  fixed.Delete(0, 2);
  EXPECT_EQ(fixed.Insert(2, u"1234"), 4);
  EXPECT_EQ(fixed.ToUtf8(), "cd1234ef");
  EXPECT_EQ(fixed.Insert(7, u"xyz"), 1);
  EXPECT_EQ(fixed.ToUtf8(), "cd1234ex");
  EXPECT_EQ(fixed.Insert(8, u"!"), 0);
  EXPECT_EQ(fixed.Insert(0, u"0123456789"), 8);
  EXPECT_EQ(fixed.ToUtf8(), "01234567");
}

TEST(KString, CopyCharsMovesEveryLengthExactly) {
  // Each source is exactly as long as the copy, so the sanitizer sees any
  // read beyond it; the guards around the target must stay.
  for (size_t count = 0; count <= 70; ++count) {
    const std::unique_ptr<char16_t[]> from(new char16_t[count == 0 ? 1 : count]);
    for (size_t i = 0; i < count; ++i) from[i] = static_cast<char16_t>(0x100 + i);
    std::u16string to(count + 2, u'#');
    KString::CopyChars(to.data() + 1, from.get(), count);
    ASSERT_EQ(to.front(), u'#') << count;
    ASSERT_EQ(to.back(), u'#') << count;
    ASSERT_EQ(to.substr(1, count), std::u16string_view(from.get(), count)) << count;
  }
}
