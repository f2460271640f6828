#include "config/k_r_float.h"

#include "config/k_r_text.h"

bool KRFloat::ParseValue(std::u16string_view& text) {
  double value = 0.0;
  const bool parsed = KRText::ReadFloat(text, value);
  text = {};
  if (!parsed) return false;
  value_ = value;
  SetFlag(kAssigned, true);
  return true;
}

void KRFloat::FormatValue(KString& out) const {
  KRText::AppendFloat(out, value_);
}

const KString& KRFloat::TypeName() const {
  static const KString name = KString::MakeView(u"Float");
  return name;
}

void KRFloat::ParseLimits(std::u16string_view attributes) {
  double value = 0.0;
  std::u16string_view minimum = KRText::Trim(KRText::Field(attributes, 2));
  if (KRText::ReadFloat(minimum, value)) minimum_ = value;
  std::u16string_view maximum = KRText::Trim(KRText::Field(attributes, 3));
  if (KRText::ReadFloat(maximum, value)) maximum_ = value;
}

void KRFloat::FormatLimits(KString& out) const {
  out.Append(u',');
  if (minimum_ != kNoMinimum) KRText::AppendFloat(out, minimum_);
  out.Append(u',');
  if (maximum_ != kNoMaximum) KRText::AppendFloat(out, maximum_);
}
