#pragma once

#include <vector>

#include "base/k_string.h"

// The program's arguments; index 0 is the program path.
class TCommandLine {
 public:
  TCommandLine() = default;
  TCommandLine(int argc, const char* const* argv);
  explicit TCommandLine(std::vector<KString> arguments) : arguments_(std::move(arguments)) {}

  int Count() const { return static_cast<int>(arguments_.size()); }
  const KString& At(int index) const;
  const std::vector<KString>& Arguments() const { return arguments_; }

  // The first argument from index 1 on whose first characters equal `name`,
  // ignoring case; null when there is none.
  const KString* HasSwitch(const KString& name) const;

  // The value of an option given as "--name VALUE" or "--name=VALUE" (exact
  // name); false when absent or when the value is missing.
  bool OptionValue(const KString& name, KString& value) const;

  // What the arguments ask for before anything starts: run, print the usage
  // or the version, or refuse an argument the program does not know
  // (`error` then says which).
  enum Request : int { kRun = 0, kHelp, kVersion, kBadArgument };
  Request Check(KString& error) const;
  static const char* Usage();

 private:
  std::vector<KString> arguments_;
};
