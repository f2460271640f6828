#include "sources/t_packet_definitions.h"

TFields* TPacketDefinitions::Find(std::u16string_view name) const {
  for (TFields* fields : list_.Items<TFields>()) {
    if (fields->Name().View() == name) return fields;
  }
  return nullptr;
}

bool TPacketDefinitions::Feed(char16_t ch) {
  bool traffic = false;
  for (TFields* fields : list_.Items<TFields>()) {
    const bool before = fields->InPacket();
    fields->Feed(ch);
    traffic = traffic || before || fields->InPacket();
  }
  return traffic;
}
