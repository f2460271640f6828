// The display pipeline on a 1920 × 1080 in-memory window, each case against
// one plain fill of the same 32-bit framebuffer in the same run:
//  - a full redraw of a layout of 40 text objects (system and sport fonts);
//  - the redraw of one of those objects;
//  - one update of a 10-lane running clock (each lane's time redrawn);
//  - a full redraw of a 16384-pixel-wide window, to show that the pipeline's
//    memory is its cache, whatever the window's size.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "config/k_default_settings.h"
#include "config/k_r_int.h"
#include "config/k_registry.h"
#include "layout/t_layout.h"
#include "layout/t_layout_services.h"
#include "layout/t_text_object.h"
#include "render/k_3d_fonts.h"
#include "render/k_3d_sport_font.h"
#include "render/k_3d_sport_font_maker.h"
#include "render/k_3d_system_font.h"
#include "render/k_memory_surface.h"
#include "render/t_display.h"
#include "sources/t_field.h"

namespace {

const char* const kOutlineFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// The system font "Board" and, as the empty name, a sport font made from it.
struct Fonts {
  Fonts() {
    auto* system = new K3DSystemFont(KString("Board"), kOutlineFont);
    fonts.Append(system);
    auto* sport = new K3DSportFont;
    for (const int size : {40, 52}) {
      std::vector<uint8_t> bytes;
      std::string error;
      if (!K3DSportFontMaker::Make(*system, size, bytes, error)) {
        std::fprintf(stderr, "bench_display: %s\n", error.c_str());
        continue;
      }
      auto* sportSize = new K3DSportSize;
      sportSize->Parse(bytes.data(), bytes.size());
      sport->AddSize(sportSize);
    }
    fonts.Append(sport);
  }
  K3DFonts fonts;
};

Fonts& SharedFonts() {
  static Fonts fonts;
  return fonts;
}

TTextObject* AddText(TLayout& layout, int x, int y, int width, const char* font, int size,
                     const char* text) {
  auto* object = static_cast<TTextObject*>(layout.NewObject(TLayoutServices::kText));
  K3DFontInfo info;
  info.SetFont(KString(font));
  info.SetSize(size);
  object->SetFont(info);
  object->SetPosition(x, y);
  object->SetSize(width, size);
  object->SetDynamic(false);
  object->SetText(KString(text));
  return object;
}

// A results page: 20 rows of name and time, half in each font.
struct Page {
  explicit Page(int width = kWidth, int height = kHeight)
      : surface(width, height), display(settings, surface) {
    SharedFonts();
    layout.SetBackground(KColor::Palette(7));
    for (int row = 0; row < 20; ++row) {
      const char* font = row % 2 == 0 ? "Board" : "";
      const int y = 20 + row * 52;
      objects.push_back(AddText(layout, 40, y, 1200, font, 40, "Annika Lindqvist-Brandt SWE"));
      objects.push_back(AddText(layout, 1400, y, 480, font, 40, "1:23.45"));
    }
    display.SetLayout(&layout, -1);
  }
  KRegistry settings{KDefaultSettings::Table()};
  KMemorySurface surface;
  TDisplay display;
  TLayout layout;
  std::vector<TTextObject*> objects;
};

void BM_FrameFill(benchmark::State& state) {
  std::vector<uint32_t> frame(size_t{kWidth} * kHeight);
  uint32_t pixel = 0x000080;
  for (auto _ : state) {
    std::fill(frame.begin(), frame.end(), pixel++);
    benchmark::DoNotOptimize(frame.data());
  }
  state.SetLabel("baseline:frame");
}
BENCHMARK(BM_FrameFill);

void BM_FullRedraw(benchmark::State& state) {
  Page page;
  for (auto _ : state) page.display.Redraw();
  state.SetLabel("family:frame");
}
BENCHMARK(BM_FullRedraw);

void BM_OneObjectRedraw(benchmark::State& state) {
  Page page;
  page.display.Redraw();
  TTextObject* name = page.objects[10];
  for (auto _ : state) page.display.RedrawObject(&page.layout, name->Rect());
  state.SetLabel("family:frame");
}
BENCHMARK(BM_OneObjectRedraw);

// m:ss.hh for a count of hundredths.
KString ClockText(int hundredths) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%d:%02d.%02d", (hundredths / 6000) % 10,
                (hundredths / 100) % 60, hundredths % 100);
  return KString(buffer);
}

// Ten lanes whose running times all change at every hundredth, as a timing
// console sends them: each lane's time field reaches its text object, which
// asks the display to redraw what changed.
void RunningClock(benchmark::State& state, const char* font) {
  KRegistry settings{KDefaultSettings::Table()};
  KMemorySurface surface(kWidth, kHeight);
  TDisplay display(settings, surface);
  SharedFonts();
  TLayoutServices& services = TLayoutServices::Get();
  services.SetRedrawObserver([&display](TLayout& shown, TLayoutObject&, const KRect& area) {
    display.RedrawObject(&shown, area);
  });
  TLayout layout;
  std::vector<TTextObject*> lanes;
  for (int lane = 0; lane < 10; ++lane) {
    AddText(layout, 40, 40 + lane * 100, 1200, font, 52, "Lane swimmer name");
    TTextObject* time = AddText(layout, 1500, 40 + lane * 100, 300, font, 52, "%s");
    time->SetDynamic(true);
    lanes.push_back(time);
  }
  display.SetLayout(&layout, -1);
  display.Redraw();
  TField field(nullptr);
  int hundredths = 0;
  for (auto _ : state) {
    ++hundredths;
    for (int lane = 0; lane < 10; ++lane) {
      field.SetMatch(ClockText(hundredths + lane * 7).View());
      lanes[static_cast<size_t>(lane)]->SetValue(&field);
    }
  }
  services.SetRedrawObserver({});
  state.SetLabel("family:frame");
  // At 100 updates a second: the share of one core the clock takes.
  state.counters["core_at_100Hz"] =
      benchmark::Counter(100.0 * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_RunningClockSystemFont(benchmark::State& state) {
  RunningClock(state, "Board");
}
BENCHMARK(BM_RunningClockSystemFont);

void BM_RunningClockSportFont(benchmark::State& state) {
  RunningClock(state, "");
}
BENCHMARK(BM_RunningClockSportFont);

void BM_WideWindowRedraw(benchmark::State& state) {
  Page page(16384, 64);
  for (auto _ : state) page.display.Redraw();
  state.counters["cache_bytes"] = page.display.CacheBytes();
  state.counters["window_bytes"] = 16384.0 * 64 * 4;
  state.SetLabel("family:frame");
}
BENCHMARK(BM_WideWindowRedraw);

}  // namespace
