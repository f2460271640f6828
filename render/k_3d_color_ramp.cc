#include "render/k_3d_color_ramp.h"

#include <algorithm>

#include "render/k_color_table.h"

namespace {

using Rgb = KColorTable::Rgb;

uint32_t Pixel(int r, int g, int b) {
  return KColorTable::PixelOf(
      Rgb{static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)});
}

}  // namespace

int K3DColorRamp::ThresholdOf(std::optional<int> enable, bool* blendAgainstColour) {
  bool colour = true;
  int threshold = 64;
  if (enable) {
    int64_t e = *enable;
    colour = e < 0;
    if (e < 0) e = -e;
    threshold = static_cast<int>(std::clamp<int64_t>(255 - (e * 255) / 100, 1, 255));
  }
  if (blendAgainstColour) *blendAgainstColour = colour;
  return threshold;
}

void K3DColorRamp::Build(KColor face, KColor border, std::optional<int> enable, int bgLight) {
  bool blendAgainstColour = true;
  const int t = ThresholdOf(enable, &blendAgainstColour);
  threshold_ = t;
  if (face.IsTransparent()) {
    std::fill(ramp_ + t, ramp_ + 256, KColorTable::kTransparentPixel);
    return;
  }
  const Rgb f = KColorTable::Channels(face);
  const uint32_t fp = KColorTable::PixelOf(f);
  Rgb k;
  if (!border.IsTransparent()) {
    k = KColorTable::Channels(border);
  } else if (bgLight < 0) {
    k = f;
  } else {
    const unsigned light = static_cast<unsigned>(bgLight);
    const bool dark = f.r < light && f.g < light && f.b < light;
    k = dark ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
  }
  const int df = f.r + f.g + f.b;
  const int dk = k.r + k.g + k.b;
  const bool grey = k.r == k.g && k.g == k.b;
  if (df == dk || (!blendAgainstColour && !grey)) {
    std::fill(ramp_ + t, ramp_ + 256, fp);
    return;
  }
  ramp_[255] = fp;
  uint32_t last = fp;
  if (df < dk) {
    // Blend from white: level 0 would be white, level 255 the face.
    const int ir = 255 - f.r, ig = 255 - f.g, ib = 255 - f.b;
    auto fromWhite = [&](int i) {
      return Pixel(255 - i * ir / 255, 255 - i * ig / 255, 255 - i * ib / 255);
    };
    int c = t - 1;
    if (dk != 765) {
      c = (765 - dk) * 255 / (765 - df);
      if (c < t) c = t - 1;
    }
    for (int i = 254; i > c; --i) last = ramp_[i] = fromWhite(i);
    for (int i = c; i >= t; --i) ramp_[i] = last;
  } else {
    auto fromBlack = [&](int i) { return Pixel(i * f.r / 255, i * f.g / 255, i * f.b / 255); };
    int c = t - 1;
    if (dk != 0) {
      c = dk * 255 / df;
      if (c < t) c = t - 1;
    }
    for (int i = 254; i > c; --i) last = ramp_[i] = fromBlack(i);
    for (int i = c; i >= t; --i) ramp_[i] = last;
  }
}
