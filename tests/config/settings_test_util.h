#pragma once

#include <filesystem>
#include <string>

#include "base/k_memory_stream.h"
#include "config/k_r_node.h"

// What a node writes with Store, as bytes, in 8-bit with LF line ends unless asked.
inline std::string Written(const KRNode& node, int encoding = KStream::kEncoding8Bit,
                           int lineMode = KStream::kLineLF) {
  KMemoryStream stream;
  stream.SetWriteEncoding(encoding);
  stream.SetWriteLineMode(lineMode);
  node.Store(stream);
  return std::string(stream.Bytes().begin(), stream.Bytes().end());
}

inline KMemoryStream StreamOf(const std::string& bytes) {
  return KMemoryStream(bytes.data(), bytes.size());
}

// A fresh directory for one test, removed with everything in it.
class TempHome {
 public:
  TempHome() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "telvane-config-XXXXXX").string();
    path_ = mkdtemp(pattern.data()) ? pattern : std::string();
  }
  TempHome(const TempHome&) = delete;
  TempHome& operator=(const TempHome&) = delete;
  ~TempHome() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};
