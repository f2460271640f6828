#include "base/k_file_info.h"

#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

namespace {

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

void KFileInfo::Reset() {
  searching_ = false;
  names_.clear();
  nextIndex_ = 0;
}

bool KFileInfo::Next(const KFile& pattern) {
  if (!searching_) {
    searching_ = true;
    names_.clear();
    nextIndex_ = 0;
    const std::string path = pattern.Path().ToUtf8();
    const size_t separator = path.find_last_of('/');
    directory_ = separator == std::string::npos ? std::string(1, '.') : path.substr(0, separator);
    if (directory_.empty()) directory_.assign(1, '/');
    const std::string mask = separator == std::string::npos ? path : path.substr(separator + 1);
    std::unique_ptr<DIR, DirCloser> dir(opendir(directory_.c_str()));
    if (dir) {
      while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (fnmatch(mask.c_str(), name.c_str(), FNM_CASEFOLD | FNM_PERIOD) == 0) {
          names_.push_back(name);
        }
      }
    }
    std::sort(names_.begin(), names_.end());
  }
  while (nextIndex_ < names_.size()) {
    const std::string& name = names_[nextIndex_++];
    KFile file(KString(directory_ + "/" + name));
    struct stat info {};
    // A file that vanished since the listing is passed over.
    if (::stat(file.Path().ToUtf8().c_str(), &info) != 0) continue;
    name_ = KString(name);
    creationTime_ = file.CreationTime();
    lastWriteTime_ = KDateTime::FromTimespec(info.st_mtim);
    return true;
  }
  return false;
}
