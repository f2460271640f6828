#include "app/t_copy_counter.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "ports/k_command_server.h"

namespace {

// Creates the folder private to this user; an existing folder must be ours.
bool PrepareFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
  return info.st_uid == geteuid();
}

int OpenLockFile(const std::string& path) {
  return open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
}

std::string SlotPath(const std::string& folder, int slot) {
  return folder + "/copy-" + std::to_string(slot) + ".lock";
}

}  // namespace

TCopyCounter::~TCopyCounter() {
  Release();
}

KString TCopyCounter::RuntimeFolder() {
  return KString(KCommandServer::DefaultFolder());
}

int TCopyCounter::Acquire(const KString& folderName) {
  Release();
  copyNumber_ = 1;
  const std::string folder = folderName.ToUtf8();
  if (!PrepareFolder(folder)) return copyNumber_;

  const int guard = OpenLockFile(folder + "/count.lock");
  if (guard >= 0) {
    while (flock(guard, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  // Probe every slot file there is; creating only the one taken keeps the
  // folder small however many copies have come and gone.
  std::set<int> existing;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* entry = readdir(dir)) {
      int slot = 0;
      char tail[8] = {};
      if (std::sscanf(entry->d_name, "copy-%d.lock%7s", &slot, tail) == 1 && slot >= 1 &&
          slot <= kMaxSlots && SlotPath(folder, slot) == folder + "/" + entry->d_name)
        existing.insert(slot);
    }
    closedir(dir);
  }
  int others = 0;
  for (int slot : existing) {
    const int fd = open(SlotPath(folder, slot).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) continue;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ++others;  // held by a running copy
      close(fd);
    } else if (slotFd_ < 0) {
      slotFd_ = fd;
      slot_ = slot;
    } else {
      close(fd);
    }
  }
  for (int slot = 1; slotFd_ < 0 && slot <= kMaxSlots; ++slot) {
    if (existing.count(slot)) continue;
    const int fd = OpenLockFile(SlotPath(folder, slot));
    if (fd < 0) break;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      slotFd_ = fd;
      slot_ = slot;
    } else {
      ++others;  // only possible when the guard could not be opened
      close(fd);
    }
  }
  if (guard >= 0) close(guard);  // closing drops the guard lock
  copyNumber_ = others == 0 ? 1 : others + 1;
  return copyNumber_;
}

void TCopyCounter::Release() {
  if (slotFd_ >= 0) close(slotFd_);
  slotFd_ = -1;
  slot_ = 0;
  copyNumber_ = 0;
}
