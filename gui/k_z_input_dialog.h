#pragma once

#include <functional>

#include "base/k_string.h"

// A small modal dialog with one labelled text field and Ok and Cancel
// (default Ok). Without a display (and no responder) it counts as cancelled.
class KZInputDialog {
 public:
  struct Request {
    KString title;
    KString label;
    int maxLength = 31;
    KString okLabel;      // empty: "Ok"
    KString cancelLabel;  // empty: "Cancel"
  };

  // Answers in place of the operator: fills `value`, false = cancelled.
  using Responder = std::function<bool(const Request& request, KString& value)>;
  static void SetResponder(Responder responder);

  // The text entered, cut to maxLength; false when cancelled.
  static bool Ask(const Request& request, KString& value);
};
