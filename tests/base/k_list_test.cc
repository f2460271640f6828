#include "base/k_list.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class Named : public KListItem {
 public:
  explicit Named(int number, int* deaths = nullptr) : id(number), deaths_(deaths) {}
  ~Named() override {
    if (deaths_) ++*deaths_;
  }
  int id;

 private:
  int* deaths_;
};

std::vector<int> Ids(const KList& list) {
  std::vector<int> ids;
  for (auto* item : list.Items<Named>()) ids.push_back(item->id);
  return ids;
}

class Ranked : public KSortedListItem {
 public:
  Ranked(int order, int label) : rank(order), tag(label) {}
  int Compare(const KSortedListItem& other) const override {
    return rank - static_cast<const Ranked&>(other).rank;
  }
  int rank;
  int tag;
};

}  // namespace

TEST(KList, InsertsFindsAndUnlinks) {
  KList list;
  auto* a = new Named(1);
  auto* b = new Named(2);
  auto* c = new Named(3);
  list.Append(a);
  list.Append(c);
  list.InsertAt(1, b);
  EXPECT_EQ(Ids(list), (std::vector<int>{1, 2, 3}));
  list.InsertAt(99, new Named(4));
  list.InsertAt(-3, new Named(0));
  EXPECT_EQ(Ids(list), (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(list.IndexOf(c), 3);
  EXPECT_EQ(c->IndexInList(), 3);
  EXPECT_EQ(list.At(5), nullptr);
  EXPECT_EQ(list.At(-1), nullptr);

  list.InsertAfter(a, c);  // moving within the list
  EXPECT_EQ(Ids(list), (std::vector<int>{0, 2, 3, 1, 4}));
  list.InsertBefore(c, list.First());
  EXPECT_EQ(Ids(list), (std::vector<int>{3, 0, 2, 1, 4}));

  EXPECT_EQ(list.Unlink(b), b);
  EXPECT_EQ(b->IndexInList(), -1);
  EXPECT_EQ(b->List(), nullptr);
  EXPECT_EQ(list.Count(), 4);
  delete b;
}

TEST(KList, ItemsLeaveTheirListWhenDestroyedOrMoved) {
  int deaths = 0;
  KList first;
  KList second;
  auto* doomed = new Named(7, &deaths);
  first.Append(new Named(1, &deaths));
  first.Append(doomed);
  first.Append(new Named(2, &deaths));
  delete doomed;
  EXPECT_EQ(Ids(first), (std::vector<int>{1, 2}));

  second.Append(first.First());  // an item is in at most one list
  EXPECT_EQ(first.Count(), 1);
  second.MoveAllFrom(first);
  EXPECT_TRUE(first.IsEmpty());
  EXPECT_EQ(Ids(second), (std::vector<int>{1, 2}));

  std::vector<KListItem*> kept{second.First(), second.Last()};
  second.ForgetAll();
  EXPECT_EQ(second.Count(), 0);
  EXPECT_EQ(kept[0]->List(), nullptr);
  for (auto* item : kept) delete item;
  EXPECT_EQ(deaths, 3);
}

TEST(KList, TheListDeletesWhatItOwns) {
  int deaths = 0;
  {
    KList list;
    for (int i = 0; i < 5; ++i) list.Append(new Named(i, &deaths));
  }
  EXPECT_EQ(deaths, 5);
}

TEST(KSortedListItem, KeepsOrderAndArrivalOrderAmongEquals) {
  KList list;
  KSortedListItem::InsertSorted(list, new Ranked(5, 1));
  KSortedListItem::InsertSorted(list, new Ranked(1, 2));
  KSortedListItem::InsertSorted(list, new Ranked(5, 3));
  KSortedListItem::InsertSorted(list, new Ranked(3, 4));
  std::vector<int> tags;
  for (auto* item : list.Items<Ranked>()) tags.push_back(item->tag);
  EXPECT_EQ(tags, (std::vector<int>{2, 4, 1, 3}));
  EXPECT_EQ(list.First()->ClassName().ToUtf8(), "KSortedListItem");
}

TEST(KSparseArray, KeepsAscendingKeysAndReplacesOnTheSameKey) {
  KSparseArray array;
  array.Set(40, new KSparseArrayItem);
  array.Set(-2, new KSparseArrayItem);
  array.Set(7, new KSparseArrayItem);
  auto* replacement = new KSparseArrayItem;
  array.Set(7, replacement);
  std::vector<int> keys;
  for (auto* item : array.Items<KSparseArrayItem>()) keys.push_back(item->Key());
  EXPECT_EQ(keys, (std::vector<int>{-2, 7, 40}));
  EXPECT_EQ(array.Get(7), replacement);
  EXPECT_EQ(array.Get(8), nullptr);
  EXPECT_TRUE(array.Remove(-2));
  EXPECT_FALSE(array.Remove(-2));
  EXPECT_EQ(array.Count(), 2);
  EXPECT_EQ(array.First()->ClassName().ToUtf8(), "KSparseArrayItem");
}
