#include "config/k_r_iterator.h"

#include "config/k_r_group.h"

KRIterator::KRIterator(KRGroup* root) : root_(root) {
  Reset();
}

void KRIterator::SetRoot(KRGroup* root) {
  root_ = root;
  Reset();
}

KRNode* KRIterator::Step(KRNode* node) const {
  if (node->IsGroup()) {
    auto* group = static_cast<KRGroup*>(node);
    if (group->IsExpanded() && group->FirstChild()) return group->FirstChild();
  }
  for (KRNode* at = node; at && at != root_; at = at->Parent()) {
    if (at->Next()) return static_cast<KRNode*>(at->Next());
  }
  return nullptr;
}

void KRIterator::Reset() {
  current_ = nullptr;
  row_ = 0;
  rowCount_ = 0;
  if (!root_) return;
  for (KRNode* at = root_->FirstChild(); at; at = Step(at)) ++rowCount_;
}

KRNode* KRIterator::At(int row) {
  if (!root_ || row < 0) return nullptr;
  if (row < row_ || !current_) {
    current_ = root_->FirstChild();
    row_ = 0;
  }
  while (current_ && row_ < row) {
    current_ = Step(current_);
    ++row_;
  }
  return current_;
}
