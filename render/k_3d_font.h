#pragma once

#include <cstdint>
#include <optional>

#include "base/k_list.h"
#include "base/k_rect.h"
#include "base/k_string.h"
#include "render/k_3d_font_info.h"
#include "render/k_3d_glyph_style.h"

class K3DFontOptimize;
class K3DFonts;

// The size of a glyph block or of a measured text.
struct K3DSize {
  int32_t width = 0;
  int32_t height = 0;
  friend constexpr bool operator==(const K3DSize&, const K3DSize&) = default;
};

// One font of the font list: the built-in sport font or an installed family.
// Fitting, measuring and drawing are shared; subclasses make the glyph blocks.
class K3DFont : public KListItem {
 public:
  // Receives each glyph block: `pixels` is rect's width x height, rows top
  // to bottom, 0xFF000000 transparent, valid only during the call. False
  // stops the drawing.
  using Sink = bool (*)(const uint32_t* pixels, const KRect& rect, void* user);

  explicit K3DFont(const KString& name) : name_(name) {}
  ~K3DFont() override;

  KString ClassName() const override { return KString::MakeView(u"K3DFont"); }
  const KString& Name() const { return name_; }

  virtual bool IsValidSize(int size) const { return size > 0; }
  virtual int DefaultSize() const { return 50; }
  virtual bool IsBitmapFont() const { return false; }
  virtual int SizeCount() const { return 0; }
  virtual int SizeAt(int /*index*/) const { return 0; }
  // Narrows the characters until `text` fits in `width`; true with the
  // width used. Leaves the chosen width in info's character width cache.
  virtual bool ShrinkToFit(const KString& text, const K3DFontInfo& info, int& width);
  // Cuts `text` to what fits in `width` pixels and sets `width` to the
  // pixels used.
  virtual bool Fit(KString& text, const K3DFontInfo& info, int& width,
                   K3DFontOptimize* optimize = nullptr);
  // True when at least one block was handed over (or kept from last time).
  virtual bool Draw(const KString& text, const K3DFontInfo& info, Sink sink, void* user,
                    K3DFontOptimize* optimize = nullptr);
  virtual bool Measure(const KString& text, const K3DFontInfo& info, K3DSize& size);
  // Whole string as one block (text mode 2, or mode 1 with a character above 255).
  virtual bool UseFullString(const KString& text, const K3DFontInfo& info);
  // One character's block; `pixels` null asks for the size only. The
  // block lives in the shared glyph buffer until the next glyph is made.
  virtual bool Glyph(char16_t /*character*/, const K3DFontInfo& /*info*/,
                     const uint32_t** /*pixels*/, K3DSize& /*size*/) {
    return false;
  }
  virtual bool StringGlyph(const KString& /*text*/, const K3DFontInfo& /*info*/,
                           const uint32_t** /*pixels*/, K3DSize& /*size*/) {
    return false;
  }

  // The list this font belongs to, else the process-wide one (may be null).
  K3DFonts* Fonts() const;

 private:
  friend class K3DFonts;
  // Glyph through the list's cache of blocks, when the font is in a list.
  // The style is the cache's key for `info`, made once per text.
  std::optional<K3DGlyphStyle> GlyphStyle(const K3DFontInfo& info) const;
  bool CachedGlyph(char16_t character, const K3DFontInfo& info,
                   const std::optional<K3DGlyphStyle>& style, const uint32_t** pixels,
                   K3DSize& size);
  bool FitCharacters(KString& text, const K3DFontInfo& info, int& width);
  bool FitFullString(KString& text, const K3DFontInfo& info, int& width);

  KString31 name_;
  K3DFonts* owner_ = nullptr;
};
