#pragma once

#include "base/k_string.h"

// Gathers the characters a source receives outside packets into command
// lines ended by LF. An empty line stands for the previous command, so a
// timing system can repeat one with a bare LF; packet traffic forgets both.
class TCommandLineCollector {
 public:
  // Command lines are cut to this many characters.
  static constexpr int kMaxLineLength = 32767;

  // Adds one character. True when it completed a line, which is then in
  // `command` (and remembered as the previous command).
  bool Feed(char16_t ch, KString& command);
  // The same without the copy: a completed line is then PreviousCommand()
  // (empty when a bare LF had nothing to repeat).
  bool Feed(char16_t ch);
  // Characters that hold no LF, as Feed would take them one by one.
  void Append(std::u16string_view chars) {
    const int room = kMaxLineLength - line_.Length();
    if (room > 0 && !chars.empty()) line_.Append(chars.substr(0, static_cast<size_t>(room)));
  }
  // Packet traffic: the line in progress and the previous command are dropped.
  void Reset() {
    if (!line_.IsEmpty()) line_.Clear();
    if (!previous_.IsEmpty()) previous_.Clear();
  }

  const KString& CurrentLine() const { return line_; }
  const KString& PreviousCommand() const { return previous_; }

 private:
  KString line_;
  KString previous_;
};
