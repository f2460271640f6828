#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "render/k_3d_font.h"

struct FT_FaceRec_;
struct hb_font_t;
struct hb_buffer_t;

// An installed font family drawn as 3D text: the family's bold face is
// rasterised with anti-aliasing, and every block gets a one-pixel border and
// a diagonal shadow around the ink.
class K3DSystemFont : public K3DFont {
 public:
  static constexpr int kMaxText = 4095;

  // The geometry of one block and, when asked for, the coverage of its ink
  // area (levels 0 to 255, in the shared surface).
  struct Raster {
    int width = 0;      // block width W = inkWidth + 2 * border + shadow
    int height = 0;     // block height S
    int inkWidth = 0;   // Wt
    int inkHeight = 0;  // H
    int border = 0;     // B
    int shadow = 0;     // D
    const uint8_t* levels = nullptr;
    int stride = 0;
  };

  // An installed family; fontconfig picks its bold face on first use.
  explicit K3DSystemFont(const std::string& family);
  // One font file of its own under `name` (the sport font maker, tests).
  K3DSystemFont(const KString& name, const std::string& file, int faceIndex = 0);
  ~K3DSystemFont() override;

  KString ClassName() const override { return KString::MakeView(u"K3DSystemFont"); }
  const std::string& Family() const { return family_; }
  // Whether the face has a glyph of its own for `character`; false when it
  // cannot be opened.
  bool HasCharacter(char16_t character);

  bool ShrinkToFit(const KString& text, const K3DFontInfo& info, int& width) override;
  bool Glyph(char16_t character, const K3DFontInfo& info, const uint32_t** pixels,
             K3DSize& size) override;
  bool StringGlyph(const KString& text, const K3DFontInfo& info, const uint32_t** pixels,
                   K3DSize& size) override;

  // The generator behind Glyph and StringGlyph: sizes, and with
  // `wantLevels` the coverage. With `average` it only reports the average
  // character width of the font at this size and width.
  bool Generate(std::u16string_view text, const K3DFontInfo& info, bool singleCharacter,
                Raster& raster, bool wantLevels, int* average = nullptr);

  // Lays out shadow, border and face over the background, in any pixel
  // type: colours for display blocks, ink numbers for sport font files.
  // `ramp` maps levels from `threshold` to 255; `out` holds W x S.
  template <class T>
  static void Compose(const Raster& r, int threshold, const T* ramp, T border, T shadow,
                      T background, T* out);

 private:
  struct Scale {
    long x = 0;
    long y = 0;
  };
  struct Ink {
    int a = 0;        // first ink column from the pen position
    int b = 0;        // ink width
    int c = 0;        // advance - a - b
    int advance = 0;  // pixels
  };

  bool OpenFace();
  bool SetScale(int height, int charWidth);
  bool MeasureGlyph(uint32_t glyph, Ink& ink);
  bool Make(std::u16string_view text, const K3DFontInfo& info, bool singleCharacter,
            const uint32_t** pixels, K3DSize& size);
  bool DigitInk(int& minA, int& minC);
  // Advances of the shaped text in 26.6 pixels.
  bool Shape(std::u16string_view text, long& advance);
  bool Render(std::u16string_view text, bool singleCharacter, int penX, int baseline,
              uint8_t* surface, int stride, int width, int height);
  void BlitGlyph(int x, int y, uint8_t* surface, int stride, int width, int height) const;
  int LoadFlags() const;

  std::string family_;
  std::string file_;
  int faceIndex_ = 0;
  bool matched_ = false;  // file_ comes from fontconfig
  bool faceFailed_ = false;
  bool embolden_ = false;
  FT_FaceRec_* face_ = nullptr;
  hb_font_t* hbFont_ = nullptr;
  hb_buffer_t* hbBuffer_ = nullptr;
  Scale scale_;
  int ascent_ = 0;   // pixels above the baseline at the current scale
  int descent_ = 0;  // pixels below it
  Scale digitScale_;
  int digitMinA_ = 0;
  int digitMinC_ = 0;
  bool digitValid_ = false;
  long loaded_ = -1;  // glyph whose outline the face's slot holds, or -1
};

template <class T>
void K3DSystemFont::Compose(const Raster& r, int threshold, const T* ramp, T border, T shadow,
                            T background, T* out) {
  const int w = r.width;
  const int b = r.border;
  const int d = r.shadow;
  const int wt = r.inkWidth;
  const int h = r.inkHeight;
  std::fill(out, out + static_cast<size_t>(w) * r.height, background);
  if (wt <= 0 || h <= 0) return;
  // The outline E: every block pixel within B of an ink pixel, the ink
  // included, found by dilating rows and then columns. The shadow is E
  // pushed 1 to D pixels down and to the right; on top of it E's non-ink
  // pixels take the border and the ink its face colour. Grown, never shrunk.
  const int ew = wt + 2 * b;
  const int eh = h + 2 * b;
  static std::vector<uint8_t> rows;
  static std::vector<uint8_t> outline;
  if (rows.size() < static_cast<size_t>(ew) * h) rows.resize(static_cast<size_t>(ew) * h);
  if (outline.size() < static_cast<size_t>(ew) * eh) outline.resize(static_cast<size_t>(ew) * eh);
  for (int y = 0; y < h; ++y) {
    const uint8_t* level = r.levels + static_cast<size_t>(y) * r.stride;
    uint8_t* row = rows.data() + static_cast<size_t>(y) * ew;
    std::fill(row, row + ew, uint8_t{0});
    for (int x = 0; x < wt; ++x) {
      if (level[x] < threshold) continue;
      for (int j = 0; j <= 2 * b; ++j) row[x + j] = 1;
    }
  }
  std::fill(outline.begin(), outline.begin() + static_cast<size_t>(ew) * eh, uint8_t{0});
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = rows.data() + static_cast<size_t>(y) * ew;
    for (int i = 0; i <= 2 * b; ++i) {
      uint8_t* to = outline.data() + static_cast<size_t>(y + i) * ew;
      for (int x = 0; x < ew; ++x) to[x] |= row[x];
    }
  }
  for (int by = 0; by < eh; ++by) {
    const uint8_t* e = outline.data() + static_cast<size_t>(by) * ew;
    for (int k = 1; k <= d; ++k) {
      T* to = out + static_cast<size_t>(by + k) * w + k;
      for (int bx = 0; bx < ew; ++bx) {
        if (e[bx]) to[bx] = shadow;
      }
    }
  }
  for (int by = 0; by < eh; ++by) {
    const uint8_t* e = outline.data() + static_cast<size_t>(by) * ew;
    const int y = by - b;
    const uint8_t* level = y >= 0 && y < h ? r.levels + static_cast<size_t>(y) * r.stride : nullptr;
    T* to = out + static_cast<size_t>(by) * w;
    for (int bx = 0; bx < ew; ++bx) {
      if (!e[bx]) continue;
      const int x = bx - b;
      const bool ink = level != nullptr && x >= 0 && x < wt && level[x] >= threshold;
      to[bx] = ink ? ramp[level[x]] : border;
    }
  }
}
