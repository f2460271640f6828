// GIF files into frames, with and without the global background colour.
#include <cstdint>

#include "base/k_memory_stream.h"
#include "base/k_x.h"
#include "render/k_bitmaps.h"
#include "render/k_gif_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  KMemoryStream stream(data, size);
  KBitmaps frames;
  try {
    // A small storage limit keeps huge screens quick; the limit itself is
    // the same code path at any size.
    KGifDecoder(frames, stream, (size & 1) != 0, int64_t{64} << 20).Decode();
  } catch (const KX&) {
  }
  for (const KBitmap* frame : frames) {
    if (frame->HasPixels() && !frame->Row(frame->Height() - 1)) __builtin_trap();
  }
  return 0;
}
