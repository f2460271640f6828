// Targa files into bitmaps of the display's format and of a 16-bit one.
#include <cstdint>

#include "base/k_memory_stream.h"
#include "base/k_x.h"
#include "render/k_bitmap.h"
#include "render/k_targa_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (const uint32_t format :
       {uint32_t{KBitmap::kDisplayFormat}, uint32_t{KBitmap::kDepth16 | KBitmap::kAlign2}}) {
    KMemoryStream stream(data, size);
    KBitmap bitmap(format);
    try {
      KTargaCodec::Read(bitmap, stream);
      // What was read is a whole bitmap of the size the header gave.
      if (bitmap.Width() > 0 && bitmap.Height() > 0 && !bitmap.Row(bitmap.Height() - 1)) {
        __builtin_trap();
      }
    } catch (const KX&) {
    }
  }
  return 0;
}
