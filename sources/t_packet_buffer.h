#pragma once

#include <memory>

#include "base/k_string.h"

namespace TPacketBufferDetail {
// Holds the characters, so that it is built before the string that uses them.
struct Storage {
  explicit Storage(int capacity)
      : characters(new char16_t[static_cast<size_t>(capacity > 0 ? capacity : 1)]) {}
  std::unique_ptr<char16_t[]> characters;
};
}  // namespace TPacketBufferDetail

// A fixed string whose capacity is chosen once at run time (the packet
// buffer): it never grows, so a runaway body cannot eat memory.
class TPacketBuffer : private TPacketBufferDetail::Storage, public KString {
 public:
  explicit TPacketBuffer(int capacity)
      : Storage(capacity), KString(characters.get(), capacity > 0 ? capacity : 0) {}
  TPacketBuffer(const TPacketBuffer&) = delete;
  TPacketBuffer& operator=(const TPacketBuffer&) = delete;
};
