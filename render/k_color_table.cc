#include "render/k_color_table.h"

#include <string_view>

#include "base/k_number.h"
#include "base/k_string.h"
#include "config/k_r_group.h"
#include "config/k_r_string.h"

namespace {

constexpr KColorTable::Rgb kBuiltIn[KColorTable::kEntries] = {
    {0, 0, 255}, {255, 255, 255}, {192, 192, 192}, {128, 128, 128}, {0, 0, 0},    {255, 0, 0},
    {0, 255, 0}, {0, 0, 255},     {0, 255, 255},   {255, 0, 255},   {255, 255, 0}};

KColorTable::Rgb table[KColorTable::kEntries] = {
    {0, 0, 255}, {255, 255, 255}, {192, 192, 192}, {128, 128, 128}, {0, 0, 0},    {255, 0, 0},
    {0, 255, 0}, {0, 0, 255},     {0, 255, 255},   {255, 0, 255},   {255, 255, 0}};

uint8_t Darken(uint8_t c, int eighths) {
  return static_cast<uint8_t>(c - (eighths * c) / 8);
}

}  // namespace

void KColorTable::Load(KRGroup& registry) {
  for (int i = 0; i < kEntries; ++i) {
    KString path("\\Display\\Colors\\");
    path.AppendInt(i);
    const KRString* node = registry.LookupString(path);
    if (node == nullptr) continue;
    ApplyText(node->Value().Data(), node->Value().Length(), table[i]);
  }
}

void KColorTable::Reset() {
  for (int i = 0; i < kEntries; ++i) table[i] = kBuiltIn[i];
}

KColorTable::Rgb KColorTable::Entry(int index) {
  return index >= 0 && index < kEntries ? table[index] : Rgb{};
}

void KColorTable::SetEntry(int index, Rgb rgb) {
  if (index >= 0 && index < kEntries) table[index] = rgb;
}

void KColorTable::ApplyText(const char16_t* text, int length, Rgb& rgb) {
  uint8_t* channels[3] = {&rgb.r, &rgb.g, &rgb.b};
  const std::u16string_view all(text, static_cast<size_t>(length));
  size_t start = 0;
  for (int field = 0; field < 3 && start <= all.size(); ++field) {
    size_t comma = all.find(u',', start);
    if (comma == std::u16string_view::npos) comma = all.size();
    int32_t value = 0;
    if (KNumber::ParseWholeInt(all.substr(start, comma - start), value) && value >= 0 &&
        value <= 255) {
      *channels[field] = static_cast<uint8_t>(value);
    }
    start = comma + 1;
  }
}

KColorTable::Rgb KColorTable::Channels(KColor color) {
  if (color.IsDirect()) {
    const uint32_t v = color.value;
    return Rgb{static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
               static_cast<uint8_t>(v)};
  }
  return Entry(color.PaletteIndex());
}

uint32_t KColorTable::Pixel(KColor color) {
  if (color.IsTransparent()) return kTransparentPixel;
  return PixelOf(Channels(color));
}

uint32_t KColorTable::PixelBgr(KColor color) {
  const Rgb c = Channels(color);
  return (uint32_t{c.b} << 16) | (uint32_t{c.g} << 8) | c.r;
}

uint32_t KColorTable::DarkenedPixel(KColor color, int eighths) {
  if (color.IsTransparent()) return kTransparentPixel;
  const Rgb c = Channels(color);
  return PixelOf(Rgb{Darken(c.r, eighths), Darken(c.g, eighths), Darken(c.b, eighths)});
}
