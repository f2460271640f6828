#include "render/k_targa_codec.h"

#include <cstring>
#include <new>
#include <vector>

#include "base/k_stream.h"
#include "base/k_x.h"
#include "render/k_image_file.h"

namespace {

uint16_t Word(const uint8_t* at) {
  return static_cast<uint16_t>(at[0] | at[1] << 8);
}

void PutWord(uint8_t* at, int value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

int ColorMapEntryBytes(int bits) {
  switch (bits) {
    case 15:
    case 16:
      return 2;
    case 24:
      return 3;
    case 32:
      return 4;
    default:
      return 0;
  }
}

}  // namespace

void KTargaCodec::Read(KBitmap& bitmap, KStream& stream) {
  uint8_t header[kHeaderBytes];
  stream.Read(header, kHeaderBytes);
  const int depth = header[16];
  if (header[2] != 2 || (depth != 15 && depth != 16 && depth != 24 && depth != 32)) {
    throw KX(KErrors::kFileVersion);
  }
  const int width = Word(header + 12);
  const int height = Word(header + 14);
  if (width > KBitmap::kMaxSide || height > KBitmap::kMaxSide) throw KX(KErrors::kFileContents);

  // Everything before the pixels, then the pixels themselves, must be there
  // before the storage is made for them.
  int64_t skip = header[0];
  if (header[1] != 0)
    skip += static_cast<int64_t>(Word(header + 5)) * ColorMapEntryBytes(header[7]);
  const int pixelBytes = (depth + 1) / 8;
  const int64_t rowBytes = static_cast<int64_t>(width) * pixelBytes;
  KImageFile::Require(stream, skip + rowBytes * height);

  if (!bitmap.Resize(width, height)) throw KX(KErrors::kMemoryAllocate);
  try {
    KImageFile::Skip(stream, skip);
    std::vector<uint8_t> line(static_cast<size_t>(rowBytes));
    const bool topDown = (header[17] & 32) != 0;
    const bool rightToLeft = (header[17] & 16) != 0;
    const uint32_t format = bitmap.Format();
    const int outBytes = bitmap.BytesPerPixel();
    for (int i = 0; i < height; ++i) {
      stream.Read(line.data(), static_cast<int>(rowBytes));
      uint8_t* row = bitmap.Row(topDown ? i : height - 1 - i);
      if (!row || outBytes == 0) continue;
      for (int x = 0; x < width; ++x) {
        const uint8_t* in = line.data() + static_cast<size_t>(x) * pixelBytes;
        uint8_t red, green, blue;
        if (pixelBytes == 2) {
          const uint16_t v = Word(in);
          red = static_cast<uint8_t>((v >> 7) & 0xF8);
          green = static_cast<uint8_t>((v >> 2) & 0xF8);
          blue = static_cast<uint8_t>((v << 3) & 0xF8);
          red |= red >> 5;
          green |= green >> 5;
          blue |= blue >> 5;
        } else {
          blue = in[0];
          green = in[1];
          red = in[2];
        }
        const int column = rightToLeft ? width - 1 - x : x;
        KBitmap::StorePixel(format, row + static_cast<size_t>(column) * outBytes, red, green, blue);
      }
    }
  } catch (const std::bad_alloc&) {
    bitmap.Free();
    throw KX(KErrors::kMemoryAllocate);
  } catch (...) {
    bitmap.Free();
    throw;
  }
}

void KTargaCodec::Write(const KBitmap& bitmap, KStream& stream, const KBitmap::RowSource& rows) {
  if (!bitmap.HasPixels() && !rows) throw KX(KErrors::kMemory);
  uint8_t header[kHeaderBytes] = {};
  header[2] = 2;
  PutWord(header + 12, bitmap.Width());
  PutWord(header + 14, bitmap.Height());
  header[16] = static_cast<uint8_t>(bitmap.BytesPerPixel() * 8);
  header[17] = 32;
  stream.Write(header, kHeaderBytes);
  const int rowBytes = bitmap.BytesPerPixel() * bitmap.Width();
  for (int y = 0; y < bitmap.Height(); ++y) {
    const uint8_t* row = rows ? rows(y) : bitmap.Row(y);
    if (!row) throw KX(KErrors::kMemory);
    stream.Write(row, rowBytes);
  }
}
