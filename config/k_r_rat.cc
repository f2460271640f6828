#include "config/k_r_rat.h"

#include "config/k_r_text.h"

void KRRat::SetValue(KRational value) {
  value = KRational::Reduced(value.numerator, value.denominator);
  if (handler_) {
    handler_(*this, value, user_);
  } else {
    value_ = value;
  }
}

void KRRat::SetHandler(Handler handler, intptr_t user) {
  handler_ = std::move(handler);
  user_ = user;
}

bool KRRat::ParseValue(std::u16string_view& text) {
  KRational value;
  const bool parsed = KRText::ReadRational(text, value);
  text = {};
  if (!parsed) return false;
  SetFlag(kAssigned, true);
  SetValue(value);
  return true;
}

void KRRat::FormatValue(KString& out) const {
  KRText::AppendRational(out, value_);
}

const KString& KRRat::TypeName() const {
  static const KString name = KString::MakeView(u"Rat");
  return name;
}
