#pragma once

#include <cstdint>
#include <string>
#include <vector>

class K3DSystemFont;

// Draws an outline font into the sport font format, the way the system
// fonts are drawn on the display but in ink numbers: face ink 1, edge
// pixels in inks 2 to 6 by falling coverage, a one-pixel border in ink 7
// and the diagonal shadow in ink 8. Every glyph is `size` pixels high, so
// the space glyph names the size.
class K3DSportFontMaker {
 public:
  // The characters a made file holds: printable ASCII and Latin-1.
  static bool IsMadeCharacter(int code) {
    return (code >= 32 && code <= 126) || (code >= 160 && code <= 255);
  }
  // The ink of a face pixel with coverage `level`, at or above `threshold`.
  static uint8_t EdgeInk(int level, int threshold);

  // Appends the glyph records to `out`; characters the font lacks are left
  // out. False with `error` set when the font cannot be drawn.
  static bool Make(K3DSystemFont& font, int size, std::vector<uint8_t>& out, std::string& error);
};
