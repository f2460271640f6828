#include "config/k_r_iterator.h"

#include <gtest/gtest.h>

#include "config/k_registry.h"

namespace {

std::string Rows(KRIterator& rows) {
  std::string names;
  for (int i = 0; i < rows.RowCount(); ++i) names += rows.At(i)->Name().ToUtf8() + " ";
  return names;
}

}  // namespace

TEST(KRIterator, VisitsOnlyExpandedGroupsInPreOrder) {
  KRegistry root;
  for (const char16_t* line : {u"A\\:=", u"A\\a1:Int=1", u"A\\B\\:=", u"A\\B\\b1:Int=1",
                               u"A\\a2:Int=1", u"C\\:=", u"C\\c1:Int=1", u"top:Int=1"}) {
    ASSERT_NE(root.Apply(line), nullptr);
  }
  KRIterator rows(&root);
  EXPECT_EQ(rows.RowCount(), 3);
  EXPECT_EQ(Rows(rows), "A C top ");
  root.LookupGroup(u"\\A\\")->SetExpanded(true);
  rows.Reset();
  EXPECT_EQ(Rows(rows), "A a1 B a2 C top ");
  root.LookupGroup(u"\\A\\B\\")->SetExpanded(true);
  root.LookupGroup(u"\\C\\")->SetExpanded(true);
  rows.Reset();
  EXPECT_EQ(Rows(rows), "A a1 B b1 a2 C c1 top ");
  // Going back restarts from the top; past the end there is no row.
  EXPECT_EQ(rows.At(7)->Name().ToUtf8(), "top");
  EXPECT_EQ(rows.At(2)->Name().ToUtf8(), "B");
  EXPECT_EQ(rows.At(8), nullptr);
  EXPECT_EQ(rows.At(0)->Name().ToUtf8(), "A");
  EXPECT_EQ(rows.At(-1), nullptr);
  // An iterator over a subgroup never climbs out of it.
  KRIterator sub(root.LookupGroup(u"\\A\\"));
  EXPECT_EQ(Rows(sub), "a1 B b1 a2 ");
  KRIterator none;
  EXPECT_EQ(none.RowCount(), 0);
  EXPECT_EQ(none.At(0), nullptr);
}
