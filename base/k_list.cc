#include "base/k_list.h"

KListItem::~KListItem() {
  Unlink();
}

int KListItem::IndexInList() const {
  return list_ ? list_->IndexOf(this) : -1;
}

void KListItem::Unlink() {
  if (list_) list_->Unlink(this);
}

KList::~KList() {
  DeleteAll();
}

void KList::Link(KListItem* item, KListItem* before) {
  if (!item) return;
  if (item == before) return;
  item->Unlink();
  item->list_ = this;
  item->next_ = before;
  item->prev_ = before ? before->prev_ : last_;
  if (item->prev_) {
    item->prev_->next_ = item;
  } else {
    first_ = item;
  }
  if (before) {
    before->prev_ = item;
  } else {
    last_ = item;
  }
  ++count_;
  ++version_;
}

void KList::Append(KListItem* item) {
  Link(item, nullptr);
}

void KList::Prepend(KListItem* item) {
  Link(item, first_);
}

void KList::InsertAt(int index, KListItem* item) {
  if (!item) return;
  if (item->list_ == this) Unlink(item);
  Link(item, index <= 0 ? first_ : At(index));
}

void KList::InsertAfter(KListItem* item, KListItem* after) {
  if (!after || after->list_ != this) {
    Append(item);
    return;
  }
  if (item == after) return;
  if (item && item->list_ == this) Unlink(item);
  Link(item, after->next_);
}

void KList::InsertBefore(KListItem* item, KListItem* before) {
  if (!before || before->list_ != this) {
    Append(item);
    return;
  }
  Link(item, before);
}

int KList::IndexOf(const KListItem* item) const {
  if (!item || item->list_ != this) return -1;
  int index = 0;
  for (const KListItem* at = first_; at; at = at->next_, ++index) {
    if (at == item) return index;
  }
  return -1;
}

KListItem* KList::At(int index) const {
  if (index < 0 || index >= count_) return nullptr;
  KListItem* at = first_;
  while (index-- > 0) at = at->next_;
  return at;
}

KListItem* KList::Unlink(KListItem* item) {
  if (!item || item->list_ != this) return nullptr;
  if (item->prev_) {
    item->prev_->next_ = item->next_;
  } else {
    first_ = item->next_;
  }
  if (item->next_) {
    item->next_->prev_ = item->prev_;
  } else {
    last_ = item->prev_;
  }
  item->list_ = nullptr;
  item->prev_ = item->next_ = nullptr;
  --count_;
  ++version_;
  return item;
}

void KList::MoveAllFrom(KList& other) {
  if (&other == this) return;
  while (KListItem* item = other.first_) Append(item);
}

void KList::ForgetAll() {
  for (KListItem* at = first_; at;) {
    KListItem* next = at->next_;
    at->list_ = nullptr;
    at->prev_ = at->next_ = nullptr;
    at = next;
  }
  first_ = last_ = nullptr;
  count_ = 0;
  ++version_;
}

void KList::DeleteAll() {
  // Unlink before deleting so that a destructor looking at the list sees it consistent.
  while (KListItem* item = last_) delete Unlink(item);
}

void KSortedListItem::InsertSorted(KList& list, KSortedListItem* item) {
  if (!item) return;
  item->Unlink();
  KListItem* at = list.Last();
  while (at && static_cast<KSortedListItem*>(at)->Compare(*item) > 0) at = at->Previous();
  if (at) {
    list.InsertAfter(item, at);
  } else {
    list.Prepend(item);
  }
}

void KSparseArray::Set(int key, KSparseArrayItem* item) {
  if (!item) return;
  item->Unlink();
  item->key_ = key;
  KListItem* at = First();
  while (at && static_cast<KSparseArrayItem*>(at)->key_ < key) at = at->Next();
  if (at && static_cast<KSparseArrayItem*>(at)->key_ == key) {
    KListItem* replaced = at;
    at = at->Next();
    delete Unlink(replaced);
  }
  if (at) {
    InsertBefore(item, at);
  } else {
    Append(item);
  }
}

KSparseArrayItem* KSparseArray::Get(int key) const {
  for (auto* item : Items<KSparseArrayItem>()) {
    if (item->key_ == key) return item;
    if (item->key_ > key) break;
  }
  return nullptr;
}

bool KSparseArray::Remove(int key) {
  KSparseArrayItem* item = Get(key);
  if (!item) return false;
  delete Unlink(item);
  return true;
}
