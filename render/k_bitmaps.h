#pragma once

#include <cstdint>
#include <memory>

#include "base/k_list.h"
#include "render/k_bitmap.h"

class KRGroup;
class KStream;

// One loaded picture: its frames (one for a still image, several for an
// animated GIF) and the animation's loop count.
class KBitmaps {
 public:
  // `settings` is the tree the GIF decoder asks \Display\GIFUseBg at each
  // load; without one the background is black.
  explicit KBitmaps(uint32_t frameFormat = KBitmap::kDisplayFormat,
                    int storageKind = KBitmap::kHeap, KRGroup* settings = nullptr);
  KBitmaps(const KBitmaps&) = delete;
  KBitmaps& operator=(const KBitmaps&) = delete;
  ~KBitmaps();

  uint32_t FrameFormat() const { return frameFormat_; }
  int StorageKind() const { return storageKind_; }
  KRGroup* Settings() const { return settings_; }
  // -1 when the file says nothing, 0 for ever.
  int LoopCount() const { return loopCount_; }
  void SetLoopCount(int count) { loopCount_ = count; }

  // A GIF file becomes its frames; any other file one frame read by
  // KBitmap::Load. Frames are appended; on an error the frames read so far
  // stay for the caller to discard.
  void Load(KStream& stream);
  // Every frame scaled (KBitmap::Scale); null when any frame cannot be.
  std::unique_ptr<KBitmaps> Scaled(int width, int height) const;

  // A new empty frame in the frame format, appended.
  KBitmap* AppendFrame();
  int Count() const { return frames_.Count(); }
  KBitmap* First() const { return static_cast<KBitmap*>(frames_.First()); }
  KBitmap* Last() const { return static_cast<KBitmap*>(frames_.Last()); }
  KBitmap* At(int index) const { return static_cast<KBitmap*>(frames_.At(index)); }
  const KList& Frames() const { return frames_; }
  auto begin() const { return frames_.Items<KBitmap>().begin(); }
  auto end() const { return frames_.Items<KBitmap>().end(); }

 private:
  uint32_t frameFormat_;
  int storageKind_;
  KRGroup* settings_;
  int loopCount_ = -1;
  KList frames_;
};
