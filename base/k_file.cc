#include "base/k_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>

#include <algorithm>
#include <string>

#include "base/k_x.h"

namespace {

std::string NativePath(const KString& path) {
  return path.ToUtf8();
}

bool StatPath(const KString& path, struct stat& info) {
  return ::stat(NativePath(path).c_str(), &info) == 0;
}

int LastSeparator(const KString& path) {
  return path.FindLast(u'/');
}

}  // namespace

KFile::~KFile() {
  KFile::Close();
}

void KFile::Open(unsigned mode, bool create) {
  if (IsOpen()) throw KXStream(KErrors::kFileAlreadyOpen, 0);
  mode_ = mode;
  StoreDirection(kDirectionNone);
  int flags = O_CLOEXEC;
  switch (mode & 3) {
    case kWrite:
      flags |= O_WRONLY;
      break;
    case kReadWrite:
      flags |= O_RDWR;
      break;
    default:
      flags |= O_RDONLY;
  }
  if (create) flags |= O_CREAT;
  const bool exclusive = exclusive_ && create;
  if (exclusive) flags |= O_EXCL | O_NOFOLLOW;
  exclusive_ = false;
  const int fd = ::open(NativePath(path_).c_str(), flags,
                        exclusive && permissions_ >= 0 ? static_cast<mode_t>(permissions_) : 0666);
  if (fd < 0) throw KXStream(KErrors::kFileOpen, 0);
  // The umask must not loosen or tighten a mode that is being kept.
  if (exclusive && permissions_ >= 0) ::fchmod(fd, static_cast<mode_t>(permissions_));
  struct stat info {};
  if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(fd);
    throw KXStream(KErrors::kFileOpen, 0);
  }
  fd_ = fd;
}

void KFile::Close() {
  if (fd_ >= 0) {
    try {
      SetDirection(kDirectionNone);
    } catch (const KX&) {
      // Close must always release the handle.
    }
    if (mode_ & kWrite) ::fsync(fd_);
    ::close(fd_);
    fd_ = -1;
  }
  KStream::Close();
}

int KFile::SetDirection(int direction) {
  int effective = direction;
  if (!IsOpen() || (direction == kDirectionRead && !(mode_ & kRead)) ||
      (direction == kDirectionWrite && !(mode_ & kWrite))) {
    effective = kDirectionNone;
  }
  StoreDirection(effective);
  return effective;
}

int KFile::ReadSome(void* bytes, int count) {
  auto* at = static_cast<uint8_t*>(bytes);
  int done = 0;
  while (done < count) {
    const ssize_t got = ::read(fd_, at + done, static_cast<size_t>(count - done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<int>(got);
  }
  return done;
}

int KFile::WriteSome(const void* bytes, int count) {
  const auto* at = static_cast<const uint8_t*>(bytes);
  int done = 0;
  while (done < count) {
    const ssize_t put = ::write(fd_, at + done, static_cast<size_t>(count - done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    done += static_cast<int>(put);
  }
  return done;
}

void KFile::Read(void* bytes, int count) {
  if (SetDirection(kDirectionRead) != kDirectionRead) throw KXStream(KErrors::kFileRead, 0);
  if (count <= 0) return;
  const int done = ReadSome(bytes, count);
  if (done < count) throw KXStream(KErrors::kFileRead, done);
  NotifyRead(bytes, count);
}

void KFile::Write(const void* bytes, int count) {
  if (SetDirection(kDirectionWrite) != kDirectionWrite) throw KXStream(KErrors::kFileWrite, 0);
  if (count <= 0) return;
  const int done = WriteSome(bytes, count);
  if (done < count) throw KXStream(KErrors::kFileWrite, done);
  NotifyWrite(bytes, count);
}

int64_t KFile::Size() {
  struct stat info {};
  if (IsOpen()) {
    if (::fstat(fd_, &info) != 0) throw KXStream(KErrors::kFileAccess, 0);
    return info.st_size;
  }
  return StatPath(path_, info) ? info.st_size : 0;
}

void KFile::SetSize(int64_t size) {
  if (!IsOpen() || size < 0 || ::ftruncate(fd_, size) != 0) throw KXStream(KErrors::kFileAccess, 0);
  if (Size() != size) throw KXStream(KErrors::kFileAccess, 0);
}

int64_t KFile::Tell() {
  const off_t at = IsOpen() ? ::lseek(fd_, 0, SEEK_CUR) : -1;
  if (at < 0) throw KXStream(KErrors::kFileAccess, 0);
  return at;
}

int64_t KFile::Seek(int64_t offset, int origin) {
  static constexpr int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (!IsOpen() || origin < 0 || origin > 2) throw KXStream(KErrors::kFileAccess, 0);
  const off_t at = ::lseek(fd_, offset, kWhence[origin]);
  if (at < 0) throw KXStream(KErrors::kFileAccess, 0);
  return at;
}

void KFile::SyncToDisk() {
  if (!IsOpen() || !(mode_ & kWrite) || ::fsync(fd_) != 0) throw KXStream(KErrors::kFileWrite, 0);
}

int KFile::ExtensionDot(const KString& path) {
  const int dot = path.FindLast(u'.');
  if (dot < 0 || dot < LastSeparator(path)) return -1;
  return path.Length() - dot - 1 <= 3 ? dot : -1;
}

void KFile::Name(KString& out, bool withExtension) const {
  const int start = LastSeparator(path_) + 1;
  int end = path_.Length();
  if (!withExtension) {
    const int dot = ExtensionDot(path_);
    if (dot >= 0) end = dot;
  }
  out = path_.Mid(start, end - start);
}

void KFile::SetName(const KString& name, bool keepOldExtension) {
  KString extension;
  const bool hadExtension = keepOldExtension && Extension(extension);
  KString path = path_.Left(LastSeparator(path_) + 1);
  path.Append(name);
  if (hadExtension) {
    path.Append(u'.');
    path.Append(extension);
  }
  path_ = path;
}

bool KFile::Extension(KString& out) const {
  const int dot = ExtensionDot(path_);
  if (dot < 0) {
    out.Clear();
    return false;
  }
  out = path_.Mid(dot + 1);
  return true;
}

void KFile::SetExtension(const KString& extension) {
  RemoveExtension();
  KString path = path_;
  path.Append(u'.');
  path.Append(extension);
  path_ = path;
}

void KFile::RemoveExtension() {
  const int dot = ExtensionDot(path_);
  if (dot >= 0) path_.Truncate(dot);
}

void KFile::Directory(KString& out) const {
  out = path_.Left(std::max(LastSeparator(path_), 0));
}

void KFile::SetDirectory(const KString& directory) {
  KString name;
  Name(name, true);
  KString path = directory;
  if (!path.IsEmpty() && path.Last() != u'/') path.Append(u'/');
  path.Append(name);
  path_ = path;
}

void KFile::CopyPathFrom(const KFile& other) {
  if (&other == this) return;
  Close();
  path_ = other.path_;
  mode_ = other.mode_;
}

void KFile::TakeOver(KFile& other) {
  if (&other == this) return;
  CopyPathFrom(other);
  fd_ = other.fd_;
  other.fd_ = -1;
  other.KStream::Close();
}

bool KFile::Exists() const {
  struct stat info {};
  return StatPath(path_, info);
}

bool KFile::IsReadOnly() const {
  struct stat info {};
  return StatPath(path_, info) && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

bool KFile::DirectoryExists() const {
  struct stat info {};
  return StatPath(path_, info) && S_ISDIR(info.st_mode);
}

bool KFile::CreateDirectories(bool fromRoot) const {
  const int last = LastSeparator(path_);
  if (last <= 0) return true;
  auto exists = [&](int end) {
    struct stat info {};
    return StatPath(path_.Left(end), info) && S_ISDIR(info.st_mode);
  };
  // Separators after the first character, each closing one directory level.
  int from = 1;
  if (!fromRoot) {
    // Walk up from the deepest level to the first one that exists.
    int at = last;
    while (at > 0 && !exists(at)) at = path_.Left(at).FindLast(u'/');
    from = at > 0 ? at + 1 : 1;
  }
  for (int at = path_.Find(u'/', from); at > 0 && at <= last; at = path_.Find(u'/', at + 1)) {
    const std::string dir = NativePath(path_.Left(at));
    if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) return false;
  }
  return exists(last);
}

bool KFile::Rename(const KString& newPath, bool plainMove) {
  const bool wasOpen = IsOpen();
  const unsigned mode = mode_;
  if (wasOpen) Close();
  const std::string from = NativePath(path_);
  const std::string to = NativePath(newPath);
  bool moved = false;
  if (plainMove) {
    moved = ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
    if (!moved && errno == EINVAL) {
      // File systems without RENAME_NOREPLACE: a hard link refuses an existing target too.
      moved = ::link(from.c_str(), to.c_str()) == 0 && ::unlink(from.c_str()) == 0;
    }
  } else {
    moved = ::rename(from.c_str(), to.c_str()) == 0;
    if (!moved && errno == EXDEV) {
      KFile target(newPath);
      target.Delete();
      moved = CopyTo(target) && ::unlink(from.c_str()) == 0;
    }
  }
  if (moved) path_ = newPath;
  if (wasOpen) {
    try {
      Open(mode, false);
    } catch (const KX&) {
      return false;
    }
  }
  return moved;
}

bool KFile::CopyTo(const KFile& target) const {
  const int in = ::open(NativePath(path_).c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat info {};
  if (::fstat(in, &info) != 0 || S_ISDIR(info.st_mode)) {
    ::close(in);
    return false;
  }
  const std::string to = NativePath(target.Path());
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 07777);
  if (out < 0) {
    ::close(in);
    return false;
  }
  bool ok = true;
  char block[65536];
  for (;;) {
    const ssize_t got = ::read(in, block, sizeof block);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) ok = false;
    if (got <= 0) break;
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = ::write(out, block + done, static_cast<size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) {
        ok = false;
        break;
      }
      done += put;
    }
    if (!ok) break;
  }
  if (::fsync(out) != 0) ok = false;
  ::close(out);
  ::close(in);
  if (!ok) ::unlink(to.c_str());
  return ok;
}

bool KFile::Delete() {
  Close();
  return ::unlink(NativePath(path_).c_str()) == 0 || errno == ENOENT;
}

bool KFile::DiskSpace(uint64_t& total, uint64_t& available) const {
  // A path that does not exist yet is measured on its nearest existing parent.
  std::string at = NativePath(path_);
  if (at.empty()) at.assign(1, '.');
  struct statvfs info {};
  while (::statvfs(at.c_str(), &info) != 0) {
    const size_t separator = at.find_last_of('/');
    if (separator == std::string::npos) {
      if (at == ".") return false;
      at.assign(1, '.');
    } else if (separator == 0) {
      if (at == "/") return false;
      at.assign(1, '/');
    } else {
      at.resize(separator);
    }
  }
  total = static_cast<uint64_t>(info.f_blocks) * info.f_frsize;
  available = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
  return true;
}

KDateTime KFile::CreationTime() const {
  struct statx info {};
  if (::statx(AT_FDCWD, NativePath(path_).c_str(), 0, STATX_BTIME | STATX_MTIME, &info) != 0) {
    return {};
  }
  // Not every file system records a birth time; the last change stands in.
  const statx_timestamp& when = (info.stx_mask & STATX_BTIME) ? info.stx_btime : info.stx_mtime;
  return KDateTime::FromTimespec(timespec{when.tv_sec, when.tv_nsec});
}

KDateTime KFile::LastWriteTime() const {
  struct stat info {};
  if (!StatPath(path_, info)) return {};
  return KDateTime::FromTimespec(info.st_mtim);
}

bool KFile::IsAbsolutePath(const KString& path) {
  return path.At(0) == u'/';
}

namespace {

bool ReplaceAny(KString& text, std::u16string_view bad, char16_t replacement) {
  bool changed = false;
  for (int i = 0; i < text.Length(); ++i) {
    if (bad.find(text[i]) != std::u16string_view::npos) {
      text.SetAt(i, replacement);
      changed = true;
    }
  }
  return changed;
}

}  // namespace

bool KFile::CleanPath(KString& path, char16_t replacement) {
  // "/" separates levels here, so the backslash takes its place among the
  // characters a portable name must not hold.
  return ReplaceAny(path, u"\\*?\"<>|", replacement);
}

bool KFile::CleanFileName(KString& name, char16_t replacement) {
  bool changed = ReplaceAny(name, u"\\*?\"<>|/:", replacement);
  int blanks = 0;
  while (name[blanks] == u' ') ++blanks;
  if (blanks > 0) {
    name.Delete(0, blanks);
    changed = true;
  }
  return changed;
}

void KFile::NormalizeSeparators(KString& path) {
  ReplaceAny(path, u"\\", u'/');
}
