#include "config/k_menu_text.h"

#include <gtest/gtest.h>

#include "config/k_default_settings.h"
#include "config/k_registry.h"

namespace {

std::string Shown(const char16_t* text, KRGroup& root) {
  return KMenuText::Display(KString(std::u16string_view(text)), root).ToUtf8();
}

}  // namespace

TEST(KMenuText, KeyDescriptions) {
  KRegistry root(KDefaultSettings::Table());
  EXPECT_EQ(Shown(u"&New,N", root), "&New\tCtrl+N");
  EXPECT_EQ(Shown(u"&Clear,A+C", root), "&Clear\tAlt+C");
  EXPECT_EQ(Shown(u"Next,S+F5", root), "Next\tShift+F5");
  EXPECT_EQ(Shown(u"All,S+C+A+Del", root), "All\tShift+Ctrl+Alt+Del");
  EXPECT_EQ(Shown(u"Page,PgUp", root), "Page\tCtrl+PgUp");
  EXPECT_EQ(Shown(u"Help,F12", root), "Help\tCtrl+F12");
  EXPECT_EQ(Shown(u"Save &as...", root), "Save &as...");
  // "C+" with nothing after it: the prefix is not taken, and "C+" names no key.
  EXPECT_EQ(Shown(u"Odd,C+", root), "Odd");
  EXPECT_EQ(Shown(u"Plus,S++", root), "Plus\tShift++");
  EXPECT_EQ(Shown(u"Bad,Foo", root), "Bad");
  EXPECT_EQ(Shown(u"Empty,", root), "Empty");
  // The modifier words come from the tree, so a language file renames them.
  root.Apply(u"Strings\\Menu\\Ctrl:String=Strg");
  EXPECT_EQ(Shown(u"&Neu,N", root), "&Neu\tStrg+N");
  const KMenuText::Shortcut key = KMenuText::ParseShortcut(KString(u"x,A+F3"));
  EXPECT_TRUE(key.valid && key.alt && !key.ctrl && key.IsFunctionKey());
  EXPECT_EQ(KMenuText::Label(KString(u"&Open...,O")).ToUtf8(), "&Open...");
}
