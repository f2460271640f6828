#pragma once

#include "base/k_string.h"

class KRGroup;

// Menu entry texts: a label, optionally a comma and a key description
// ("&New,N" is Ctrl+N, "&Clear,A+C" is Alt+C, "Next,S+F5" is Shift+F5).
namespace KMenuText {

struct Shortcut {
  bool valid = false;
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
  // "F5", one of the key names ("PgUp", "Del", "Enter", ...) or a single character.
  KString key;
  bool IsFunctionKey() const;
};

// The text before the first comma, with its "&" mnemonic marks.
KString Label(const KString& text);
// The key description after the first comma; invalid when there is none or
// it names no key.
Shortcut ParseShortcut(const KString& text);
// The label, a tab and the shortcut spelled with \Strings\Menu\Shift, Ctrl
// and Alt (each followed by "+"); only the label when there is no shortcut.
KString Display(const KString& text, KRGroup& root);

}  // namespace KMenuText
