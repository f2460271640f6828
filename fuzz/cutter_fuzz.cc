// The packet cutter under a fixed script, fed arbitrary bytes.
#include <cstdint>

#include "sources/t_command_line_collector.h"
#include "sources/t_field_string_processor.h"
#include "sources/t_packet_definitions.h"
#include "sources/t_script_reader.h"

namespace {

const char16_t kScript[] =
    u";;Results\nheader=\\02,length=1\ntrailer=\\03,length=1\n"
    u"textfield=Lane,length=4,process=%s\\L0\\X6\\I0\ntextfield=Name,stop=\\2c,process=%s\\L0\\P0\n"
    u"textfield=Time,stop=\\2c,process=%.2s:%.2s\\L3.\ntextfield=Rest,stop=\\03\n"
    u";;Fixed\nheader=\\01T,length=2\nbodylength=8\n"
    u"textfield=Reg,length=4,process=\\L0\\X4\\S0\\+0\\X5\\U3\\O0\ntextfield=B,length=4,"
    u"\"process=%-6.3s|%%\\X2\\U1\\S1\\U1\\O1\"\n"
    u";;Lines\nheader=\\0d\\0a,length=2\ntrailer=\\0d\\0a,length=2\ntextfield=Line,stop=\\09\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFieldStringProcessor processor;
  TPacketDefinitions definitions;
  TScriptReader(processor, 48).LoadText(definitions, nullptr, kScript);
  TCommandLineCollector collector;
  KString command;
  // Bytes in pairs as 16-bit characters too, as a Unicode source delivers them.
  const bool wide = size > 0 && (data[0] & 1);
  for (size_t i = 1; i + (wide ? 1 : 0) < size; i += wide ? 2 : 1) {
    const char16_t ch = wide ? static_cast<char16_t>(data[i] | (data[i + 1] << 8)) : data[i];
    if (definitions.Feed(ch)) {
      collector.Reset();
    } else {
      collector.Feed(ch, command);
    }
  }
  return 0;
}
