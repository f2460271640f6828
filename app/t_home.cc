#include "app/t_home.h"

#include <limits.h>
#include <unistd.h>

#include <string>

namespace {

KString Absolute(const KString& path) {
  if (path.At(0) == u'/') return path;
  char cwd[PATH_MAX];
  if (!getcwd(cwd, sizeof cwd)) return path;
  KString result(cwd);
  if (result.Last() != u'/') result.Append(u'/');
  result.Append(path);
  return result;
}

KString WithoutTrailingSlash(KString path) {
  while (path.Length() > 1 && path.Last() == u'/') path.Truncate(path.Length() - 1);
  return path;
}

}  // namespace

KString THome::Resolve(const TCommandLine& arguments, const char* environment,
                       const KString& executable) {
  KString home;
  if (arguments.OptionValue("--home", home) && !home.IsEmpty())
    return WithoutTrailingSlash(Absolute(home));
  if (environment && environment[0]) return WithoutTrailingSlash(Absolute(KString(environment)));
  KString exe = Absolute(executable);
  const int slash = exe.FindLast(u'/');
  if (slash <= 0) return KString("/");
  return exe.Left(slash);
}

KString THome::ExecutablePath(const TCommandLine& arguments) {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length > 0) return KString(std::string_view(buffer, static_cast<size_t>(length)));
  return Absolute(arguments.At(0));
}

KString THome::ProgramFile(const KString& home) {
  KString file = home;
  if (file.Last() != u'/') file.Append(u'/');
  file.AppendUtf8("telvane");
  return file;
}
