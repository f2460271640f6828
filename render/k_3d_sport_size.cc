#include "render/k_3d_sport_size.h"

#include <vector>

#include "base/k_file.h"
#include "base/k_x.h"

namespace {

int16_t ReadInt16(const uint8_t* at) {
  return static_cast<int16_t>(static_cast<uint16_t>(at[0] | (at[1] << 8)));
}

}  // namespace

void K3DSportSize::Insert(int code, K3DSportGlyph* glyph) {
  glyphs_.Set(code, glyph);  // deletes an earlier glyph of that code
  byCode_[code] = glyph;
}

int K3DSportSize::Parse(const uint8_t* bytes, size_t count) {
  constexpr size_t kHeader = 9;
  size_t pos = 0;
  int kept = 0;
  while (count - pos >= kHeader) {
    const int code = bytes[pos];
    const int x0 = ReadInt16(bytes + pos + 1);
    const int y0 = ReadInt16(bytes + pos + 3);
    const int x1 = ReadInt16(bytes + pos + 5);
    const int y1 = ReadInt16(bytes + pos + 7);
    pos += kHeader;
    const int width = x1 - x0 + 1;
    const int height = y1 - y0 + 1;
    if (width < 1 || height < 1) break;
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (pixels > count - pos) break;  // truncated: checked before allocating
    auto* glyph = new K3DSportGlyph(width, height);
    uint8_t* inks = glyph->Inks();
    // The file stores the bottom row first.
    for (int row = 0; row < height; ++row) {
      const uint8_t* from = bytes + pos + static_cast<size_t>(row) * width;
      uint8_t* to = inks + static_cast<size_t>(height - 1 - row) * width;
      for (int x = 0; x < width; ++x) to[x] = K3DSportGlyph::InkOfByte(from[x]);
    }
    pos += pixels;
    // The 83-pixel nine was drawn one row too tall; its bottom row is blank.
    if (code == kGlyphDigitNine && height == kTrimmedNineHeight) {
      uint8_t* bottom = inks + static_cast<size_t>(height - 1) * width;
      for (int x = 0; x < width; ++x) bottom[x] = 0;
    }
    Insert(code, glyph);
    ++kept;
  }
  return kept;
}

bool K3DSportSize::LoadFile(const std::string& path) {
  KFile file{KString(std::string_view(path))};
  std::vector<uint8_t> bytes;
  try {
    file.Open(KFile::kRead | KFile::kShareRead, KFile::kOpenExisting);
    const int64_t size = file.Size();
    if (size < 0 || size > kMaxFileBytes) return false;
    bytes.resize(static_cast<size_t>(size));
    if (size > 0) file.Read(bytes.data(), static_cast<int>(size));
  } catch (const KX&) {
    return false;
  }
  Parse(bytes.data(), bytes.size());
  return true;
}

int K3DSportSize::SpaceHeight() const {
  const K3DSportGlyph* space = Find(' ');
  return space != nullptr ? space->Height() : 0;
}
