// The packet cutter's throughput over a 64 MiB feed of STX/ETX packets with
// six fields, cut by four definitions (process strings on two fields, or
// none, or no fields at all) and by
// sixty-four (the same four and sixty that never match, sharing their first
// header character with the four or their last), against plain copies of the
// same bytes into characters, the least a source does with them: one byte a
// step as the cutter takes them ("copy"), and in vector code at memory speed
// ("memory"); and 64 against 4.
#include <benchmark/benchmark.h>

#include <algorithm>
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

// What the definitions cut a packet into.
enum class Fields { kProcessed, kPlain, kNone };

// The four kinds, and beyond them headers that never match: "\02" and a
// letter, or with `sameLast` a letter and "R", which the index meets at every
// packet of kind R.
std::u16string Script(int definitions, bool sameLast, Fields fields) {
  std::u16string kinds = u"RSTU";
  for (int i = 4; i < definitions; ++i)
    kinds += static_cast<char16_t>(u'a' + (i - 4) % 26 + ((i - 4) / 26) * 0x100);
  const bool processed = fields == Fields::kProcessed;
  std::u16string script;
  for (size_t at = 0; at < kinds.size(); ++at) {
    const char16_t kind = kinds[at];
    script += u";;Results";
    script += kind;
    if (sameLast && at >= 4) {
      script += u"\nheader=";
      script += kind;
      script += u'R';
    } else {
      script += u"\nheader=\\02";
      script += kind;
    }
    script += u",length=2\ntrailer=\\03,length=1\n";
    if (fields == Fields::kNone) continue;
    script += u"textfield=Bib,stop=\\2c\ntextfield=Name,stop=\\2c";
    if (processed) script += u",process=%s\\L0\\P0";
    script += u"\ntextfield=First,stop=\\2c\ntextfield=Nation,stop=\\2c\ntextfield=Time,stop=\\2c";
    if (processed) script += u",process=%.2s:%.3s\\L1.";
    script += u"\ntextfield=Rank,stop=\\2c\n";
  }
  return script;
}

void BM_CopyBytes(benchmark::State& state) {
  const std::vector<uint8_t>& feed = Feed();
  std::vector<char16_t> chars(feed.size());
  for (auto _ : state) {
    for (size_t i = 0; i < feed.size(); ++i) {
      uint8_t byte = feed[i];
      // An empty barrier on the byte alone: one byte a step, no vector code,
      // and nothing else held back.
      asm volatile("" : "+r"(byte));
      chars[i] = byte;
    }
    benchmark::DoNotOptimize(chars.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * feed.size()));
  state.SetLabel("baseline:copy");
}
BENCHMARK(BM_CopyBytes)->Unit(benchmark::kMillisecond);

void BM_CopyBytesVectorized(benchmark::State& state) {
  const std::vector<uint8_t>& feed = Feed();
  std::vector<char16_t> chars(feed.size());
  for (auto _ : state) {
    for (size_t i = 0; i < feed.size(); ++i) chars[i] = feed[i];
    benchmark::DoNotOptimize(chars.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * feed.size()));
  state.SetLabel("baseline:memory");
}
BENCHMARK(BM_CopyBytesVectorized)->Unit(benchmark::kMillisecond);

void Cut(benchmark::State& state, int definitionCount, bool sameLast = false,
         Fields fields = Fields::kProcessed) {
  const std::vector<uint8_t>& feed = Feed();
  TFieldStringProcessor processor;
  TPacketDefinitions definitions;
  TScriptReader(processor, 32767)
      .LoadText(definitions, nullptr, Script(definitionCount, sameLast, fields));
  TCommandLineCollector collector;
  int64_t commands = 0;
  // As a source's pass takes them: blocks of characters widened from the bytes.
  constexpr size_t kBlock = 1024;
  char16_t block[kBlock];
  for (auto _ : state) {
    for (size_t start = 0; start < feed.size(); start += kBlock) {
      const size_t count = std::min(kBlock, feed.size() - start);
      for (size_t i = 0; i < count; ++i) block[i] = feed[start + i];
      std::u16string_view text(block, count);
      while (!text.empty()) {
        bool completed = false;
        text.remove_prefix(definitions.Feed(text, collector, completed));
        if (completed) ++commands;
      }
    }
  }
  benchmark::DoNotOptimize(commands);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * feed.size()));
  state.counters["commands"] = static_cast<double>(commands);
}

void BM_Cutter4(benchmark::State& state) {
  Cut(state, 4);
  state.SetLabel("family:copy+memory");
}
BENCHMARK(BM_Cutter4)->Unit(benchmark::kMillisecond);

void BM_Cutter64(benchmark::State& state) {
  Cut(state, 64);
  state.SetLabel("family:copy+memory");
}
BENCHMARK(BM_Cutter64)->Unit(benchmark::kMillisecond);

// The packets and their fields without the process strings, and the packets
// alone: the headers hunted and the bodies collected.
void BM_Cutter4Plain(benchmark::State& state) {
  Cut(state, 4, false, Fields::kPlain);
  state.SetLabel("family:copy+memory");
}
BENCHMARK(BM_Cutter4Plain)->Unit(benchmark::kMillisecond);

void BM_Cutter4Packets(benchmark::State& state) {
  Cut(state, 4, false, Fields::kNone);
  state.SetLabel("family:copy+memory");
}
BENCHMARK(BM_Cutter4Packets)->Unit(benchmark::kMillisecond);

void BM_Cutter64SameLast(benchmark::State& state) {
  Cut(state, 64, true);
  state.SetLabel("family:copy+memory");
}
BENCHMARK(BM_Cutter64SameLast)->Unit(benchmark::kMillisecond);

// The same two runs again as a family of their own: 64 definitions against 4.
void BM_Cutter4Again(benchmark::State& state) {
  Cut(state, 4);
  state.SetLabel("baseline:definitions");
}
BENCHMARK(BM_Cutter4Again)->Unit(benchmark::kMillisecond);

void BM_Cutter64Again(benchmark::State& state) {
  Cut(state, 64);
  state.SetLabel("family:definitions");
}
BENCHMARK(BM_Cutter64Again)->Unit(benchmark::kMillisecond);

}  // namespace
