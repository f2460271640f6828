#pragma once

#include <cstdint>

#include "base/k_color.h"

class KRGroup;

// The display's eleven palette entries and the conversions of a KColor to
// display pixels. Process-wide: the font list loads the entries from the
// settings at start-up, and every part of the display pipeline converts
// through here.
class KColorTable {
 public:
  static constexpr int kEntries = 11;
  // The pixel that marks "transparent" everywhere in the display pipeline.
  static constexpr uint32_t kTransparentPixel = 0xFF000000u;

  struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
  };

  // Overwrites entries 0 to 10 from the strings "\Display\Colors\<n>"
  // ("R,G,B"); a field replaces its channel only when it reads as 0 to 255,
  // and a missing setting leaves the entry alone.
  static void Load(KRGroup& registry);
  // Back to the built-in entries.
  static void Reset();
  static Rgb Entry(int index);
  static void SetEntry(int index, Rgb rgb);
  // Applies one "R,G,B" text to `rgb` field by field, as Load does.
  static void ApplyText(const char16_t* text, int length, Rgb& rgb);

  // The channels of a palette entry or of a direct colour. A palette index
  // outside the table (only a damaged file holds one) reads as black.
  static Rgb Channels(KColor color);
  // 0x00RRGGBB, or the transparent pixel for index 0.
  static uint32_t Pixel(KColor color);
  // 0x00BBGGRR, the order of platform colour references.
  static uint32_t PixelBgr(KColor color);
  // Each channel c becomes c - (eighths * c) / 8; index 0 stays transparent.
  static uint32_t DarkenedPixel(KColor color, int eighths);
  static constexpr uint32_t PixelOf(Rgb c) {
    return (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b;
  }
};
