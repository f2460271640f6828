#pragma once

#include "layout/t_layout_services.h"

// Shows the wait cursor for the life of the scope.
class TWaitCursorScope {
 public:
  TWaitCursorScope() { TLayoutServices::Get().ShowWaitCursor(true); }
  ~TWaitCursorScope() { TLayoutServices::Get().ShowWaitCursor(false); }
  TWaitCursorScope(const TWaitCursorScope&) = delete;
  TWaitCursorScope& operator=(const TWaitCursorScope&) = delete;
};
