#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/k_list.h"
#include "base/k_string.h"
#include "render/k_3d_font.h"
#include "render/k_3d_glyph_cache.h"

class K3DFontOptimize;
class KRGroup;
class KRInt;
struct FT_LibraryRec_;

// The process-wide list of fonts: the sport font first, then the installed
// families by name. It also owns what all fonts share: the glyph buffer the
// blocks are made in, the rasteriser with its coverage surface, and the
// live anti-aliasing and text mode settings.
class K3DFonts {
 public:
  // An empty list with its rasteriser; no settings, no fonts. For tools and
  // tests that add their own fonts.
  K3DFonts();
  // The list of a run: sport font sizes from the "*.fnt" files in `home`,
  // the colour table and live settings from `registry` (may be null), then
  // every installed family.
  K3DFonts(KRGroup* registry, const KString& home);
  K3DFonts(const K3DFonts&) = delete;
  K3DFonts& operator=(const K3DFonts&) = delete;
  ~K3DFonts();

  // The font list of the run, or null before it exists.
  static K3DFonts* Instance() { return instance_; }

  // Makes one more font file known to the family enumeration and matching
  // of this process (before the list is made); false when it is unusable.
  static bool AddFontFile(const std::string& path);

  // Loads the colour table from `registry` and watches its live settings.
  void UseSettings(KRGroup& registry);

  // Takes ownership.
  void Append(K3DFont* font);
  const KList& Fonts() const { return fonts_; }
  // Exact name first, the last font found checked before all others. A
  // name no font carries (a layout made on a machine with other fonts)
  // resolves to the stand-in fontconfig binds to it (Liberation Sans for
  // Arial), or, for a face fontconfig knows by name, to its preferred
  // installed substitute; a name fontconfig would meet only with its
  // defaults for anything stays unknown. Answers are remembered per name.
  K3DFont* Find(const KString& name) const;

  bool Fit(KString& text, const K3DFontInfo& info, int& width,
           K3DFontOptimize* optimize = nullptr) const;
  bool Draw(const KString& text, const K3DFontInfo& info, K3DFont::Sink sink, void* user,
            K3DFontOptimize* optimize = nullptr) const;
  bool Measure(const KString& text, const K3DFontInfo& info, K3DSize& size) const;
  // The width alone; 0 when the text cannot be measured.
  int MeasureWidth(const KString& text, const K3DFontInfo& info) const;

  // Live settings: \Display\DrawText (0 when missing),
  // \Display\AntiAlias\Enable (nullopt when missing) and
  // \Display\AntiAlias\BGLight (0 when missing).
  int DrawTextMode() const;
  std::optional<int> AntiAliasEnable() const;
  int BGLight() const;

  // The shared block buffer, grown to at least `pixels`; null when that fails.
  uint32_t* GlyphBuffer(size_t pixels);
  // The coverage surface, at least width x height, cleared; `stride` gets
  // its row length. Null when it cannot grow.
  uint8_t* Surface(int width, int height, int& stride);
  // The rasteriser; null when it could not be started.
  FT_LibraryRec_* FreeType() const { return library_; }

  // Tests make room for growth checks.
  size_t GlyphBufferCapacity() const { return glyphCapacity_; }
  // The blocks of single characters made so far.
  K3DGlyphCache& GlyphCache() { return glyphCache_; }

 private:
  void EnumerateFamilies();
  K3DFont* Substitute(const KString& name) const;

  KList fonts_;
  mutable K3DFont* lastFound_ = nullptr;
  // Names without a font of their own, with what they resolved to (or null).
  mutable std::vector<std::pair<KString31, K3DFont*>> substitutes_;
  bool enumerated_ = false;

  KRInt* drawText_ = nullptr;
  KRInt* enable_ = nullptr;
  KRInt* bgLight_ = nullptr;

  K3DGlyphCache glyphCache_;
  std::unique_ptr<uint32_t[]> glyphs_;
  size_t glyphCapacity_ = 0;
  FT_LibraryRec_* library_ = nullptr;
  std::unique_ptr<uint8_t[]> surface_;
  int surfaceWidth_ = 0;
  int surfaceHeight_ = 0;

  static inline K3DFonts* instance_ = nullptr;
};
