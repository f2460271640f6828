#include "app/t_error_text.h"

namespace {

bool Find(const TErrorText::Lookup& lookup, int code, KString& text) {
  KString path("\\Strings\\Errors\\");
  path.AppendInt(code);
  // An emptied text would leave only the number; treat it as missing.
  return lookup(path, text) && !text.IsEmpty();
}

}  // namespace

KString127 TErrorText::Compose(int code, int second, const Lookup& lookup,
                               const KString& operationFailed) {
  KString text;
  if (!lookup || (!Find(lookup, code, text) && !Find(lookup, Family(code), text)))
    text = operationFailed;
  KString127 message(text);
  message.Append(u" (");
  message.AppendInt(code);
  if (second >= 0) {
    message.Append(u',');
    message.AppendInt(second);
  }
  message.Append(u").");
  return message;
}
