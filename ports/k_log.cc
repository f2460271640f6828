#include "ports/k_log.h"

#include <time.h>

#include "base/k_x.h"

KLog::~KLog() {
  Close();
  if (instance_ == this) instance_ = nullptr;
}

bool KLog::Open(const KString& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (file_.IsOpen()) file_.Close();
  file_.SetPath(path);
  try {
    file_.Open(KFile::kWrite | KFile::kShareRead, KFile::kOpenOrCreate);
  } catch (const KX&) {
    file_.Close();
    return false;
  }
  return true;
}

bool KLog::IsOpen() {
  std::lock_guard<std::mutex> lock(mutex_);
  return file_.IsOpen();
}

std::string KLog::FormatLine(const KString& text, char code, const struct tm& when) {
  std::string line;
  if (code != 0) {
    line += code;
    line += ": ";
  }
  // %x and %X are the short date and the time of the locale the program
  // chose at start-up (the user's, once it calls setlocale).
  char stamp[128];
  const size_t length = strftime(stamp, sizeof stamp, "%x %X", &when);
  line.append(stamp, length);
  line += ": ";
  // UTF-8 rather than one byte per character, so names in any script survive.
  if (text.Length() > kMaxTextChars) {
    line += text.Left(kMaxTextChars).ToUtf8();
    line += " [cut]";
  } else {
    line += text.ToUtf8();
  }
  return line;
}

void KLog::Write(const KString& text, char code) {
  const time_t now = time(nullptr);
  struct tm local {};
  localtime_r(&now, &local);
  std::string line = FormatLine(text, code, local);
  line += '\n';
  std::lock_guard<std::mutex> lock(mutex_);
  if (!file_.IsOpen()) return;
  try {
    // Another copy of the program may have appended since the last line.
    const int64_t size = file_.Seek(0, 2);
    if (size > 0 && size + static_cast<int64_t>(line.size()) > maxBytes_) {
      Rotate();
      if (!file_.IsOpen()) return;
    }
    file_.Write(line.data(), static_cast<int>(line.size()));
    file_.Flush();
  } catch (const KX&) {
    // A full disk must not take the program down with it.
  }
}

void KLog::SetMaxBytes(int64_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  maxBytes_ = bytes < kMinMaxBytes ? kMinMaxBytes : bytes > kMaxMaxBytes ? kMaxMaxBytes : bytes;
}

void KLog::Rotate() {
  const KString path(file_.Path());
  KString older(path);
  older.Append(u".1");
  file_.Close();
  KFile full(path);
  full.Rename(older);
  file_.SetPath(path);
  try {
    file_.Open(KFile::kWrite | KFile::kShareRead, KFile::kOpenOrCreate);
    file_.Seek(0, 2);
  } catch (const KX&) {
    file_.Close();
  }
}

void KLog::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!file_.IsOpen()) return;
  int64_t size = -1;
  try {
    size = file_.Size();
  } catch (const KX&) {
  }
  file_.Close();
  if (size == 0) file_.Delete();
}

void KLog::Log(const KString& text, char code) {
  if (instance_) instance_->Write(text, code);
}
