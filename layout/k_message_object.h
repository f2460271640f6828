#pragma once

#include <cstdint>

#include "layout/layout_message.h"

// A node of a layout's tree: a layout is the root, its objects the children.
// The root hands out ids and receives every change message of its tree.
class KMessageObject {
 public:
  explicit KMessageObject(KMessageObject* parent = nullptr, int32_t id = 0)
      : parent_(parent), id_(id) {}
  KMessageObject(const KMessageObject&) = delete;
  KMessageObject& operator=(const KMessageObject&) = delete;

  // Itself when `id` is its id; a node without a parent reports id 0.
  virtual KMessageObject* FindById(int32_t id);
  virtual void OnMessage(LayoutMessage& message);
  virtual ~KMessageObject() = default;

  KMessageObject* Parent() const { return parent_; }
  void SetParent(KMessageObject* parent) { parent_ = parent; }
  int32_t Id() const { return id_; }
  void SetId(int32_t id) { id_ = id; }

  KMessageObject& Root();
  // Counts up the root's id field, which in a layout is the counter of ids
  // handed out, and returns the new value.
  int32_t NextId();
  // Sends to the root; a message without a sender gets this node.
  void Notify(LayoutMessage message);
  void Notify(uint32_t code, int32_t argument = 0) { Notify(LayoutMessage{code, argument, this}); }

 private:
  KMessageObject* parent_;
  int32_t id_;
};
