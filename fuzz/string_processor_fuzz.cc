// The string processor and the process formatting over wire-borne text:
// the input is "process string" NUL "value", run twice so that register
// values from the first run feed the second.
#include <cstdint>
#include <string_view>

#include "base/k_string.h"
#include "sources/t_field_string_processor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const size_t split = bytes.find('\0');
  const KString process = KString::FromLatin1(bytes.substr(0, split));
  const KString value =
      split == std::string_view::npos ? KString() : KString::FromLatin1(bytes.substr(split + 1));
  TFieldStringProcessor processor;
  for (int round = 0; round < 2; ++round) {
    KString text(value);
    processor.Process(process, text, 4096);
    if (text.Length() > 4096) __builtin_trap();
    KString escaped(process);
    processor.Escape(escaped, 255);
    if (escaped.Length() > 255) __builtin_trap();
  }
  return 0;
}
