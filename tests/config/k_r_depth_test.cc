// A damaged or hostile profile can nest groups far deeper than a call stack
// would follow. The deep cases run on a thread with a small stack, so that
// any work recursing once per level overflows it, with or without ASan.
#include <pthread.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "config/k_r_group.h"
#include "config/k_r_int.h"
#include "config/k_r_iterator.h"
#include "config/k_registry.h"
#include "settings_test_util.h"

namespace {

constexpr int kDeep = 100000;
// The longest line the reader takes.
constexpr size_t kLineCap = size_t{1} << 20;

// 64 KB leaves the sanitizers room, while a walk that recursed per level
// could not get through a thousand levels.
void OnSmallStack(const std::function<void()>& work) {
  pthread_attr_t attributes;
  ASSERT_EQ(pthread_attr_init(&attributes), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attributes, 64 * 1024), 0);
  pthread_t thread;
  const auto run = [](void* arg) -> void* {
    (*static_cast<const std::function<void()>*>(arg))();
    return nullptr;
  };
  auto* arg = const_cast<std::function<void()>*>(&work);
  ASSERT_EQ(pthread_create(&thread, &attributes, run, arg), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
}

// The two names taken in turn down the chain; a group would take its own
// name as the start of a relative path, so neighbours must differ.
std::u16string NameAt(int level, int length) {
  return std::u16string(static_cast<size_t>(length), level % 2 ? u'b' : u'a');
}

// "\a\b\a\...\" down to `levels` groups.
std::u16string ChainPath(int levels, int nameLength = 1) {
  std::u16string path = u"\\";
  for (int level = 0; level < levels; ++level) path += NameAt(level, nameLength) + u"\\";
  return path;
}

// Each line names the next deeper group, applied to the group made last.
KRGroup* BuildChain(KRGroup& root, int levels, int nameLength = 1) {
  KRGroup* at = &root;
  for (int level = 0; level < levels; ++level) {
    int result = 0;
    KRNode* next = at->Apply(NameAt(level, nameLength) + u"\\:Deep,2=", &result);
    if (!next || next->Parent() != at || result != 3) return nullptr;
    at = static_cast<KRGroup*>(next);
  }
  return at;
}

void LoadText(KRGroup& root, const std::string& text) {
  KMemoryStream stream = StreamOf(text);
  root.Load(stream);
}

std::string Utf8(const std::u16string& text) {
  return KString(text).ToUtf8();
}

TEST(DeepSettings, AHundredThousandLevelsAreFoundAppliedAndNamed) {
  OnSmallStack([] {
    KRegistry root;
    KRGroup* bottom = BuildChain(root, kDeep);
    ASSERT_NE(bottom, nullptr);
    EXPECT_EQ(bottom->Depth(), kDeep - 1);
    EXPECT_EQ(bottom->Tag().ToUtf8(), "Deep");
    const std::u16string path = ChainPath(kDeep);
    EXPECT_EQ(root.Lookup(path), bottom);
    EXPECT_EQ(root.LookupGroup(path), bottom);
    KString upper(path);
    for (int i = 0; i < upper.Length(); ++i) upper.SetAt(i, KString::ToUpper(upper.At(i)));
    EXPECT_EQ(root.Lookup(upper), bottom);
    KString full;
    bottom->FullPath(full);
    EXPECT_EQ(full.ToU16() + u"\\", path);

    // A full-path line from the root makes the last segment at the bottom.
    int result = 0;
    KRNode* value = root.Apply(path + u"Value:Int,1,,=42", &result);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->Parent(), bottom);
    EXPECT_EQ(result, KRNode::kAttributesAccepted | KRNode::kValueAccepted);
    EXPECT_EQ(root.LookupInt(path + u"VALUE", 0), 42);
    EXPECT_EQ(root.Apply(path + u"Value:Int=43", &result), value);
    EXPECT_EQ(static_cast<KRInt*>(value)->Value(), 43);

    // Missing just above the bottom: every group on the way back up is asked
    // to create the rest and refuses; nothing is made anywhere.
    for (const char16_t* rest : {u"Missing\\X:Int=1", u"Missing\\X\\:=", u"Missing\\X"}) {
      EXPECT_EQ(root.Apply(path + rest), nullptr) << Utf8(rest);
      EXPECT_EQ(root.Lookup(path + rest), nullptr) << Utf8(rest);
    }
    EXPECT_EQ(bottom->Children().Count(), 1);
    EXPECT_EQ(root.Children().Count(), 1);
    // A path that ends early stops at the group reached.
    EXPECT_EQ(root.Lookup(path + u"-"), bottom);
  });
}

TEST(DeepSettings, AHundredThousandLevelsIterateAndFreeInPieces) {
  OnSmallStack([] {
    KRegistry root;
    KRGroup* bottom = BuildChain(root, kDeep);
    ASSERT_NE(bottom, nullptr);
    ASSERT_NE(root.Apply(ChainPath(kDeep) + u"Last:Int=1"), nullptr);
    ASSERT_NE(root.Apply(u"Top:Int=2"), nullptr);
    for (KRGroup* at = bottom; at != &root; at = at->Parent()) at->SetExpanded(true);
    KRIterator rows(&root);
    ASSERT_EQ(rows.RowCount(), kDeep + 2);
    EXPECT_EQ(rows.At(kDeep - 1), bottom);
    EXPECT_EQ(rows.At(kDeep)->Name().ToUtf8(), "Last");
    EXPECT_EQ(rows.At(kDeep + 1)->Name().ToUtf8(), "Top");
    EXPECT_EQ(rows.At(kDeep + 2), nullptr);
    KRIterator below(root.LookupGroup(ChainPath(kDeep / 2)));
    EXPECT_EQ(below.RowCount(), kDeep / 2 + 1);

    // Emptying a group halfway down frees everything below it and no more.
    KRGroup* half = root.LookupGroup(ChainPath(kDeep / 2));
    ASSERT_NE(half, nullptr);
    half->Clear();
    EXPECT_TRUE(half->Children().IsEmpty());
    EXPECT_EQ(root.Lookup(ChainPath(kDeep)), nullptr);
    EXPECT_EQ(root.Lookup(ChainPath(kDeep / 2 + 1)), nullptr);
    EXPECT_EQ(root.LookupGroup(ChainPath(kDeep / 2)), half);
    rows.Reset();
    EXPECT_EQ(rows.RowCount(), kDeep / 2 + 1);
    // Regrown below the cut, then the whole tree goes with the registry.
    EXPECT_NE(BuildChain(*half, kDeep / 2), nullptr);
    EXPECT_NE(root.Lookup(ChainPath(kDeep)), nullptr);
  });
}

TEST(DeepSettings, ADeepTreeIsWrittenAndReadBackLineForLine) {
  // Every line holds its whole path, so the text grows with the square of
  // the depth; a thousand levels already overflow this stack when writing
  // or reading recurses per level.
  constexpr int kLevels = 1000;
  OnSmallStack([] {
    KRegistry root;
    ASSERT_NE(BuildChain(root, kLevels), nullptr);
    const std::u16string path = ChainPath(kLevels);
    ASSERT_NE(root.Apply(path + u"Last:String=x"), nullptr);
    // A hidden group halfway down: its subtree is left out entirely.
    root.LookupGroup(ChainPath(kLevels / 2))->SetSaved(false);
    ASSERT_NE(root.Apply(ChainPath(kLevels / 2 - 1) + u"After:Int=3"), nullptr);
    ASSERT_NE(root.Apply(u"Top:Int=2"), nullptr);
    const std::string written = Written(root);

    // The header, the root, the levels down to the hidden one, and then the
    // value after it and the one at the top: the climb gives back each name.
    std::string expected = "Registry Version: 1.00\n\\:,1=\n";
    for (int level = 1; level < kLevels / 2; ++level) {
      expected += Utf8(ChainPath(level)) + ":Deep,2=\n";
    }
    expected += Utf8(ChainPath(kLevels / 2 - 1)) + "After:Int,1,,=3\n\\Top:Int,1,,=2\n";
    EXPECT_TRUE(written == expected) << written.size() << " bytes against " << expected.size();

    root.LookupGroup(ChainPath(kLevels / 2))->SetSaved(true);
    const std::string whole = Written(root);
    EXPECT_NE(whole.find(Utf8(path) + "Last:String,1=x\n" + Utf8(ChainPath(kLevels / 2 - 1)) +
                         "After:Int,1,,=3\n"),
              std::string::npos);
    KRegistry again;
    LoadText(again, whole);
    EXPECT_EQ(again.LookupText(path + u"Last").ToUtf8(), "x");
    EXPECT_TRUE(Written(again) == whole);
  });
}

TEST(DeepSettings, TheDeepestLineTheReaderTakesIsAppliedAndADeeperOneAloneIsDropped) {
  // With names of the longest length a path passes the line cap about
  // 65,536 levels down: the deepest any profile line can reach.
  constexpr int kName = KRNode::kMaxNameLength;
  constexpr int kLevels = 65536;
  OnSmallStack([] {
    KRegistry root;
    ASSERT_NE(BuildChain(root, kLevels, kName), nullptr);
    const std::string fits = Utf8(ChainPath(kLevels - 1, kName)) + "Fits:String=";
    const std::string deeper = Utf8(ChainPath(kLevels, kName)) + "Drop:Int=1";
    ASSERT_LT(fits.size(), kLineCap);
    ASSERT_GT(deeper.size(), kLineCap);
    std::string text = "Registry Version: 1.00\n\\Before:Int=1\n";
    text += fits + std::string(kLineCap - fits.size(), 'v') + "\n";
    text += deeper + "\n";
    text += Utf8(ChainPath(kLevels - 1, kName)) + "After:Int=2\n\\Top:Int=3\n";
    LoadText(root, text);

    const std::u16string near = ChainPath(kLevels - 1, kName);
    EXPECT_EQ(root.LookupText(near + u"Fits").Length(), static_cast<int>(kLineCap - fits.size()));
    EXPECT_EQ(root.Lookup(ChainPath(kLevels, kName) + u"Drop"), nullptr);
    EXPECT_EQ(root.LookupInt(near + u"After", 0), 2);
    EXPECT_EQ(root.LookupInt(u"\\Before", 0), 1);
    EXPECT_EQ(root.LookupInt(u"\\Top", 0), 3);
  });
}

// Groups of the same name, which renaming can make: each is searched in
// turn, and one that cannot take the line hands it on to the next.
TEST(DeepSettings, GroupsOfOneNameAreTriedInOrder) {
  KRegistry root;
  for (const char16_t* line : {u"A\\:=", u"B\\:=", u"A\\Only:Int=1", u"B\\Sub\\:=",
                               u"B\\Sub\\X:Int=2", u"B\\Only:Int=3"}) {
    ASSERT_NE(root.Apply(line), nullptr);
  }
  KRGroup* first = root.LookupGroup(u"\\A\\");
  KRGroup* second = root.LookupGroup(u"\\B\\");
  second->SetName(u"a");
  EXPECT_EQ(root.LookupInt(u"\\A\\Only", 0), 1);  // the first has it
  EXPECT_EQ(root.LookupInt(u"\\A\\Sub\\X", 0), 2);
  EXPECT_EQ(root.Lookup(u"\\A\\Sub\\"), second->LookupGroup(u"Sub\\"));
  EXPECT_EQ(root.Lookup(u"\\A\\Sub\\Y"), nullptr);
  // A new last segment goes to the first group reached that can make it:
  // the first A for a name alone, the second's Sub for a path through Sub.
  KRNode* made = root.Apply(u"A\\New:Int=4");
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->Parent(), first);
  made = root.Apply(u"A\\Sub\\Y:Int=5");
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->Parent(), second->LookupGroup(u"Sub\\"));
  EXPECT_EQ(root.Apply(u"A\\None\\Z:Int=6"), nullptr);
  EXPECT_EQ(Written(root).substr(23),
            "\\:,1=\n\\A\\:,1=\n\\A\\Only:Int,1,,=1\n\\A\\New:Int,1,,=4\n"
            "\\a\\:,1=\n\\a\\Sub\\:,1=\n\\a\\Sub\\X:Int,1,,=2\n\\a\\Sub\\Y:Int,1,,=5\n"
            "\\a\\Only:Int,1,,=3\n");
}

// What the walk back up must leave out and restore, in a small tree.
TEST(DeepSettings, WritingClimbsPastHiddenNodesAndStopsAtItsOwnGroup) {
  KRegistry root;
  for (const char16_t* line :
       {u"A\\:=", u"A\\B\\:=", u"A\\B\\C\\:=", u"A\\B\\C\\x:Int=1", u"A\\B\\C\\gone:Int=2",
        u"A\\B\\hidden\\:=", u"A\\B\\hidden\\y:Int=3", u"A\\tail:Int=4", u"Z:Int=5"}) {
    ASSERT_NE(root.Apply(line), nullptr);
  }
  root.Lookup(u"\\A\\B\\C\\gone")->SetDeleted(true);
  root.Lookup(u"\\A\\B\\hidden\\")->SetSaved(false);
  EXPECT_EQ(Written(root).substr(23),
            "\\:,1=\n\\A\\:,1=\n\\A\\B\\:,1=\n\\A\\B\\C\\:,1=\n\\A\\B\\C\\x:Int,1,,=1\n"
            "\\A\\tail:Int,1,,=4\n\\Z:Int,1,,=5\n");
  // A group writes itself and its subtree, whatever its own flags say, and
  // never its siblings; a value writes its line alone.
  KRGroup* b = root.LookupGroup(u"\\A\\B\\");
  b->SetSaved(false);
  EXPECT_EQ(Written(*b).substr(23), "B\\:,1=\nB\\C\\:,1=\nB\\C\\x:Int,1,,=1\n");
  EXPECT_EQ(Written(*root.Lookup(u"\\Z")).substr(23), "Z:Int,1,,=5\n");
  root.Lookup(u"\\A\\B\\C\\x")->SetDeleted(true);
  EXPECT_EQ(Written(*b).substr(23), "B\\:,1=\nB\\C\\:,1=\n");
}

}  // namespace
