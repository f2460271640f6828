#pragma once

#include "base/k_stream.h"
#include "base/k_string.h"

class KRGroup;

// A profile: the settings tree without its texts, read over the defaults at
// start-up and written at every normal end. Written in the encoding it was
// read in; a profile never read is written as 16-bit with a byte-order mark.
class KProfile {
 public:
  KProfile() = default;
  explicit KProfile(const KString& path) : path_(path) {}

  const KString& Path() const { return path_; }
  void SetPath(const KString& path) { path_ = path; }
  // Whether the last Load read the file; a first run has not.
  bool Loaded() const { return loaded_; }
  // The encoding the file was read in (KStream::Encoding); automatic until read.
  int Encoding() const { return encoding_; }
  void SetEncoding(int encoding) { encoding_ = encoding; }

  // Reads the file over the tree. A missing or empty file is no error: the
  // tree keeps its defaults and Loaded() stays false. A KX from the stream
  // passes to the caller (error 6001), after what was read is applied.
  bool Load(KRGroup& root);
  // Writes the tree to the file. The old file is replaced only once the new
  // one is complete, so a failed save (a KX, error 6002) loses nothing.
  void Save(KRGroup& root) const;

  // The profile form of the tree: without \Strings\ and \Language\Choices\,
  // in the stream's encoding and line ends. The tree's flags are left as found.
  static void Write(KRGroup& root, KStream& stream);
  // A profile name as typed: at most 31 characters, the characters a file name
  // cannot hold replaced by "_", leading blanks removed.
  static KString CleanName(const KString& name);
  // Copies the standard profile to `name`.cfg beside it; false when the copy
  // fails (the file exists, or there is no standard profile).
  static bool Create(const KString& standardPath, const KString& name);

 private:
  KString255 path_;
  bool loaded_ = false;
  int encoding_ = KStream::kEncodingAuto;
};
