#pragma once

#include <cstdint>

#include "base/k_color.h"
#include "base/k_list.h"

class TLayoutObject;

// The replaceable content of a layout: what undo swaps and loading fills.
class TLayoutState : public KListItem {
 public:
  static constexpr KColor kDefaultBackground = KColor::Palette(7);

  KString ClassName() const override { return KString::MakeView(u"TLayoutState"); }

  KColor background = kDefaultBackground;
  // 0 any source, 1 the selected packet definitions only.
  int32_t sourceMode = 0;
  uint32_t sourceMask = 0;
  // In drawing order: the first lies at the back. Owned.
  KList objects;
};
