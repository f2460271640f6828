#pragma once

#include "render/k_bitmap.h"

class KStream;

// JPEG through libjpeg (6b interface). The stream is read and written in
// blocks of 1024 bytes; any fatal error of the library ends the operation
// with 3004 (reading) or 3005 (writing).
class KJpegCodec {
 public:
  static constexpr int kBlockBytes = 1024;

  // Greyscale into an 8-bit bitmap, RGB otherwise; sizes the bitmap to the
  // image. 3010 for a side beyond KBitmap::kMaxSide, 2001 when the storage
  // cannot be had.
  static void Read(KBitmap& bitmap, KStream& stream);
  // One grey component for an 8-bit bitmap, RGB otherwise, at the bitmap's
  // JPEG quality (the library's default for -1). 2000 without pixels.
  static void Write(const KBitmap& bitmap, KStream& stream, const KBitmap::RowSource& rows = {});
};
