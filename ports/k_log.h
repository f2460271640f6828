#pragma once

#include <mutex>
#include <string>

#include "base/k_file.h"
#include "base/k_string.h"

// The program log: one line per write, under a lock, flushed at once.
// Lines read "<letter>: <local date> <local time>: <text>"; the letter part
// is left out when the code letter is 0. A run that logs nothing leaves no
// file behind.
class KLog {
 public:
  static constexpr char kError = 'E';
  static constexpr char kMessage = 'M';

  KLog() = default;
  KLog(const KLog&) = delete;
  KLog& operator=(const KLog&) = delete;
  ~KLog();

  // Opens `path` for appending, creating it when missing. False leaves the
  // log closed, and writing to a closed log does nothing.
  bool Open(const KString& path);
  bool IsOpen();
  void Write(const KString& text, char code = 0);
  // Deletes the file when it is empty.
  void Close();

  // The line as written, without the line end; `when` is local time.
  static std::string FormatLine(const KString& text, char code, const struct tm& when);

  // The process-wide log that the application creates at start-up, for
  // code far from the application (none until it is set).
  static KLog* Instance() { return instance_; }
  static void SetInstance(KLog* log) { instance_ = log; }
  // Writes to the process-wide log when there is one.
  static void Log(const KString& text, char code = kError);

 private:
  std::mutex mutex_;
  KFile file_;
  static inline KLog* instance_ = nullptr;
};
