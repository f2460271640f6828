#include "base/k_string.h"

#include <gtest/gtest.h>

TEST(KString, FixedStringCutsWhatDoesNotFit) {
  KString255 s;
  const std::u16string text(300, u'x');
  EXPECT_EQ(s.Append(text), 255);
  EXPECT_EQ(s.Length(), 255);
}
