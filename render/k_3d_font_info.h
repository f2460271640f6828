#pragma once

#include <cstdint>

#include "base/k_color.h"
#include "base/k_stream.h"
#include "base/k_string.h"

// How one text is drawn: which font, how big and wide, and the colours of
// face, border, shadow and background. A value type, copied freely. Every
// setter drops the character width cache, which fitting fills in again.
class K3DFontInfo {
 public:
  static constexpr int32_t kTag = 0x1000F;
  static constexpr int32_t kOldestTag = 0x1000B;
  static constexpr int32_t kLegacyTag = 0x30005;  // read as kOldestTag
  static constexpr int kMinSize = 10;
  static constexpr int kMaxSize = 999;
  // The size of a new description before any font list exists.
  static constexpr int kFallbackSize = 34;

  K3DFontInfo();

  const KString& Font() const { return font_; }
  int Size() const { return size_; }
  int Width() const { return width_; }
  bool ShrinkToFit() const { return shrinkToFit_; }
  int ShrinkLimit() const { return shrinkLimit_; }
  KColor FaceColor() const { return face_; }
  KColor BorderColor() const { return border_; }
  KColor ShadowColor() const { return shadow_; }
  KColor BackgroundColor() const { return background_; }
  int BorderSizeOverride() const { return borderSize_; }
  int ShadowSizeOverride() const { return shadowSize_; }
  int TextModeOverride() const { return textMode_; }

  // A font that rejects the current size brings its default size.
  void SetFont(const KString& name);
  // Clamped to 10..999; a size the font rejects leaves the old one.
  void SetSize(int size);
  void SetWidth(int percent);  // clamped to 1..200
  void SetShrinkToFit(bool on);
  void SetShrinkLimit(int percent);  // clamped to 0..100
  void SetFaceColor(KColor color);
  void SetBorderColor(KColor color);
  void SetShadowColor(KColor color);
  void SetBackgroundColor(KColor color);
  void SetBorderSizeOverride(int pixels);
  void SetShadowSizeOverride(int pixels);
  void SetTextModeOverride(int mode);

  // The character width handed to the rasteriser; -1 until fitting chose one.
  // Const because fitting a text does not change its description.
  int CharWidthCache() const { return charWidthCache_; }
  void SetCharWidthCache(int width) const { charWidthCache_ = width; }

  // Every field but the cache; names compared exactly.
  friend bool operator==(const K3DFontInfo& a, const K3DFontInfo& b);

  void Store(KStream& stream) const;
  // Reads what the record's tag holds; other tags raise KXPersistent 3009.
  void Load(KStream& stream);

 private:
  KString31 font_;
  int size_;
  int width_ = 100;
  bool shrinkToFit_ = false;
  int shrinkLimit_ = 50;
  KColor face_ = KColor::Palette(1);
  KColor border_ = KColor::Palette(4);
  KColor shadow_ = KColor::Palette(4);
  KColor background_ = KColor::Palette(0);
  int borderSize_ = -1;
  int shadowSize_ = -1;
  int textMode_ = -1;
  mutable int charWidthCache_ = -1;
};
