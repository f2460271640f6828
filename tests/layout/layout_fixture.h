#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "layout/t_layout.h"
#include "layout/t_layout_object.h"
#include "layout/t_layout_services.h"

// Every test starts from a fresh run: no sources, no hooks, the untitled
// counter at 0, and a clock the test moves by hand.
class LayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TLayoutServices& services = TLayoutServices::Get();
    services.Reset();
    services.SetClock([this] { return now; });
    services.SetRedrawObserver([this](TLayout& layout, TLayoutObject& object, const KRect& area) {
      redraws.emplace_back(&layout, object.Id());
      areas.push_back(area);
    });
  }
  void TearDown() override { TLayoutServices::Get().Reset(); }

  uint32_t now = 1000;
  std::vector<std::pair<TLayout*, int32_t>> redraws;
  std::vector<KRect> areas;
};
