// The video display as a scoreboard: a page of 20 × 10 cells, each a short
// number, sent again every 100 ms with one cell changed, drawn from scratch
// (TextOptimize=Off) and with the text cache slots (the default). The page
// is interpreted and drawn on a 1280 × 360 board (cells of 64 × 36) and
// flushed.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "layout/k_video_display.h"
#include "render/k_3d_fonts.h"
#include "render/k_3d_system_font.h"

namespace {

const char* const kOutlineFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
constexpr int kColumns = 20;
constexpr int kRows = 10;

struct Fonts {
  Fonts() { fonts.Append(new K3DSystemFont(KString("Bench"), kOutlineFont)); }
  K3DFonts fonts;
};

void Frame(std::u16string& out, const std::string& command) {
  out += KVideoDisplay::kStart;
  out.append(command.begin(), command.end());
  out += KVideoDisplay::kEnd;
}

// The whole page; cell `changed` shows `tick`, every other cell its number.
std::u16string Page(bool optimize, int changed, int tick) {
  std::u16string page;
  Frame(page, "LayoutSetup=20,10");
  Frame(page, "FontName=Bench");
  Frame(page, optimize ? "TextOptimize=On" : "TextOptimize=Off");
  Frame(page, "FontBackColor=Blue");
  for (int cell = 0; cell < kColumns * kRows; ++cell) {
    const int value = cell == changed ? tick % 100 : cell % 100;
    // Each number in a window of its own cell, as a scoreboard places them.
    Frame(page, "TextSetup=1,1");
    Frame(page, "TextDraw=" + std::to_string(value / 10) + std::to_string(value % 10));
  }
  Frame(page, "LayoutFlush");
  return page;
}

void Scoreboard(benchmark::State& state, bool optimize, const char* label) {
  static Fonts fonts;
  KVideoDisplay display;
  display.SetCanvas(1280, 360, 0);
  display.Feed(Page(optimize, 0, 0));
  int tick = 1;
  for (auto _ : state) {
    state.PauseTiming();
    const std::u16string page = Page(optimize, tick % (kColumns * kRows), tick);
    state.ResumeTiming();
    display.Feed(page);
    benchmark::DoNotOptimize(display.TakeFlush());
    ++tick;
  }
  // The same last page drawn afresh must give the same picture, or the
  // comparison means nothing.
  KVideoDisplay fresh;
  fresh.SetCanvas(1280, 360, 0);
  fresh.Feed(Page(false, (tick - 1) % (kColumns * kRows), tick - 1));
  const uint32_t* a = display.Pixels();
  const uint32_t* b = fresh.Pixels();
  int differing = 0;
  for (size_t i = 0; i < size_t{1280} * 360; ++i) differing += a[i] != b[i];
  if (differing != 0) state.SkipWithError("the page differs from one drawn afresh");
  int inked = 0;
  for (size_t i = 0; i < size_t{1280} * 360; ++i) inked += b[i] == 0xFFFFFF;
  state.counters["face_pixels"] = inked;
  state.counters["pages/100ms"] = benchmark::Counter(static_cast<double>(state.iterations()) / 10.0,
                                                     benchmark::Counter::kIsRate);
  state.SetLabel(label);
}

void BM_ScoreboardFromScratch(benchmark::State& state) {
  Scoreboard(state, false, "baseline:scoreboard");
}
BENCHMARK(BM_ScoreboardFromScratch);

void BM_ScoreboardTextCache(benchmark::State& state) {
  Scoreboard(state, true, "family:scoreboard");
}
BENCHMARK(BM_ScoreboardTextCache);

}  // namespace
