#include "layout/k_message_object.h"

KMessageObject* KMessageObject::FindById(int32_t id) {
  const int32_t mine = parent_ != nullptr ? id_ : 0;
  return mine == id ? this : nullptr;
}

void KMessageObject::OnMessage(LayoutMessage& /*message*/) {}

KMessageObject& KMessageObject::Root() {
  KMessageObject* node = this;
  // A bounded walk: a tree deeper than this is a loop someone made by mistake.
  for (int depth = 0; node->parent_ != nullptr && depth < 64; ++depth) node = node->parent_;
  return *node;
}

int32_t KMessageObject::NextId() {
  KMessageObject& root = Root();
  // Wraps instead of overflowing on a counter read from a damaged file.
  root.id_ = static_cast<int32_t>(static_cast<uint32_t>(root.id_) + 1u);
  return root.id_;
}

void KMessageObject::Notify(LayoutMessage message) {
  if (message.sender == nullptr) message.sender = this;
  Root().OnMessage(message);
}
