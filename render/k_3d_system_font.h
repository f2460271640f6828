#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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
};

template <class T>
void K3DSystemFont::Compose(const Raster& r, int threshold, const T* ramp, T border, T shadow,
                            T background, T* out) {
  const int w = r.width;
  const int b = r.border;
  const int d = r.shadow;
  const int wt = r.inkWidth;
  const int h = r.inkHeight;
  for (int i = 0, n = w * r.height; i < n; ++i) out[i] = background;
  auto isInk = [&](int y, int x) {
    return y >= 0 && y < h && x >= 0 && x < wt && r.levels[y * r.stride + x] >= threshold;
  };
  // The glyph with its border, pushed D pixels down and to the right.
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < wt; ++x) {
      if (!isInk(y, x)) continue;
      for (int k = 1; k <= d; ++k) out[(b + y + k) * w + b + x + k] = shadow;
      for (int i = -b; i <= b; ++i) {
        for (int j = -b; j <= b; ++j) {
          if (isInk(y + i, x + j)) continue;
          for (int k = 1; k <= d; ++k) out[(b + y + i + k) * w + b + x + j + k] = shadow;
        }
      }
    }
  }
  // Only non-ink neighbours take the border, so a later pixel never turns
  // an ink pixel into border.
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < wt; ++x) {
      if (!isInk(y, x)) continue;
      for (int i = -b; i <= b; ++i) {
        for (int j = -b; j <= b; ++j) {
          if (!isInk(y + i, x + j)) out[(b + y + i) * w + b + x + j] = border;
        }
      }
      out[(b + y) * w + b + x] = ramp[r.levels[y * r.stride + x]];
    }
  }
}
