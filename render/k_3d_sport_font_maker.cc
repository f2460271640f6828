#include "render/k_3d_sport_font_maker.h"

#include <algorithm>

#include "render/k_3d_color_ramp.h"
#include "render/k_3d_font_info.h"
#include "render/k_3d_sport_glyph.h"
#include "render/k_3d_system_font.h"

namespace {

void PutInt16(std::vector<uint8_t>& out, int value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

}  // namespace

uint8_t K3DSportFontMaker::EdgeInk(int level, int threshold) {
  const int n = std::min(5, (255 - level) * 6 / (256 - threshold));
  return static_cast<uint8_t>(1 + std::max(0, n));
}

bool K3DSportFontMaker::Make(K3DSystemFont& font, int size, std::vector<uint8_t>& out,
                             std::string& error) {
  if (size < K3DFontInfo::kMinSize || size > K3DFontInfo::kMaxSize) {
    error = "size must be 10 to 999";
    return false;
  }
  K3DFontInfo info;
  info.SetFont(font.Name());
  info.SetSize(size);
  // The display's default anti-aliasing (Enable 75).
  const int threshold = K3DColorRamp::ThresholdOf(75);
  uint8_t ramp[256] = {};
  for (int level = threshold; level < 256; ++level) ramp[level] = EdgeInk(level, threshold);
  std::vector<uint8_t> inks;
  int made = 0;
  for (int code = 0; code < 256; ++code) {
    if (!IsMadeCharacter(code) || !font.HasCharacter(static_cast<char16_t>(code))) continue;
    const char16_t ch = static_cast<char16_t>(code);
    K3DSystemFont::Raster r;
    if (!font.Generate(std::u16string_view(&ch, 1), info, true, r, true)) {
      error = "the font cannot be drawn at this size";
      return false;
    }
    if (r.width > 32767) continue;  // beyond the record's coordinates
    inks.assign(static_cast<size_t>(r.width) * r.height, 0);
    K3DSystemFont::Compose<uint8_t>(r, threshold, ramp, 7, 8, 0, inks.data());
    out.push_back(static_cast<uint8_t>(code));
    PutInt16(out, 0);
    PutInt16(out, 0);
    PutInt16(out, r.width - 1);
    PutInt16(out, r.height - 1);
    for (int row = r.height - 1; row >= 0; --row) {
      const uint8_t* from = inks.data() + static_cast<size_t>(row) * r.width;
      for (int x = 0; x < r.width; ++x) out.push_back(K3DSportGlyph::ByteOfInk(from[x]));
    }
    ++made;
  }
  if (made == 0) {
    error = "the font has none of the characters";
    return false;
  }
  return true;
}
