#pragma once

#include <cstdint>
#include <optional>

#include "base/k_color.h"

// Maps the coverage level of a glyph pixel to its face pixel, so edges fade
// toward the border (or, without a border, toward black or white) without
// ever passing the border's brightness. Levels below the ink threshold are
// not ink at all.
class K3DColorRamp {
 public:
  // `enable` is \Display\AntiAlias\Enable (nullopt when the setting is
  // missing), `bgLight` is \Display\AntiAlias\BGLight (0 when missing).
  void Build(KColor face, KColor border, std::optional<int> enable, int bgLight);

  // Pixels with a level at or above the threshold are ink.
  int Threshold() const { return threshold_; }
  // Valid for levels from Threshold() to 255.
  uint32_t operator[](int level) const { return ramp_[level & 0xFF]; }
  const uint32_t* Data() const { return ramp_; }

  // The threshold alone, with whether the face blends against coloured borders.
  static int ThresholdOf(std::optional<int> enable, bool* blendAgainstColour = nullptr);

 private:
  uint32_t ramp_[256] = {};
  int threshold_ = 64;
};
