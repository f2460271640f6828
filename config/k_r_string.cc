#include "config/k_r_string.h"

namespace {

// A real line break would end the line the value is written in, so it is
// kept as the two characters backslash and "n", as the catalogue's texts are.
KString WithoutLineBreaks(const KString& value) {
  if (!value.Contains(u'\n') && !value.Contains(u'\r')) return value;
  KString safe;
  safe.Reserve(value.Length() + 8);
  for (int i = 0; i < value.Length(); ++i) {
    const char16_t ch = value.At(i);
    if (ch == u'\r' || ch == u'\n') {
      if (ch == u'\r' && value.At(i + 1) == u'\n') ++i;
      safe.Append(u"\\n");
    } else {
      safe.Append(ch);
    }
  }
  return safe;
}

}  // namespace

bool KRString::SetValue(const KString& value) {
  const KString safe = WithoutLineBreaks(value);
  if (handler_) return handler_(*this, safe, user_);
  value_ = safe;
  return true;
}

void KRString::Assign(const KString& value) {
  value_ = WithoutLineBreaks(value);
}

void KRString::SetHandler(Handler handler, intptr_t user) {
  handler_ = std::move(handler);
  user_ = user;
}

bool KRString::ParseValue(std::u16string_view& text) {
  const KString value(text);
  text = {};
  if (!SetValue(value)) return false;
  SetFlag(kAssigned, true);
  return true;
}

void KRString::FormatValue(KString& out) const {
  out.Append(value_);
}

const KString& KRString::TypeName() const {
  static const KString name = KString::MakeView(u"String");
  return name;
}
