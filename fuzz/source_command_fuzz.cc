// Source command lines come straight off a timing system's wire.
#include <cstddef>
#include <cstdint>
#include <string>

#include "sources/t_source_command.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string line;
  // One byte per character, as a source in the single-byte code set reads.
  for (size_t i = 0; i < size; ++i) line.push_back(static_cast<char16_t>(data[i]));
  const TSourceCommand command(line);
  int number = 0;
  KString value;
  command.Number(u"Window", number);
  command.Value(u"Name", value);
  if (command.GetKind() == TSourceCommand::kTrigger &&
      (command.Name().IsEmpty() ||
       command.Name().Length() > TSourceCommand::kTriggerNameCapacity)) {
    __builtin_trap();
  }
  return 0;
}
