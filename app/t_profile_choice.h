#pragma once

#include "base/k_string.h"

// The profile chosen for the next run: the line "Profile=<name>" in
// $XDG_CONFIG_HOME/Quorvel/Telvane.conf (~/.config when unset). Other lines
// of that file are kept as they are when the value is written.
class TProfileChoice {
 public:
  static constexpr int kMaxName = 63;

  // The configuration file for the current environment.
  static KString DefaultPath();

  explicit TProfileChoice(KString path) : path_(std::move(path)) {}

  // False when the file or the line is missing or unreadable; `name` is then
  // empty. A longer value is cut to 63 characters.
  bool Read(KString63& name) const;
  // Replaces the file atomically; false when it cannot be written or the
  // name holds a line end.
  bool Write(const KString& name) const;

  // Whether a name can stand for a profile file beside the program: it must
  // not reach into another folder or be a hidden file.
  static bool IsUsableName(const KString& name);

  const KString& Path() const { return path_; }

 private:
  KString path_;
};
