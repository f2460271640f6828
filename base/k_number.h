#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// The one integer syntax of scripts, port specifications, video display
// commands and settings files: optional sign, then decimal digits, "0x" and
// hexadecimal digits, or a leading "0" and octal digits. Values wrap around
// at 32 bits, as a C literal converted to int does.
namespace KNumber {

// Reads a number at `pos`; on success `pos` moves past it. False, with `pos`
// unchanged, when no digit stands there.
bool ParseInt(std::u16string_view text, size_t& pos, int32_t& value);

// The whole text (surrounding blanks allowed) as a number.
bool ParseWholeInt(std::u16string_view text, int32_t& value);

}  // namespace KNumber
