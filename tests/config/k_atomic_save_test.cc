// Saving the profile and a language file: through symlinks to their
// targets, with their permissions, never through a planted temporary.
#include "config/k_atomic_save.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/k_x.h"
#include "config/k_default_settings.h"
#include "config/k_language_files.h"
#include "config/k_profile.h"
#include "config/k_registry.h"
#include "settings_test_util.h"

namespace {

namespace fs = std::filesystem;

void Put(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Get(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

unsigned ModeOf(const std::string& path) {
  struct stat info {};
  stat(path.c_str(), &info);
  return info.st_mode & 07777;
}

std::string Text(const std::string& bytes) {
  std::string text;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) text += bytes[i];
  return text;
}

TEST(KAtomicSave, ASymlinkedProfileIsWrittenThroughToItsTargetWithItsMode) {
  TempHome home;
  fs::create_directories(home.File("real"));
  const std::string target = home.File("real/mine.cfg");
  Put(target, "old");
  chmod(target.c_str(), 0600);
  const std::string link = home.File("telvane.cfg");
  fs::create_symlink("real/mine.cfg", link);

  KRegistry root(KDefaultSettings::Table());
  KProfile(KString(link)).Save(root);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Text(Get(target)).rfind("Registry Version: 1.00", 0), 0u);
  EXPECT_EQ(ModeOf(target), 0600u);
  EXPECT_FALSE(fs::exists(home.File("real/mine.cfg.new")));
  EXPECT_FALSE(fs::exists(home.File("telvane.cfg.new")));
}

TEST(KAtomicSave, AStaleOrPlantedTemporaryIsRemovedNotFollowed) {
  TempHome home;
  const std::string profile = home.File("telvane.cfg");
  const std::string victim = home.File("victim");
  Put(victim, "keep me");
  fs::create_symlink(victim, profile + ".new");
  KRegistry root(KDefaultSettings::Table());
  KProfile(KString(profile)).Save(root);
  EXPECT_EQ(Get(victim), "keep me");
  EXPECT_EQ(Text(Get(profile)).rfind("Registry Version: 1.00", 0), 0u);
  EXPECT_FALSE(fs::exists(profile + ".new"));
  EXPECT_FALSE(fs::is_symlink(profile));
  // A leftover regular temporary from a crash goes the same way.
  Put(profile + ".new", "half a save");
  KProfile(KString(profile)).Save(root);
  EXPECT_FALSE(fs::exists(profile + ".new"));
}

TEST(KAtomicSave, AFailedWriteLeavesTheTargetAndNoTemporary) {
  TempHome home;
  const std::string path = home.File("x.cfg");
  Put(path, "old text");
  {
    KAtomicSave save{KString(path)};
    save.Begin().WriteText(KString(u"new text"));
    save.Abandon();
  }
  EXPECT_EQ(Get(path), "old text");
  EXPECT_FALSE(fs::exists(path + ".new"));
  {
    // Destroyed without a commit: the same.
    KAtomicSave save{KString(path)};
    save.Begin().WriteText(KString(u"new text"));
  }
  EXPECT_EQ(Get(path), "old text");
  EXPECT_FALSE(fs::exists(path + ".new"));
  // A directory that does not exist cannot take the temporary: a KX.
  KAtomicSave nowhere{KString(home.File("no/such/dir/x.cfg"))};
  EXPECT_THROW(nowhere.Begin(), KX);
}

TEST(KAtomicSave, LanguageWriteBackKeepsLinkAndMode) {
  TempHome home;
  fs::create_directories(home.File("shared"));
  const std::string target = home.File("shared/de.lng");
  Put(target, "Deutsch,de\r\nRegistry Version: 1.00\r\nStrings\\:,1=\r\n");
  chmod(target.c_str(), 0640);
  fs::create_symlink(target, home.File("de.lng"));
  KRegistry root(KDefaultSettings::Table());
  root.Apply(u"Language\\Choice:String=de");
  KLanguageFiles files{KString(home.Path())};
  ASSERT_TRUE(files.DiscoverAndLoad(root));
  ASSERT_TRUE(files.WriteBack(root));
  EXPECT_TRUE(fs::is_symlink(home.File("de.lng")));
  EXPECT_EQ(Get(target).rfind("Deutsch,de\r\nRegistry Version: 1.00", 0), 0u);
  EXPECT_EQ(ModeOf(target), 0640u);
  EXPECT_FALSE(fs::exists(target + ".new"));
}

}  // namespace
