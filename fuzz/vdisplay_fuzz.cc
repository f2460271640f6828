// The video display command interpreter: the first two bytes choose the
// board's size (up to 256 × 128), the third its rotation; every further byte
// is one character of the command stream, fed in packets of up to 64.
#include <algorithm>
#include <cstdint>
#include <string>

#include "layout/k_video_display.h"
#include "render/k_3d_fonts.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The installed families, so that the default "Arial" and any FontName
  // draw real glyphs.
  static K3DFonts* fonts = new K3DFonts(nullptr, KString("."));
  (void)fonts;
  if (size < 3) return 0;
  KVideoDisplay display;
  if (!display.SetCanvas(1 + data[0], 1 + data[1] / 2, data[2] % 3)) return 0;
  std::u16string packet;
  for (size_t at = 3; at < size; at += 64) {
    packet.clear();
    for (size_t i = at; i < std::min(size, at + 64); ++i) packet += static_cast<char16_t>(data[i]);
    display.Feed(packet);
    display.TakeFlush();
  }
  display.ShownPixels();
  return 0;
}
