#include "config/k_r_text.h"

#include <charconv>
#include <limits>
#include <numeric>
#include <string>

#include "base/k_number.h"

KRational KRational::Reduced(int64_t n, int64_t d) {
  if (d == 0) return {};
  if (d < 0) {
    // Negating the most negative 64-bit value is undefined; such inputs cannot
    // come from 32-bit parts, but keep the arithmetic defined anyway.
    if (d == INT64_MIN || n == INT64_MIN) return {};
    n = -n;
    d = -d;
  }
  const uint64_t un = n < 0 ? 0u - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
  const uint64_t g = std::gcd(un, static_cast<uint64_t>(d));
  if (g > 1) {
    n /= static_cast<int64_t>(g);
    d /= static_cast<int64_t>(g);
  }
  KRational r;
  r.numerator = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(n)));
  r.denominator = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(d)));
  // A wrapped denominator must still be a valid one.
  if (r.denominator < 1) r = {};
  return r;
}

namespace KRText {

bool IsLetter(char16_t ch) {
  return (ch >= u'A' && ch <= u'Z') || (ch >= u'a' && ch <= u'z') || (ch >= 192 && ch <= 214) ||
         (ch >= 216 && ch <= 246) || (ch >= 248 && ch <= 255);
}

bool IsDigit(char16_t ch) {
  return ch >= u'0' && ch <= u'9';
}

bool IsNameStart(char16_t ch) {
  return IsLetter(ch) || IsDigit(ch) || ch == u'_';
}

bool IsBlank(char16_t ch) {
  return ch == u' ' || ch == u'\t';
}

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool ReadInt(std::u16string_view& text, int32_t& value) {
  size_t pos = 0;
  if (!KNumber::ParseInt(text, pos, value)) return false;
  text.remove_prefix(pos);
  return true;
}

bool ReadFloat(std::u16string_view& text, double& value) {
  size_t at = 0;
  std::string ascii;
  if (at < text.size() && (text[at] == u'-' || text[at] == u'+')) {
    if (text[at] == u'-') ascii.push_back('-');
    ++at;
  }
  int digits = 0;
  while (at < text.size() && IsDigit(text[at])) {
    ascii.push_back(static_cast<char>(text[at++]));
    ++digits;
  }
  if (at < text.size() && text[at] == u'.') {
    ascii.push_back('.');
    ++at;
    while (at < text.size() && IsDigit(text[at])) {
      ascii.push_back(static_cast<char>(text[at++]));
      ++digits;
    }
  }
  if (digits == 0) return false;
  // from_chars wants a digit before or after the point; "5." and ".5" both have one.
  double parsed = 0.0;
  const auto [end, error] =
      std::from_chars(ascii.data(), ascii.data() + ascii.size(), parsed, std::chars_format::fixed);
  if (error == std::errc::result_out_of_range) {
    // Still a number: too large saturates at the largest finite value (which
    // writes back as digits), too small becomes zero.
    const size_t point = ascii.find('.');
    const size_t firstNonZero = ascii.find_first_of("123456789");
    const bool tooSmall = point != std::string::npos && firstNonZero > point;
    const double magnitude = tooSmall ? 0.0 : std::numeric_limits<double>::max();
    parsed = ascii[0] == '-' ? -magnitude : magnitude;
  } else if (error != std::errc()) {
    return false;
  }
  value = parsed;
  text.remove_prefix(at);
  return true;
}

namespace {

// Decimal digits only, for the parts of a rational that are not C literals.
bool ReadDecimal(std::u16string_view text, size_t& at, int64_t& value) {
  if (at >= text.size() || !IsDigit(text[at])) return false;
  uint32_t result = 0;
  while (at < text.size() && IsDigit(text[at])) {
    result = result * 10u + static_cast<uint32_t>(text[at] - u'0');
    ++at;
  }
  value = static_cast<int32_t>(result);
  return true;
}

bool ReadLiteral(std::u16string_view text, size_t& at, int64_t& value) {
  int32_t v = 0;
  if (!KNumber::ParseInt(text, at, v)) return false;
  value = v;
  return true;
}

}  // namespace

bool ReadRational(std::u16string_view& text, KRational& value) {
  size_t at = 0;
  bool negative = false;
  if (at < text.size() && text[at] == u'-') {
    negative = true;
    ++at;
  }
  int64_t whole = 0;
  if (!ReadDecimal(text, at, whole)) return false;
  int64_t numerator = whole;
  int64_t denominator = 1;
  const char16_t next = at < text.size() ? text[at] : u'\0';
  if (next == u'/') {
    size_t p = at + 1;
    int64_t d = 0;
    if (!ReadLiteral(text, p, d) || d == 0) return false;
    at = p;
    denominator = d;
  } else if (next == u' ') {
    size_t p = at + 1;
    int64_t n = 0;
    int64_t d = 0;
    if (ReadLiteral(text, p, n) && p < text.size() && text[p] == u'/') {
      ++p;
      if (ReadLiteral(text, p, d) && d != 0) {
        at = p;
        // Keep the fraction's sign in step with the whole part's.
        const KRational fraction = KRational::Reduced(n, d);
        numerator = whole * fraction.denominator + fraction.numerator;
        denominator = fraction.denominator;
      }
    }
  } else if (next == u'.') {
    ++at;
    while (at < text.size() && IsDigit(text[at])) {
      // Digits past what a 32-bit denominator can carry add nothing but noise.
      if (denominator <= std::numeric_limits<int32_t>::max() / 10 &&
          numerator <= std::numeric_limits<int64_t>::max() / 10 - 10) {
        numerator = numerator * 10 + (text[at] - u'0');
        denominator *= 10;
      }
      ++at;
    }
  }
  value = KRational::Reduced(negative ? -numerator : numerator, denominator);
  text.remove_prefix(at);
  return true;
}

void AppendFloat(KString& out, double value) {
  char buffer[400];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  if (error != std::errc()) {
    out.Append(u"0.000000");
    return;
  }
  out.AppendUtf8(std::string_view(buffer, static_cast<size_t>(end - buffer)));
}

void AppendRational(KString& out, const KRational& value) {
  if (value.numerator == 0) {
    out.Append(u'0');
    return;
  }
  int64_t n = value.numerator;
  const int64_t d = value.denominator < 1 ? 1 : value.denominator;
  if (n < 0) {
    out.Append(u'-');
    n = -n;
  }
  const int64_t whole = n / d;
  const int64_t rest = n % d;
  if (whole >= 1) out.AppendInt(whole);
  if (rest != 0) {
    if (whole >= 1) out.Append(u' ');
    out.AppendInt(rest);
    out.Append(u'/');
    out.AppendInt(d);
  }
}

std::u16string_view Field(std::u16string_view list, int index, bool* present) {
  size_t start = 0;
  for (int i = 0; i < index; ++i) {
    const size_t comma = list.find(u',', start);
    if (comma == std::u16string_view::npos) {
      if (present) *present = false;
      return {};
    }
    start = comma + 1;
  }
  size_t end = list.find(u',', start);
  if (end == std::u16string_view::npos) end = list.size();
  if (present) *present = true;
  return list.substr(start, end - start);
}

}  // namespace KRText
