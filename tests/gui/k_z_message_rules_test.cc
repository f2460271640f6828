#include "gui/k_z_message_rules.h"

#include <gtest/gtest.h>

using R = KZMessageRules;

TEST(KZMessageRules, BackslashNPairsBreakLines) {
  std::vector<KString> lines;
  EXPECT_TRUE(R::SplitLines(KString("Line one\\nLine two\\n\\nend"), lines));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].ToUtf8(), "Line one");
  EXPECT_EQ(lines[2].ToUtf8(), "");
  EXPECT_EQ(lines[3].ToUtf8(), "end");
  // A lone backslash, a backslash at the end and "\N" are text.
  EXPECT_FALSE(R::SplitLines(KString("C:\\data\\N\\"), lines));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].ToUtf8(), "C:\\data\\N\\");
  EXPECT_EQ(R::WithLineBreaks(KString("a\\nb")).ToUtf8(), "a\nb");
  EXPECT_EQ(R::WithLineBreaks(KString("")).ToUtf8(), "");
}

TEST(KZMessageRules, EscapeIsCancelThenNoElseNothing) {
  EXPECT_EQ(R::EscapeButton(R::kYes | R::kNo | R::kCancel), R::kCancel);
  EXPECT_EQ(R::EscapeButton(R::kOk | R::kCancel), R::kCancel);
  EXPECT_EQ(R::EscapeButton(R::kYes | R::kNo), R::kNo);
  EXPECT_EQ(R::EscapeButton(R::kOk), 0);
  EXPECT_EQ(R::EscapeButton(R::kOk | R::kApply), 0);
}

TEST(KZMessageRules, DefaultMustBeOneOfTheButtons) {
  EXPECT_EQ(R::DefaultButton(R::kOk | R::kCancel, R::kCancel), R::kCancel);
  EXPECT_EQ(R::DefaultButton(R::kYes | R::kNo, R::kOk), R::kYes);
  EXPECT_EQ(R::DefaultButton(R::kNo | R::kApply, 0), R::kNo);
  EXPECT_EQ(R::DefaultButton(0, R::kCancel), R::kOk);
  EXPECT_TRUE(R::IsPositive(R::kOk));
  EXPECT_TRUE(R::IsPositive(R::kYes));
  EXPECT_FALSE(R::IsPositive(R::kApply));
  EXPECT_EQ(R::LabelPath(R::kApply).ToUtf8(), "\\Strings\\Dialog\\Apply");
  EXPECT_EQ(R::BuiltInLabel(R::kNo).ToUtf8(), "&No");
}
