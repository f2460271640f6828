#include "base/k_number.h"

#include <gtest/gtest.h>

TEST(KNumber, SharedIntegerSyntax) {
  struct Case {
    std::u16string_view text;
    int32_t value;
    size_t end;
  };
  for (const Case& c :
       {Case{u"42", 42, 2}, Case{u"-17,", -17, 3}, Case{u"+8", 8, 2}, Case{u"0x1F", 31, 4},
        Case{u"0X1f", 31, 4}, Case{u"017", 15, 3}, Case{u"09", 0, 1}, Case{u"0x", 0, 1},
        Case{u"0xg", 0, 1}, Case{u"4294967295", -1, 10}, Case{u"4294967296", 0, 10},
        Case{u"-2147483648", INT32_MIN, 11}}) {
    size_t pos = 0;
    int32_t value = 12345;
    ASSERT_TRUE(KNumber::ParseInt(c.text, pos, value)) << std::string(c.text.begin(), c.text.end());
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(pos, c.end);
  }
  size_t pos = 0;
  int32_t value = 0;
  EXPECT_FALSE(KNumber::ParseInt(u"-", pos, value));
  EXPECT_FALSE(KNumber::ParseInt(u"x1", pos, value));
  EXPECT_EQ(pos, 0u);
  EXPECT_TRUE(KNumber::ParseWholeInt(u"  -3 ", value));
  EXPECT_EQ(value, -3);
  EXPECT_FALSE(KNumber::ParseWholeInt(u"3a", value));
}
