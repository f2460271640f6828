#include "base/k_x.h"

#include <cstdio>

const char* KX::what() const noexcept {
  // One buffer per thread keeps what() allocation-free and safe to call anywhere.
  thread_local char text[32];
  std::snprintf(text, sizeof text, "KX %d", static_cast<int>(code_));
  return text;
}
