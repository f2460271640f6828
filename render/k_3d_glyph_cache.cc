#include "render/k_3d_glyph_cache.h"

#include <functional>

#include "render/k_3d_font_info.h"
#include "render/k_color_table.h"

size_t K3DGlyphCache::KeyHash::operator()(const Key& key) const {
  size_t hash = std::hash<const void*>()(key.font);
  auto mix = [&hash](uint64_t value) {
    hash ^= std::hash<uint64_t>()(value) + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2);
  };
  // The fields that tell texts apart in practice; equality checks the rest.
  const Style& s = key.style;
  mix((uint64_t(key.character) << 48) ^ (uint64_t(uint32_t(s.size)) << 32) ^
      (uint64_t(uint32_t(s.width)) << 16) ^ s.face);
  return hash;
}

K3DGlyphCache::Style K3DGlyphCache::MakeStyle(const K3DFontInfo& info,
                                              std::optional<int> antiAliasEnable, int bgLight) {
  return Style{info.Size(), info.Width(), info.CharWidthCache(), info.BorderSizeOverride(),
               info.ShadowSizeOverride(), KColorTable::Pixel(info.FaceColor()),
               KColorTable::Pixel(info.BorderColor()), KColorTable::Pixel(info.ShadowColor()),
               KColorTable::Pixel(info.BackgroundColor()),
               // A missing setting differs from every value it can hold.
               antiAliasEnable ? *antiAliasEnable : INT32_MIN, bgLight};
}

bool K3DGlyphCache::Glyph(K3DFont& font, char16_t character, const K3DFontInfo& info,
                          const Style& style, const uint32_t** pixels, K3DSize& size) {
  const Key key{&font, character, style};
  auto found = entries_.find(key);
  if (found != entries_.end() &&
      (pixels == nullptr || found->second.hasPixels || !found->second.made)) {
    size = found->second.size;
    if (pixels != nullptr)
      *pixels = found->second.hasPixels ? found->second.pixels.data() : nullptr;
    return found->second.made;
  }
  ++misses_;
  const uint32_t* made = nullptr;
  K3DSize madeSize;
  const bool ok = font.Glyph(character, info, pixels != nullptr ? &made : nullptr, madeSize);
  const size_t count = ok && made != nullptr ? static_cast<size_t>(madeSize.width) *
                                                   static_cast<size_t>(madeSize.height)
                                             : 0;
  if (count > kMaxPixels) {
    // Too big to keep: hand it over as made.
    size = madeSize;
    if (pixels != nullptr) *pixels = made;
    return ok;
  }
  if (pixels_ + count > kMaxPixels) {
    Clear();
    found = entries_.end();
  }
  Entry& entry = found != entries_.end() ? found->second : entries_[key];
  entry.made = ok;
  entry.size = madeSize;
  if (count > 0) {
    entry.pixels.assign(made, made + count);
    entry.hasPixels = true;
    pixels_ += count;
  }
  size = madeSize;
  if (pixels != nullptr) *pixels = entry.hasPixels ? entry.pixels.data() : made;
  return ok;
}

void K3DGlyphCache::Clear() {
  entries_.clear();
  pixels_ = 0;
}
