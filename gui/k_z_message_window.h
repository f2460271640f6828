#pragma once

#include <functional>

#include "base/k_string.h"

// A modal message window over the toolkit's message box. When no one can
// answer (no display, and no responder installed), nothing is shown and the
// default button is taken.
class KZMessageWindow {
 public:
  struct Request {
    KString title;
    KString text;        // backslash-"n" pairs become line breaks
    KString secondText;  // shown below the text
    int buttons = 16;    // KZMessageRules::Button bits
    int defaultButton = 16;
    int icon = 0;  // KZMessageRules::Icon bits
    // Labels of Ok, Yes, No, Cancel, Apply in this order; empty ones take
    // the built-in texts.
    KString labels[5];
  };
  struct Answer {
    int button = 0;
    bool asked = false;  // false when the default was taken unasked
  };

  // Answers in place of the operator (tests, scripted runs); it returns a
  // button bit. Installing an empty function removes it.
  using Responder = std::function<int(const Request&)>;
  static void SetResponder(Responder responder);
  // Shows the window on the offscreen platform too, where only a program
  // can answer it (tests of the window itself).
  static void SetShowWithoutDisplay(bool show);

  static Answer Show(const Request& request);
};
