#pragma once

#include "base/k_string.h"

// Where the packet cutter writes its events ("{Timer Results HDR}"). The
// source connects this to the debug port; the text arrives complete and the
// receiver puts it on a line of its own.
class TDebugEvents {
 public:
  TDebugEvents() = default;
  TDebugEvents(const TDebugEvents&) = delete;
  TDebugEvents& operator=(const TDebugEvents&) = delete;
  virtual ~TDebugEvents() = default;

  virtual void WriteEvent(const KString& text) = 0;
};
