#include "base/k_number.h"

namespace KNumber {

namespace {

int DigitValue(char16_t ch) {
  if (ch >= u'0' && ch <= u'9') return ch - u'0';
  if (ch >= u'a' && ch <= u'f') return ch - u'a' + 10;
  if (ch >= u'A' && ch <= u'F') return ch - u'A' + 10;
  return 99;
}

bool IsBlank(char16_t ch) {
  return ch == u' ' || ch == u'\t';
}

}  // namespace

bool ParseInt(std::u16string_view text, size_t& pos, int32_t& value) {
  size_t at = pos;
  bool negative = false;
  if (at < text.size() && (text[at] == u'-' || text[at] == u'+')) negative = text[at++] == u'-';
  if (at >= text.size() || DigitValue(text[at]) > 9) return false;
  uint32_t base = 10;
  if (text[at] == u'0') {
    base = 8;
    if (at + 2 < text.size() && (text[at + 1] == u'x' || text[at + 1] == u'X') &&
        DigitValue(text[at + 2]) < 16) {
      base = 16;
      at += 2;
    }
  }
  uint32_t result = 0;
  while (at < text.size() && DigitValue(text[at]) < static_cast<int>(base)) {
    result = result * base + static_cast<uint32_t>(DigitValue(text[at]));
    ++at;
  }
  if (negative) result = 0u - result;
  value = static_cast<int32_t>(result);
  pos = at;
  return true;
}

bool ParseWholeInt(std::u16string_view text, int32_t& value) {
  size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  if (!ParseInt(text, at, value)) return false;
  while (at < text.size() && IsBlank(text[at])) ++at;
  return at == text.size();
}

}  // namespace KNumber
