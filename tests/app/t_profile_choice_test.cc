#include "app/t_profile_choice.h"

#include <gtest/gtest.h>

#include "test_home.h"

TEST(TProfileChoice, MissingFileOrLineCannotBeRead) {
  TestHome home;
  TProfileChoice choice(TProfileChoice::DefaultPath());
  EXPECT_EQ(choice.Path().ToUtf8(), home.ConfigFile());
  KString63 name("stale");
  EXPECT_FALSE(choice.Read(name));
  EXPECT_TRUE(name.IsEmpty());
  TestHome::WriteFile(home.ConfigFile(), "Other=1\n");
  EXPECT_FALSE(choice.Read(name));
}

TEST(TProfileChoice, WriteCreatesTheFileAndKeepsOtherLines) {
  TestHome home;
  TProfileChoice choice(TProfileChoice::DefaultPath());
  ASSERT_TRUE(choice.Write(KString("")));
  EXPECT_EQ(TestHome::ReadFile(home.ConfigFile()), "Profile=\n");
  KString63 name;
  EXPECT_TRUE(choice.Read(name));  // an empty value is still a value
  EXPECT_TRUE(name.IsEmpty());

  TestHome::WriteFile(home.ConfigFile(), "# mine\r\nProfile=old\nProfile=older\nKeep=yes\n");
  ASSERT_TRUE(choice.Write(KString("Ski jump")));
  EXPECT_EQ(TestHome::ReadFile(home.ConfigFile()), "# mine\nProfile=Ski jump\nKeep=yes\n");
  EXPECT_TRUE(choice.Read(name));
  EXPECT_EQ(name.ToUtf8(), "Ski jump");
  EXPECT_FALSE(std::filesystem::exists(home.ConfigFile() + ".new"));
}

TEST(TProfileChoice, NamesAreCutTo63Characters) {
  TestHome home;
  TestHome::WriteFile(home.ConfigFile(), "Profile=" + std::string(80, 'n') + "\n");
  KString63 name;
  ASSERT_TRUE(TProfileChoice(TProfileChoice::DefaultPath()).Read(name));
  EXPECT_EQ(name.Length(), 63);
}

TEST(TProfileChoice, OnlyPlainFileNamesAreUsable) {
  EXPECT_TRUE(TProfileChoice::IsUsableName(KString("Athletics 2026")));
  EXPECT_FALSE(TProfileChoice::IsUsableName(KString("")));
  EXPECT_FALSE(TProfileChoice::IsUsableName(KString("../../etc/passwd")));
  EXPECT_FALSE(TProfileChoice::IsUsableName(KString("sub/name")));
  EXPECT_FALSE(TProfileChoice::IsUsableName(KString("back\\slash")));
  EXPECT_FALSE(TProfileChoice::IsUsableName(KString(".hidden")));
}

TEST(TProfileChoice, CuttingNeverSplitsACharacterAndLineEndsAreRefused) {
  TestHome home;
  // 62 letters, then a character outside the 16-bit range (two units).
  TestHome::WriteFile(home.ConfigFile(), "Profile=" + std::string(62, 'a') + "\xF0\x9F\x8F\x81\n");
  TProfileChoice choice(TProfileChoice::DefaultPath());
  KString63 name;
  ASSERT_TRUE(choice.Read(name));
  EXPECT_EQ(name.Length(), 62);
  EXPECT_FALSE(choice.Write(KString("two\nlines")));
  EXPECT_FALSE(choice.Write(KString("cr\r")));
  EXPECT_TRUE(choice.Read(name));
  EXPECT_EQ(name.Length(), 62);
}
