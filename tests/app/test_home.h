#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

// A fresh home, configuration and runtime folder for one test, with the
// offscreen platform; everything is removed and the environment restored
// at the end.
class TestHome {
 public:
  TestHome() {
    char pattern[] = "/tmp/telvane-app-test-XXXXXX";
    root_ = mkdtemp(pattern);
    home_ = root_ + "/home";
    std::filesystem::create_directories(home_);
    std::filesystem::create_directories(root_ + "/config");
    std::filesystem::create_directories(root_ + "/runtime");
    std::filesystem::permissions(root_ + "/runtime", std::filesystem::perms::owner_all);
    Set("HOME", root_);
    Set("XDG_CONFIG_HOME", root_ + "/config");
    Set("XDG_RUNTIME_DIR", root_ + "/runtime");
    Set("QT_QPA_PLATFORM", "offscreen");
    Unset("TELVANE_HOME");
  }
  TestHome(const TestHome&) = delete;
  TestHome& operator=(const TestHome&) = delete;
  ~TestHome() {
    for (const auto& [name, value] : saved_) {
      if (value.first)
        setenv(name.c_str(), value.second.c_str(), 1);
      else
        unsetenv(name.c_str());
    }
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  const std::string& Root() const { return root_; }
  const std::string& Home() const { return home_; }
  std::string InHome(const std::string& name) const { return home_ + "/" + name; }
  std::string ConfigFile() const { return root_ + "/config/Quorvel/Telvane.conf"; }
  std::string RuntimeFolder() const { return root_ + "/runtime/Telvane"; }

  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static void WriteFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }
  // A profile as text with "\n" line ends: a 16-bit file without its
  // byte-order mark (non-ASCII as "?"), an 8-bit one as it is.
  static std::string ReadProfileText(const std::string& path) {
    const std::string bytes = ReadFile(path);
    std::string text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
      for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        const unsigned unit =
            static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (unit != '\r') text += unit < 0x80 ? static_cast<char>(unit) : '?';
      }
    } else {
      for (char ch : bytes)
        if (ch != '\r') text += ch;
    }
    return text;
  }

  void Set(const std::string& name, const std::string& value) {
    Save(name);
    setenv(name.c_str(), value.c_str(), 1);
  }
  void Unset(const std::string& name) {
    Save(name);
    unsetenv(name.c_str());
  }

 private:
  void Save(const std::string& name) {
    if (saved_.count(name)) return;
    const char* value = std::getenv(name.c_str());
    saved_[name] = {value != nullptr, value ? value : ""};
  }

  std::string root_;
  std::string home_;
  std::map<std::string, std::pair<bool, std::string>> saved_;
};
