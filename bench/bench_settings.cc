// Start-up settings work (the default table, a full profile, a full language
// file) against decoding the same texts without applying them, and a
// three-level Lookup against reading a kept node pointer.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "base/k_memory_stream.h"
#include "config/k_default_settings.h"
#include "config/k_profile.h"
#include "config/k_r_group.h"
#include "config/k_r_int.h"
#include "config/k_registry.h"

namespace {

// A profile as shutdown writes it and a language file holding every text,
// both 16-bit with a byte-order mark.
struct Texts {
  std::string profile;
  std::string language;
};

const Texts& StartUpTexts() {
  static const Texts texts = [] {
    KRegistry root(KDefaultSettings::Table());
    Texts t;
    KMemoryStream profile;
    profile.SetWriteEncoding(KStream::kEncoding16Bit);
    profile.WriteByteOrderMark();
    KProfile::Write(root, profile);
    t.profile.assign(profile.Bytes().begin(), profile.Bytes().end());
    KMemoryStream language;
    language.SetWriteEncoding(KStream::kEncoding16Bit);
    language.WriteByteOrderMark();
    language.WriteText(KString(u"English,en\n"));
    root.LookupGroup(u"\\Strings\\")->Store(language);
    t.language.assign(language.Bytes().begin(), language.Bytes().end());
    return t;
  }();
  return texts;
}

void Decode(const std::string& bytes) {
  KMemoryStream stream(bytes.data(), bytes.size());
  int count = 0;
  while (stream.HasMore()) count += stream.ReadChar() == u'\n';
  benchmark::DoNotOptimize(count);
}

void LoadOver(KRegistry& root, const std::string& bytes, bool skipFirstLine) {
  KMemoryStream stream(bytes.data(), bytes.size());
  if (skipFirstLine) {
    while (stream.HasMore() && stream.ReadChar() != u'\n') {
    }
  }
  root.Load(stream);
}

void BM_DecodeStartUpTexts(benchmark::State& state) {
  const Texts& texts = StartUpTexts();
  for (auto _ : state) {
    Decode(texts.profile);
    Decode(texts.language);
  }
  state.SetLabel("baseline:startup");
}
BENCHMARK(BM_DecodeStartUpTexts);

void BM_ApplyDefaultTable(benchmark::State& state) {
  for (auto _ : state) {
    KRegistry root(KDefaultSettings::Table());
    benchmark::DoNotOptimize(root.FirstChild());
  }
  state.SetLabel("family:startup");
}
BENCHMARK(BM_ApplyDefaultTable);

void BM_StartUpSettings(benchmark::State& state) {
  const Texts& texts = StartUpTexts();
  for (auto _ : state) {
    KRegistry root(KDefaultSettings::Table());
    LoadOver(root, texts.profile, false);
    LoadOver(root, texts.language, true);
    benchmark::DoNotOptimize(root.FirstChild());
  }
  state.SetLabel("family:startup");
}
BENCHMARK(BM_StartUpSettings);

void BM_KeptNodePointer(benchmark::State& state) {
  KRegistry root(KDefaultSettings::Table());
  const KRInt* step = root.LookupInt(u"\\Display\\Scroll\\Step");
  for (auto _ : state) {
    benchmark::DoNotOptimize(step);
    benchmark::DoNotOptimize(step->Value());
  }
  state.SetLabel("baseline:lookup");
}
BENCHMARK(BM_KeptNodePointer);

void BM_LookupThreeLevels(benchmark::State& state) {
  KRegistry root(KDefaultSettings::Table());
  for (auto _ : state) {
    benchmark::DoNotOptimize(root.LookupInt(u"\\Display\\Scroll\\Step", 0));
  }
  state.SetLabel("family:lookup");
}
BENCHMARK(BM_LookupThreeLevels);

void BM_LookupText(benchmark::State& state) {
  KRegistry root(KDefaultSettings::Table());
  for (auto _ : state) {
    benchmark::DoNotOptimize(root.LookupText(u"\\Strings\\Errors\\6002").Length());
  }
  state.SetLabel("family:lookup");
}
BENCHMARK(BM_LookupText);

// 100,000 settings lines that all create values in one group, as a
// hostile or runaway profile would: loading them against decoding them.
const std::string& ManyLines() {
  static const std::string text = [] {
    std::string lines = "Registry Version: 1.00\nBig\\:=\n";
    for (int i = 0; i < 100000; ++i) lines += "Big\\V" + std::to_string(i) + ":Int=1\n";
    return lines;
  }();
  return text;
}

void BM_DecodeManyLines(benchmark::State& state) {
  for (auto _ : state) Decode(ManyLines());
  state.SetLabel("baseline:manylines");
}
BENCHMARK(BM_DecodeManyLines)->Unit(benchmark::kMillisecond);

void BM_LoadManyLines(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto root = std::make_unique<KRegistry>();
    state.ResumeTiming();
    LoadOver(*root, ManyLines(), false);
    state.PauseTiming();
    root.reset();
    state.ResumeTiming();
  }
  state.SetLabel("family:manylines");
}
BENCHMARK(BM_LoadManyLines)->Unit(benchmark::kMillisecond);

// A chain of groups as deep as a hostile profile could make one: finding
// its bottom against a line that gets there and fails, so that every group
// on the way back up is asked to make the rest. Both should grow with the
// depth alone.
struct DeepChain {
  DeepChain() {
    KRGroup* at = &root;
    for (int level = 0; level < 20000; ++level) {
      const std::u16string name = level % 2 ? u"b" : u"a";
      at = static_cast<KRGroup*>(at->Apply(name + u"\\:="));
      path += name + u"\\";
    }
  }
  KRegistry root;
  std::u16string path = u"\\";
};

DeepChain& Deep() {
  static DeepChain chain;
  return chain;
}

void BM_LookupDeepBottom(benchmark::State& state) {
  DeepChain& deep = Deep();
  for (auto _ : state) benchmark::DoNotOptimize(deep.root.Lookup(deep.path));
  state.SetLabel("baseline:deep");
}
BENCHMARK(BM_LookupDeepBottom)->Unit(benchmark::kMicrosecond);

void BM_ApplyDeepMissing(benchmark::State& state) {
  DeepChain& deep = Deep();
  const std::u16string line = deep.path + u"Missing\\X:Int=1";
  for (auto _ : state) benchmark::DoNotOptimize(deep.root.Apply(line));
  state.SetLabel("family:deep");
}
BENCHMARK(BM_ApplyDeepMissing)->Unit(benchmark::kMicrosecond);

}  // namespace
