#include "config/k_atomic_save.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "base/k_x.h"

namespace {

// Where `path` really is: its symlinks followed, also when the final
// target does not exist yet (a dangling link is written through too).
std::string ResolveTarget(const std::string& path) {
  std::string current = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    char link[PATH_MAX];
    const ssize_t length = ::readlink(current.c_str(), link, sizeof link - 1);
    if (length <= 0) return current;
    link[length] = 0;
    std::string next(link, static_cast<size_t>(length));
    if (next[0] != '/') {
      const size_t slash = current.rfind('/');
      next = (slash == std::string::npos ? std::string() : current.substr(0, slash + 1)) + next;
    }
    current = next;
  }
  return current;
}

void SyncDirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

KAtomicSave::KAtomicSave(const KString& path) {
  const std::string target = ResolveTarget(path.ToUtf8());
  target_.AppendUtf8(target);
  temporary_ = target_;
  temporary_.Append(u".new");
  struct stat info {};
  if (::stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
    permissions_ = static_cast<int>(info.st_mode & 07777);
  }
}

KAtomicSave::~KAtomicSave() {
  if (file_) Abandon();
}

KBufferedFile& KAtomicSave::Begin() {
  // A temporary left by a crash, or put there by someone else (a symlink
  // to elsewhere, say), is removed rather than written through.
  ::unlink(temporary_.ToUtf8().c_str());
  file_ = std::make_unique<KBufferedFile>(temporary_, kBufferBytes);
  file_->SetExclusiveCreate(permissions_);
  try {
    file_->Open(KFile::kWrite, KFile::kOpenOrCreate);
  } catch (const KX&) {
    file_.reset();
    throw;
  }
  return *file_;
}

void KAtomicSave::Commit() {
  if (!file_) throw KXStream(KErrors::kFileWrite, 0);
  try {
    file_->Flush();
    file_->SyncToDisk();
  } catch (const KX&) {
    Abandon();
    throw;
  }
  file_->Close();
  if (::rename(temporary_.ToUtf8().c_str(), target_.ToUtf8().c_str()) != 0) {
    Abandon();
    throw KXStream(KErrors::kFileWrite, 0);
  }
  file_.reset();
  SyncDirectoryOf(target_.ToUtf8());
}

void KAtomicSave::Abandon() {
  if (file_) file_->Close();
  file_.reset();
  ::unlink(temporary_.ToUtf8().c_str());
}
