#pragma once

#include <vector>

#include "base/k_rect.h"

class KRGroup;

// The monitors of the desktop: entry 0 is the main screen, then the further
// monitors in the platform's order, without repeats. On X the primary
// monitor need not start at (0, 0), so the main screen is its real place.
class KMonitorList {
 public:
  // `mainScreen` is the primary display's rectangle; `monitors` the
  // platform's full monitor rectangles (inclusive), in its order.
  void Fill(const KRect& mainScreen, const std::vector<KRect>& monitors);
  // Null for a negative or too large index.
  const KRect* At(int index) const;
  const KRect& MainScreen() const { return main_; }
  int Count() const { return static_cast<int>(entries_.size()); }

 private:
  std::vector<KRect> entries_;
  KRect main_;
};

// Where the display window goes, from the settings and the monitors.
struct TDisplayPlacement {
  static constexpr int kMaxSize = 16384;

  bool valid = false;  // false when a setting is missing: leave the window alone
  KRect target;
  bool topmost = false;
  bool coversMainScreen = false;
  // The window rectangles to apply in order: none when it is already there;
  // two when it only moves, the first one row shorter, so that every change
  // is also a change of size and the contents are rebuilt.
  std::vector<KRect> moves;

  static TDisplayPlacement Compute(KRGroup& settings, const KMonitorList& monitors,
                                   const KRect& current);
};
