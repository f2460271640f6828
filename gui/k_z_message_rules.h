#pragma once

#include <vector>

#include "base/k_string.h"

// What a message window shows and answers, apart from drawing it.
class KZMessageRules {
 public:
  enum Button : int { kOk = 16, kYes = 32, kNo = 64, kCancel = 128, kApply = 256 };
  enum Icon : int { kInformation = 1, kExclamation = 2, kQuestion = 4 };
  static constexpr int kButtonOrder[] = {kOk, kYes, kNo, kCancel, kApply};

  // Splits the text at each backslash-"n" pair; true when there was one, so
  // the text is shown as a multi-line block.
  static bool SplitLines(const KString& text, std::vector<KString>& lines);
  // The same with real line ends.
  static KString WithLineBreaks(const KString& text);

  // The button that Escape or closing the window stands for: Cancel when
  // present, else No when present, else 0 (the window cannot be escaped).
  static int EscapeButton(int buttons);
  // The default button when it is one of the buttons, else the first button.
  static int DefaultButton(int buttons, int defaultButton);
  // Ok or Yes.
  static bool IsPositive(int button) { return button == kOk || button == kYes; }
  // The settings path of a button's label and its built-in text.
  static KString LabelPath(int button);
  static KString BuiltInLabel(int button);
};
