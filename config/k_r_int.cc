#include "config/k_r_int.h"

#include "config/k_r_text.h"

void KRInt::SetValue(int32_t value) {
  if (handler_) {
    handler_(*this, value, user_);
  } else {
    value_ = value;
  }
}

void KRInt::SetHandler(Handler handler, intptr_t user) {
  handler_ = std::move(handler);
  user_ = user;
}

bool KRInt::ParseValue(std::u16string_view& text) {
  int32_t value = 0;
  const bool parsed = KRText::ReadInt(text, value);
  text = {};
  if (!parsed) return false;
  SetFlag(kAssigned, true);
  SetValue(value);
  return true;
}

void KRInt::FormatValue(KString& out) const {
  out.AppendInt(value_);
}

const KString& KRInt::TypeName() const {
  static const KString name = KString::MakeView(u"Int");
  return name;
}

void KRInt::ParseLimits(std::u16string_view attributes) {
  int32_t value = 0;
  std::u16string_view minimum = KRText::Trim(KRText::Field(attributes, 2));
  if (KRText::ReadInt(minimum, value)) minimum_ = value;
  std::u16string_view maximum = KRText::Trim(KRText::Field(attributes, 3));
  if (KRText::ReadInt(maximum, value)) maximum_ = value;
}

void KRInt::FormatLimits(KString& out) const {
  out.Append(u',');
  if (minimum_ != kNoMinimum) out.AppendInt(minimum_);
  out.Append(u',');
  if (maximum_ != kNoMaximum) out.AppendInt(maximum_);
}
