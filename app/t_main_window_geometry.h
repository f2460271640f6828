#pragma once

#include "base/k_string.h"

class KRGroup;

// Where the main window opens and what it remembers, in the settings group
// \General\MainWindow\, and the window's title.
class TMainWindowGeometry {
 public:
  struct Placement {
    int left = 10;
    int top = 10;
    int width = 600;
    int height = 320;
    bool maximized = true;
  };

  // The default rectangle for that screen, replaced by the remembered one
  // when all five values exist and the size is not negative; otherwise the
  // window opens maximized.
  static Placement Initial(KRGroup* root, int screenWidth, int screenHeight);
  // Writes the normal rectangle (when not maximized) and the maximized state
  // through the change handlers; a missing value or a negative size stops it.
  static void WriteBack(KRGroup* root, const Placement& now);

  // "Telvane", then " <profile>" when a profile is set; at most 63 characters.
  static KString63 Title(const KString& profileName);
};
