#pragma once

#include <cstdint>
#include <vector>

#include "render/k_display_surface.h"

// A display surface that is a picture in memory: what tests look at, what
// snapshots write, and the image the display window paints from.
class KMemorySurface : public KDisplaySurface {
 public:
  KMemorySurface(int width, int height);

  // Keeps what fits of the old picture; new pixels are black.
  void Resize(int width, int height);

  KRect ClientRect() const override { return KRect::FromSize(0, 0, width_, height_); }
  void CopyBlock(const KRect& to, const uint32_t* pixels) override;
  bool CopyRegion(const KRect& from, KPoint to) override;
  bool ReadBlock(const KRect& from, uint32_t* pixels) const override;
  void RequestRepaint() override { ++repaintRequests_; }

  int Width() const { return width_; }
  int Height() const { return height_; }
  const uint32_t* Pixels() const { return pixels_.data(); }
  // 0 outside the picture.
  uint32_t Pixel(int x, int y) const;
  // The transparent pixel shows as black, the way a window shows it.
  uint32_t ShownPixel(int x, int y) const { return Pixel(x, y) & 0x00FFFFFFu; }

  // Requests since the last TakeRepaintRequests.
  int TakeRepaintRequests();
  // The union of what changed since the last TakeDirty; empty when nothing did.
  KRect TakeDirty();

 private:
  void MarkDirty(const KRect& rect);

  int width_;
  int height_;
  std::vector<uint32_t> pixels_;
  int repaintRequests_ = 0;
  KRect dirty_;
};
