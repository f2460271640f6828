#pragma once

#include "app/t_command_line.h"
#include "base/k_string.h"

// The folder of every file the program keeps beside itself: the switch
// "--home DIR", else $TELVANE_HOME, else the executable's directory.
class THome {
 public:
  // `environment` is the value of TELVANE_HOME (null when unset);
  // `executable` the program's resolved path. The result has no trailing "/"
  // (except the root itself) and is absolute.
  static KString Resolve(const TCommandLine& arguments, const char* environment,
                         const KString& executable);

  // The running program's path (/proc/self/exe), else argument 0 made absolute.
  static KString ExecutablePath(const TCommandLine& arguments);

  // The program file inside a home: <home>/telvane.
  static KString ProgramFile(const KString& home);
};
