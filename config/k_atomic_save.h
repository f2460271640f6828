#pragma once

#include <memory>

#include "base/k_buffered_file.h"
#include "base/k_string.h"

// Writes a settings file whole or not at all, for the profile and the
// language files alike. The text goes to a temporary beside the file that
// is really written (a symlinked file is written through to its target, so
// the link stays a link), created new and exclusively so that a stale or
// planted temporary is never followed; it gets the file's permissions (a
// 0600 profile stays 0600), is synced, renamed over the target, and the
// directory synced, so a crash at any point keeps the old or the new text.
class KAtomicSave {
 public:
  static constexpr int kBufferBytes = 4096;

  explicit KAtomicSave(const KString& path);
  ~KAtomicSave();
  KAtomicSave(const KAtomicSave&) = delete;
  KAtomicSave& operator=(const KAtomicSave&) = delete;

  // The file that is replaced: the path, or where its symlinks lead.
  const KString& Target() const { return target_; }
  const KString& Temporary() const { return temporary_; }

  // Removes a stale temporary and opens a fresh one for writing; KX when it
  // cannot be made.
  KBufferedFile& Begin();
  // Flushes, syncs and renames the temporary over the target; KX on failure,
  // after which the temporary is gone and the target untouched.
  void Commit();
  // Drops the temporary (after a failed write); the target is untouched.
  void Abandon();

 private:
  KString target_;
  KString temporary_;
  int permissions_ = -1;
  std::unique_ptr<KBufferedFile> file_;
};
