#include "app/t_user_interface_lock.h"

#include <gtest/gtest.h>

#include <string>

#include "config/k_r_string.h"

namespace {

// Types each character; returns the index of the one that unlocked, or -1.
int TypeText(TUserInterfaceLock& lock, const std::u16string& text) {
  for (size_t i = 0; i < text.size(); ++i)
    if (lock.Type(text[i])) return static_cast<int>(i);
  return -1;
}

TEST(TUserInterfaceLock, WithoutAWordThereIsNoLock) {
  KRString word;
  TUserInterfaceLock lock;
  lock.SetUp(&word);
  EXPECT_EQ(lock.GetState(), TUserInterfaceLock::kNone);
  lock.SetState(TUserInterfaceLock::kLocked);
  EXPECT_EQ(lock.GetState(), TUserInterfaceLock::kNone);
  lock.SetUp(nullptr);
  lock.SetState(TUserInterfaceLock::kLocked);
  EXPECT_FALSE(lock.IsLocked());
}

TEST(TUserInterfaceLock, TheWordTypedAfterAnythingUnlocks) {
  KRString word;
  word.SetValue(KString("Open"));
  TUserInterfaceLock lock;
  lock.SetUp(&word);
  EXPECT_EQ(lock.GetState(), TUserInterfaceLock::kUnlocked);
  EXPECT_FALSE(lock.Type(u'x')) << "typing while open does nothing";
  lock.SetState(TUserInterfaceLock::kLocked);
  ASSERT_TRUE(lock.IsLocked());
  // The window slides: "OpOpen" holds the word at its end.
  EXPECT_EQ(TypeText(lock, u"zzOpOpen"), 7);
  EXPECT_EQ(lock.GetState(), TUserInterfaceLock::kUnlocked);
  EXPECT_TRUE(lock.Typed().IsEmpty());

  // Letter case counts, and the keys typed before do not linger.
  lock.SetState(TUserInterfaceLock::kLocked);
  EXPECT_EQ(TypeText(lock, u"OPEN open oPen"), -1);
  EXPECT_TRUE(lock.IsLocked());
  EXPECT_EQ(lock.Typed().ToUtf8(), "oPen");
  EXPECT_EQ(TypeText(lock, u"Open"), 3);
}

TEST(TUserInterfaceLock, ALongWordStillUnlocks) {
  // Longer than the 31 characters a fixed buffer would keep.
  const std::u16string longWord = u"correct horse battery staple and a lot more";
  KRString word;
  word.SetValue(KString(longWord));
  TUserInterfaceLock lock;
  lock.SetUp(&word);
  lock.SetState(TUserInterfaceLock::kLocked);
  EXPECT_EQ(TypeText(lock, u"noise " + longWord), static_cast<int>(longWord.size()) + 5);
}

TEST(TUserInterfaceLock, ALockWithoutAWordToOpenItIsRefused) {
  // Emptied during the run: the entry stays, but locking would shut the
  // operator out for good.
  KRString word;
  word.SetValue(KString("Open"));
  TUserInterfaceLock lock;
  lock.SetUp(&word);
  word.SetValue(KString());
  lock.SetState(TUserInterfaceLock::kLocked);
  EXPECT_EQ(lock.GetState(), TUserInterfaceLock::kUnlocked);
  // A changed word counts from the next lock on.
  word.SetValue(KString("Ab"));
  lock.SetState(TUserInterfaceLock::kLocked);
  EXPECT_EQ(TypeText(lock, u"Ab"), 1);
  lock.Forget();
  lock.SetState(TUserInterfaceLock::kLocked);
  EXPECT_FALSE(lock.IsLocked());
}

}  // namespace
