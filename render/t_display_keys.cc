#include "render/t_display_keys.h"

KString DisplayKeyTriggerName(bool shift, bool ctrl, bool alt, int functionKey, char16_t ch) {
  KString name;
  if (shift) name.Append(u"S+");
  if (ctrl) name.Append(u"C+");
  if (alt) name.Append(u"A+");
  if (functionKey >= 1 && functionKey <= 24) {
    name.Append(u'F');
    name.AppendInt(functionKey);
  } else if (ch >= 32 && ch <= 127) {
    name.Append(ch);
  } else {
    return KString();
  }
  return name;
}
