#include "render/k_3d_fonts.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "config/k_default_settings.h"
#include "config/k_r_int.h"
#include "config/k_r_string.h"
#include "config/k_registry.h"
#include "render/k_3d_sport_font.h"
#include "render/k_3d_system_font.h"
#include "render/k_color_table.h"
#include "tests/base/temp_dir.h"

namespace {

const std::string kTestFont = std::string(TELVANE_TEST_DATA) + "/fonts/telvane-test.ttf";

class K3DFontsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(K3DFonts::AddFontFile(kTestFont)); }
  void TearDown() override { KColorTable::Reset(); }
};

TEST_F(K3DFontsTest, SportFontFirstThenFamiliesByName) {
  TempDir home;
  {
    // One sport font size in the home.
    std::ofstream out(home.Path() + "/s12.fnt", std::ios::binary);
    const char space[] = {' ', 0, 0, 0, 0, 0, 0, 11, 0};
    out.write(space, sizeof space);
    out << std::string(12, ' ');
  }
  KRegistry registry(KDefaultSettings::Table());
  K3DFonts fonts(&registry, KString(home.Path()));
  EXPECT_EQ(K3DFonts::Instance(), &fonts);
  const auto* first = static_cast<const K3DFont*>(fonts.Fonts().First());
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(first->Name().IsEmpty());
  EXPECT_TRUE(first->IsBitmapFont());
  EXPECT_EQ(first->SizeCount(), 1);
  EXPECT_EQ(first->SizeAt(0), 12);
  // The rest ascend by name, ignoring case, and include the bundled family.
  const K3DFont* previous = nullptr;
  bool sawTestFont = false;
  for (const auto* font : fonts.Fonts().Items<K3DFont>()) {
    if (font == first) continue;
    EXPECT_FALSE(font->IsBitmapFont());
    if (previous) {
      EXPECT_LE(previous->Name().Compare(font->Name().View(), true), 0);
    }
    sawTestFont |= font->Name() == KString("Telvane Test");
    previous = font;
  }
  EXPECT_TRUE(sawTestFont);
  // A description without a font name is the sport font's, with its size.
  K3DFontInfo info;
  EXPECT_EQ(info.Size(), 12);
}

TEST_F(K3DFontsTest, FindExactNamesThenSubstitutes) {
  KRegistry registry(KDefaultSettings::Table());
  TempDir home;
  K3DFonts fonts(&registry, KString(home.Path()));
  K3DFont* box = fonts.Find(KString("Telvane Test"));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(fonts.Find(KString("Telvane Test")), box);  // from the one-entry cache
  EXPECT_NE(fonts.Find(KString()), nullptr);
  // Another case is no exact name, but fontconfig still knows the family.
  EXPECT_EQ(fonts.Find(KString("telvane test")), box);
  // A family fontconfig would only meet with its generic default stays unknown.
  EXPECT_EQ(fonts.Find(KString("Xyzzy Nonesuch Grotesk")), nullptr);
  // Layouts made elsewhere name Windows fonts: their metric-compatible stand-ins.
  if (fonts.Find(KString("Liberation Sans")) == nullptr) GTEST_SKIP() << "no Liberation fonts";
  const K3DFont* arial = fonts.Find(KString("Arial"));
  ASSERT_NE(arial, nullptr);
  EXPECT_EQ(arial->Name(), KString("Liberation Sans"));
  const K3DFont* times = fonts.Find(KString("Times New Roman"));
  ASSERT_NE(times, nullptr);
  EXPECT_EQ(times->Name(), KString("Liberation Serif"));
  // A face fontconfig knows without a metric twin takes its preferred stand-in.
  if (fonts.Find(KString("DejaVu Sans")) != nullptr) {
    const K3DFont* tahoma = fonts.Find(KString("Tahoma"));
    ASSERT_NE(tahoma, nullptr);
    EXPECT_FALSE(tahoma->Name().IsEmpty());
  }
  // And they draw.
  K3DFontInfo info;
  info.SetFont(KString("Arial"));
  info.SetSize(34);
  EXPECT_GT(fonts.MeasureWidth(KString("12:34"), info), 0);
  info.SetFont(KString("Xyzzy Nonesuch Grotesk"));
  EXPECT_EQ(fonts.MeasureWidth(KString("12:34"), info), 0);
  KString text("12");
  int width = 100;
  EXPECT_FALSE(fonts.Fit(text, info, width));
}

TEST_F(K3DFontsTest, SettingsAreReadLive) {
  KRegistry registry(KDefaultSettings::Table());
  registry.LookupString(u"\\Display\\Colors\\1")->SetValue(KString("250,240,230"));
  K3DFonts fonts;
  fonts.UseSettings(registry);
  EXPECT_EQ(KColorTable::Pixel(KColor::Palette(1)), 0x00FAF0E6u);
  EXPECT_EQ(fonts.DrawTextMode(), 1);
  EXPECT_EQ(fonts.AntiAliasEnable(), 75);
  EXPECT_EQ(fonts.BGLight(), 128);
  registry.LookupInt(u"\\Display\\DrawText")->SetValue(2);
  registry.LookupInt(u"\\Display\\AntiAlias\\Enable")->SetValue(-20);
  EXPECT_EQ(fonts.DrawTextMode(), 2);
  EXPECT_EQ(fonts.AntiAliasEnable(), -20);
  // Without settings: character mode, the fixed threshold, BGLight 0.
  K3DFonts bare;
  EXPECT_EQ(bare.DrawTextMode(), 0);
  EXPECT_EQ(bare.AntiAliasEnable(), std::nullopt);
  EXPECT_EQ(bare.BGLight(), 0);
}

TEST_F(K3DFontsTest, GlyphBufferGrowsOnlyWhenNeeded) {
  K3DFonts fonts;
  auto* box = new K3DSystemFont(KString("Box"), kTestFont);
  fonts.Append(box);
  K3DFontInfo info;
  info.SetFont(KString("Box"));
  info.SetSize(100);
  const uint32_t* pixels = nullptr;
  K3DSize size;
  ASSERT_TRUE(box->Glyph(u'W', info, &pixels, size));
  const size_t grown = fonts.GlyphBufferCapacity();
  EXPECT_EQ(grown, static_cast<size_t>(size.width) * size.height);
  const uint32_t* first = pixels;
  info.SetSize(30);
  ASSERT_TRUE(box->Glyph(u'I', info, &pixels, size));
  EXPECT_EQ(fonts.GlyphBufferCapacity(), grown);
  EXPECT_EQ(pixels, first);
  info.SetSize(200);
  ASSERT_TRUE(box->Glyph(u'W', info, &pixels, size));
  EXPECT_GT(fonts.GlyphBufferCapacity(), grown);
}

}  // namespace
