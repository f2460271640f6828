#pragma once

#include <cstdint>

// A colour: palette index 0 to 10 (0 transparent, 1 to 10 the configured
// display colours) or, with bit 31 set, the direct colour 0x80RRGGBB.
struct KColor {
  static constexpr uint32_t kDirect = 0x80000000u;

  uint32_t value = 0;

  static constexpr KColor Palette(int index) { return KColor{static_cast<uint32_t>(index)}; }
  static constexpr KColor Rgb(uint8_t r, uint8_t g, uint8_t b) {
    return KColor{kDirect | (uint32_t{r} << 16) | (uint32_t{g} << 8) | b};
  }
  constexpr bool IsDirect() const { return (value & kDirect) != 0; }
  constexpr bool IsTransparent() const { return value == 0; }
  constexpr int PaletteIndex() const { return IsDirect() ? -1 : static_cast<int>(value); }
  // The display pixel 0x00RRGGBB of a direct colour.
  constexpr uint32_t Pixel() const { return value & 0x00FFFFFFu; }
  friend constexpr bool operator==(KColor, KColor) = default;
};
