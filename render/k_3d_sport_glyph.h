#pragma once

#include <cstdint>
#include <vector>

#include "base/k_list.h"

// One pre-drawn character of a sport font size: ink numbers 0 to 8 per
// pixel, rows top to bottom. Its key is the character code.
class K3DSportGlyph : public KSparseArrayItem {
 public:
  static constexpr int kInks = 9;

  K3DSportGlyph(int width, int height)
      : width_(width), height_(height), inks_(static_cast<size_t>(width) * height) {}

  KString ClassName() const override { return KString::MakeView(u"K3DSportGlyph"); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  const uint8_t* Inks() const { return inks_.data(); }
  uint8_t* Inks() { return inks_.data(); }
  uint8_t InkAt(int x, int y) const { return inks_[static_cast<size_t>(y) * width_ + x]; }

  // The file's pixel letters: "q" to "x" are the inks 1 to 8, anything else
  // is the background.
  static uint8_t InkOfByte(uint8_t byte) { return byte >= 'q' && byte <= 'x' ? byte - 'p' : 0; }
  static uint8_t ByteOfInk(uint8_t ink) { return ink >= 1 && ink <= 8 ? 'p' + ink : ' '; }

 private:
  int width_;
  int height_;
  std::vector<uint8_t> inks_;
};
