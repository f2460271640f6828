#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/k_list.h"
#include "render/k_3d_sport_glyph.h"

// One "*.fnt" file: the glyphs of one sport font size. Its key is its size,
// the height of its space glyph (0 without one).
class K3DSportSize : public KSparseArrayItem {
 public:
  // Larger files are not sport fonts; refusing them bounds what a stray
  // file can make the program allocate.
  static constexpr int64_t kMaxFileBytes = int64_t{64} << 20;
  static constexpr int kGlyphDigitNine = 57;
  static constexpr int kTrimmedNineHeight = 83;

  KString ClassName() const override { return KString::MakeView(u"K3DSportSize"); }

  // Reads glyph records until the bytes end or break off: a truncated record
  // is dropped with everything after it, and a record with a width or height
  // below 1 ends the file. Returns the number of glyphs kept.
  int Parse(const uint8_t* bytes, size_t count);
  // False when the file cannot be opened or read at all.
  bool LoadFile(const std::string& path);

  int SpaceHeight() const;
  int GlyphCount() const { return glyphs_.Count(); }
  const KSparseArray& Glyphs() const { return glyphs_; }
  const K3DSportGlyph* Find(int code) const {
    return code >= 0 && code < 256 ? byCode_[code] : nullptr;
  }

 private:
  void Insert(int code, K3DSportGlyph* glyph);

  KSparseArray glyphs_;
  K3DSportGlyph* byCode_[256] = {};
};
