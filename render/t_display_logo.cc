#include "render/t_display_logo.h"

#include <cstring>

#include "base/k_memory_stream.h"
#include "base/k_x.h"
#include "render/k_bitmap.h"
#include "render/k_targa_codec.h"
#include "render/t_display_geometry.h"

std::vector<uint8_t> TDisplayLogo() {
  // The Targa file of assets/logo/, embedded by the build.
  static const uint8_t kTarga[] = {
#include "t_display_logo_data.inc"
  };
  constexpr int kWidth = TDisplayGeometry::kLogoWidth;
  constexpr int kHeight = TDisplayGeometry::kLogoHeight;
  KMemoryStream stream(kTarga, sizeof kTarga);
  KBitmap bitmap(KBitmap::kDisplayFormat);
  try {
    KTargaCodec::Read(bitmap, stream);
  } catch (const KX&) {
    return {};
  }
  if (bitmap.Width() != kWidth || bitmap.Height() != kHeight) return {};
  constexpr size_t kRowBytes = size_t{kWidth} * 3;
  std::vector<uint8_t> pixels(kRowBytes * kHeight);
  for (int y = 0; y < kHeight; ++y) {
    std::memcpy(&pixels[kRowBytes * static_cast<size_t>(y)], bitmap.Row(y), kRowBytes);
  }
  return pixels;
}
