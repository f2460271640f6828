#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "render/k_3d_font.h"
#include "render/k_3d_glyph_style.h"

class K3DFontInfo;

// The blocks of single characters already made, so that a text redrawn
// often (a running clock) copies its glyphs instead of rasterising them
// again. A block depends on the font, the character, every field of the
// description, the colours as the table maps them now and the live
// anti-aliasing settings; all of them are in the key, so a change of any
// makes new blocks. Bounded: when full, everything is dropped and refilled.
class K3DGlyphCache {
 public:
  static constexpr size_t kMaxPixels = size_t{4} << 20;  // 16 MiB of blocks

  using Style = K3DGlyphStyle;
  static Style MakeStyle(const K3DFontInfo& info, std::optional<int> antiAliasEnable, int bgLight);

  // As K3DFont::Glyph; the block stays valid until the next glyph is made.
  bool Glyph(K3DFont& font, char16_t character, const K3DFontInfo& info, const Style& style,
             const uint32_t** pixels, K3DSize& size);
  void Clear();
  size_t Entries() const { return entries_.size(); }
  size_t Pixels() const { return pixels_; }
  int64_t Misses() const { return misses_; }

 private:
  struct Key {
    const K3DFont* font;
    char16_t character;
    Style style;
    friend bool operator==(const Key&, const Key&) = default;
  };
  struct KeyHash {
    size_t operator()(const Key& key) const;
  };
  struct Entry {
    bool made = false;
    bool hasPixels = false;
    K3DSize size;
    std::vector<uint32_t> pixels;
  };

  std::unordered_map<Key, Entry, KeyHash> entries_;
  size_t pixels_ = 0;
  int64_t misses_ = 0;
};
