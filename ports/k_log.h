#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "base/k_file.h"
#include "base/k_string.h"

// The program log: one line per write, under a lock, flushed at once.
// Lines read "<letter>: <local date> <local time>: <text>"; the letter part
// is left out when the code letter is 0. A run that logs nothing leaves no
// file behind. The file never grows past its size cap: a line that would
// take it past is written to a fresh file after the full one was renamed
// with ".1" appended (replacing an older one), so at most twice the cap is
// kept. A text longer than kMaxTextChars is cut.
class KLog {
 public:
  static constexpr char kError = 'E';
  static constexpr char kMessage = 'M';
  static constexpr int64_t kDefaultMaxBytes = int64_t{10} * 1024 * 1024;
  static constexpr int64_t kMinMaxBytes = int64_t{64} * 1024;
  static constexpr int64_t kMaxMaxBytes = int64_t{1} << 30;
  static constexpr int kMaxTextChars = 4096;

  KLog() = default;
  KLog(const KLog&) = delete;
  KLog& operator=(const KLog&) = delete;
  ~KLog();

  // Opens `path` for appending, creating it when missing. False leaves the
  // log closed, and writing to a closed log does nothing.
  bool Open(const KString& path);
  bool IsOpen();
  void Write(const KString& text, char code = 0);
  // The size cap, held to kMinMaxBytes..kMaxMaxBytes.
  void SetMaxBytes(int64_t bytes);
  int64_t MaxBytes() const { return maxBytes_; }
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
  // Under the lock: renames the full file to ".1" and opens a new one.
  void Rotate();

  std::mutex mutex_;
  KFile file_;
  int64_t maxBytes_ = kDefaultMaxBytes;
  static inline KLog* instance_ = nullptr;
};
