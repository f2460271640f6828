#include "render/k_memory_surface.h"

#include <algorithm>
#include <cstring>

KMemorySurface::KMemorySurface(int width, int height)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<size_t>(width_) * static_cast<size_t>(height_), 0) {}

void KMemorySurface::Resize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  std::vector<uint32_t> next(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  const int keepWidth = std::min(width, width_);
  for (int y = 0; y < std::min(height, height_); ++y) {
    std::memcpy(&next[static_cast<size_t>(y) * width], &pixels_[static_cast<size_t>(y) * width_],
                static_cast<size_t>(keepWidth) * sizeof(uint32_t));
  }
  pixels_ = std::move(next);
  width_ = width;
  height_ = height;
  MarkDirty(ClientRect());
}

uint32_t KMemorySurface::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return pixels_[static_cast<size_t>(y) * width_ + x];
}

void KMemorySurface::CopyBlock(const KRect& to, const uint32_t* pixels) {
  const KRect target = to.Intersect(ClientRect());
  if (target.IsEmpty() || pixels == nullptr) return;
  const size_t rowLength = static_cast<size_t>(to.Width());
  const size_t count = static_cast<size_t>(target.Width());
  for (int y = target.top; y <= target.bottom; ++y) {
    const uint32_t* source = pixels + static_cast<size_t>(y - to.top) * rowLength +
                             static_cast<size_t>(target.left - to.left);
    std::memcpy(&pixels_[static_cast<size_t>(y) * width_ + target.left], source,
                count * sizeof(uint32_t));
  }
  MarkDirty(target);
}

bool KMemorySurface::CopyRegion(const KRect& from, KPoint to) {
  // Clip the source, then the destination, keeping the two aligned.
  KRect source = from.Intersect(ClientRect());
  if (source.IsEmpty()) return true;
  KPoint dest{to.x + (source.left - from.left), to.y + (source.top - from.top)};
  KRect target =
      KRect::FromSize(dest.x, dest.y, source.Width(), source.Height()).Intersect(ClientRect());
  if (target.IsEmpty()) return true;
  source.left += target.left - dest.x;
  source.top += target.top - dest.y;
  const size_t count = static_cast<size_t>(target.Width());
  // Overlapping moves: walk rows away from the destination.
  const bool downward = target.top > source.top;
  for (int i = 0; i < target.Height(); ++i) {
    const int row = downward ? target.Height() - 1 - i : i;
    std::memmove(&pixels_[static_cast<size_t>(target.top + row) * width_ + target.left],
                 &pixels_[static_cast<size_t>(source.top + row) * width_ + source.left],
                 count * sizeof(uint32_t));
  }
  MarkDirty(target);
  return true;
}

bool KMemorySurface::ReadBlock(const KRect& from, uint32_t* pixels) const {
  if (from.IsEmpty() || from.Intersect(ClientRect()) != from) return false;
  const size_t count = static_cast<size_t>(from.Width());
  for (int y = from.top; y <= from.bottom; ++y) {
    std::memcpy(pixels + static_cast<size_t>(y - from.top) * count,
                &pixels_[static_cast<size_t>(y) * width_ + from.left], count * sizeof(uint32_t));
  }
  return true;
}

int KMemorySurface::TakeRepaintRequests() {
  const int count = repaintRequests_;
  repaintRequests_ = 0;
  return count;
}

KRect KMemorySurface::TakeDirty() {
  const KRect dirty = dirty_;
  dirty_ = KRect{};
  return dirty;
}

void KMemorySurface::MarkDirty(const KRect& rect) {
  if (rect.IsEmpty()) return;
  if (dirty_.IsEmpty()) {
    dirty_ = rect;
    return;
  }
  dirty_ = KRect{std::min(dirty_.left, rect.left), std::min(dirty_.top, rect.top),
                 std::max(dirty_.right, rect.right), std::max(dirty_.bottom, rect.bottom)};
}
