#pragma once

#include <cstdint>

#include "base/k_date_time.h"
#include "base/k_stream.h"
#include "base/k_string.h"

// A file on disk as a stream, with the path operations the program needs.
// Paths use "/" as separator and are kept as at most 255 characters.
class KFile : public KStream {
 public:
  // Open mode bits: access in bits 0-1, sharing in bits 8-9. Linux has no
  // share modes, so the sharing bits are kept but impose nothing.
  enum Mode : unsigned {
    kRead = 1,
    kWrite = 2,
    kReadWrite = 3,
    kShareRead = 0x100,
    kShareWrite = 0x200,
  };
  enum Create : bool { kOpenExisting = false, kOpenOrCreate = true };

  KFile() = default;
  explicit KFile(const KString& path) { SetPath(path); }
  ~KFile() override;

  bool IsOpen() const override { return fd_ >= 0; }
  void Close() override;
  int SetDirection(int direction) override;
  void Read(void* bytes, int count) override;
  void Write(const void* bytes, int count) override;

  virtual void Open(unsigned mode, bool create);
  // Makes the next Open with creation make a new file or fail: an existing
  // path, a symlink included, is refused (3002). A new file gets
  // `permissions` exactly, or the usual ones when negative.
  void SetExclusiveCreate(int permissions) {
    exclusive_ = true;
    permissions_ = permissions;
  }
  virtual int64_t Size();
  virtual void SetSize(int64_t size);
  virtual int64_t Tell();
  virtual int64_t Seek(int64_t offset, int origin);
  virtual void Flush() {}
  // Pushes the system's buffers to disk; 3005 when refused.
  void SyncToDisk();

  unsigned OpenMode() const { return mode_; }

  // Path operations.
  const KString& Path() const { return path_; }
  void SetPath(const KString& path) { path_ = path; }
  // Text after the last "/", without its extension unless asked.
  void Name(KString& out, bool withExtension = true) const;
  void SetName(const KString& name, bool keepOldExtension = false);
  bool Extension(KString& out) const;
  void SetExtension(const KString& extension);
  void RemoveExtension();
  void Directory(KString& out) const;
  void SetDirectory(const KString& directory);
  // Closes this file first, then copies path and mode.
  void CopyPathFrom(const KFile& other);
  // As CopyPathFrom, and takes over the other file's open handle.
  void TakeOver(KFile& other);
  bool SamePath(const KFile& other) const { return path_ == other.path_; }

  // File-system operations on the path.
  bool Exists() const;
  bool IsReadOnly() const;
  bool DirectoryExists() const;
  // Creates each directory named before a "/" of the path; `fromRoot` walks
  // down from the first separator, otherwise up from the last one.
  bool CreateDirectories(bool fromRoot = true) const;
  // plainMove refuses to replace an existing target and stays on one file
  // system; otherwise the target is replaced and a move across file systems copies.
  bool Rename(const KString& newPath, bool plainMove = false);
  // Fails when the target exists.
  bool CopyTo(const KFile& target) const;
  // A missing file counts as deleted.
  bool Delete();
  bool DiskSpace(uint64_t& total, uint64_t& available) const;
  KDateTime CreationTime() const;
  KDateTime LastWriteTime() const;

  // Index of the dot that starts the extension, or -1.
  static int ExtensionDot(const KString& path);
  static bool IsAbsolutePath(const KString& path);
  // Replace the characters a path may not hold; true when anything changed.
  static bool CleanPath(KString& path, char16_t replacement);
  static bool CleanFileName(KString& name, char16_t replacement);
  // Names stored on another system may use backslashes between levels.
  static void NormalizeSeparators(KString& path);

 protected:
  int Handle() const { return fd_; }
  // Transfers without direction checks or observers; they return the bytes
  // moved, short at the end of the file or on a refusal.
  int ReadSome(void* bytes, int count);
  int WriteSome(const void* bytes, int count);

 private:
  KString255 path_;
  unsigned mode_ = 0;
  int fd_ = -1;
  bool exclusive_ = false;
  int permissions_ = -1;
};
