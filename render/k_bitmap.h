#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "base/k_list.h"
#include "base/k_rect.h"
#include "base/k_string.h"

class KStream;

// A pixel array: one picture, or one frame of a KBitmaps. Rows are stored
// top to bottom. The format word holds the depth (bits 0-4), the row
// alignment (bits 5-7) and the never-shrink bit (8).
class KBitmap : public KListItem {
 public:
  enum Format : uint32_t {
    kDepth8 = 1,  // one grey byte
    kDepth15 = 2,
    kDepth16 = 4,   // 15 and 16 both store a 5-5-5 word
    kDepth24 = 8,   // blue, green, red
    kDepth32 = 16,  // blue, green, red, 0
    kDepthMask = 0x1F,
    kAlign1 = 32,
    kAlign2 = 64,
    kAlign4 = 128,
    kAlignMask = 0xE0,
    kNeverShrink = 256,
    // What the display draws: 24-bit rows padded to 4 bytes.
    kDisplayFormat = kDepth24 | kAlign4,
  };
  enum StorageKind : int { kHeap = 0 };

  // Returns the bytes of row i in the bitmap's format; used by the writers
  // instead of the bitmap's own rows.
  using RowSource = std::function<const uint8_t*(int row)>;

  explicit KBitmap(uint32_t format = kDisplayFormat, int storageKind = kHeap);
  KBitmap(int width, int height, uint32_t format, int storageKind = kHeap);
  // Describes pixels owned by someone else; they are never reallocated.
  KBitmap(void* pixels, int width, int height, uint32_t format);
  KBitmap(const KBitmap&) = delete;
  KBitmap& operator=(const KBitmap&) = delete;
  ~KBitmap() override = default;

  KString ClassName() const override { return KString::MakeView(u"KBitmap"); }

  int Width() const { return width_; }
  int Height() const { return height_; }
  uint32_t Format() const { return format_; }
  int StorageKind() const { return storageKind_; }
  bool IsExternal() const { return external_ != nullptr; }
  bool HasPixels() const { return Pixels() != nullptr; }

  int BitsPerPixel() const { return BitsPerPixel(format_); }
  int BytesPerPixel() const { return (BitsPerPixel() + 1) / 8; }
  int RowStride() const { return static_cast<int>(RowStride(format_, width_)); }
  size_t SizeBytes() const {
    return static_cast<size_t>(RowStride()) * static_cast<size_t>(height_);
  }
  static int BitsPerPixel(uint32_t format);
  static int64_t RowStride(uint32_t format, int width);

  // Changes the size only; Allocate makes the storage fit.
  void SetSize(int width, int height);
  // Makes the storage fit row stride x height; false when memory runs out.
  bool Allocate();
  // SetSize and Allocate for a reader; false for external pixels of another
  // size, which cannot be reallocated.
  bool Resize(int width, int height);
  void Free();

  uint8_t* Pixels() { return external_ ? external_ : storage_.get(); }
  const uint8_t* Pixels() const { return external_ ? external_ : storage_.get(); }
  // Null outside 0 .. height - 1 or without pixels.
  uint8_t* Row(int y);
  const uint8_t* Row(int y) const;

  bool GetPixel(int x, int y, uint8_t& red, uint8_t& green, uint8_t& blue) const;
  bool SetPixel(int x, int y, uint8_t red, uint8_t green, uint8_t blue);
  void Fill(uint8_t red, uint8_t green, uint8_t blue);
  // Pixels of the inclusive rectangle that lie inside the bitmap.
  void FillRect(const KRect& rect, uint8_t red, uint8_t green, uint8_t blue);
  // Only between bitmaps of the same width, height and format.
  bool CopyPixels(const KBitmap& other);
  // Nearest neighbour; a negative side keeps the current one. Null for
  // depths other than 24 and 32 and for sides outside 1 .. kMaxSide.
  std::unique_ptr<KBitmap> Scale(int width, int height) const;

  // JPEG for a "jp*" extension of the file behind the stream, otherwise Targa.
  void Load(KStream& stream) override;
  void Save(KStream& stream, const RowSource& rows = {}) const;
  // The pixels as C source text: the size and the bytes of every row.
  void ExportSource(KStream& output, const RowSource& rows = {}) const;

  int JpegQuality() const { return jpegQuality_; }
  void SetJpegQuality(int quality) { jpegQuality_ = quality; }
  int Delay() const { return delayMs_; }
  void SetDelay(int delayMs) { delayMs_ = delayMs; }

  // Pixel codecs shared with the readers: a pixel in `format` at `at`.
  static void StorePixel(uint32_t format, uint8_t* at, uint8_t red, uint8_t green, uint8_t blue);
  static void FetchPixel(uint32_t format, const uint8_t* at, uint8_t& red, uint8_t& green,
                         uint8_t& blue);

  // Largest side any reader or Scale accepts.
  static constexpr int kMaxSide = 16384;

 private:
  int width_ = 0;
  int height_ = 0;
  uint32_t format_;
  uint8_t* external_ = nullptr;
  std::unique_ptr<uint8_t[]> storage_;
  size_t storageBytes_ = 0;
  int storageKind_;
  int jpegQuality_ = -1;
  int delayMs_ = -1;
};
