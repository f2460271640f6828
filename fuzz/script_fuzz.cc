// Source scripts: any bytes as a script, then the same bytes as a feed, one
// character at a time and in runs.
#include <cstdint>
#include <string>
#include <vector>

#include "base/k_memory_stream.h"
#include "sources/t_command_line_collector.h"
#include "sources/t_field_string_processor.h"
#include "sources/t_fields.h"
#include "sources/t_packet_definitions.h"
#include "sources/t_script_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFieldStringProcessor processor;
  TPacketDefinitions each;
  TPacketDefinitions runs;
  {
    KMemoryStream script(data, size);
    // A small buffer reaches the full-buffer path quickly.
    TScriptReader(processor, 64).Load(each, nullptr, script);
  }
  {
    KMemoryStream script(data, size);
    TScriptReader(processor, 64).Load(runs, nullptr, script);
  }
  TCommandLineCollector eachCollector;
  KString command;
  std::vector<std::u16string> eachCommands;
  for (size_t i = 0; i < size; ++i) {
    if (each.Feed(data[i])) {
      eachCollector.Reset();
    } else if (eachCollector.Feed(data[i], command)) {
      eachCommands.emplace_back(command.View());
    }
  }
  // The same feed in runs must leave every definition as one by one did.
  std::u16string feed(data, data + size);
  std::u16string_view rest(feed);
  TCommandLineCollector runsCollector;
  std::vector<std::u16string> runsCommands;
  while (!rest.empty()) {
    bool completed = false;
    rest.remove_prefix(runs.Feed(rest, runsCollector, completed));
    if (completed) runsCommands.emplace_back(runsCollector.PreviousCommand().View());
  }
  if (runsCommands != eachCommands || runs.Count() != each.Count()) __builtin_trap();
  for (int i = 0; i < each.Count(); ++i) {
    const TFields& a = *each.At(i);
    const TFields& b = *runs.At(i);
    if (a.InPacket() != b.InPacket() || a.Buffer().View() != b.Buffer().View()) __builtin_trap();
    for (int f = 0; f < a.Fields().Count(); ++f) {
      const auto* fieldA = static_cast<const TField*>(a.Fields().At(f));
      const auto* fieldB = static_cast<const TField*>(b.Fields().At(f));
      if (fieldA->Value() != fieldB->Value() || fieldA->Matched() != fieldB->Matched()) {
        __builtin_trap();
      }
    }
  }
  return 0;
}
