#pragma once

#include "config/k_r_group.h"

// The root of the settings tree; its name is empty, so its lines start with
// a backslash ("\General\:,1="). One per process, owned by the application.
class KRegistry : public KRGroup {
 public:
  // Registers the value types when none are, then applies `lines` (a
  // null-terminated table, or null).
  explicit KRegistry(const char16_t* const* lines = nullptr);
  ~KRegistry() override = default;

  KRNode* NewOfSameType() const override { return new KRegistry; }
};
