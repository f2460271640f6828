#pragma once

#include "config/k_r_group.h"
#include "config/k_r_int.h"

// One integer setting of the display: the node is looked up once and its
// value read at every use, so a change in the tree shows at the next use.
class TDisplaySetting {
 public:
  TDisplaySetting(KRGroup& root, const char16_t* path, int fallback)
      : node_(root.LookupInt(path)), fallback_(fallback) {}
  int Value() const { return node_ != nullptr ? node_->Value() : fallback_; }

 private:
  const KRInt* node_;
  int fallback_;
};
