#pragma once

#include <vector>

#include "base/k_string.h"

// Counts the running copies of the program. Each copy holds an exclusive
// flock on one slot file in the runtime folder; the kernel drops the lock
// when the process ends in any way, so a crashed copy is never counted.
// A guard lock serialises copies that start at the same moment.
class TCopyCounter {
 public:
  static constexpr int kMaxSlots = 1024;

  TCopyCounter() = default;
  TCopyCounter(const TCopyCounter&) = delete;
  TCopyCounter& operator=(const TCopyCounter&) = delete;
  ~TCopyCounter();

  // $XDG_RUNTIME_DIR/Telvane, else /tmp/Telvane-<uid>; created with mode 0700.
  static KString RuntimeFolder();

  // Takes a slot and returns the copy number: 1 when no other copy runs,
  // else the count of running copies including this one (at least 2). A
  // folder that cannot be used counts this copy as the first.
  int Acquire(const KString& folder);
  void Release();

  int CopyNumber() const { return copyNumber_; }
  // The slot this copy holds (1-based), 0 when none.
  int Slot() const { return slot_; }

 private:
  int slotFd_ = -1;
  int slot_ = 0;
  int copyNumber_ = 0;
};
