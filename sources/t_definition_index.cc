#include "sources/t_definition_index.h"

#include <algorithm>

#include "sources/t_fields.h"
#include "sources/t_packet_definitions.h"

void TDefinitionIndex::Add(const TPacketDefinitions& definitions) {
  if (std::find(sources_.begin(), sources_.end(), &definitions) == sources_.end()) {
    sources_.push_back(&definitions);
  }
}

void TDefinitionIndex::Remove(const TPacketDefinitions& definitions) {
  sources_.erase(std::remove(sources_.begin(), sources_.end(), &definitions), sources_.end());
}

int TDefinitionIndex::IndexOf(const TFields& fields) const {
  int base = 0;
  for (const TPacketDefinitions* definitions : sources_) {
    if (fields.List() == &definitions->List()) return base + definitions->List().IndexOf(&fields);
    base += definitions->Count();
  }
  return -1;
}

TFields* TDefinitionIndex::At(int index) const {
  if (index < 0) return nullptr;
  for (const TPacketDefinitions* definitions : sources_) {
    if (index < definitions->Count()) return definitions->At(index);
    index -= definitions->Count();
  }
  return nullptr;
}

int TDefinitionIndex::Count() const {
  int count = 0;
  for (const TPacketDefinitions* definitions : sources_) count += definitions->Count();
  return count;
}
