#include "config/k_menu_text.h"

#include <array>

#include "config/k_r_group.h"
#include "config/k_r_text.h"

namespace KMenuText {

namespace {

constexpr std::array<std::u16string_view, 14> kKeyNames = {
    u"PgUp", u"PgDn", u"End", u"Home", u"ArLt", u"ArUp", u"ArRt",
    u"ArDn", u"Ins",  u"Del", u"Tab",  u"Esc",  u"BkSp", u"Enter"};

}  // namespace

bool Shortcut::IsFunctionKey() const {
  return key.Length() >= 2 && key.At(0) == u'F' && KRText::IsDigit(key.At(1));
}

KString Label(const KString& text) {
  const int comma = text.Find(u',');
  return comma < 0 ? text : text.Left(comma);
}

Shortcut ParseShortcut(const KString& text) {
  Shortcut shortcut;
  const int comma = text.Find(u',');
  if (comma < 0) return shortcut;
  std::u16string_view rest = text.View().substr(static_cast<size_t>(comma) + 1);
  // A prefix counts only while more than two characters remain, so "S++" is
  // Shift and the key "+".
  while (rest.size() > 2 && rest[1] == u'+' &&
         (rest[0] == u'A' || rest[0] == u'C' || rest[0] == u'S')) {
    if (rest[0] == u'A') shortcut.alt = true;
    if (rest[0] == u'C') shortcut.ctrl = true;
    if (rest[0] == u'S') shortcut.shift = true;
    rest.remove_prefix(2);
  }
  bool known = false;
  if (rest.size() >= 2 && rest[0] == u'F') {
    known = true;
    for (size_t i = 1; i < rest.size(); ++i) known = known && KRText::IsDigit(rest[i]);
  }
  for (const std::u16string_view name : kKeyNames) known = known || rest == name;
  if (!known && rest.size() == 1) known = true;
  if (!known) return Shortcut{};
  if (!shortcut.alt && !shortcut.ctrl && !shortcut.shift) shortcut.ctrl = true;
  shortcut.key = KString(rest);
  shortcut.valid = true;
  return shortcut;
}

KString Display(const KString& text, KRGroup& root) {
  KString out = Label(text);
  const Shortcut shortcut = ParseShortcut(text);
  if (!shortcut.valid) return out;
  out.Append(u'\t');
  const auto modifier = [&](bool on, std::u16string_view path) {
    if (!on) return;
    out.Append(root.LookupText(path));
    out.Append(u'+');
  };
  modifier(shortcut.shift, u"\\Strings\\Menu\\Shift");
  modifier(shortcut.ctrl, u"\\Strings\\Menu\\Ctrl");
  modifier(shortcut.alt, u"\\Strings\\Menu\\Alt");
  out.Append(shortcut.key);
  return out;
}

}  // namespace KMenuText
