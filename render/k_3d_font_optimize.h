#pragma once

#include <cstdint>

#include "base/k_string.h"
#include "render/k_3d_font_info.h"

// What one frequently redrawn text slot remembers between redraws, so that
// an unchanged text is not drawn again and a changed one redraws only the
// characters that differ. The caller clears both flags before each Fit.
class K3DFontOptimize {
 public:
  static constexpr int kEntries = 64;

  struct Entry {
    int16_t advance = -1;
    char16_t character = 0;
  };

  void ClearFlags() {
    hit = false;
    partialHit = false;
  }
  void InvalidateEntries() { entries[0].advance = -1; }
  bool EntriesValid() const { return entries[0].advance >= 0; }

  bool hit = false;
  bool partialHit = false;
  bool lastResult = false;
  int lastAvailable = 0;
  int lastTextLength = 0;
  int lastFittedWidth = 0;
  int lastFittedLength = -1;  // -1: nothing cached
  int lastCharWidthCache = -1;
  K3DFontInfo lastInfo;
  KString63 lastText;
  Entry entries[kEntries];
};
