#include "render/k_3d_system_font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H
#include <hb-ft.h>
#include <hb.h>

#include <algorithm>
#include <climits>

#include "ports/k_log.h"
#include "render/k_3d_color_ramp.h"
#include "render/k_3d_fonts.h"
#include "render/k_color_table.h"

namespace {

// Beyond this a block would not fit any display; refusing it keeps a
// 4095-character text at size 999 from asking for gigabytes.
constexpr int64_t kMaxBlockPixels = int64_t{1} << 26;

bool Fail(const char* what) {
  KString text("K3DSystemFont::Glyphs: ");
  text.Append(KString(what));
  KLog::Log(text, KLog::kError);
  return false;
}

int Round26(long v) {
  return static_cast<int>((v + 32) >> 6);
}
int Floor26(long v) {
  return static_cast<int>(v >> 6);  // arithmetic shift floors
}
int Ceil26(long v) {
  return static_cast<int>((v + 63) >> 6);
}

bool IsDigit(char16_t ch) {
  return ch >= u'0' && ch <= u'9';
}

}  // namespace

K3DSystemFont::K3DSystemFont(const std::string& family)
    : K3DFont(KString(std::string_view(family))), family_(family), matched_(true) {}

K3DSystemFont::K3DSystemFont(const KString& name, const std::string& file, int faceIndex)
    : K3DFont(name), family_(name.ToUtf8()), file_(file), faceIndex_(faceIndex) {}

K3DSystemFont::~K3DSystemFont() {
  if (hbBuffer_) hb_buffer_destroy(hbBuffer_);
  if (hbFont_) hb_font_destroy(hbFont_);
  if (face_) FT_Done_Face(face_);
}

bool K3DSystemFont::HasCharacter(char16_t character) {
  return OpenFace() && FT_Get_Char_Index(face_, character) != 0;
}

int K3DSystemFont::LoadFlags() const {
  // Light hinting snaps only vertically, so shapes and spacing keep their
  // designed widths (and edge pixels their partial coverage).
  return FT_LOAD_TARGET_LIGHT | FT_LOAD_NO_BITMAP;
}

bool K3DSystemFont::OpenFace() {
  if (face_) return true;
  if (faceFailed_) return false;
  K3DFonts* fonts = Fonts();
  if (!fonts || !fonts->FreeType()) return false;
  if (file_.empty() && matched_) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family_.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_BOLD);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match) {
      FcChar8* file = nullptr;
      int index = 0;
      int weight = FC_WEIGHT_BOLD;
      if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
        file_ = reinterpret_cast<const char*>(file);
      }
      if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) faceIndex_ = index;
      // A family without a bold face is made bold, as the platform would.
      if (FcPatternGetInteger(match, FC_WEIGHT, 0, &weight) == FcResultMatch)
        embolden_ = weight < FC_WEIGHT_DEMIBOLD;
      FcPatternDestroy(match);
    }
  }
  if (file_.empty() || FT_New_Face(fonts->FreeType(), file_.c_str(), faceIndex_, &face_) != 0 ||
      !FT_IS_SCALABLE(face_)) {
    if (face_) FT_Done_Face(face_);
    face_ = nullptr;
    faceFailed_ = true;
    return false;
  }
  hbFont_ = hb_ft_font_create_referenced(face_);
  hb_ft_font_set_load_flags(hbFont_, LoadFlags());
  hbBuffer_ = hb_buffer_create();
  return true;
}

// The cell (ascent plus descent, as the platform measures a font's height)
// becomes `height` pixels; `charWidth` pixels is the average character width,
// 0 keeping the proportions.
bool K3DSystemFont::SetScale(int height, int charWidth) {
  loaded_ = -1;
  const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
  long ascender = face_->ascender;
  long descender = -face_->descender;
  if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
    ascender = os2->usWinAscent;
    descender = os2->usWinDescent;
  }
  const long cell = ascender + descender;
  if (cell <= 0 || height <= 0) return false;
  Scale scale;
  scale.y = FT_DivFix(long{height} * 64, cell);
  scale.x = scale.y;
  if (charWidth > 0) {
    long average = os2 ? os2->xAvgCharWidth : 0;
    if (average <= 0) average = face_->units_per_EM / 2;
    scale.x = FT_DivFix(long{charWidth} * 64, average);
  }
  if (scale.x <= 0 || scale.y <= 0) return false;
  if (scale.x != scale_.x || scale.y != scale_.y) {
    FT_Size_RequestRec request = {};
    request.type = FT_SIZE_REQUEST_TYPE_SCALES;
    request.width = scale.x;
    request.height = scale.y;
    if (FT_Request_Size(face_, &request) != 0) return false;
    scale_ = scale;
    hb_ft_font_changed(hbFont_);
  }
  const long yScale = face_->size->metrics.y_scale;
  ascent_ = Round26(FT_MulFix(ascender, yScale));
  descent_ = Round26(FT_MulFix(descender, yScale));
  return true;
}

bool K3DSystemFont::MeasureGlyph(uint32_t glyph, Ink& ink) {
  loaded_ = -1;
  if (FT_Load_Glyph(face_, glyph, LoadFlags()) != 0) return false;
  FT_GlyphSlot slot = face_->glyph;
  if (embolden_) FT_GlyphSlot_Embolden(slot);
  loaded_ = static_cast<long>(glyph);
  ink.advance = Round26(slot->advance.x);
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE || slot->outline.n_points == 0) {
    ink.a = 0;
    ink.b = 0;
  } else {
    FT_BBox box;
    FT_Outline_Get_CBox(&slot->outline, &box);
    ink.a = Floor26(box.xMin);
    ink.b = Ceil26(box.xMax) - ink.a;
  }
  ink.c = ink.advance - ink.a - ink.b;
  return true;
}

bool K3DSystemFont::DigitInk(int& minA, int& minC) {
  if (!digitValid_ || digitScale_.x != scale_.x || digitScale_.y != scale_.y) {
    digitMinA_ = INT_MAX;
    digitMinC_ = INT_MAX;
    for (char16_t ch = u'0'; ch <= u'9'; ++ch) {
      Ink ink;
      if (!MeasureGlyph(FT_Get_Char_Index(face_, ch), ink)) return false;
      digitMinA_ = std::min(digitMinA_, ink.a);
      digitMinC_ = std::min(digitMinC_, ink.c);
    }
    digitScale_ = scale_;
    digitValid_ = true;
  }
  minA = digitMinA_;
  minC = digitMinC_;
  return true;
}

bool K3DSystemFont::Shape(std::u16string_view text, long& advance) {
  loaded_ = -1;  // shaping loads glyphs into the slot too
  hb_buffer_reset(hbBuffer_);
  hb_buffer_add_utf16(hbBuffer_, reinterpret_cast<const uint16_t*>(text.data()),
                      static_cast<int>(text.size()), 0, static_cast<int>(text.size()));
  hb_buffer_guess_segment_properties(hbBuffer_);
  hb_shape(hbFont_, hbBuffer_, nullptr, 0);
  unsigned count = 0;
  const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(hbBuffer_, &count);
  if (count > 0 && positions == nullptr) return false;
  advance = 0;
  for (unsigned i = 0; i < count; ++i) advance += positions[i].x_advance;
  return true;
}

void K3DSystemFont::BlitGlyph(int x, int y, uint8_t* surface, int stride, int width,
                              int height) const {
  const FT_Bitmap& bitmap = face_->glyph->bitmap;
  if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || bitmap.pitch < 0) return;
  const int rows = static_cast<int>(bitmap.rows);
  const int columns = static_cast<int>(bitmap.width);
  for (int row = 0; row < rows; ++row) {
    const int sy = y + row;
    if (sy < 0 || sy >= height) continue;
    const uint8_t* from = bitmap.buffer + static_cast<ptrdiff_t>(row) * bitmap.pitch;
    uint8_t* to = surface + static_cast<ptrdiff_t>(sy) * stride;
    for (int column = 0; column < columns; ++column) {
      const int sx = x + column;
      if (sx < 0 || sx >= width) continue;
      to[sx] = std::max(to[sx], from[column]);
    }
  }
}

// Draws white on black: coverage into the surface, the pen starting at
// `penX` pixels on the baseline `baseline`.
bool K3DSystemFont::Render(std::u16string_view text, bool singleCharacter, int penX, int baseline,
                           uint8_t* surface, int stride, int width, int height) {
  auto drawGlyph = [&](uint32_t glyph, long x26, long y26) {
    FT_GlyphSlot slot = face_->glyph;
    // A single character was measured just before: its outline is still loaded.
    if (loaded_ != static_cast<long>(glyph)) {
      if (FT_Load_Glyph(face_, glyph, LoadFlags()) != 0) return;
      if (embolden_) FT_GlyphSlot_Embolden(slot);
    }
    loaded_ = -1;
    const long fracX = x26 & 63;
    const long fracY = y26 & 63;
    if ((fracX || fracY) && slot->format == FT_GLYPH_FORMAT_OUTLINE)
      FT_Outline_Translate(&slot->outline, fracX, -fracY);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return;
    BlitGlyph(Floor26(x26) + slot->bitmap_left, baseline - Floor26(y26) - slot->bitmap_top, surface,
              stride, width, height);
  };
  if (singleCharacter) {
    drawGlyph(FT_Get_Char_Index(face_, text.empty() ? 0 : text[0]), long{penX} * 64, 0);
    return true;
  }
  unsigned count = 0;
  const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(hbBuffer_, &count);
  const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(hbBuffer_, &count);
  long x = long{penX} * 64;
  long y = 0;
  for (unsigned i = 0; i < count; ++i) {
    drawGlyph(infos[i].codepoint, x + positions[i].x_offset, y + positions[i].y_offset);
    x += positions[i].x_advance;
    y += positions[i].y_advance;
  }
  return true;
}

bool K3DSystemFont::Generate(std::u16string_view text, const K3DFontInfo& info,
                             bool singleCharacter, Raster& r, bool wantLevels, int* average) {
  if (text.size() > kMaxText) text = text.substr(0, kMaxText);
  K3DFonts* fonts = Fonts();
  if (!fonts || !fonts->FreeType()) return Fail("hDC NULL");

  const int s = std::clamp(info.Size(), K3DFontInfo::kMinSize, K3DFontInfo::kMaxSize);
  const int b = info.BorderSizeOverride() == 0 ? 0 : 1;
  int d = std::clamp(s / 40, 2, 6);
  if (info.ShadowSizeOverride() >= 0 && info.ShadowSizeOverride() < d)
    d = info.ShadowSizeOverride();
  int h = s - 2 * b - d;

  if (!OpenFace()) return Fail("font NULL");
  if (info.CharWidthCache() < 0) {
    if (info.Width() != 100) {
      if (!SetScale(h, 0)) return Fail("font NULL");
      const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
      if (!os2 || os2->xAvgCharWidth <= 0) return Fail("GetTextMetrics failed");
      const int normal = Round26(FT_MulFix(os2->xAvgCharWidth, face_->size->metrics.x_scale));
      info.SetCharWidthCache(std::max(1, info.Width() * normal / 100));
    }
    if (info.CharWidthCache() < 0) info.SetCharWidthCache(0);
  }
  if (!SetScale(h, info.CharWidthCache())) return Fail("font NULL");

  if (average) {
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
    if (!os2 || os2->xAvgCharWidth <= 0) return Fail("GetTextMetrics failed");
    *average = Round26(FT_MulFix(os2->xAvgCharWidth, face_->size->metrics.x_scale));
    return true;
  }

  int wt = 0;
  int a = 0;
  if (singleCharacter) {
    const char16_t ch = text.empty() ? u'\0' : text[0];
    Ink ink;
    if (!MeasureGlyph(FT_Get_Char_Index(face_, ch), ink))
      return Fail("GetTextExtentPoint32 failed");
    wt = ink.advance;
    if (IsDigit(ch)) {
      int minA = 0;
      int minC = 0;
      if (DigitInk(minA, minC)) {
        a = minA;
        wt -= minC;
      }
    } else if (ink.b > 1) {
      a = ink.a;
      wt -= ink.c;
    }
  } else {
    long advance = 0;
    if (!Shape(text, advance)) return Fail("GetTextExtentPoint32 failed");
    wt = Round26(advance);
  }
  h = std::min(h, ascent_ + descent_);
  wt = std::max(0, wt - a);

  r.inkWidth = wt;
  r.inkHeight = std::max(0, h);
  r.border = b;
  r.shadow = d;
  r.width = wt + 2 * b + d;
  r.height = s;
  r.levels = nullptr;
  r.stride = 0;
  if (!wantLevels) return true;

  if (int64_t{r.width} * r.height > kMaxBlockPixels) return Fail("BmpAlloc failed");
  int stride = 0;
  uint8_t* surface = fonts->Surface(std::max(1, wt), std::max(1, r.inkHeight), stride);
  if (!surface) return Fail("BmpAlloc failed");
  Render(text, singleCharacter, -a, ascent_, surface, stride, wt, r.inkHeight);
  r.levels = surface;
  r.stride = stride;
  return true;
}

bool K3DSystemFont::Glyph(char16_t character, const K3DFontInfo& info, const uint32_t** pixels,
                          K3DSize& size) {
  return Make(std::u16string_view(&character, 1), info, true, pixels, size);
}

bool K3DSystemFont::StringGlyph(const KString& text, const K3DFontInfo& info,
                                const uint32_t** pixels, K3DSize& size) {
  return Make(text.View(), info, false, pixels, size);
}

bool K3DSystemFont::Make(std::u16string_view text, const K3DFontInfo& info, bool singleCharacter,
                         const uint32_t** pixels, K3DSize& size) {
  Raster r;
  if (!Generate(text, info, singleCharacter, r, pixels != nullptr)) return false;
  size = K3DSize{r.width, r.height};
  if (pixels == nullptr) return true;
  K3DFonts* fonts = Fonts();
  uint32_t* out = fonts->GlyphBuffer(static_cast<size_t>(r.width) * r.height);
  if (out == nullptr) return Fail("GlyphAlloc failed");
  K3DColorRamp ramp;
  ramp.Build(info.FaceColor(), info.BorderColor(), fonts->AntiAliasEnable(), fonts->BGLight());
  Compose<uint32_t>(r, ramp.Threshold(), ramp.Data(), KColorTable::Pixel(info.BorderColor()),
                    KColorTable::Pixel(info.ShadowColor()),
                    KColorTable::Pixel(info.BackgroundColor()), out);
  *pixels = out;
  return true;
}

bool K3DSystemFont::ShrinkToFit(const KString& text, const K3DFontInfo& info, int& width) {
  if (!info.ShrinkToFit()) return false;
  info.SetCharWidthCache(0);
  Raster r;
  int average = 0;
  if (!Generate(std::u16string_view(), info, false, r, false, &average) || average == 0) {
    info.SetCharWidthCache(-1);
    return false;
  }
  const int normal = std::max(1, average * info.Width() / 100);
  const int narrowest = std::max(1, normal * info.ShrinkLimit() / 100);
  if (narrowest >= normal) {
    info.SetCharWidthCache(-1);
    return false;
  }
  info.SetCharWidthCache(normal);
  K3DSize size;
  if (!Measure(text, info, size)) {
    info.SetCharWidthCache(-1);
    return false;
  }
  if (size.width <= width) {
    width = size.width;
    return true;
  }
  int lo = narrowest;
  int hi = normal;
  int fitted = -1;
  do {
    const int mid = lo + (hi - lo) / 2;
    info.SetCharWidthCache(mid);
    if (!Measure(text, info, size)) {
      info.SetCharWidthCache(-1);
      return false;
    }
    if (size.width > width) {
      hi = mid;
    } else {
      fitted = size.width;
      lo = mid;
    }
  } while (lo < hi - 1);
  info.SetCharWidthCache(lo);
  if (fitted < 0) return false;
  width = fitted;
  return true;
}
