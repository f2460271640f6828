// The profile choice file (Telvane.conf): whatever it holds, reading never
// fails badly, and a value written is read back as written.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/t_profile_choice.h"
// The application library needs Qt; this one class does not, so it is
// compiled in here and the fuzzer stays a core-only program.
#include "app/t_profile_choice.cc"  // NOLINT(bugprone-suspicious-include)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string folder = [] {
    char pattern[] = "/tmp/telvane-profile-choice-fuzz-XXXXXX";
    std::string made = mkdtemp(pattern);
    // The run leaves nothing behind, however it ends normally.
    static std::string forCleanup = made;
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(forCleanup, ignored);
    });
    return made;
  }();
  const std::string path = folder + "/Quorvel/Telvane.conf";
  std::filesystem::create_directories(folder + "/Quorvel");
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));

  TProfileChoice choice{KString(path)};
  KString63 name;
  choice.Read(name);
  if (name.Length() > TProfileChoice::kMaxName) abort();
  TProfileChoice::IsUsableName(name);

  // Writing the value read keeps every other line and reads back the same.
  if (!name.Contains(u'\n') && !name.Contains(u'\r') && choice.Write(name)) {
    KString63 again;
    if (!choice.Read(again) || !(again == name)) abort();
  }
  std::filesystem::remove(path);
  return 0;
}
