#pragma once

#include "render/k_bitmap.h"

class KStream;

// Uncompressed true-colour Targa files (image type 2), 15 to 32 bits deep.
class KTargaCodec {
 public:
  static constexpr int kHeaderBytes = 18;

  // Sizes the bitmap to the image (keeping its format) and fills it. 3009
  // for another image type or depth, 3010 for a side beyond
  // KBitmap::kMaxSide, 2001 when the storage cannot be had, and the
  // stream's 3004 for data that end early (checked before allocating when
  // the stream knows its size).
  static void Read(KBitmap& bitmap, KStream& stream);
  // Type 2 at the bitmap's own depth, rows top to bottom; 2000 without pixels.
  static void Write(const KBitmap& bitmap, KStream& stream, const KBitmap::RowSource& rows = {});
};
