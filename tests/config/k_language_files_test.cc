#include "config/k_language_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/k_x.h"
#include "config/k_default_settings.h"
#include "config/k_profile.h"
#include "config/k_r_string.h"
#include "config/k_registry.h"
#include "settings_test_util.h"

namespace {

void Put(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Get(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// 16-bit little-endian text with a byte-order mark.
std::string Utf16(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (const char16_t ch : text) {
    bytes.push_back(static_cast<char>(ch & 0xFF));
    bytes.push_back(static_cast<char>(ch >> 8));
  }
  return bytes;
}

const std::string kGerman =
    "Deutsch,de\r\nRegistry Version: 1.00\r\nStrings\\:,1=\r\n"
    "Strings\\MenuBar\\File\\Title:String,1=&Datei\r\n";

class LanguageFiles : public ::testing::Test {
 protected:
  void Choose(const char16_t* code) {
    KString line(u"Language\\Choice:String=");
    line.Append(std::u16string_view(code));
    root.Apply(line);
  }
  std::string Entry(const char16_t* name) {
    KString path(u"\\Language\\Choices\\");
    path.Append(std::u16string_view(name));
    return root.LookupText(path).ToUtf8();
  }
  const std::string& Title() {
    title = root.LookupText(u"\\Strings\\MenuBar\\File\\Title").ToUtf8();
    return title;
  }

  TempHome home;
  KRegistry root{KDefaultSettings::Table()};
  KLanguageFiles files{KString(home.Path())};
  std::string title;
};

}  // namespace

TEST_F(LanguageFiles, DiscoveryNumbersReadableFilesInOrderAndIsNeverSaved) {
  Put(home.File("b.lng"), kGerman);
  Put(home.File("a.lng"), "English (UK),en_GB,extra\nRegistry Version: 1.00\n");
  Put(home.File("c.lng"), "no line end");  // skipped, its number reused
  Put(home.File("d.LNG"), Utf16(u"Fran\u00e7ais,fr\r\n"));
  Put(home.File("e.txt"), "Other,xx\n");
  std::filesystem::create_directory(home.File("f.lng"));
  root.Apply(u"Language\\Choices\\9:String=stale");
  EXPECT_EQ(files.Discover(root), 3);
  EXPECT_EQ(Entry(u"1"), "a.lng,English (UK),en_GB,extra");
  EXPECT_EQ(Entry(u"2"), "b.lng,Deutsch,de");
  EXPECT_EQ(Entry(u"3"), "d.LNG,Fran\u00e7ais,fr");
  EXPECT_EQ(root.Lookup(u"\\Language\\Choices\\9"), nullptr);
  EXPECT_EQ(root.LookupGroup(u"\\Language\\Choices\\")->Children().Count(), 3);
  EXPECT_FALSE(root.Lookup(u"\\Language\\Choices\\")->IsSaved());
  EXPECT_EQ(Written(root).find("b.lng"), std::string::npos);
}

TEST_F(LanguageFiles, RankPrefersExactThenFiveThenTwoCharacters) {
  EXPECT_EQ(KLanguageFiles::Rank(KString(u"de_DE"), KString(u"DE_de")), 3);
  EXPECT_EQ(KLanguageFiles::Rank(KString(u"de_DE"), KString(u"de_DE.UTF-8")), 2);
  EXPECT_EQ(KLanguageFiles::Rank(KString(u"de_AT"), KString(u"de_DE.UTF-8")), 1);
  EXPECT_EQ(KLanguageFiles::Rank(KString(u"de"), KString(u"de_DE")), 1);
  EXPECT_EQ(KLanguageFiles::Rank(KString(u"fr"), KString(u"de_DE")), 0);
}

TEST_F(LanguageFiles, TheFirstOfEqualRanksWinsAndExactBeatsEarlier) {
  Put(home.File("1.lng"),
      "Deutsch (AT),de_AT\nRegistry Version: 1.00\n"
      "Strings\\MenuBar\\File\\Title:String=AT\n");
  Put(home.File("2.lng"),
      "Deutsch (CH),de_CH\nRegistry Version: 1.00\n"
      "Strings\\MenuBar\\File\\Title:String=CH\n");
  Choose(u"de_DE");
  EXPECT_TRUE(files.DiscoverAndLoad(root));
  EXPECT_EQ(files.ChosenEntry().ToUtf8(), "1");
  EXPECT_EQ(Title(), "AT");
  Choose(u"DE_ch");
  KRegistry fresh(KDefaultSettings::Table());
  fresh.Apply(u"Language\\Choice:String=de_ch");
  EXPECT_TRUE(files.DiscoverAndLoad(fresh));
  EXPECT_EQ(files.ChosenFile().ToUtf8(), "2.lng");
  Choose(u"it");
  files.Discover(root);
  EXPECT_FALSE(files.Choose(root));
  EXPECT_FALSE(files.HasChoice());
}

TEST_F(LanguageFiles, MissingKeysStayEnglishAndOtherLinesApplyToo) {
  Put(home.File("de.lng"), kGerman + "Display\\Width:Int=1000\r\n");
  Choose(u"de");
  ASSERT_TRUE(files.DiscoverAndLoad(root));
  EXPECT_EQ(Title(), "&Datei");
  EXPECT_EQ(root.LookupText(u"\\Strings\\MenuBar\\File\\New").ToUtf8(), "&New,N");
  EXPECT_EQ(root.LookupInt(u"\\Display\\Width", 0), 1000);
  EXPECT_EQ(files.Encoding(), KStream::kEncoding8Bit);
}

TEST_F(LanguageFiles, WithoutFilesNothingChanges) {
  Choose(u"en");
  const std::string before = Written(root);
  EXPECT_FALSE(files.DiscoverAndLoad(root));
  EXPECT_TRUE(root.LookupGroup(u"\\Language\\Choices\\")->Children().IsEmpty());
  EXPECT_FALSE(files.WriteBack(root));
  EXPECT_TRUE(std::filesystem::is_empty(home.Path()));
  root.Lookup(u"\\Language\\Choices\\")->SetSaved(true);
  EXPECT_EQ(Written(root), before);
}

TEST_F(LanguageFiles, ADamagedOrVanishedFileChangesNothing) {
  Put(home.File("x.lng"), std::string("Broken,xx\n\xFF\xFE\x00garbage\n\\Strings\\:=\n", 30));
  Put(home.File("y.lng"), "Gone,yy\n");
  Choose(u"xx");
  EXPECT_TRUE(files.DiscoverAndLoad(root));
  EXPECT_EQ(Title(), "&File");
  Choose(u"yy");
  files.Discover(root);
  ASSERT_TRUE(files.Choose(root));
  std::filesystem::remove(home.File("y.lng"));
  EXPECT_FALSE(files.Load(root));
  EXPECT_EQ(Title(), "&File");
  // An entry naming a file outside the home is never chosen.
  files.Discover(root);
  root.Apply(u"Language\\Choices\\7:String=../y.lng,Away,yy");
  EXPECT_FALSE(files.Choose(root));
}

TEST_F(LanguageFiles, WriteBackKeepsTheFirstLineAndTheEncoding) {
  Put(home.File("fr.lng"), Utf16(u"Fran\u00e7ais,fr\r\nRegistry Version: 1.00\r\n"
                                 u"Strings\\MenuBar\\File\\Title:String=&Fichier \u0153\r\n"));
  Choose(u"fr");
  ASSERT_TRUE(files.DiscoverAndLoad(root));
  EXPECT_EQ(files.Encoding(), KStream::kEncoding16Bit);
  EXPECT_EQ(Title(), "&Fichier \u0153");
  root.Apply(u"Strings\\MenuBar\\File\\Exit:String=Quitter");
  ASSERT_TRUE(files.WriteBack(root));
  const std::string bytes = Get(home.File("fr.lng"));
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(bytes.substr(2, 10), std::string("F\0r\0a\0n\0\xE7\0", 10));
  EXPECT_FALSE(std::filesystem::exists(home.File("fr.lng.new")));
  // What was written reads back as the same texts, and holds only \Strings\.
  KRegistry again(KDefaultSettings::Table());
  again.Apply(u"Language\\Choice:String=fr");
  KLanguageFiles reader{KString(home.Path())};
  ASSERT_TRUE(reader.DiscoverAndLoad(again));
  EXPECT_EQ(again.LookupText(u"\\Strings\\MenuBar\\File\\Exit").ToUtf8(), "Quitter");
  EXPECT_EQ(again.LookupText(u"\\Strings\\MenuBar\\File\\Title").ToUtf8(), "&Fichier \u0153");
  KMemoryStream probe(bytes.data(), bytes.size());
  KString line;
  probe.ReadUntil(line, KString(u"\n"));
  line.Clear();
  probe.ReadUntil(line, KString(u"\n"));
  EXPECT_EQ(line.ToUtf8(), "Registry Version: 1.00");
  line.Clear();
  probe.ReadUntil(line, KString(u"\n"));
  EXPECT_EQ(line.ToUtf8(), "Strings\\:,1=");
  std::string rest(bytes);
  EXPECT_EQ(rest.find(std::string("\n\0D\0i\0s\0p\0l\0a\0y\0\\\0", 18)), std::string::npos);
  EXPECT_NE(rest.find(std::string("\n\0S\0t\0r\0i\0n\0g\0s\0\\\0", 18)), std::string::npos);
}

TEST(Profile, SaveAndLoadThroughAFile) {
  TempHome home;
  const KString path(home.File("telvane.cfg"));
  KRegistry root(KDefaultSettings::Table());
  KProfile profile(path);
  EXPECT_FALSE(profile.Load(root));  // missing: a first run
  Put(home.File("telvane.cfg"), "");
  EXPECT_FALSE(profile.Load(root));  // empty: a first run too
  root.Apply(u"Display\\Width:Int=1280");
  profile.Save(root);
  const std::string bytes = Get(home.File("telvane.cfg"));
  EXPECT_EQ(bytes.substr(0, 6), std::string("\xFF\xFER\0e\0", 6));
  EXPECT_NE(bytes.find(std::string("\r\0\n\0", 4)), std::string::npos);
  EXPECT_EQ(bytes.find(std::string("S\0t\0r\0i\0n\0g\0s\0\\\0", 16)), std::string::npos);

  KRegistry next(KDefaultSettings::Table());
  KProfile reader(path);
  ASSERT_TRUE(reader.Load(next));
  EXPECT_EQ(reader.Encoding(), KStream::kEncoding16Bit);
  EXPECT_EQ(next.LookupInt(u"\\Display\\Width", 0), 1280);

  // Read 8-bit, written back 8-bit.
  Put(home.File("telvane.cfg"), "Registry Version: 1.00\r\n\\Display\\Width:Int,1,,=1\r\n");
  KProfile eight(path);
  ASSERT_TRUE(eight.Load(next));
  EXPECT_EQ(eight.Encoding(), KStream::kEncoding8Bit);
  eight.Save(next);
  EXPECT_EQ(Get(home.File("telvane.cfg")).substr(0, 24), "Registry Version: 1.00\r\n");
  EXPECT_FALSE(std::filesystem::exists(home.File("telvane.cfg.new")));

  // A save that cannot be made leaves the old file alone.
  KProfile nowhere(KString(home.File("missing/dir.cfg")));
  EXPECT_THROW(nowhere.Save(next), KX);
}

TEST(Profile, CreationCleansTheName) {
  EXPECT_EQ(KProfile::CleanName(KString(u"  a/b\\c:d*e?f\"g<h>i|j")).ToUtf8(),
            "a_b_c_d_e_f_g_h_i_j");
  EXPECT_EQ(KProfile::CleanName(KString(std::u16string(40, u'x'))).Length(), 31);
  TempHome home;
  Put(home.File("telvane.cfg"), "Registry Version: 1.00\n");
  const KString standard(home.File("telvane.cfg"));
  EXPECT_TRUE(KProfile::Create(standard, KString(u" Stadium: north")));
  EXPECT_EQ(Get(home.File("Stadium_ north.cfg")), "Registry Version: 1.00\n");
  EXPECT_FALSE(KProfile::Create(standard, KString(u"Stadium: north")));  // exists
  EXPECT_FALSE(KProfile::Create(standard, KString(u"   ")));
}
