#pragma once

#include <iterator>

#include "base/k_persistent.h"
#include "base/k_string.h"

class KList;

// A member of an intrusive doubly linked list. An item is in at most one list
// and unlinks itself when destroyed; the list owns it.
class KListItem : public KPersistent {
 public:
  KListItem() = default;
  // A copy is a new item, outside any list.
  KListItem(const KListItem& other) : KPersistent(other) {}
  // Assigning keeps the item where it is: list membership is not a value.
  KListItem& operator=(const KListItem& other) {
    if (this != &other) KPersistent::operator=(other);
    return *this;
  }
  ~KListItem() override;

  virtual KString ClassName() const { return KString::MakeView(u"KListItem"); }
  int IndexInList() const;

  KList* List() const { return list_; }
  KListItem* Next() const { return next_; }
  KListItem* Previous() const { return prev_; }
  // Takes the item out of its list without deleting it.
  void Unlink();

 private:
  friend class KList;
  KList* list_ = nullptr;
  KListItem* prev_ = nullptr;
  KListItem* next_ = nullptr;
};

class KList {
 public:
  KList() = default;
  KList(const KList&) = delete;
  KList& operator=(const KList&) = delete;
  virtual ~KList();

  int Count() const { return count_; }
  // Changes whenever an item joins or leaves, so an index kept beside the
  // list can tell that it is out of date.
  uint64_t Version() const { return version_; }
  bool IsEmpty() const { return count_ == 0; }
  KListItem* First() const { return first_; }
  KListItem* Last() const { return last_; }

  // Each insert takes ownership; an item already in a list leaves that list first.
  void Append(KListItem* item);
  void Prepend(KListItem* item);
  // Inserts so that the item ends up at `index` (clamped to 0..Count()).
  void InsertAt(int index, KListItem* item);
  void InsertAfter(KListItem* item, KListItem* after);
  void InsertBefore(KListItem* item, KListItem* before);

  int IndexOf(const KListItem* item) const;
  KListItem* At(int index) const;
  // Takes the item out without deleting it; the caller owns it again.
  KListItem* Unlink(KListItem* item);
  // Appends every item of `other`, leaving it empty.
  void MoveAllFrom(KList& other);
  // Drops every item without deleting it (their owner is elsewhere now).
  void ForgetAll();
  void DeleteAll();

  template <class T>
  class Iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = T*;
    using difference_type = std::ptrdiff_t;
    using pointer = T**;
    using reference = T*;
    explicit Iterator(KListItem* at) : at_(at) {}
    T* operator*() const { return static_cast<T*>(at_); }
    Iterator& operator++() {
      at_ = at_->Next();
      return *this;
    }
    bool operator==(const Iterator& other) const { return at_ == other.at_; }

   private:
    KListItem* at_;
  };
  template <class T>
  struct Range {
    KListItem* first;
    Iterator<T> begin() const { return Iterator<T>(first); }
    Iterator<T> end() const { return Iterator<T>(nullptr); }
  };
  // for (auto* item : list.Items<TField>()) ...; the caller vouches for the type.
  template <class T = KListItem>
  Range<T> Items() const {
    return Range<T>{first_};
  }

 private:
  friend class KListItem;
  void Link(KListItem* item, KListItem* before);

  KListItem* first_ = nullptr;
  KListItem* last_ = nullptr;
  int count_ = 0;
  uint64_t version_ = 0;
};

// An item of a list kept in the order of Compare.
class KSortedListItem : public KListItem {
 public:
  KString ClassName() const override { return KString::MakeView(u"KSortedListItem"); }
  // Negative, zero or positive as this item sorts before, with or after `other`.
  virtual int Compare(const KSortedListItem& other) const = 0;
  // Inserts after every item that does not sort after it, so equal items keep
  // their order of arrival.
  static void InsertSorted(KList& list, KSortedListItem* item);
};

// An item with an integer key.
class KSparseArrayItem : public KListItem {
 public:
  KString ClassName() const override { return KString::MakeView(u"KSparseArrayItem"); }
  int Key() const { return key_; }

 private:
  friend class KSparseArray;
  int key_ = 0;
};

// Items in ascending key order, at most one per key.
class KSparseArray : public KList {
 public:
  // Stores `item` under `key`, deleting an item already there.
  void Set(int key, KSparseArrayItem* item);
  KSparseArrayItem* Get(int key) const;
  // Deletes the item under `key`; false when there was none.
  bool Remove(int key);
};
