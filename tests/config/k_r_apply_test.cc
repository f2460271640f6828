#include <gtest/gtest.h>

#include "config/k_r_bool.h"
#include "config/k_r_float.h"
#include "config/k_r_int.h"
#include "config/k_r_rat.h"
#include "config/k_r_string.h"
#include "config/k_r_types.h"
#include "config/k_registry.h"
#include "settings_test_util.h"

namespace {

// A small tree shaped like the catalogue's top.
class Apply : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char16_t* line :
         {u"General\\:=", u"Display\\:=", u"Sources\\:=", u"General\\Unlock:String=",
          u"Display\\Width:Int=640", u"Language\\:=", u"Language\\Choice:String=en"}) {
      ASSERT_NE(root.Apply(line), nullptr) << KString(line);
    }
  }
  KRegistry root;
};

std::string PathOf(const KRNode* node) {
  KString path;
  if (node) node->FullPath(path);
  return path.ToUtf8();
}

}  // namespace

TEST_F(Apply, FindsExistingNodesWithOrWithoutLeadingBackslash) {
  KRNode* width = root.Apply(u"\\Display\\Width");
  ASSERT_NE(width, nullptr);
  EXPECT_EQ(root.Apply(u"Display\\Width"), width);
  EXPECT_EQ(root.Apply(u"\\display\\WIDTH"), width);  // names match ignoring case
  EXPECT_EQ(static_cast<KRInt*>(width)->Value(), 640);
  EXPECT_EQ(root.Apply(u"\\Display\\"), root.LookupGroup(u"\\Display\\"));
  EXPECT_EQ(root.Apply(u"\\"), &root);
  EXPECT_EQ(root.Apply(u""), &root);
  // A group is only reached through its trailing backslash.
  EXPECT_EQ(root.Apply(u"\\Display"), nullptr);
  EXPECT_EQ(root.Apply(u"\\Display\\Widthx"), nullptr);
}

TEST_F(Apply, SetsAnExistingValueThroughItsHandler) {
  std::u16string seen;
  KRString* choice = root.LookupString(u"\\Language\\Choice");
  ASSERT_NE(choice, nullptr);
  choice->SetHandler(
      [&](KRString& node, const KString& value, intptr_t user) {
        seen = value.ToU16();
        EXPECT_EQ(user, 7);
        node.Assign(value);
        return true;
      },
      7);
  int result = -1;
  EXPECT_EQ(root.Apply(u"Language\\Choice:String=de", &result), choice);
  EXPECT_EQ(result, KRNode::kAttributesAccepted | KRNode::kValueAccepted);
  EXPECT_EQ(seen, u"de");
  EXPECT_EQ(root.LookupText(u"\\Language\\Choice").ToUtf8(), "de");
  choice->SetHandler(nullptr);
  root.Apply(u"Language\\Choice:String=fr");
  EXPECT_EQ(seen, u"de");
  EXPECT_EQ(choice->Value().ToUtf8(), "fr");
}

TEST_F(Apply, CreatesOnlyTheLastSegment) {
  KRNode* group = root.Apply(u"Sources\\1\\:=");
  ASSERT_NE(group, nullptr);
  EXPECT_TRUE(group->IsGroup());
  EXPECT_EQ(PathOf(group), "\\Sources\\1");
  EXPECT_NE(root.Apply(u"Sources\\1\\Name:String=Track"), nullptr);
  EXPECT_EQ(root.LookupText(u"\\Sources\\1\\Name").ToUtf8(), "Track");
  // A missing group in the middle: nothing is created at any level.
  EXPECT_EQ(root.Apply(u"General\\B\\C:Int=1"), nullptr);
  EXPECT_EQ(root.Apply(u"Missing\\X\\:="), nullptr);
  EXPECT_EQ(root.Lookup(u"\\General\\B\\"), nullptr);
  // Creation needs both a colon and an equals sign after it.
  EXPECT_EQ(root.Apply(u"General\\Plain"), nullptr);
  EXPECT_EQ(root.Apply(u"General\\NoValue:Int"), nullptr);
  EXPECT_EQ(root.Apply(u"General\\Wrong=1:Int"), nullptr);
}

TEST_F(Apply, RejectsValuesThatDoNotParseAndNamesThatAreTooLong) {
  EXPECT_EQ(root.Apply(u"X:Int="), nullptr);
  EXPECT_EQ(root.Apply(u"X:Int=abc"), nullptr);
  EXPECT_EQ(root.Apply(u"X:Float=."), nullptr);
  EXPECT_EQ(root.Apply(u"X:Rat=1/0"), nullptr);
  EXPECT_EQ(root.Apply(u"X:Blob=1"), nullptr);
  EXPECT_EQ(root.Lookup(u"X"), nullptr);
  KRNode* empty = root.Apply(u"X:String=");
  ASSERT_NE(empty, nullptr);
  EXPECT_TRUE(static_cast<KRString*>(empty)->Value().IsEmpty());

  EXPECT_EQ(root.Apply(u"General\\ABCDEFGHIJKLMNOP:Int=1"), nullptr);  // 16 characters
  EXPECT_NE(root.Apply(u"General\\ABCDEFGHIJKLMNO:Int=1"), nullptr);   // 15
  EXPECT_EQ(root.Apply(u"General\\ABCDEFGHIJKLMNOP\\:="), nullptr);
  // A name must start with a letter, digit or "_"; Latin-1 letters count.
  // Any other character ends the path at the group reached so far.
  EXPECT_EQ(root.Apply(u"General\\-x:Int=1"), root.LookupGroup(u"\\General\\"));
  EXPECT_EQ(root.Lookup(u"\\General\\-x"), root.LookupGroup(u"\\General\\"));
  EXPECT_NE(root.Apply(u"General\\\u00c9t\u00e9:Int=1"), nullptr);
  EXPECT_NE(root.Apply(u"General\\_a b:Int=2"), nullptr);
  EXPECT_EQ(root.LookupInt(u"\\General\\_A B", 0), 2);
}

TEST_F(Apply, TypeNameIsTakenAfterTheColonButNeverMakesAGroup) {
  EXPECT_NE(root.Apply(u"General\\T: int ,5=3"), nullptr);
  EXPECT_EQ(root.LookupInt(u"\\General\\T", 0), 3);
  EXPECT_EQ(root.LookupInt(u"\\General\\T")->Mark(), 5);
  // 'Name:Group=' is not the way to make a group, and must not recurse.
  EXPECT_EQ(root.Apply(u"General\\G:Group="), nullptr);
  EXPECT_EQ(root.Apply(u"General\\G:group,1="), nullptr);
  EXPECT_EQ(root.Lookup(u"\\General\\G\\"), nullptr);
}

TEST_F(Apply, AnExistingNodeKeepsItsTypeWhenTheFileDisagrees) {
  int result = -1;
  KRNode* width = root.Apply(u"\\Display\\Width:String,1=800", &result);
  ASSERT_EQ(width, root.Lookup(u"\\Display\\Width"));
  EXPECT_EQ(result, KRNode::kValueAccepted);  // attributes refused, value taken
  EXPECT_EQ(static_cast<KRInt*>(width)->Value(), 800);
  EXPECT_EQ(width->TypeName().ToUtf8(), "Int");
  // A text that does not parse as the node's own type changes nothing.
  root.Apply(u"\\Display\\Width:String,1=wide", &result);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(root.LookupInt(u"\\Display\\Width", 0), 800);
}

TEST_F(Apply, AttributesCarryMarksLimitsAndTheFirstTag) {
  root.Apply(u"\\Display\\Width:Int,9,-5,0x10=1");
  const KRInt* width = root.LookupInt(u"\\Display\\Width");
  EXPECT_EQ(width->Mark(), 9);
  EXPECT_EQ(width->Minimum(), -5);
  EXPECT_EQ(width->Maximum(), 16);
  EXPECT_EQ(width->Value(), 1);  // limits are not enforced

  root.Apply(u"\\Display\\:first,3=");
  root.Apply(u"\\Display\\:second,4=");
  const KRGroup* display = root.LookupGroup(u"\\Display\\");
  EXPECT_EQ(display->Tag().ToUtf8(), "first");
  EXPECT_EQ(display->Mark(), 4);

  root.Apply(u"F:Float,2,0.5,10=1.5");
  EXPECT_EQ(Written(*root.LookupFloat(u"F")).substr(23), "F:Float,2,0.500000,10.000000=1.500000\n");
}

TEST_F(Apply, PlainPathsAndOtherCharactersChangeNothing) {
  const std::string before = Written(root);
  for (const char16_t* line :
       {u" General\\Unlock:String=x", u"-x:Int=1", u"\\Display\\Width", u"=5", u",", u"\\\\:=",
        u"Display\\Width junk", u"General\\Unlock junk:String=x"}) {
    root.Apply(line);
  }
  EXPECT_EQ(Written(root), before);
}

TEST_F(Apply, ALineThatCannotBeWrittenBackIsRefused) {
  // A name or tag holding a line break would split the written line.
  EXPECT_EQ(root.Apply(u"General\\A\nB:Int=1"), nullptr);
  root.Apply(u"General\\:a\nb=");
  EXPECT_TRUE(root.LookupGroup(u"\\General\\")->Tag().IsEmpty());
  // A string's line break is stored as the two characters backslash and "n".
  root.Apply(u"General\\Unlock:String=one\r\ntwo\nthree\rfour");
  EXPECT_EQ(root.LookupText(u"\\General\\Unlock").ToUtf8(), "one\\ntwo\\nthree\\nfour");
}

TEST_F(Apply, LookupNeverCreatesOrChanges) {
  EXPECT_EQ(root.Lookup(u"General\\New:Int=1"), nullptr);
  EXPECT_EQ(root.Lookup(u"\\General\\New"), nullptr);
  EXPECT_EQ(root.Lookup(u"\\Display\\Width:Int=1"), root.LookupInt(u"\\Display\\Width"));
  EXPECT_EQ(root.LookupInt(u"\\Display\\Width", 0), 640);
  // Typed lookups return null for the wrong type; LookupText an empty text.
  EXPECT_EQ(root.LookupString(u"\\Display\\Width"), nullptr);
  EXPECT_EQ(root.LookupGroup(u"\\Display\\Width"), nullptr);
  EXPECT_EQ(root.LookupInt(u"\\General\\Unlock"), nullptr);
  EXPECT_TRUE(root.LookupText(u"\\Display\\Width").IsEmpty());
  EXPECT_TRUE(root.LookupText(u"\\No\\Such").IsEmpty());
  EXPECT_EQ(root.LookupFloat(u"\\Display\\Width", 2.5), 2.5);
  EXPECT_EQ(root.LookupBool(u"\\Display\\Width", true), true);
  // Relative paths from a group fetched once.
  KRGroup* display = root.LookupGroup(u"\\Display\\");
  EXPECT_EQ(display->LookupInt(u"Width", 0), 640);
}

TEST_F(Apply, AValueAndAGroupMayShareAName) {
  ASSERT_NE(root.Apply(u"General\\Both:Int=1"), nullptr);
  ASSERT_NE(root.Apply(u"General\\Both\\:="), nullptr);
  EXPECT_NE(root.Apply(u"General\\Both\\Inner:Int=2"), nullptr);
  EXPECT_EQ(root.LookupInt(u"\\General\\Both", 0), 1);
  EXPECT_EQ(root.LookupInt(u"\\General\\Both\\Inner", 0), 2);
}

TEST_F(Apply, DeletedNodesAreFoundButNotWritten) {
  root.Apply(u"General\\MainWindow\\:=");
  root.Apply(u"General\\MainWindow\\Left:Int=10");
  KRNode* window = root.Lookup(u"\\General\\MainWindow\\");
  window->SetDeleted(true);
  EXPECT_NE(root.LookupInt(u"\\General\\MainWindow\\Left"), nullptr);
  EXPECT_EQ(Written(root).find("MainWindow"), std::string::npos);
  window->SetDeleted(false);
  EXPECT_NE(Written(root).find("\\General\\MainWindow\\Left:Int,1,,=10\n"), std::string::npos);
  window->SetSaved(false);
  EXPECT_EQ(Written(root).find("MainWindow"), std::string::npos);
}

TEST_F(Apply, TreeOperations) {
  KRGroup* general = root.LookupGroup(u"\\General\\");
  EXPECT_EQ(root.ChildGroup(0), general);
  EXPECT_EQ(root.ChildGroup(2), root.LookupGroup(u"\\Sources\\"));
  EXPECT_EQ(root.ChildGroup(4), nullptr);
  EXPECT_EQ(general->ChildGroup(0), nullptr);  // only a value below it
  EXPECT_EQ(root.Depth(), -1);
  EXPECT_EQ(general->Depth(), 0);
  EXPECT_EQ(root.Lookup(u"\\General\\Unlock")->Depth(), 1);
  EXPECT_EQ(PathOf(root.Lookup(u"\\General\\Unlock")), "\\General\\Unlock");
  EXPECT_EQ(PathOf(&root), "");

  auto* first = new KRInt;
  first->SetName(u"First");
  general->Insert(first, nullptr);
  auto* after = new KRBool;
  after->SetName(u"After");
  general->Insert(after, first);
  EXPECT_EQ(first->Parent(), general);
  EXPECT_EQ(Written(*general).substr(23),
            "General\\:,1=\nGeneral\\First:Int,1,,=0\nGeneral\\After:Bool,1=0\n"
            "General\\Unlock:String,1=\n");
  general->Clear();
  EXPECT_EQ(root.Lookup(u"\\General\\Unlock"), nullptr);
  EXPECT_TRUE(general->Children().IsEmpty());
}

TEST(KRTypes, RegisteredInOrderAndMadeByName) {
  KRTypes::Register();
  ASSERT_EQ(KRTypes::Count(), 6);
  std::string names;
  for (int i = 0; i < KRTypes::Count(); ++i) names += KRTypes::At(i)->TypeName().ToUtf8() + " ";
  EXPECT_EQ(names, "Group String Int Rat Bool Float ");
  KRNode* node = KRTypes::New(u"rAt");
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->TypeName().ToUtf8(), "Rat");
  delete node;
  EXPECT_EQ(KRTypes::New(u"Integer"), nullptr);
  KRTypes::Clear();
  EXPECT_EQ(KRTypes::Count(), 0);
  // Without registered types no value can be made, but groups still can.
  KRGroup root;
  EXPECT_EQ(root.Apply(u"X:Int=1"), nullptr);
  EXPECT_NE(root.Apply(u"G\\:="), nullptr);
  KRegistry registry;  // registers them again
  EXPECT_EQ(KRTypes::Count(), 6);
}
