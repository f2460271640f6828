// JPEG files through libjpeg into a 24-bit and an 8-bit bitmap.
#include <cstdint>

#include "base/k_memory_stream.h"
#include "base/k_x.h"
#include "render/k_bitmap.h"
#include "render/k_jpeg_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint32_t format = (size & 1) ? KBitmap::kDepth8 : KBitmap::kDisplayFormat;
  KMemoryStream stream(data, size);
  KBitmap bitmap(format);
  try {
    KJpegCodec::Read(bitmap, stream);
    if (bitmap.Width() > KBitmap::kMaxSide || bitmap.Height() > KBitmap::kMaxSide) __builtin_trap();
  } catch (const KX&) {
  }
  return 0;
}
