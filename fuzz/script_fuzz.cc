// Source scripts: any bytes as a script, then the same bytes as a feed.
#include <cstdint>

#include "base/k_memory_stream.h"
#include "sources/t_command_line_collector.h"
#include "sources/t_field_string_processor.h"
#include "sources/t_packet_definitions.h"
#include "sources/t_script_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFieldStringProcessor processor;
  TPacketDefinitions definitions;
  KMemoryStream script(data, size);
  // A small buffer reaches the full-buffer path quickly.
  TScriptReader(processor, 64).Load(definitions, nullptr, script);
  TCommandLineCollector collector;
  KString command;
  for (size_t i = 0; i < size; ++i) {
    if (definitions.Feed(data[i])) {
      collector.Reset();
    } else {
      collector.Feed(data[i], command);
    }
  }
  return 0;
}
