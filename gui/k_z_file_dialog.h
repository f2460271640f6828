#pragma once

#include <functional>

#include "base/k_string.h"

// The open and save dialogs for one file type. Without a display (and no
// responder installed) nothing is shown and the dialog counts as cancelled.
class KZFileDialog {
 public:
  enum Mode : int { kOpen = 0, kSave = 1 };
  struct Request {
    Mode mode = kOpen;
    KString folder;       // where the dialog starts
    KString name;         // the suggested file name (save)
    KString extension;    // without the dot, e.g. "tln"
    KString description;  // e.g. "Telvane Layout"
  };

  // Answers in place of the operator: fills `path`, false = cancelled.
  using Responder = std::function<bool(const Request& request, KString& path)>;
  static void SetResponder(Responder responder);

  // The chosen path (with the extension added when the name had none).
  static bool Ask(const Request& request, KString& path);
};
