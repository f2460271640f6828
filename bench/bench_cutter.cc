// The packet cutter's throughput over a 64 MiB feed of STX/ETX packets with
// six fields, cut by four definitions (process strings on two fields),
// against a plain loop that sums the same bytes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sources/t_command_line_collector.h"
#include "sources/t_field_string_processor.h"
#include "sources/t_packet_definitions.h"
#include "sources/t_script_reader.h"

namespace {

constexpr size_t kFeedBytes = size_t{64} << 20;

const std::vector<uint8_t>& Feed() {
  static const std::vector<uint8_t> feed = [] {
    std::vector<uint8_t> bytes;
    bytes.reserve(kFeedBytes + 64);
    const char kKinds[] = {'R', 'S', 'T', 'U'};
    for (uint32_t n = 0; bytes.size() < kFeedBytes; ++n) {
      std::string packet = "\x02";
      packet += kKinds[n % 4];
      packet += std::to_string(1000 + n % 9000) + "," + "Smith" + std::to_string(n % 97) +
                ",John,USA," + std::to_string(10000 + n % 90000) + "," + std::to_string(n % 8) +
                ",\x03";
      if (n % 16 == 0) packet += "Trigger=Lap\n";  // a command line now and then
      bytes.insert(bytes.end(), packet.begin(), packet.end());
    }
    bytes.resize(kFeedBytes);
    return bytes;
  }();
  return feed;
}

std::u16string Script() {
  std::u16string script;
  for (const char16_t kind : std::u16string(u"RSTU")) {
    script += u";;Results";
    script += kind;
    script += u"\nheader=\\02";
    script += kind;
    script +=
        u",length=2\ntrailer=\\03,length=1\n"
        u"textfield=Bib,stop=\\2c\ntextfield=Name,stop=\\2c,process=%s\\L0\\P0\n"
        u"textfield=First,stop=\\2c\ntextfield=Nation,stop=\\2c\n"
        u"textfield=Time,stop=\\2c,process=%.2s:%.3s\\L1.\ntextfield=Rank,stop=\\2c\n";
  }
  return script;
}

void BM_SumBytes(benchmark::State& state) {
  const std::vector<uint8_t>& feed = Feed();
  for (auto _ : state) {
    uint64_t sum = 0;
    for (const uint8_t byte : feed) sum += byte;
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * feed.size()));
  state.SetLabel("baseline:cutter64MiB");
}
BENCHMARK(BM_SumBytes)->Unit(benchmark::kMillisecond);

void BM_Cutter(benchmark::State& state) {
  const std::vector<uint8_t>& feed = Feed();
  TFieldStringProcessor processor;
  TPacketDefinitions definitions;
  TScriptReader(processor, 32767).LoadText(definitions, nullptr, Script());
  TCommandLineCollector collector;
  KString command;
  int64_t commands = 0;
  for (auto _ : state) {
    for (const uint8_t byte : feed) {
      if (definitions.Feed(byte)) {
        collector.Reset();
      } else if (collector.Feed(byte, command)) {
        ++commands;
      }
    }
  }
  benchmark::DoNotOptimize(commands);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * feed.size()));
  state.SetLabel("family:cutter64MiB");
  state.counters["commands"] = static_cast<double>(commands);
}
BENCHMARK(BM_Cutter)->Unit(benchmark::kMillisecond);

}  // namespace
