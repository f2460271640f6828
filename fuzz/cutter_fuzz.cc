// The packet cutter under a fixed script, fed arbitrary bytes. The same
// script runs a second time with identity process strings on the headers
// and trailers, which takes the cutter's general path instead of its quick
// one; both must deliver the same packets. The quick script is fed once
// more in runs, as a source's pass does, with the same packets and command
// lines to come out; and so is the script without its last definition,
// whose few stop characters let runs be scanned eight places a step.
#include <cstdint>
#include <string>
#include <vector>

#include "sources/t_command_line_collector.h"
#include "sources/t_field_string_processor.h"
#include "sources/t_fields.h"
#include "sources/t_fields_owner.h"
#include "sources/t_packet_definitions.h"
#include "sources/t_script_reader.h"

namespace {

const char16_t kScript[] =
    u";;Results\nheader=\\02,length=1\ntrailer=\\03,length=1\n"
    u"textfield=Lane,length=4,process=%s\\L0\\X6\\I0\ntextfield=Name,stop=\\2c,process=%s\\L0\\P0\n"
    u"textfield=Time,stop=\\2c,process=%.2s:%.2s\\L3.\ntextfield=Rest,stop=\\03\n"
    u";;Fixed\nheader=\\01T,length=2\nbodylength=8\n"
    u"textfield=Reg,length=4,process=\\L0\\X4\\S\\ff\\X5\\U3\\O\\ff\ntextfield=B,length=4,"
    u"\"process=%-6.3s|%%\"\n"
    u";;Lines\nheader=\\0d\\0a,length=2\ntrailer=\\0d\\0a,length=2\ntextfield=Line,stop=\\09\n"
    u";;Tiny\nheader=ab,length=2\ntrailer=ba,length=2\ntextfield=T,length=1\n";

class Recorder : public TFieldsOwner {
 public:
  KString SourceName() const override { return KString(); }
  TDebugEvents* DebugEvents() override { return nullptr; }
  void PacketComplete(TFields& definition) override {
    std::u16string packet(definition.Name().View());
    for (TField* field : definition.Fields().Items<TField>()) {
      packet += u'|';
      packet += field->Value().View();
      packet += field->Matched() ? u'+' : u'-';
    }
    packets.push_back(packet);
  }
  std::vector<std::u16string> packets;
  std::vector<bool> traffic;
  std::vector<std::u16string> commands;
};

std::u16string Characters(const uint8_t* data, size_t size) {
  // Bytes in pairs as 16-bit characters too, as a Unicode source delivers them.
  const bool wide = size > 0 && (data[0] & 1);
  std::u16string chars;
  for (size_t i = 1; i + (wide ? 1 : 0) < size; i += wide ? 2 : 1) {
    chars += wide ? static_cast<char16_t>(data[i] | (data[i + 1] << 8)) : data[i];
  }
  return chars;
}

void Run(const std::u16string& script, std::u16string_view chars, Recorder& recorder, bool runs) {
  TFieldStringProcessor processor;
  TPacketDefinitions definitions;
  TScriptReader(processor, 48).LoadText(definitions, &recorder, script);
  TCommandLineCollector collector;
  if (runs) {
    while (!chars.empty()) {
      bool completed = false;
      chars.remove_prefix(definitions.Feed(chars, collector, completed));
      if (completed) recorder.commands.emplace_back(collector.PreviousCommand().View());
    }
    return;
  }
  KString command;
  for (const char16_t ch : chars) {
    const bool traffic = definitions.Feed(ch);
    recorder.traffic.push_back(traffic);
    if (traffic) {
      collector.Reset();
    } else if (collector.Feed(ch, command)) {
      recorder.commands.emplace_back(command.View());
    }
  }
}

std::u16string WithIdentityProcess(std::u16string script) {
  for (const std::u16string key : {u"length=1\n", u"length=2\n"}) {
    for (size_t at = script.find(key); at != std::u16string::npos;
         at = script.find(key, at + key.size() + 11)) {
      const size_t lineStart = script.rfind(u'\n', at);
      const std::u16string_view line(script.data() + lineStart + 1, at - lineStart - 1);
      if (line.starts_with(u"header=") || line.starts_with(u"trailer=")) {
        script.insert(at + key.size() - 1, u",process=%s");
      }
    }
  }
  return script;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Backslashes in the feed would be commands to an identity process string.
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == '\\') return 0;
  }
  static const std::u16string general = WithIdentityProcess(kScript);
  static const std::u16string fewStops(
      std::u16string_view(kScript).substr(0, std::u16string_view(kScript).find(u";;Tiny")));
  if (general.size() != std::u16string_view(kScript).size() + 7 * 11) __builtin_trap();
  const std::u16string chars = Characters(data, size);
  Recorder quick;
  Recorder slow;
  Recorder runs;
  Run(kScript, chars, quick, false);
  Run(general, chars, slow, false);
  Run(kScript, chars, runs, true);
  if (quick.packets != slow.packets || quick.traffic != slow.traffic) __builtin_trap();
  if (runs.packets != quick.packets || runs.commands != quick.commands) __builtin_trap();
  Recorder fewQuick;
  Recorder fewRuns;
  Run(fewStops, chars, fewQuick, false);
  Run(fewStops, chars, fewRuns, true);
  if (fewRuns.packets != fewQuick.packets || fewRuns.commands != fewQuick.commands) {
    __builtin_trap();
  }
  return 0;
}
