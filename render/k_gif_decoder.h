#pragma once

#include <cstdint>
#include <memory>

#include "base/k_rect.h"
#include "render/k_bitmap.h"

class KBitmaps;
class KStream;

// Decodes one GIF file into the frames of a KBitmaps. All decoding state
// lives here and goes with the decoder. Every malformed file, including one
// that ends early, raises 3010; frames that cannot be stored raise 2001.
class KGifDecoder {
 public:
  // Storage all frames and the saved bitmap of one file may take together.
  static constexpr int64_t kMaxStorageBytes = int64_t{1} << 30;

  // `useBackground` takes the screen's background colour from the global
  // table; otherwise it is black.
  KGifDecoder(KBitmaps& target, KStream& stream, bool useBackground,
              int64_t storageLimitBytes = kMaxStorageBytes);
  KGifDecoder(const KGifDecoder&) = delete;
  KGifDecoder& operator=(const KGifDecoder&) = delete;
  ~KGifDecoder();

  void Decode();

 private:
  struct Color {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
  };

  uint8_t Byte();
  int Word();
  void Bytes(void* into, int count);
  void ReadColorTable(int flags, Color* table);

  // The data sub-blocks of the current block: a length byte (0 ends them),
  // then that many bytes.
  void BeginData();
  int DataByte();  // -1 after the terminator
  void SkipData();

  void ReadExtension();
  void ReadImage();
  KBitmap* ChooseFrame();
  KBitmap* NewFrame(const KBitmap* previous);
  void DecodePixels(KBitmap& frame, const KRect& rect, bool interlaced, const Color* table);

  KBitmaps& target_;
  KStream& stream_;
  bool useBackground_;

  int screenWidth_ = 0;
  int screenHeight_ = 0;
  Color background_;
  Color global_[256];
  Color local_[256];

  // The graphic control extension that applies to the next image.
  int controlFlags_ = 0;
  int delayMs_ = -1;
  int transparent_ = -1;

  // What the previous image asked to be done once it had been shown.
  int disposal_ = 0;
  KRect disposalRect_;
  std::unique_ptr<KBitmap> saved_;

  int64_t storageLimitBytes_;
  int64_t storageBytes_ = 0;

  uint8_t block_[255];
  int blockLength_ = 0;
  int blockAt_ = 0;
  bool dataEnded_ = true;
};
