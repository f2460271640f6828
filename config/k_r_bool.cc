#include "config/k_r_bool.h"

#include "config/k_r_text.h"

bool KRBool::ParseValue(std::u16string_view& text) {
  int32_t value = 0;
  const bool parsed = KRText::ReadInt(text, value);
  text = {};
  if (!parsed) return false;
  value_ = value != 0;
  SetFlag(kAssigned, true);
  return true;
}

void KRBool::FormatValue(KString& out) const {
  out.Append(value_ ? u'1' : u'0');
}

const KString& KRBool::TypeName() const {
  static const KString name = KString::MakeView(u"Bool");
  return name;
}
