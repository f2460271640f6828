#include "render/k_color_table.h"

#include <gtest/gtest.h>

#include "config/k_default_settings.h"
#include "config/k_r_string.h"
#include "config/k_registry.h"

namespace {

class KColorTableTest : public ::testing::Test {
 protected:
  void TearDown() override { KColorTable::Reset(); }
};

TEST_F(KColorTableTest, PixelsOfPaletteAndDirectColours) {
  EXPECT_EQ(KColorTable::Pixel(KColor::Palette(0)), 0xFF000000u);
  EXPECT_EQ(KColorTable::Pixel(KColor::Palette(1)), 0x00FFFFFFu);
  EXPECT_EQ(KColorTable::Pixel(KColor::Palette(5)), 0x00FF0000u);
  EXPECT_EQ(KColorTable::Pixel(KColor::Palette(10)), 0x00FFFF00u);
  EXPECT_EQ(KColorTable::Pixel(KColor::Rgb(1, 2, 3)), 0x00010203u);
  EXPECT_EQ(KColorTable::PixelBgr(KColor::Rgb(1, 2, 3)), 0x00030201u);
  EXPECT_EQ(KColorTable::PixelBgr(KColor::Palette(5)), 0x000000FFu);
  // A direct black is a colour, not transparency.
  EXPECT_EQ(KColorTable::Pixel(KColor::Rgb(0, 0, 0)), 0u);
  // Only a damaged file holds an index past the table; it must not read past it.
  EXPECT_EQ(KColorTable::Pixel(KColor::Palette(11)), 0u);
  EXPECT_EQ(KColorTable::Pixel(KColor::Palette(0x7FFFFFFF)), 0u);
}

TEST_F(KColorTableTest, DarkeningByEighths) {
  // c - (n * c) / 8 with integer division: 255 by four eighths is 128.
  EXPECT_EQ(KColorTable::DarkenedPixel(KColor::Palette(1), 4), 0x00808080u);
  EXPECT_EQ(KColorTable::DarkenedPixel(KColor::Rgb(200, 100, 7), 1), 0x00AF5807u);
  EXPECT_EQ(KColorTable::DarkenedPixel(KColor::Rgb(200, 100, 7), 5), 0x004B2603u);
  EXPECT_EQ(KColorTable::DarkenedPixel(KColor::Palette(0), 3), 0xFF000000u);
}

TEST_F(KColorTableTest, EntriesFromSettingsFieldByField) {
  KRegistry registry(KDefaultSettings::Table());
  registry.LookupString(u"\\Display\\Colors\\5")->SetValue(KString("10, 300, 0x20"));
  registry.LookupString(u"\\Display\\Colors\\6")->SetValue(KString("x,7"));
  registry.Apply(KString("\\Display\\Colors\\0:String=1,2,3"));
  KColorTable::Load(registry);
  // 300 is no channel value: green keeps the built-in 0.
  EXPECT_EQ(KColorTable::Pixel(KColor::Palette(5)), 0x000A0020u);
  // "x" leaves red alone, 7 replaces green, a missing field leaves blue.
  EXPECT_EQ(KColorTable::Pixel(KColor::Palette(6)), 0x00000700u);
  EXPECT_EQ(KColorTable::Entry(0).b, 3);
  // Index 0 still draws transparent whatever its entry.
  EXPECT_EQ(KColorTable::Pixel(KColor::Palette(0)), 0xFF000000u);
  EXPECT_EQ(KColorTable::Pixel(KColor::Palette(1)), 0x00FFFFFFu);
  KColorTable::Reset();
  EXPECT_EQ(KColorTable::Pixel(KColor::Palette(5)), 0x00FF0000u);
}

}  // namespace
