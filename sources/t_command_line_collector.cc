#include "sources/t_command_line_collector.h"

bool TCommandLineCollector::Feed(char16_t ch, KString& command) {
  if (ch != 10) {
    if (line_.Length() < kMaxLineLength) line_.Append(ch);
    return false;
  }
  if (line_.IsEmpty()) {
    command = previous_;
  } else {
    command = line_;
    previous_ = line_;
  }
  line_.Clear();
  return true;
}

bool TCommandLineCollector::Feed(char16_t ch) {
  if (ch != 10) {
    if (line_.Length() < kMaxLineLength) line_.Append(ch);
    return false;
  }
  // A bare LF leaves the previous command as it is: a repeat costs no copy.
  if (!line_.IsEmpty()) {
    previous_ = line_;
    line_.Clear();
  }
  return true;
}
