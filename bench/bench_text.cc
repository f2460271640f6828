// 3D text: glyph blocks per second of a 60-pixel system font (character by
// character and as one string) and of a sport font, against the system font
// in character mode; and a running clock 1:23.45 whose hundredths change on
// every redraw, fitted and drawn with and without an optimize record.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "render/k_3d_font_optimize.h"
#include "render/k_3d_fonts.h"
#include "render/k_3d_sport_font.h"
#include "render/k_3d_sport_font_maker.h"
#include "render/k_3d_system_font.h"

namespace {

const char* const kOutlineFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
constexpr int kSize = 60;

// The list every benchmark draws with: the system font "Bench" and a sport
// font made from it at the same size.
struct Fonts {
  Fonts() {
    system = new K3DSystemFont(KString("Bench"), kOutlineFont);
    fonts.Append(system);
    std::vector<uint8_t> bytes;
    std::string error;
    if (!K3DSportFontMaker::Make(*system, kSize, bytes, error)) {
      std::fprintf(stderr, "bench_text: %s (%s)\n", error.c_str(), kOutlineFont);
      return;
    }
    sport = new K3DSportFont;
    auto* size = new K3DSportSize;
    size->Parse(bytes.data(), bytes.size());
    sport->AddSize(size);
    fonts.Append(sport);
  }
  K3DFonts fonts;
  K3DSystemFont* system = nullptr;
  K3DSportFont* sport = nullptr;
};

Fonts& Shared() {
  static Fonts fonts;
  return fonts;
}

// What the display does with a block: copy its visible pixels.
struct Canvas {
  std::vector<uint32_t> pixels = std::vector<uint32_t>(size_t{1024} * kSize);
  int64_t blocks = 0;
};

bool Copy(const uint32_t* pixels, const KRect& rect, void* user) {
  auto& canvas = *static_cast<Canvas*>(user);
  ++canvas.blocks;
  for (int y = 0; y < rect.Height() && y < kSize; ++y) {
    for (int x = 0; x < rect.Width() && rect.left + x < 1024; ++x) {
      const uint32_t p = pixels[y * rect.Width() + x];
      if (p != 0xFF000000u) canvas.pixels[static_cast<size_t>(y) * 1024 + rect.left + x] = p;
    }
  }
  return true;
}

K3DFontInfo Info(const KString& font, int mode) {
  K3DFontInfo info;
  info.SetFont(font);
  info.SetSize(kSize);
  info.SetFaceColor(KColor::Palette(1));
  info.SetBorderColor(KColor::Palette(4));
  info.SetShadowColor(KColor::Palette(4));
  info.SetBackgroundColor(KColor::Palette(7));
  info.SetTextModeOverride(mode);
  return info;
}

const KString kText("Results 1:23.45 BIB 042");

void DrawBlocks(benchmark::State& state, K3DFont* font, int mode, const char* label) {
  if (font == nullptr) {
    state.SkipWithError("font missing");
    return;
  }
  const K3DFontInfo info = Info(font->Name(), mode);
  Canvas canvas;
  for (auto _ : state) {
    // Full-string mode makes one block of the whole text; count its characters.
    font->Draw(kText, info, Copy, &canvas);
  }
  state.SetItemsProcessed(state.iterations() * kText.Length());
  state.SetLabel(label);
}

void BM_SystemCharacters(benchmark::State& state) {
  DrawBlocks(state, Shared().system, 0, "baseline:glyphs");
}
BENCHMARK(BM_SystemCharacters);

void BM_SystemFullString(benchmark::State& state) {
  DrawBlocks(state, Shared().system, 2, "family:glyphs");
}
BENCHMARK(BM_SystemFullString);

void BM_SportCharacters(benchmark::State& state) {
  DrawBlocks(state, Shared().sport, 0, "family:glyphs");
}
BENCHMARK(BM_SportCharacters);

// m:ss.hh for a count of hundredths, always seven characters.
void ClockText(int hundredths, KString& text) {
  const int h = hundredths % 100;
  const int s = (hundredths / 100) % 60;
  const int m = (hundredths / 6000) % 10;
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%d:%02d.%02d", m, s, h);
  text = buffer;
}

void RunningClock(benchmark::State& state, bool optimized, const char* label) {
  K3DSystemFont* font = Shared().system;
  const K3DFontInfo info = Info(font->Name(), 0);
  K3DFontOptimize record;
  Canvas canvas;
  int hundredths = 8345;  // 1:23.45
  KString text;
  for (auto _ : state) {
    ClockText(hundredths++, text);
    // A fresh copy per redraw, as the display takes one.
    const K3DFontInfo fresh = info;
    int width = 1000;
    if (optimized) record.ClearFlags();
    font->Fit(text, fresh, width, optimized ? &record : nullptr);
    font->Draw(text, fresh, Copy, &canvas, optimized ? &record : nullptr);
  }
  state.counters["blocks/redraw"] =
      static_cast<double>(canvas.blocks) / static_cast<double>(state.iterations());
  state.SetLabel(label);
}

void BM_ClockFromScratch(benchmark::State& state) {
  RunningClock(state, false, "baseline:clock");
}
BENCHMARK(BM_ClockFromScratch);

void BM_ClockOptimized(benchmark::State& state) {
  RunningClock(state, true, "family:clock");
}
BENCHMARK(BM_ClockOptimized);

}  // namespace
