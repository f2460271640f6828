#pragma once

#include "base/k_string.h"

class TDebugEvents;
class TFields;

// What a packet definition needs of the source that owns it.
class TFieldsOwner {
 public:
  TFieldsOwner() = default;
  TFieldsOwner(const TFieldsOwner&) = delete;
  TFieldsOwner& operator=(const TFieldsOwner&) = delete;
  virtual ~TFieldsOwner() = default;

  // The source's Name setting; empty when it has none.
  virtual KString SourceName() const = 0;
  // Null while the debug port is inactive or filters this source out, so
  // the cutter builds no event text nobody reads.
  virtual TDebugEvents* DebugEvents() = 0;
  // A completed packet in which at least one text field matched. The owner
  // hands it on only while it belongs to the source collection.
  virtual void PacketComplete(TFields& definition) = 0;
};
