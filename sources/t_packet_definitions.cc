#include "sources/t_packet_definitions.h"

TFields* TPacketDefinitions::Find(std::u16string_view name) const {
  for (TFields* fields : list_.Items<TFields>()) {
    if (fields->Name().View() == name) return fields;
  }
  return nullptr;
}
