#pragma once

#include <cstdint>

#include "base/k_rect.h"

// Where the display pipeline puts its pixels: the display window's image of
// its client area, or an in-memory picture for tests and snapshots.
// Rectangles are in client (physical) coordinates.
class KDisplaySurface {
 public:
  virtual ~KDisplaySurface() = default;

  // The client rectangle; its top-left is (0, 0).
  virtual KRect ClientRect() const = 0;
  // Copies a top-down block of to.Width() × to.Height() pixels 0x00RRGGBB;
  // the parts outside the client area are dropped.
  virtual void CopyBlock(const KRect& to, const uint32_t* pixels) = 0;
  // Moves the pixels of `from` so that its top-left lands on `to`. False
  // when the surface cannot copy.
  virtual bool CopyRegion(const KRect& from, KPoint to) = 0;
  // Reads from.Width() × from.Height() pixels, top-down; false when the
  // rectangle is not wholly inside the client area.
  virtual bool ReadBlock(const KRect& from, uint32_t* pixels) const = 0;
  // Asks for a full repaint, which ends in the display's Redraw.
  virtual void RequestRepaint() = 0;
};
