#pragma once

#include "base/k_color.h"
#include "base/k_rect.h"
#include "base/k_string.h"

class TDisplay;

// What the display shows: a layout, seen from below. The layout implements
// this so that the pipeline never depends on the layout model.
class TDisplayContent {
 public:
  virtual ~TDisplayContent() = default;

  virtual KColor DisplayBackground() const = 0;
  // Draws every object whose rectangle meets `band`, back to front, through
  // the display's drawing primitives.
  virtual void DrawBand(TDisplay& display, const KRect& band) = 0;
  // The periodic tick: animations and timed triggers.
  virtual void TickObjects() {}
  // Milliseconds until a tick has something to do (a timed trigger to
  // expire), or -1 when nothing is waiting; lets the event loop sleep.
  virtual int MillisecondsToNextTick() const { return -1; }
  // The command that blanks the layout.
  virtual void ClearObjectValues() {}
  // A key pressed on the display window, named as "S+C+F12".
  virtual void KeyTrigger(const KString& /*name*/) {}
};
