#include "tools/telvane-cli/cli_settings.h"

#include <iostream>

#include "base/k_buffered_file.h"
#include "base/k_x.h"

bool CliLoadProfile(KRegistry& registry, const std::string& path, const char* command) {
  if (path.empty()) return true;
  KBufferedFile profile(KString(path), 4096);
  try {
    profile.Open(KFile::kRead, KFile::kOpenExisting);
    registry.Load(profile);
  } catch (const KX& error) {
    std::cerr << "telvane-cli " << command << ": cannot read profile " << path << " ("
              << error.Code() << ")\n";
    return false;
  }
  return true;
}
