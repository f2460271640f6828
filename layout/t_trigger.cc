#include "layout/t_trigger.h"

namespace {

KString15 ModifierPrefix(bool shift, bool control, bool alt) {
  KString15 name;
  if (shift) name.Append(u"S+");
  if (control) name.Append(u"C+");
  if (alt) name.Append(u"A+");
  return name;
}

}  // namespace

bool TTrigger::ForCharacter(char16_t ch, bool shift, bool control, bool alt, TTrigger& out) {
  if (ch < 32 || ch > 127) return false;
  KString15 name = ModifierPrefix(shift, control, alt);
  name.Append(ch);
  out = TTrigger(name, kToggle);
  return true;
}

bool TTrigger::ForFunctionKey(int number, bool shift, bool control, bool alt, TTrigger& out) {
  if (number < 1 || number > 24) return false;
  KString15 name = ModifierPrefix(shift, control, alt);
  name.Append(u'F');
  name.AppendInt(number);
  out = TTrigger(name, kToggle);
  return true;
}
