#include "render/k_3d_font_info.h"

#include <algorithm>

#include "base/k_record.h"
#include "base/k_x.h"
#include "render/k_3d_fonts.h"

namespace {

const K3DFont* FindFont(const KString& name) {
  const K3DFonts* fonts = K3DFonts::Instance();
  return fonts != nullptr ? fonts->Find(name) : nullptr;
}

}  // namespace

K3DFontInfo::K3DFontInfo() {
  const K3DFont* font = FindFont(font_);
  size_ = font != nullptr ? font->DefaultSize() : kFallbackSize;
}

void K3DFontInfo::SetFont(const KString& name) {
  charWidthCache_ = -1;
  font_ = name;
  const K3DFont* font = FindFont(font_);
  if (font != nullptr && !font->IsValidSize(size_)) size_ = font->DefaultSize();
}

void K3DFontInfo::SetSize(int size) {
  charWidthCache_ = -1;
  size = std::clamp(size, kMinSize, kMaxSize);
  const K3DFont* font = FindFont(font_);
  if (font != nullptr && !font->IsValidSize(size)) return;
  size_ = size;
}

void K3DFontInfo::SetWidth(int percent) {
  charWidthCache_ = -1;
  width_ = std::clamp(percent, 1, 200);
}

void K3DFontInfo::SetShrinkToFit(bool on) {
  charWidthCache_ = -1;
  shrinkToFit_ = on;
}

void K3DFontInfo::SetShrinkLimit(int percent) {
  charWidthCache_ = -1;
  shrinkLimit_ = std::clamp(percent, 0, 100);
}

void K3DFontInfo::SetFaceColor(KColor color) {
  charWidthCache_ = -1;
  face_ = color;
}

void K3DFontInfo::SetBorderColor(KColor color) {
  charWidthCache_ = -1;
  border_ = color;
}

void K3DFontInfo::SetShadowColor(KColor color) {
  charWidthCache_ = -1;
  shadow_ = color;
}

void K3DFontInfo::SetBackgroundColor(KColor color) {
  charWidthCache_ = -1;
  background_ = color;
}

void K3DFontInfo::SetBorderSizeOverride(int pixels) {
  charWidthCache_ = -1;
  borderSize_ = pixels;
}

void K3DFontInfo::SetShadowSizeOverride(int pixels) {
  charWidthCache_ = -1;
  shadowSize_ = pixels;
}

void K3DFontInfo::SetTextModeOverride(int mode) {
  charWidthCache_ = -1;
  textMode_ = mode;
}

bool operator==(const K3DFontInfo& a, const K3DFontInfo& b) {
  return a.font_ == b.font_ && a.size_ == b.size_ && a.width_ == b.width_ &&
         a.shrinkToFit_ == b.shrinkToFit_ && a.shrinkLimit_ == b.shrinkLimit_ &&
         a.face_ == b.face_ && a.border_ == b.border_ && a.shadow_ == b.shadow_ &&
         a.background_ == b.background_ && a.borderSize_ == b.borderSize_ &&
         a.shadowSize_ == b.shadowSize_ && a.textMode_ == b.textMode_;
}

void K3DFontInfo::Store(KStream& stream) const {
  stream.WriteInt32(kTag);
  stream.WriteInt32(size_);
  KRecord::StoreColor(stream, face_);
  KRecord::StoreColor(stream, border_);
  KRecord::StoreColor(stream, shadow_);
  KRecord::StoreString(stream, font_);
  KRecord::StoreColor(stream, background_);
  stream.WriteInt32(shrinkToFit_ ? 1 : 0);
  stream.WriteInt32(shrinkLimit_);
  stream.WriteInt32(width_);
}

// Sizes are not checked against the font: a file made with a font this
// machine lacks keeps its size. The ranges are, so a damaged file cannot
// drive the rasteriser with absurd sizes.
void K3DFontInfo::Load(KStream& stream) {
  int32_t tag = stream.ReadInt32();
  if (tag == kLegacyTag) tag = kOldestTag;
  if (tag < kOldestTag || tag > kTag) throw KXPersistent(KErrors::kFileVersion);
  charWidthCache_ = -1;
  size_ = std::clamp(stream.ReadInt32(), kMinSize, kMaxSize);
  face_ = KRecord::LoadColor(stream);
  border_ = KRecord::LoadColor(stream);
  shadow_ = KRecord::LoadColor(stream);
  if (tag >= 0x1000C) KRecord::LoadString(stream, font_);
  if (tag >= 0x1000D) background_ = KRecord::LoadColor(stream);
  if (tag >= 0x1000E) {
    shrinkToFit_ = stream.ReadInt32() != 0;
    shrinkLimit_ = std::clamp(stream.ReadInt32(), 0, 100);
  }
  if (tag >= 0x1000F) width_ = std::clamp(stream.ReadInt32(), 1, 200);
}
