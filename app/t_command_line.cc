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
