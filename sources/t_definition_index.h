#pragma once

#include <vector>

class TFields;
class TPacketDefinitions;

// Numbers the packet definitions of all sources: in source order and,
// within a source, in script order, from 0. Layout objects keep these
// numbers to name the definition they are bound to. The source collection
// registers each source's definitions in its own order.
class TDefinitionIndex {
 public:
  void Add(const TPacketDefinitions& definitions);
  void Remove(const TPacketDefinitions& definitions);
  void Clear() { sources_.clear(); }

  // -1 when the definition's source is not registered.
  int IndexOf(const TFields& fields) const;
  // Null when no definition has that number.
  TFields* At(int index) const;
  int Count() const;

 private:
  std::vector<const TPacketDefinitions*> sources_;
};
