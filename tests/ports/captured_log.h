#pragma once

#include <fstream>
#include <iterator>
#include <string>

#include "ports/k_log.h"
#include "tests/ports/temp_home.h"

// The process-wide log, written to a file of its own for as long as this
// lives, so a test can read what the code under it logged.
class CapturedLog {
 public:
  CapturedLog() {
    if (log_.Open(KString(home_.File("telvane.log").c_str()))) KLog::SetInstance(&log_);
  }
  ~CapturedLog() { KLog::SetInstance(nullptr); }
  CapturedLog(const CapturedLog&) = delete;
  CapturedLog& operator=(const CapturedLog&) = delete;

  bool IsOpen() { return log_.IsOpen(); }
  // Everything logged so far (each line is flushed as it is written).
  std::string Text() const {
    std::ifstream file(home_.File("telvane.log"));
    return {std::istreambuf_iterator<char>(file), {}};
  }

 private:
  TempHome home_;
  KLog log_;
};
