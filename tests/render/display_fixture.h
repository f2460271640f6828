#pragma once

#include <cstdint>
#include <vector>

#include "base/k_rect.h"
#include "config/k_default_settings.h"
#include "config/k_r_int.h"
#include "config/k_registry.h"
#include "render/k_memory_surface.h"
#include "render/t_display.h"

// A layout stand-in: rectangles filled with one pixel each, and a count of
// the bands it was asked to draw.
class FakeContent : public TDisplayContent {
 public:
  struct Box {
    KRect rect;
    uint32_t pixel;
  };

  KColor background = KColor::Rgb(0, 0, 0x80);
  std::vector<Box> boxes;
  std::vector<KRect> bands;
  // A column pattern: when set, pixel (x, y) = 0x010000 * (x & 0xFF) + y & 0xFF.
  bool pattern = false;

  KColor DisplayBackground() const override { return background; }
  void DrawBand(TDisplay& display, const KRect& band) override {
    bands.push_back(band);
    if (pattern) {
      std::vector<uint32_t> row(static_cast<size_t>(band.Width()));
      for (int y = band.top; y <= band.bottom; ++y) {
        for (int x = band.left; x <= band.right; ++x) {
          row[static_cast<size_t>(x - band.left)] = PatternPixel(x, y);
        }
        const KRect line{band.left, y, band.right, y};
        display.DrawPixels(line, row.data(), 32, line, TDisplay::kNoKey);
      }
    }
    for (const Box& box : boxes) {
      std::vector<uint32_t> block(static_cast<size_t>(box.rect.Width()) * box.rect.Height(),
                                  box.pixel);
      display.DrawPixels(box.rect, block.data(), 32, box.rect, TDisplay::kNoKey);
    }
  }
  static uint32_t PatternPixel(int x, int y) {
    return (static_cast<uint32_t>(x & 0xFFFF) << 8) | static_cast<uint32_t>(y & 0xFF);
  }
};

// A settings tree with the catalogue's defaults, a memory surface and a
// hand-driven clock.
struct DisplayFixture {
  KRegistry settings{KDefaultSettings::Table()};
  KMemorySurface surface;
  uint32_t ms = 1000;
  uint32_t stamp = 100000;
  TDisplay display;

  DisplayFixture(int width, int height,
                 std::initializer_list<std::pair<const char16_t*, int>> set = {})
      : surface(width, height), display(Configure(settings, set), surface, Clock()) {}

  static KRegistry& Configure(KRegistry& settings,
                              std::initializer_list<std::pair<const char16_t*, int>> set) {
    for (const auto& [path, value] : set) settings.LookupInt(path)->Assign(value);
    return settings;
  }
  void Set(const char16_t* path, int value) { settings.LookupInt(path)->Assign(value); }
  TDisplay::Clock Clock() {
    return TDisplay::Clock{[this] { return ms; }, [this] { return stamp; }};
  }
  void AdvanceMs(int delta) {
    ms += static_cast<uint32_t>(delta);
    stamp += static_cast<uint32_t>(delta) * 100;
  }
};
