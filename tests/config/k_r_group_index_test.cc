// A large group finds its children through a name index; the answers must
// be those of the scan a small group makes, first match in child order.
#include <gtest/gtest.h>

#include <string>

#include "base/k_memory_stream.h"
#include "config/k_r_group.h"
#include "config/k_r_int.h"
#include "config/k_registry.h"

namespace {

// A group whose names overlap as paths do: "a b" and "A" both fit the text
// "A B"; a second line for "A" sets the first one; letters of another case.
void Fill(KRegistry& root, int fillers) {
  for (const char16_t* line :
       {u"G\\:=", u"G\\a b:Int=1", u"G\\A:Int=2", u"G\\ab:Int=3", u"G\\A:Int=4", u"G\\Sub\\:=",
        u"G\\Sub\\X:Int=5", u"G\\\u00c9t\u00e9:Int=6"}) {
    root.Apply(line);
  }
  for (int i = 0; i < fillers; ++i) {
    root.Apply(KString(("G\\f" + std::to_string(i) + ":Int=0").c_str()));
  }
}

int ValueAt(KRegistry& root, const char16_t* path) {
  KRInt* node = root.LookupInt(path);
  return node ? node->Value() : -1;
}

TEST(KRGroupIndex, LargeGroupsAnswerAsSmallOnes) {
  KRegistry small;
  KRegistry large;
  Fill(small, 0);
  Fill(large, 200);
  for (KRegistry* root : {&small, &large}) {
    EXPECT_EQ(ValueAt(*root, u"\\G\\A B"), 1);  // "a b" comes first
    EXPECT_EQ(ValueAt(*root, u"\\G\\a"), 4);    // set again by the second line
    EXPECT_EQ(ValueAt(*root, u"\\G\\AB"), 3);
    EXPECT_EQ(ValueAt(*root, u"\\G\\sub\\x"), 5);
    EXPECT_EQ(ValueAt(*root, u"\\G\\\u00e9T\u00c9"), 6);  // Latin-1 case folding
    EXPECT_EQ(ValueAt(*root, u"\\G\\Abc"), -1);
    // Setting goes to the first match too, and a new name is appended.
    root->Apply(u"G\\A:Int=9");
    EXPECT_EQ(ValueAt(*root, u"\\G\\A"), 9);
    root->Apply(u"G\\New:Int=7");
    EXPECT_EQ(ValueAt(*root, u"\\G\\new"), 7);
    // A renamed or removed child is found under its new name only.
    root->LookupInt(u"\\G\\ab")->SetName(u"Renamed");
    EXPECT_EQ(ValueAt(*root, u"\\G\\ab"), -1);
    EXPECT_EQ(ValueAt(*root, u"\\G\\renamed"), 3);
    delete root->LookupInt(u"\\G\\New");
    EXPECT_EQ(ValueAt(*root, u"\\G\\New"), -1);
  }
}

TEST(KRGroupIndex, AHundredThousandLinesInOneGroupAllLoad) {
  std::string text = "Registry Version: 1.00\nBig\\:=\n";
  for (int i = 0; i < 100000; ++i) {
    text += "Big\\V" + std::to_string(i) + ":Int=" + std::to_string(i) + "\n";
  }
  KRegistry root;
  KMemoryStream stream(text.data(), text.size());
  root.Load(stream);
  KRGroup* big = root.LookupGroup(u"\\Big\\");
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(big->Children().Count(), 100000);
  EXPECT_EQ(ValueAt(root, u"\\Big\\V0"), 0);
  EXPECT_EQ(ValueAt(root, u"\\Big\\V54321"), 54321);
  EXPECT_EQ(ValueAt(root, u"\\Big\\v99999"), 99999);
  // A repeated line changes the existing node instead of adding one.
  root.Apply(u"Big\\V7:Int=-7");
  EXPECT_EQ(ValueAt(root, u"\\Big\\V7"), -7);
  EXPECT_EQ(big->Children().Count(), 100000);
}

}  // namespace
