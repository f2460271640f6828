#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// UTF-8 is the multi-byte code page of the system on Linux.
namespace KUtf8 {

// Length of the sequence a lead byte announces; 0 for a byte that cannot start one.
int SequenceLength(uint8_t lead);
bool IsContinuation(uint8_t byte);
// Whether `second` may follow `lead`: excludes overlong forms, surrogates and
// values past U+10FFFF as early as the second byte shows them.
bool ValidSecond(uint8_t lead, uint8_t second);

// Decodes one whole sequence from `bytes`. Returns the code point (U+FFFD for
// a malformed, overlong or truncated sequence) and sets `used` to the bytes
// consumed, at least 1 and never past the end.
char32_t Decode(std::string_view bytes, int& used);

// Appends the UTF-8 form of `cp`; surrogates and values beyond U+10FFFF become U+FFFD.
void Encode(char32_t cp, std::string& out);

std::u16string ToUtf16(std::string_view utf8);
std::string FromUtf16(std::u16string_view text);

}  // namespace KUtf8
