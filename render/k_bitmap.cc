#include "render/k_bitmap.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "base/k_stream.h"
#include "base/k_x.h"
#include "render/k_image_file.h"
#include "render/k_jpeg_codec.h"
#include "render/k_targa_codec.h"

KBitmap::KBitmap(uint32_t format, int storageKind) : format_(format), storageKind_(storageKind) {}

KBitmap::KBitmap(int width, int height, uint32_t format, int storageKind)
    : format_(format), storageKind_(storageKind) {
  SetSize(width, height);
}

KBitmap::KBitmap(void* pixels, int width, int height, uint32_t format)
    : format_(format), external_(static_cast<uint8_t*>(pixels)), storageKind_(kHeap) {
  SetSize(width, height);
}

int KBitmap::BitsPerPixel(uint32_t format) {
  switch (format & kDepthMask) {
    case kDepth8:
      return 8;
    case kDepth15:
      return 15;
    case kDepth16:
      return 16;
    case kDepth24:
      return 24;
    case kDepth32:
      return 32;
    default:
      return 0;
  }
}

int64_t KBitmap::RowStride(uint32_t format, int width) {
  const int64_t alignment = (format & kAlign4) ? 4 : (format & kAlign2) ? 2 : 1;
  const int64_t bytes = static_cast<int64_t>((BitsPerPixel(format) + 1) / 8) * width;
  return (bytes + alignment - 1) / alignment * alignment;
}

void KBitmap::SetSize(int width, int height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
}

bool KBitmap::Allocate() {
  if (external_) return true;
  const size_t needed = SizeBytes();
  if (needed == storageBytes_ && (storage_ || needed == 0)) return true;
  if ((format_ & kNeverShrink) && storageBytes_ >= needed && storage_) return true;
  storage_.reset();
  storageBytes_ = 0;
  if (needed == 0) return true;
  storage_.reset(new (std::nothrow) uint8_t[needed]);
  if (!storage_) return false;
  storageBytes_ = needed;
  return true;
}

bool KBitmap::Resize(int width, int height) {
  if (external_) return width == width_ && height == height_;
  SetSize(width, height);
  return Allocate();
}

void KBitmap::Free() {
  storage_.reset();
  storageBytes_ = 0;
}

uint8_t* KBitmap::Row(int y) {
  uint8_t* pixels = Pixels();
  if (!pixels || y < 0 || y >= height_) return nullptr;
  return pixels + static_cast<size_t>(RowStride()) * static_cast<size_t>(y);
}

const uint8_t* KBitmap::Row(int y) const {
  return const_cast<KBitmap*>(this)->Row(y);
}

void KBitmap::StorePixel(uint32_t format, uint8_t* at, uint8_t red, uint8_t green, uint8_t blue) {
  switch (format & kDepthMask) {
    case kDepth8:
      at[0] = static_cast<uint8_t>((red + green + blue) / 3);
      break;
    case kDepth15:
    case kDepth16: {
      const uint16_t v = static_cast<uint16_t>((red >> 3) << 10 | (green >> 3) << 5 | blue >> 3);
      std::memcpy(at, &v, 2);
      break;
    }
    case kDepth24:
      at[0] = blue;
      at[1] = green;
      at[2] = red;
      break;
    case kDepth32:
      at[0] = blue;
      at[1] = green;
      at[2] = red;
      at[3] = 0;
      break;
    default:
      break;
  }
}

void KBitmap::FetchPixel(uint32_t format, const uint8_t* at, uint8_t& red, uint8_t& green,
                         uint8_t& blue) {
  switch (format & kDepthMask) {
    case kDepth8:
      red = green = blue = at[0];
      break;
    case kDepth15:
    case kDepth16: {
      uint16_t v = 0;
      std::memcpy(&v, at, 2);
      red = static_cast<uint8_t>((v >> 7) & 0xF8);
      green = static_cast<uint8_t>((v >> 2) & 0xF8);
      blue = static_cast<uint8_t>((v << 3) & 0xF8);
      break;
    }
    case kDepth24:
    case kDepth32:
      blue = at[0];
      green = at[1];
      red = at[2];
      break;
    default:
      red = green = blue = 0;
      break;
  }
}

bool KBitmap::GetPixel(int x, int y, uint8_t& red, uint8_t& green, uint8_t& blue) const {
  const uint8_t* row = Row(y);
  if (!row || x < 0 || x >= width_ || BitsPerPixel() == 0) return false;
  FetchPixel(format_, row + static_cast<size_t>(x) * BytesPerPixel(), red, green, blue);
  return true;
}

bool KBitmap::SetPixel(int x, int y, uint8_t red, uint8_t green, uint8_t blue) {
  uint8_t* row = Row(y);
  if (!row || x < 0 || x >= width_ || BitsPerPixel() == 0) return false;
  StorePixel(format_, row + static_cast<size_t>(x) * BytesPerPixel(), red, green, blue);
  return true;
}

void KBitmap::Fill(uint8_t red, uint8_t green, uint8_t blue) {
  FillRect(KRect::FromSize(0, 0, width_, height_), red, green, blue);
}

void KBitmap::FillRect(const KRect& rect, uint8_t red, uint8_t green, uint8_t blue) {
  const KRect area = rect.Intersect(KRect::FromSize(0, 0, width_, height_));
  const int bpp = BytesPerPixel();
  if (area.IsEmpty() || !HasPixels() || bpp == 0) return;
  uint8_t pixel[4] = {};
  StorePixel(format_, pixel, red, green, blue);
  for (int y = area.top; y <= area.bottom; ++y) {
    uint8_t* at = Row(y) + static_cast<size_t>(area.left) * bpp;
    for (int x = area.left; x <= area.right; ++x, at += bpp) std::memcpy(at, pixel, bpp);
  }
}

bool KBitmap::CopyPixels(const KBitmap& other) {
  if (other.width_ != width_ || other.height_ != height_ || other.format_ != format_) return false;
  if (!HasPixels() || !other.HasPixels()) return false;
  if (&other != this) std::memcpy(Pixels(), other.Pixels(), SizeBytes());
  return true;
}

std::unique_ptr<KBitmap> KBitmap::Scale(int width, int height) const {
  const int depth = BitsPerPixel();
  if ((depth != 24 && depth != 32) || !HasPixels()) return nullptr;
  if (width < 0) width = width_;
  if (height < 0) height = height_;
  const auto inRange = [](int side) { return side >= 1 && side <= kMaxSide; };
  if (!inRange(width_) || !inRange(height_) || !inRange(width) || !inRange(height)) return nullptr;

  auto scaled = std::make_unique<KBitmap>(width, height, format_, storageKind_);
  if (!scaled->Allocate()) return nullptr;
  scaled->jpegQuality_ = jpegQuality_;
  scaled->delayMs_ = delayMs_;
  const int bpp = BytesPerPixel();
  for (int i = 0; i < height; ++i) {
    const uint8_t* from = Row(static_cast<int>(static_cast<int64_t>(height_) * i / height));
    uint8_t* to = scaled->Row(i);
    for (int j = 0; j < width; ++j, to += bpp) {
      std::memcpy(to, from + static_cast<int64_t>(width_) * j / width * bpp, bpp);
    }
  }
  return scaled;
}

void KBitmap::Load(KStream& stream) {
  if (KImageFile::TypeOf(stream) == KImageFile::kJpeg) {
    KJpegCodec::Read(*this, stream);
  } else {
    KTargaCodec::Read(*this, stream);
  }
}

void KBitmap::Save(KStream& stream, const RowSource& rows) const {
  if (KImageFile::TypeOf(stream) == KImageFile::kJpeg) {
    KJpegCodec::Write(*this, stream, rows);
  } else {
    KTargaCodec::Write(*this, stream, rows);
  }
}

void KBitmap::ExportSource(KStream& output, const RowSource& rows) const {
  if (!HasPixels()) throw KX(KErrors::kMemory);
  const int stride = RowStride();
  const int64_t total = static_cast<int64_t>(stride) * height_;
  char text[96];
  std::snprintf(text, sizeof text, "KPoint bitmapSize(%d,%d);\n", width_, height_);
  output.WriteText(KString(text));
  std::snprintf(text, sizeof text, "byte bitmapBytes[%lld] = {\n", static_cast<long long>(total));
  output.WriteText(KString(text));

  std::string line = "\t";
  int64_t written = 0;
  for (int y = 0; y < height_; ++y) {
    const uint8_t* row = rows ? rows(y) : Row(y);
    for (int x = 0; x < stride; ++x) {
      std::snprintf(text, sizeof text, "0x%02x", row ? row[x] : 0);
      line += text;
      if (++written < total) line += ',';
      if (line.size() > 69) {
        line += '\n';
        output.WriteText(KString(line));
        line = "\t";
      }
    }
  }
  if (line.size() > 1) {
    line += '\n';
    output.WriteText(KString(line));
  }
  output.WriteText(KString("};\n"));
}
