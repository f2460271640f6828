#pragma once

#include <cstdint>

class KMessageObject;

// A change notification travelling from a node of a layout to its root. The
// low 16 bits say what happened; the high bits how the layout should treat it.
struct LayoutMessage {
  enum Code : uint32_t {
    kContentChanged = 1,  // background, source choice or object list
    kStateReplacing = 2,  // the state is about to be swapped out
    kStateReplaced = 3,   // a new state is in place
    kObjectChanged = 4,   // a property of the sender changed
    kKindMask = 0xFFFF,
    kNotModified = 0x10000,
    kBeginUpdate = 0x80000,
    kEndUpdate = 0x100000,
    kNoSnapshot = 0x200000,
  };

  uint32_t code = 0;
  int32_t argument = 0;
  KMessageObject* sender = nullptr;

  uint32_t Kind() const { return code & kKindMask; }
};
