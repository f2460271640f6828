#include "render/k_3d_sport_font.h"

#include "base/k_file.h"
#include "base/k_file_info.h"
#include "render/k_3d_fonts.h"
#include "render/k_color_table.h"

int K3DSportFont::LoadDirectory(const KString& directory) {
  KString pattern(directory);
  pattern.Append(u"/*.fnt");
  KFileInfo search;
  const KFile patternFile(pattern);
  while (search.Next(patternFile)) {
    KString path(directory);
    path.Append(u'/');
    path.Append(search.Name());
    auto* size = new K3DSportSize;
    if (!size->LoadFile(path.ToUtf8())) {
      delete size;
      continue;
    }
    AddSize(size);
  }
  return sizes_.Count();
}

int K3DSportFont::InstallShipped(const KString& shipped, const KString& home) {
  auto pattern = [](const KString& directory) {
    KString path(directory);
    path.Append(u"/*.fnt");
    return KFile(path);
  };
  KFileInfo present;
  if (present.Next(pattern(home))) return 0;
  int copied = 0;
  KFileInfo search;
  const KFile from = pattern(shipped);
  while (search.Next(from)) {
    KString source(shipped);
    source.Append(u'/');
    source.Append(search.Name());
    KString target(home);
    target.Append(u'/');
    target.Append(search.Name());
    if (KFile(source).CopyTo(KFile(target))) ++copied;
  }
  return copied;
}

bool K3DSportFont::AddSize(K3DSportSize* size) {
  const int key = size->SpaceHeight();
  if (key <= 0 || sizes_.Get(key) != nullptr) {
    delete size;
    return false;
  }
  sizes_.Set(key, size);
  lastSize_ = nullptr;
  return true;
}

const K3DSportSize* K3DSportFont::FindSize(int size) const {
  if (lastSize_ != nullptr && lastSize_->Key() == size) return lastSize_;
  const auto* found = static_cast<const K3DSportSize*>(sizes_.Get(size));
  if (found != nullptr) lastSize_ = found;
  return found;
}

int K3DSportFont::DefaultSize() const {
  if (sizes_.Count() >= 2) return SizeAt(1);
  return SizeAt(0);
}

int K3DSportFont::SizeAt(int index) const {
  const auto* size = static_cast<const K3DSportSize*>(sizes_.At(index));
  return size != nullptr ? size->Key() : 0;
}

void K3DSportFont::InkPixels(const K3DFontInfo& info, uint32_t (&pixels)[K3DSportGlyph::kInks]) {
  pixels[0] = KColorTable::Pixel(info.BackgroundColor());
  pixels[1] = KColorTable::Pixel(info.FaceColor());
  for (int n = 1; n <= 5; ++n) pixels[1 + n] = KColorTable::DarkenedPixel(info.FaceColor(), n);
  pixels[7] = KColorTable::Pixel(info.BorderColor());
  pixels[8] = KColorTable::Pixel(info.ShadowColor());
}

bool K3DSportFont::Glyph(char16_t character, const K3DFontInfo& info, const uint32_t** pixels,
                         K3DSize& size) {
  const K3DSportSize* sportSize = FindSize(info.Size());
  if (sportSize == nullptr) return false;
  const K3DSportGlyph* glyph = sportSize->Find(character);  // codes above 255 never match
  if (glyph == nullptr) return false;
  if (pixels != nullptr) {
    K3DFonts* fonts = Fonts();
    const size_t count = static_cast<size_t>(glyph->Width()) * glyph->Height();
    uint32_t* out = fonts != nullptr ? fonts->GlyphBuffer(count) : nullptr;
    if (out == nullptr) return false;
    uint32_t inks[K3DSportGlyph::kInks];
    InkPixels(info, inks);
    const uint8_t* from = glyph->Inks();
    for (size_t i = 0; i < count; ++i) out[i] = inks[from[i]];
    *pixels = out;
  }
  size = K3DSize{glyph->Width(), glyph->Height()};
  return true;
}
