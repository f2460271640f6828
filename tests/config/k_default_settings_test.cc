#include "config/k_default_settings.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>

#include "config/k_profile.h"
#include "config/k_r_int.h"
#include "config/k_r_string.h"
#include "config/k_registry.h"
#include "settings_test_util.h"

using namespace std::string_literals;

namespace {

std::string ReadData(const std::string& name) {
  std::ifstream in(std::string(TELVANE_TEST_DATA) + "/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ProfileOf(KRegistry& root, int encoding, int lineMode = KStream::kLineCRLF) {
  KMemoryStream stream;
  stream.SetWriteEncoding(encoding);
  stream.SetWriteLineMode(lineMode);
  stream.WriteByteOrderMark();
  KProfile::Write(root, stream);
  return std::string(stream.Bytes().begin(), stream.Bytes().end());
}

void LoadBytes(KRegistry& root, const std::string& bytes) {
  KMemoryStream stream = StreamOf(bytes);
  root.Load(stream);
}

}  // namespace

TEST(DefaultSettings, EveryLineOfTheTableMakesANode) {
  KRegistry root;
  int lines = 0;
  std::set<std::u16string> seen;
  for (const char16_t* const* line = KDefaultSettings::Table(); *line; ++line, ++lines) {
    const std::u16string_view text(*line);
    EXPECT_NE(text.front(), u'\\') << KString(text);
    // Only the type is named: every node gets the mark 1 and no limits.
    const size_t colon = text.find(u':');
    ASSERT_NE(colon, std::u16string_view::npos) << KString(text);
    const std::u16string_view type = text.substr(colon + 1, text.find(u'=', colon) - colon - 1);
    EXPECT_TRUE(type.empty() || type == u"Int" || type == u"String") << KString(text);
    int result = 0;
    KRNode* node = root.Apply(text, &result);
    ASSERT_NE(node, nullptr) << "line dropped: " << KString(text);
    EXPECT_EQ(result, 3) << KString(text);
    KString path;
    node->FullPath(path);
    EXPECT_TRUE(seen.insert(path.ToU16()).second) << "line repeated: " << KString(text);
  }
  EXPECT_EQ(lines, KDefaultSettings::Count());
  EXPECT_EQ(*KDefaultSettings::FirstRunTable(), nullptr);
}

TEST(DefaultSettings, TopLevelGroupsComeInCatalogueOrder) {
  KRegistry root(KDefaultSettings::Table());
  std::string names;
  for (int i = 0; KRGroup* group = root.ChildGroup(i); ++i) names += group->Name().ToUtf8() + " ";
  EXPECT_EQ(names, "General Display Layout Sources SerialPort Language Strings ");
  EXPECT_EQ(root.Children().Count(), 7);
}

TEST(DefaultSettings, EverySettingHasACommentAndEveryCommentASetting) {
  KRegistry root(KDefaultSettings::Table());
  KRGroup* comments = root.LookupGroup(u"\\Strings\\Registry\\Comments\\");
  ASSERT_NE(comments, nullptr);
  int settings = 0;
  // Walk the configuration groups (everything but \Strings\).
  std::function<void(KRGroup*)> walk = [&](KRGroup* group) {
    for (KRNode* node : group->Children().Items<KRNode>()) {
      KString path;
      node->FullPath(path);
      if (path.StartsWith(u"\\Strings")) continue;
      if (node->IsGroup()) {
        walk(static_cast<KRGroup*>(node));
        continue;
      }
      ++settings;
      KString comment(u"\\Strings\\Registry\\Comments");
      comment.Append(path);
      EXPECT_FALSE(root.LookupText(comment).IsEmpty()) << path;
    }
  };
  walk(&root);
  EXPECT_EQ(settings, 53);
  int commented = 0;
  std::function<void(KRGroup*, const KString&)> back = [&](KRGroup* group, const KString& rel) {
    for (KRNode* node : group->Children().Items<KRNode>()) {
      KString path(rel);
      path.Append(u'\\');
      path.Append(node->Name());
      if (node->IsGroup()) {
        path.Append(u'\\');
        if (!path.StartsWith(u"\\Sources\\1\\")) {
          EXPECT_NE(root.LookupGroup(path), nullptr) << path;
        }
        path.Truncate(path.Length() - 1);
        back(static_cast<KRGroup*>(node), path);
        continue;
      }
      ++commented;
      // The first source's settings are made at run time, not by the table.
      if (!path.StartsWith(u"\\Sources\\1\\")) {
        EXPECT_NE(root.Lookup(path), nullptr) << path;
      }
    }
  };
  back(comments, KString());
  EXPECT_EQ(commented, settings + 4);
}

TEST(DefaultSettings, KnownDefaultsAndTexts) {
  KRegistry root(KDefaultSettings::Table());
  EXPECT_EQ(root.LookupInt(u"\\Display\\Width", 0), 640);
  EXPECT_EQ(root.LookupInt(u"\\Display\\CacheSize", 0), 1048576);
  EXPECT_EQ(root.LookupInt(u"\\Sources\\Fields\\BufferSize", 0), 32767);
  EXPECT_EQ(root.LookupInt(u"\\Sources\\KeepAlive", 0), 1);
  EXPECT_EQ(root.LookupInt(u"\\SerialPort\\TypeMask", 0), -1);
  EXPECT_EQ(root.LookupInt(u"\\General\\MainWindow\\Width", 0), -1);
  EXPECT_EQ(root.LookupText(u"\\Sources\\DebugPort").ToUtf8(), "0");
  EXPECT_EQ(root.LookupText(u"\\Display\\Colors\\10").ToUtf8(), "255,255,0");
  EXPECT_NE(root.LookupGroup(u"\\Layout\\Open\\"), nullptr);
  EXPECT_NE(root.LookupGroup(u"\\SerialPort\\Devices\\"), nullptr);
  EXPECT_NE(root.LookupString(u"\\Language\\Choice"), nullptr);
  EXPECT_EQ(root.LookupText(u"\\Strings\\MenuBar\\File\\New").ToUtf8(), "&New,N");
  EXPECT_EQ(root.LookupText(u"\\Strings\\MenuBar\\Layout\\Clear").ToUtf8(), "&Clear,A+C");
  EXPECT_EQ(root.LookupText(u"\\Strings\\Time\\DayHourSep").ToUtf8(), ":");
  EXPECT_EQ(root.LookupText(u"\\Strings\\SerialPort\\Types\\259").ToUtf8(), "(X25)");
  EXPECT_EQ(root.LookupText(u"\\Strings\\Errors\\6001").ToUtf8(),
            "Error loading the configuration file");
  EXPECT_EQ(root.LookupText(u"\\Strings\\Alerts\\CopyText").ToUtf8(),
            "A copy of Telvane is already running.");
  ASSERT_NE(root.LookupString(u"\\Strings\\Layout\\Wind\\Units\\None"), nullptr);
  EXPECT_TRUE(root.LookupText(u"\\Strings\\Layout\\Wind\\Units\\None").IsEmpty());
  // The comments keep backslash and "n" as two characters.
  EXPECT_EQ(root.LookupText(u"\\Strings\\Registry\\Comments\\Display\\Width").ToUtf8(),
            "Refers to the width of the display window if Other monitor is selected.\\n\\n"
            "Default: 640");
  EXPECT_EQ(root.LookupText(u"\\Strings\\Registry\\Comments\\Sources\\1\\Script").ToUtf8(),
            "Name of source script.\\n\\nDefault: Chronvale.rss");
  int errors = 0;
  for (const KRNode* node : root.LookupGroup(u"\\Strings\\Errors\\")->Children().Items<KRNode>()) {
    EXPECT_FALSE(static_cast<const KRString*>(node)->Value().IsEmpty());
    ++errors;
  }
  EXPECT_EQ(errors, 27);
}

TEST(DefaultSettings, WrittenTreeMatchesTheCatalogueByteForByte) {
  KRegistry root(KDefaultSettings::Table());
  const std::string tree = Written(root, KStream::kEncoding8Bit, KStream::kLineCRLF);
  EXPECT_EQ(tree, ReadData("settings_golden/default_tree.txt"));
  const std::string profile = ProfileOf(root, KStream::kEncoding8Bit);
  EXPECT_EQ(profile, ReadData("settings_golden/default_profile.cfg"));
  const std::string start =
      "Registry Version: 1.00\r\n\\:,1=\r\n\\General\\:,1=\r\n\\General\\Unlock:String,1=\r\n"
      "\\General\\MainWindow\\:,1=\r\n\\General\\MainWindow\\Left:Int,1,,=10\r\n";
  EXPECT_EQ(profile.substr(0, start.size()), start);
  // Writing a profile leaves the flags as they were.
  EXPECT_TRUE(root.Lookup(u"\\Strings\\")->IsSaved());
}

TEST(DefaultSettings, AProfileReadsBackToTheSameBytesInBothEncodings) {
  for (const int encoding : {KStream::kEncoding8Bit, KStream::kEncoding16Bit}) {
    KRegistry first(KDefaultSettings::Table());
    first.Apply(u"Display\\Width:Int=800");
    first.Apply(u"General\\Unlock:String=  x,y=z \u00e9");
    first.Apply(u"Sources\\1\\:=");
    first.Apply(u"Sources\\1\\Name:String=Track\nTwo");
    const std::string written = ProfileOf(first, encoding);
    if (encoding == KStream::kEncoding16Bit) {
      ASSERT_GE(written.size(), 4u);
      EXPECT_EQ(written.substr(0, 4), std::string("\xFF\xFE"
                                                  "R\0",
                                                  4));
    }
    KRegistry second(KDefaultSettings::Table());
    LoadBytes(second, written);
    EXPECT_EQ(ProfileOf(second, encoding), written) << encoding;
    EXPECT_EQ(second.LookupText(u"\\Sources\\1\\Name").ToUtf8(), "Track\\nTwo");
    EXPECT_EQ(second.LookupInt(u"\\Display\\Width", 0), 800);
  }
}

TEST(DefaultSettings, AnOlderProfileGainsTheMissingSettings) {
  const std::string old =
      "Registry Version: 1.00\r\n\\:,1=\r\n\\Display\\:,1=\r\n\\Display\\Width:Int,1,,=1024\r\n"
      "\\Display\\Retired:Int,1,,=5\r\n\\Gone\\Sub\\:,1=\r\n\\Gone\\Value:Int,1,,=1\r\n"
      "\\Display\\Bad:Int,1,,=oops\r\n\\Display\\ABCDEFGHIJKLMNOP:Int,1,,=1\r\n"
      "\\Display\\Odd:Blob,1=1\r\n";
  KRegistry root(KDefaultSettings::Table());
  LoadBytes(root, old);
  EXPECT_EQ(root.LookupInt(u"\\Display\\Width", 0), 1024);
  EXPECT_EQ(root.LookupInt(u"\\Display\\Height", 0), 480);
  EXPECT_EQ(root.LookupInt(u"\\Layout\\UndoLevels", 0), 25);
  const std::string next = ProfileOf(root, KStream::kEncoding8Bit);
  // The unknown setting is kept at the end of its group (after its subgroups),
  // the lines that fit nowhere are dropped.
  const std::string retired =
      "\\Display\\Colors\\10:String,1=255,255,0\r\n"
      "\\Display\\Retired:Int,1,,=5\r\n\\Layout\\:,1=\r\n";
  EXPECT_NE(next.find(retired), std::string::npos);
  EXPECT_EQ(next.find("Gone"), std::string::npos);
  EXPECT_EQ(next.find("Bad"), std::string::npos);
  EXPECT_EQ(next.find("ABCDEFGHIJKLMNOP"), std::string::npos);
  EXPECT_EQ(next.find("Odd"), std::string::npos);
  EXPECT_NE(next.find("\\Display\\Height:Int,1,,=480"), std::string::npos);
  // And keeps it on the next round.
  KRegistry again(KDefaultSettings::Table());
  LoadBytes(again, next);
  EXPECT_EQ(ProfileOf(again, KStream::kEncoding8Bit), next);
}

TEST(DefaultSettings, AnyFirstLineIsSkippedAndAHeaderAloneChangesNothing) {
  KRegistry root(KDefaultSettings::Table());
  const std::string before = Written(root);
  LoadBytes(root, "\\Display\\Width:Int=1\n");
  LoadBytes(root, "Registry Version: 1.00\n");
  LoadBytes(root, "Registry Version: 1.00");
  LoadBytes(root, "");
  LoadBytes(root, std::string("garbage \0\xff\xfe", 12) + "\n");
  EXPECT_EQ(Written(root), before);
  LoadBytes(root, "anything\n\\Display\\Width:Int=2\n");
  EXPECT_EQ(root.LookupInt(u"\\Display\\Width", 0), 2);
}

TEST(DefaultSettings, DamagedLinesAreIgnoredWithoutHarm) {
  KRegistry root(KDefaultSettings::Table());
  std::string bytes = "x\n";
  bytes += std::string(100 * 1024, 'A') + ":String=" + "\n";                   // a 100 KB name
  bytes += "\\General\\Unlock:String=" + std::string(100 * 1024, 'v') + "\n";  // a 100 KB value
  bytes +=
      "\\Display\\Width:Int=\0"
      "7\n"s;
  bytes += "\\Display\\Height:Int=77\0junk\n"s;
  bytes += "\\Display\\Screens:Int=3\r\n";
  std::string deep;
  for (int i = 0; i < 300; ++i) {
    deep += "D\\";
    bytes += "\\General\\" + deep + ":=\n";
  }
  bytes += "\xff\xfe\x00\x01\x02\n";
  LoadBytes(root, bytes);
  EXPECT_EQ(root.LookupText(u"\\General\\Unlock").Length(), 100 * 1024);
  EXPECT_EQ(root.LookupInt(u"\\Display\\Width", 0), 640);
  EXPECT_EQ(root.LookupInt(u"\\Display\\Height", 0), 77);
  KRegistry again(KDefaultSettings::Table());
  LoadBytes(again, Written(root));
  EXPECT_EQ(Written(again), Written(root));
  EXPECT_NE(again.Lookup(KString("\\General\\" + deep)), nullptr);
}

TEST(DefaultSettings, AnOverlongLineIsDroppedWhole) {
  KRegistry root(KDefaultSettings::Table());
  std::string bytes =
      "x\n\\General\\Unlock:String=" + std::string(1100000, 'v') + "\n\\Display\\Width:Int=5\n";
  LoadBytes(root, bytes);
  EXPECT_TRUE(root.LookupText(u"\\General\\Unlock").IsEmpty());
  EXPECT_EQ(root.LookupInt(u"\\Display\\Width", 0), 5);
}
