#include "base/k_utf8.h"

namespace KUtf8 {

namespace {
constexpr char32_t kReplacement = 0xFFFD;
}

int SequenceLength(uint8_t lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

bool IsContinuation(uint8_t byte) {
  return (byte & 0xC0) == 0x80;
}

bool ValidSecond(uint8_t lead, uint8_t second) {
  if (!IsContinuation(second)) return false;
  if (lead == 0xE0) return second >= 0xA0;
  if (lead == 0xED) return second <= 0x9F;
  if (lead == 0xF0) return second >= 0x90;
  if (lead == 0xF4) return second <= 0x8F;
  return true;
}

char32_t Decode(std::string_view bytes, int& used) {
  used = 1;
  if (bytes.empty()) {
    used = 0;
    return kReplacement;
  }
  const auto lead = static_cast<uint8_t>(bytes[0]);
  const int length = SequenceLength(lead);
  if (length == 1) return lead;
  if (length == 0) return kReplacement;
  char32_t cp = lead & (0x7F >> length);
  for (int i = 1; i < length; ++i) {
    if (i >= static_cast<int>(bytes.size())) return kReplacement;
    const auto byte = static_cast<uint8_t>(bytes[i]);
    // A bad byte is not consumed: it starts the next character.
    if (i == 1 ? !ValidSecond(lead, byte) : !IsContinuation(byte)) return kReplacement;
    cp = (cp << 6) | (byte & 0x3F);
    used = i + 1;
  }
  return cp;
}

void Encode(char32_t cp, std::string& out) {
  if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = kReplacement;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::u16string ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  while (!utf8.empty()) {
    int used = 0;
    const char32_t cp = Decode(utf8, used);
    utf8.remove_prefix(static_cast<size_t>(used));
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string FromUtf16(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    Encode(cp, out);
  }
  return out;
}

}  // namespace KUtf8
