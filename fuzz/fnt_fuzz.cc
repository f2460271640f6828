// Sport font files: the glyph record reader, then every glyph drawn through
// the font with colours, as the display would.
#include <cstdint>

#include "render/k_3d_font_info.h"
#include "render/k_3d_fonts.h"
#include "render/k_3d_sport_font.h"
#include "render/k_3d_sport_size.h"

namespace {

bool Keep(const uint32_t*, const KRect&, void*) {
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static K3DFonts fonts;
  auto* sportSize = new K3DSportSize;
  sportSize->Parse(data, size);
  const int key = sportSize->SpaceHeight();
  K3DSportFont font;
  font.AddSize(sportSize);  // takes it, or deletes it when it has no size
  if (key <= 0) return 0;
  K3DFontInfo info;
  info.SetSize(key);
  info.SetFaceColor(KColor::Rgb(200, 100, 50));
  KString text;
  for (int code = 0; code < 256; ++code) text.Append(static_cast<char16_t>(code));
  int width = 1 << 20;
  font.Fit(text, info, width);
  font.Draw(text, info, Keep, nullptr);
  return 0;
}
