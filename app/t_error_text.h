#pragma once

#include <functional>

#include "base/k_string.h"

// The text of a numbered error alert: the code's own text under
// \Strings\Errors\, else its thousand family's, else the operation-failed
// text, followed by " (code)." or " (code,second).".
class TErrorText {
 public:
  // Finds the text at a settings path; false when there is none.
  using Lookup = std::function<bool(const KString& path, KString& text)>;

  // `lookup` may be empty (no settings tree yet). The result is cut to 127
  // characters.
  static KString127 Compose(int code, int second, const Lookup& lookup,
                            const KString& operationFailed);

  // 3007 → 3000, -3007 → -3000 (rounding toward zero).
  static int Family(int code) { return code / 1000 * 1000; }
};
