#include "app/t_command_line.h"

TCommandLine::TCommandLine(int argc, const char* const* argv) {
  for (int i = 0; i < argc; ++i) arguments_.emplace_back(argv[i] ? argv[i] : "");
}

const KString& TCommandLine::At(int index) const {
  static const KString empty;
  return index >= 0 && index < Count() ? arguments_[static_cast<size_t>(index)] : empty;
}

const KString* TCommandLine::HasSwitch(const KString& name) const {
  for (size_t i = 1; i < arguments_.size(); ++i)
    if (arguments_[i].StartsWith(name.View(), true)) return &arguments_[i];
  return nullptr;
}

bool TCommandLine::OptionValue(const KString& name, KString& value) const {
  for (size_t i = 1; i < arguments_.size(); ++i) {
    const KString& argument = arguments_[i];
    if (argument == name) {
      if (i + 1 >= arguments_.size()) return false;
      value = arguments_[i + 1];
      return true;
    }
    if (argument.Length() > name.Length() && argument.StartsWith(name.View()) &&
        argument.At(name.Length()) == u'=') {
      value = argument.Mid(name.Length() + 1);
      return true;
    }
  }
  return false;
}

namespace {

// Options the toolkit takes itself, with whether a value follows.
struct ToolkitOption {
  const char16_t* name;
  bool value;
};
constexpr ToolkitOption kToolkitOptions[] = {
    {u"-platform", true},        {u"-platformpluginpath", true},
    {u"-platformtheme", true},   {u"-plugin", true},
    {u"-qwindowgeometry", true}, {u"-qwindowicon", true},
    {u"-qwindowtitle", true},    {u"-display", true},
    {u"-geometry", true},        {u"-style", true},
    {u"-stylesheet", true},      {u"-session", true},
    {u"-reverse", false},        {u"-nograb", false},
    {u"-dograb", false},         {u"-sync", false},
    {u"-widgetcount", false},
};

}  // namespace

TCommandLine::Request TCommandLine::Check(KString& error) const {
  for (size_t i = 1; i < arguments_.size(); ++i) {
    const KString& argument = arguments_[i];
    if (argument == KString(u"--help") || argument == KString(u"-h")) return kHelp;
    if (argument == KString(u"--version")) return kVersion;
    // As the switch is looked up: its first characters, case ignored.
    if (argument.StartsWith(u"-noserialport", true)) continue;
    if (argument == KString(u"--home")) {
      if (++i >= arguments_.size()) {
        error = KString(u"--home needs a folder");
        return kBadArgument;
      }
      continue;
    }
    if (argument.StartsWith(u"--home=")) continue;
    if (argument == KString(u"--snapshot")) {
      if (++i >= arguments_.size()) {
        error = KString(u"--snapshot needs a file");
        return kBadArgument;
      }
      continue;
    }
    if (argument.StartsWith(u"--snapshot=")) continue;
    bool known = false;
    for (const ToolkitOption& option : kToolkitOptions) {
      if (argument.View() == option.name) {
        known = true;
        if (option.value) ++i;
        break;
      }
    }
    if (known) continue;
    error = KString(u"unknown argument ");
    error.Append(argument);
    return kBadArgument;
  }
  return kRun;
}

const char* TCommandLine::Usage() {
  return "Usage: telvane [--home FOLDER] [--snapshot FILE.png[,MS]] [-noserialport]\n"
         "               [toolkit options]\n"
         "  --home FOLDER    the folder of the profile, log and scripts (default: the\n"
         "                   program's own, or $TELVANE_HOME)\n"
         "  --snapshot FILE.png[,MS]\n"
         "                   write the display window's picture to FILE every MS\n"
         "                   milliseconds (default 1000)\n"
         "  -noserialport    do not look for serial ports\n"
         "  --help           show this text and end\n"
         "  --version        show the version and end\n";
}
