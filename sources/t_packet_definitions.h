#pragma once

#include <string_view>

#include "base/k_list.h"
#include "sources/t_fields.h"

// The ordered packet definitions of one source, in script order.
class TPacketDefinitions {
 public:
  TPacketDefinitions() = default;
  TPacketDefinitions(const TPacketDefinitions&) = delete;
  TPacketDefinitions& operator=(const TPacketDefinitions&) = delete;

  KList& List() { return list_; }
  const KList& List() const { return list_; }
  int Count() const { return list_.Count(); }
  TFields* At(int index) const { return static_cast<TFields*>(list_.At(index)); }
  // The first definition with exactly this name, or null.
  TFields* Find(std::u16string_view name) const;
  void Clear() { list_.DeleteAll(); }

  // Gives one received character to every definition in script order.
  // True when any of them was inside a packet before it or is after it:
  // then the character is packet traffic, not part of a command line.
  bool Feed(char16_t ch) {
    bool traffic = false;
    for (TFields* fields : list_.Items<TFields>()) {
      const bool before = fields->InPacket();
      fields->Feed(ch);
      traffic = traffic || before || fields->InPacket();
    }
    return traffic;
  }

 private:
  KList list_;
};
