#pragma once

#include <cstdint>

// Everything a glyph block depends on but its font and its character: the
// description's fields, its colours as the table maps them now and the live
// anti-aliasing settings. Worked out once per text, not per character.
struct K3DGlyphStyle {
  int size;
  int width;
  int charWidth;
  int borderSize;
  int shadowSize;
  uint32_t face;
  uint32_t border;
  uint32_t shadow;
  uint32_t background;
  int enable;
  int bgLight;
  friend bool operator==(const K3DGlyphStyle&, const K3DGlyphStyle&) = default;
};
