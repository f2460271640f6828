#pragma once

#include <cstdint>
#include <string_view>

#include "base/k_string.h"
#include "config/k_rational.h"

// Character classes and value texts of settings lines.
namespace KRText {

// A-Z, a-z and the Latin-1 letters 192-214, 216-246, 248-255.
bool IsLetter(char16_t ch);
bool IsDigit(char16_t ch);
// Letters, digits and "_": what may start a name.
bool IsNameStart(char16_t ch);
bool IsBlank(char16_t ch);
std::u16string_view Trim(std::u16string_view text);

// Each reader parses a prefix of `text`, consuming what it read; false, with
// `text` unchanged, when no number stands at the front.
bool ReadInt(std::u16string_view& text, int32_t& value);
// Optional sign, digits, optionally "." and digits; no exponent.
bool ReadFloat(std::u16string_view& text, double& value);
// "n/d", "w n/d", "w.ddd" or a whole number, optionally negative.
bool ReadRational(std::u16string_view& text, KRational& value);

// Six decimals and "." whatever the locale.
void AppendFloat(KString& out, double value);
// "0", "2", "-3/4", "1 1/2".
void AppendRational(KString& out, const KRational& value);

// Field `index` of a comma-separated list (empty when there are fewer).
std::u16string_view Field(std::u16string_view list, int index, bool* present = nullptr);

}  // namespace KRText
