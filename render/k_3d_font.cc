#include "render/k_3d_font.h"

#include <algorithm>

#include "render/k_3d_font_optimize.h"
#include "render/k_3d_fonts.h"

namespace {

bool IsDigit(char16_t ch) {
  return ch >= u'0' && ch <= u'9';
}

// Digits share one block width, so for fitting they stand for each other.
bool SameWidthClass(char16_t a, char16_t b) {
  return a == b || (IsDigit(a) && IsDigit(b));
}

// Tries the record before any glyph is made; true when it answered the fit.
bool FitFromRecord(KString& text, const K3DFontInfo& info, int& width, bool fullString,
                   K3DFontOptimize& o, bool& result) {
  if (o.lastFittedLength < 0 || text.Length() != o.lastTextLength || width != o.lastAvailable ||
      !(info == o.lastInfo)) {
    return false;
  }
  auto answer = [&](bool partial) {
    text.Truncate(o.lastFittedLength);
    width = o.lastFittedWidth;
    info.SetCharWidthCache(o.lastCharWidthCache);
    (partial ? o.partialHit : o.hit) = true;
    result = o.lastResult;
    return true;
  };
  // The stored text holds 63 characters, so a longer text never matches it.
  if (text == o.lastText) return answer(false);
  if (fullString) return false;
  const int a = std::min(o.lastFittedLength, text.Length());
  // The character that did not fit last time must not fit now either.
  if (a < text.Length() && a < o.lastTextLength && !SameWidthClass(o.lastText.At(a), text.At(a)))
    return false;
  if (a > K3DFontOptimize::kEntries || !o.EntriesValid()) return false;
  for (int i = 0; i < a; ++i) {
    if (!SameWidthClass(o.entries[i].character, text.At(i))) return false;
  }
  o.lastText = text;
  return answer(true);
}

}  // namespace

K3DFont::~K3DFont() {
  // Blocks are kept by font; a font that goes takes its blocks along.
  if (owner_ != nullptr) owner_->GlyphCache().Clear();
}

std::optional<K3DGlyphStyle> K3DFont::GlyphStyle(const K3DFontInfo& info) const {
  if (owner_ == nullptr) return std::nullopt;
  return K3DGlyphCache::MakeStyle(info, owner_->AntiAliasEnable(), owner_->BGLight());
}

bool K3DFont::CachedGlyph(char16_t character, const K3DFontInfo& info,
                          const std::optional<K3DGlyphStyle>& style, const uint32_t** pixels,
                          K3DSize& size) {
  if (owner_ == nullptr || !style) return Glyph(character, info, pixels, size);
  return owner_->GlyphCache().Glyph(*this, character, info, *style, pixels, size);
}

K3DFonts* K3DFont::Fonts() const {
  return owner_ != nullptr ? owner_ : K3DFonts::Instance();
}

bool K3DFont::UseFullString(const KString& text, const K3DFontInfo& info) {
  int mode = info.TextModeOverride();
  if (mode == -1) {
    const K3DFonts* fonts = Fonts();
    mode = fonts != nullptr ? fonts->DrawTextMode() : 0;
  }
  if (mode == 0) return false;
  if (mode == 2) return true;
  return std::any_of(text.begin(), text.end(), [](char16_t ch) { return ch > 255; });
}

bool K3DFont::ShrinkToFit(const KString&, const K3DFontInfo&, int&) {
  return false;
}

bool K3DFont::Fit(KString& text, const K3DFontInfo& info, int& width, K3DFontOptimize* optimize) {
  const bool fullString = UseFullString(text, info);
  if (optimize != nullptr) {
    bool result = false;
    if (FitFromRecord(text, info, width, fullString, *optimize, result)) return result;
    optimize->InvalidateEntries();
    optimize->lastAvailable = width;
    optimize->lastTextLength = text.Length();
    optimize->lastInfo = info;
    optimize->lastText = text;
  }
  bool result = true;
  if (text.IsEmpty() || width < 1) {
    text.Clear();
    width = 0;
  } else if (ShrinkToFit(text, info, width)) {
    result = true;
  } else if (fullString) {
    result = FitFullString(text, info, width);
  } else {
    result = FitCharacters(text, info, width);
  }
  if (optimize != nullptr) {
    optimize->lastCharWidthCache = info.CharWidthCache();
    optimize->lastFittedWidth = width;
    optimize->lastFittedLength = text.Length();
    optimize->lastResult = result;
  }
  return result;
}

bool K3DFont::FitFullString(KString& text, const K3DFontInfo& info, int& width) {
  K3DSize size;
  if (!StringGlyph(text, info, nullptr, size)) return false;
  if (size.width <= width) {
    width = size.width;
    return true;
  }
  int lo = 0;
  int hi = text.Length();
  int fitted = 0;
  while (lo < hi - 1) {
    const int mid = lo + (hi - lo) / 2;
    if (!StringGlyph(text.Left(mid), info, nullptr, size)) return false;
    if (size.width > width) {
      hi = mid;
    } else {
      fitted = size.width;
      lo = mid;
    }
  }
  text.Truncate(lo);
  width = lo == 0 ? 0 : fitted;
  return true;
}

bool K3DFont::FitCharacters(KString& text, const K3DFontInfo& info, int& width) {
  const auto style = GlyphStyle(info);
  int used = 0;
  bool any = false;
  int i = 0;
  for (; i < text.Length(); ++i) {
    K3DSize size;
    if (!CachedGlyph(text.At(i), info, style, nullptr, size)) continue;
    if (used + size.width > width) break;
    any = true;
    used += size.width;
  }
  text.Truncate(i);
  width = used;
  return any;
}

bool K3DFont::Draw(const KString& text, const K3DFontInfo& info, Sink sink, void* user,
                   K3DFontOptimize* optimize) {
  if ((optimize != nullptr && optimize->hit) || text.IsEmpty()) return true;
  if (UseFullString(text, info)) {
    const uint32_t* pixels = nullptr;
    K3DSize size;
    if (!StringGlyph(text, info, &pixels, size) || pixels == nullptr) return false;
    sink(pixels, KRect::FromSize(0, 0, size.width, size.height), user);
    return true;
  }
  const bool useEntries = optimize != nullptr && text.Length() <= K3DFontOptimize::kEntries;
  const bool skipSame = useEntries && optimize->partialHit;
  bool produced = false;
  const auto style = GlyphStyle(info);
  int x = 0;
  for (int i = 0; i < text.Length(); ++i) {
    const char16_t ch = text.At(i);
    if (skipSame && optimize->entries[i].character == ch && optimize->entries[i].advance >= 0) {
      x += optimize->entries[i].advance;
      produced = true;
      continue;
    }
    const uint32_t* pixels = nullptr;
    K3DSize size;
    if (!CachedGlyph(ch, info, style, &pixels, size) || pixels == nullptr) {
      size = K3DSize{};
    } else {
      produced = true;
      if (!sink(pixels, KRect::FromSize(x, 0, size.width, size.height), user)) {
        if (useEntries) optimize->InvalidateEntries();
        return true;
      }
    }
    if (useEntries) {
      optimize->entries[i].character = ch;
      optimize->entries[i].advance = static_cast<int16_t>(std::clamp(size.width, 0, 32767));
    }
    x += size.width;
  }
  return produced;
}

bool K3DFont::Measure(const KString& text, const K3DFontInfo& info, K3DSize& size) {
  size = K3DSize{};
  if (text.IsEmpty()) return true;
  if (UseFullString(text, info)) return StringGlyph(text, info, nullptr, size);
  bool any = false;
  const auto style = GlyphStyle(info);
  for (const char16_t ch : text) {
    K3DSize glyph;
    if (!CachedGlyph(ch, info, style, nullptr, glyph)) continue;
    any = true;
    size.width += glyph.width;
    size.height = std::max(size.height, glyph.height);
  }
  return any;
}
