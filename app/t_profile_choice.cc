#include "app/t_profile_choice.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr std::string_view kKey = "Profile=";

bool ReadLines(const std::string& path, std::vector<std::string>& lines) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return !in.bad();
}

bool MakeParents(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string parent = path.substr(0, slash);
    if (mkdir(parent.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

// Cutting to 63 characters must not leave half of a surrogate pair.
KString63 Cut(const KString& text) {
  KString63 cut(text);
  if (cut.Length() < text.Length() && cut.Last() >= 0xD800 && cut.Last() <= 0xDBFF)
    cut.Truncate(cut.Length() - 1);
  return cut;
}

}  // namespace

KString TProfileChoice::DefaultPath() {
  std::string base;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home && home[0] ? home : "/tmp") + "/.config";
  }
  return KString(base + "/Quorvel/Telvane.conf");
}

bool TProfileChoice::Read(KString63& name) const {
  name.Clear();
  std::vector<std::string> lines;
  if (!ReadLines(path_.ToUtf8(), lines)) return false;
  for (const std::string& line : lines) {
    if (line.compare(0, kKey.size(), kKey) != 0) continue;
    name = Cut(KString(std::string_view(line).substr(kKey.size())));
    return true;
  }
  return false;
}

bool TProfileChoice::Write(const KString& name) const {
  // A line end inside the value would break the file into other lines.
  if (name.Contains(u'\n') || name.Contains(u'\r')) return false;
  const std::string path = path_.ToUtf8();
  std::vector<std::string> lines;
  ReadLines(path, lines);
  const std::string value = std::string(kKey) + Cut(name).ToUtf8();
  bool replaced = false;
  std::vector<std::string> kept;
  for (std::string& line : lines) {
    if (line.compare(0, kKey.size(), kKey) == 0) {
      if (!replaced) kept.push_back(value);
      replaced = true;  // later duplicates would only confuse the next reader
    } else {
      kept.push_back(std::move(line));
    }
  }
  if (!replaced) kept.push_back(value);

  if (!MakeParents(path)) return false;
  const std::string temporary = path + ".new";
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  std::string text;
  for (const std::string& line : kept) text += line + "\n";
  bool ok = true;
  for (size_t done = 0; ok && done < text.size();) {
    const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    ok = wrote > 0;
    if (ok) done += static_cast<size_t>(wrote);
  }
  ok = fsync(fd) == 0 && ok;
  ok = close(fd) == 0 && ok;
  if (ok) ok = rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temporary.c_str());
  return ok;
}

bool TProfileChoice::IsUsableName(const KString& name) {
  if (name.IsEmpty() || name.At(0) == u'.') return false;
  for (char16_t ch : name)
    if (ch == u'/' || ch == u'\\' || ch < 0x20) return false;
  return true;
}
