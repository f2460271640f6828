// Glyph blocks of the system font generator, drawn with the bundled box
// font (tests/data/fonts): at size 24 the cell is 20 pixels, one pixel is
// 50 font units and every edge but those of 'H' lies on a pixel boundary.
#include "render/k_3d_system_font.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/k_string.h"
#include "config/k_default_settings.h"
#include "config/k_r_int.h"
#include "config/k_registry.h"
#include "ports/k_log.h"
#include "render/k_3d_fonts.h"
#include "render/k_color_table.h"
#include "tests/base/temp_dir.h"

namespace {

const std::string kTestFont = std::string(TELVANE_TEST_DATA) + "/fonts/telvane-test.ttf";

constexpr uint32_t kFace = 0x00FFFFFF;
constexpr uint32_t kBorder = 0x00000000;
constexpr uint32_t kShadow = 0x00FF0000;
constexpr uint32_t kBack = 0x00808080;

class K3DSystemFontTest : public ::testing::Test {
 protected:
  K3DSystemFontTest() : registry(KDefaultSettings::Table()) {
    font = new K3DSystemFont(KString("Box"), kTestFont);
    fonts.Append(font);
    fonts.UseSettings(registry);
    info.SetFont(KString("Box"));
    info.SetSize(24);
    info.SetFaceColor(KColor::Palette(1));
    info.SetBorderColor(KColor::Palette(4));
    info.SetShadowColor(KColor::Palette(5));
    info.SetBackgroundColor(KColor::Palette(3));
    info.SetTextModeOverride(0);
  }

  K3DSystemFont::Raster RasterOf(const char16_t* text, bool single = true) {
    K3DSystemFont::Raster r;
    EXPECT_TRUE(font->Generate(text, info, single, r, false));
    return r;
  }
  K3DSize SizeOf(char16_t ch) {
    K3DSize size;
    EXPECT_TRUE(font->Glyph(ch, info, nullptr, size));
    return size;
  }
  // The block as one letter per pixel: F face, B border, S shadow, . background.
  std::vector<std::string> Picture(char16_t ch) {
    const uint32_t* pixels = nullptr;
    K3DSize size;
    EXPECT_TRUE(font->Glyph(ch, info, &pixels, size));
    std::vector<std::string> rows;
    for (int y = 0; y < size.height; ++y) {
      std::string row;
      for (int x = 0; x < size.width; ++x) {
        const uint32_t p = pixels[y * size.width + x];
        row += p == kFace ? 'F' : p == kBorder ? 'B' : p == kShadow ? 'S' : p == kBack ? '.' : '?';
      }
      rows.push_back(row);
    }
    return rows;
  }

  KRegistry registry;
  K3DFonts fonts;
  K3DSystemFont* font = nullptr;
  K3DFontInfo info;
};

TEST_F(K3DSystemFontTest, BlockGeometryFollowsTheSize) {
  info.SetSize(34);
  K3DSystemFont::Raster r = RasterOf(u"W");
  EXPECT_EQ(r.border, 1);
  EXPECT_EQ(r.shadow, 2);  // 34 / 40 = 0, raised to 2
  EXPECT_EQ(r.inkHeight, 30);
  EXPECT_EQ(r.height, 34);
  EXPECT_EQ(r.width, r.inkWidth + 4);
  EXPECT_EQ(SizeOf(u'W'), (K3DSize{r.inkWidth + 4, 34}));
  info.SetSize(400);
  r = RasterOf(u"W");
  EXPECT_EQ(r.shadow, 6);  // 400 / 40 = 10, cut to 6
  EXPECT_EQ(r.inkHeight, 392);
  EXPECT_EQ(r.width, r.inkWidth + 8);
  info.SetSize(200);
  EXPECT_EQ(RasterOf(u"W").shadow, 5);
  // The overrides: no border; a shadow only smaller than automatic.
  info.SetSize(24);
  info.SetBorderSizeOverride(0);
  info.SetShadowSizeOverride(1);
  r = RasterOf(u"I");
  EXPECT_EQ(r.border, 0);
  EXPECT_EQ(r.shadow, 1);
  EXPECT_EQ(r.inkHeight, 23);
  info.SetShadowSizeOverride(9);
  EXPECT_EQ(RasterOf(u"I").shadow, 2);
}

TEST_F(K3DSystemFontTest, InkWidthFromTheGlyphMetrics) {
  // 'I': advance 8, ink from 2 to 6: A = 2, C = 2, so the ink is 4 wide.
  K3DSystemFont::Raster r = RasterOf(u"I");
  EXPECT_EQ(r.inkWidth, 4);
  EXPECT_EQ(r.width, 8);
  EXPECT_EQ(r.height, 24);
  // A space has no ink: its block is its advance.
  EXPECT_EQ(RasterOf(u" ").inkWidth, 10);
  // The whole string is placed by its advances: I, I, space.
  EXPECT_EQ(RasterOf(u"II ", false).inkWidth, 26);
}

TEST_F(K3DSystemFontTest, AllDigitsShareOneBlockWidth) {
  // '1' has narrow ink, '8' wide ink; both take the digits' widest span.
  EXPECT_EQ(SizeOf(u'1'), SizeOf(u'8'));
  EXPECT_EQ(SizeOf(u'1').width, 12);
  info.SetSize(60);
  for (char16_t digit = u'0'; digit <= u'9'; ++digit) EXPECT_EQ(SizeOf(digit), SizeOf(u'1'));
}

TEST_F(K3DSystemFontTest, ExactPixelsOfABlock) {
  const std::vector<std::string> expected = {
      "........", "........", "BBBBBB..", "BFFFFBS.", "BFFFFBSS", "BFFFFBSS",
      "BFFFFBSS", "BFFFFBSS", "BFFFFBSS", "BFFFFBSS", "BFFFFBSS", "BFFFFBSS",
      "BFFFFBSS", "BFFFFBSS", "BFFFFBSS", "BFFFFBSS", "BFFFFBSS", "BBBBBBSS",
      ".SSSSSSS", "..SSSSSS", "........", "........", "........", "........"};
  EXPECT_EQ(Picture(u'I'), expected);
}

TEST_F(K3DSystemFontTest, TransparentColours) {
  info.SetFaceColor(KColor::Palette(0));
  info.SetBackgroundColor(KColor::Palette(0));
  const uint32_t* pixels = nullptr;
  K3DSize size;
  ASSERT_TRUE(font->Glyph(u'I', info, &pixels, size));
  auto at = [&](int x, int y) { return pixels[y * size.width + x]; };
  EXPECT_EQ(at(2, 8), 0xFF000000u);  // face
  EXPECT_EQ(at(0, 8), kBorder);
  EXPECT_EQ(at(7, 8), kShadow);
  EXPECT_EQ(at(0, 0), 0xFF000000u);  // background
  // A transparent border stays transparent whatever the background.
  info.SetFaceColor(KColor::Palette(1));
  info.SetBorderColor(KColor::Palette(0));
  info.SetBackgroundColor(KColor::Palette(3));
  ASSERT_TRUE(font->Glyph(u'I', info, &pixels, size));
  EXPECT_EQ(at(0, 8), 0xFF000000u);
  EXPECT_EQ(at(2, 8), kFace);
}

TEST_F(K3DSystemFontTest, CoverageBecomesTheRampLevel) {
  // 'H' has its sides on half pixels: the edge columns are half covered.
  // White on black blends from black, so an edge pixel's grey is its level.
  K3DSystemFont::Raster r;
  ASSERT_TRUE(font->Generate(u"H", info, true, r, true));
  ASSERT_EQ(r.inkWidth, 8);
  const int row = 10;
  const int edge = r.levels[row * r.stride + 0];
  EXPECT_GT(edge, 100);
  EXPECT_LT(edge, 160);
  EXPECT_EQ(r.levels[row * r.stride + 4], 255);
  const uint32_t* pixels = nullptr;
  K3DSize size;
  ASSERT_TRUE(font->Glyph(u'H', info, &pixels, size));
  EXPECT_EQ(pixels[(1 + row) * size.width + 1], static_cast<uint32_t>(edge) * 0x010101u);
  EXPECT_EQ(pixels[(1 + row) * size.width + 5], kFace);
  // Enable 0: the half-covered column is no ink at all; border takes its place.
  registry.LookupInt(u"\\Display\\AntiAlias\\Enable")->SetValue(0);
  ASSERT_TRUE(font->Glyph(u'H', info, &pixels, size));
  EXPECT_EQ(pixels[(1 + row) * size.width + 1], kBorder);
  EXPECT_EQ(pixels[(1 + row) * size.width + 2], kFace);
}

TEST_F(K3DSystemFontTest, FitAndShrink) {
  // Digits 12 wide, ':' and '.' 7: four blocks of 12:34.5 are 43 wide.
  KString text("12:34.5");
  int width = 50;
  EXPECT_TRUE(font->Fit(text, info, width));
  EXPECT_EQ(text, KString("12:3"));
  EXPECT_EQ(width, 43);

  // A text 1.5 times too wide keeps all its characters in a narrower font.
  info.SetShrinkToFit(true);
  info.SetShrinkLimit(50);
  K3DSize normal;
  ASSERT_TRUE(font->Measure(KString("WWWWWW"), info, normal));
  text = "WWWWWW";
  width = normal.width * 2 / 3;
  EXPECT_TRUE(font->Fit(text, info, width));
  EXPECT_EQ(text, KString("WWWWWW"));
  EXPECT_LE(width, normal.width * 2 / 3);
  EXPECT_GT(info.CharWidthCache(), 0);
  EXPECT_LT(info.CharWidthCache(), 10);  // the average is 10 at this size
  K3DSize drawn;
  ASSERT_TRUE(font->Measure(text, info, drawn));
  EXPECT_EQ(drawn.width, width);
  // Too wide even at the narrowest width: cut at that width.
  text = "WWWWWW";
  width = normal.width / 4;
  EXPECT_TRUE(font->Fit(text, info, width));
  EXPECT_LT(text.Length(), 6);
  EXPECT_GT(text.Length(), 0);
  // Limit 100: no room to shrink, a plain cut.
  info.SetShrinkLimit(100);
  text = "WWWWWW";
  width = normal.width * 2 / 3;
  EXPECT_TRUE(font->Fit(text, info, width));
  EXPECT_EQ(text.Length(), 4);  // 22 each in 88
}

TEST_F(K3DSystemFontTest, WidthPercentScalesTheCharacters) {
  const int normal = RasterOf(u"W").inkWidth;
  EXPECT_EQ(normal, 18);
  // Half the width: the ink spans 0.5 to 9.5 pixels, ten columns.
  info.SetWidth(50);
  EXPECT_EQ(RasterOf(u"W").inkWidth, 10);
  EXPECT_EQ(info.CharWidthCache(), 5);
  info.SetWidth(200);
  EXPECT_EQ(RasterOf(u"W").inkWidth, normal * 2);
}

TEST_F(K3DSystemFontTest, FullStringModeIsOneBlock) {
  info.SetTextModeOverride(1);
  int blocks = 0;
  auto count = [](const uint32_t*, const KRect& rect, void* user) {
    ++*static_cast<int*>(user);
    return rect.left == 0;
  };
  EXPECT_TRUE(font->Draw(KString(u"I\u03A9I"), info, count, &blocks));
  EXPECT_EQ(blocks, 1);
  blocks = 0;
  EXPECT_TRUE(font->Draw(
      KString(u"III"), info,
      +[](const uint32_t*, const KRect&, void* user) {
        ++*static_cast<int*>(user);
        return true;
      },
      &blocks));
  EXPECT_EQ(blocks, 3);
  // Longer texts render their first 4095 characters.
  info.SetTextModeOverride(2);
  std::u16string many(5000, u'I');
  K3DSize all;
  ASSERT_TRUE(font->StringGlyph(KString(many), info, nullptr, all));
  EXPECT_EQ(all.width, 4095 * 8 + 4);
}

std::string ReadAll(const KString& path) {
  std::ifstream in(path.ToUtf8(), std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(K3DSystemFontFailures, LoggedWithTheErrorLetter) {
  TempDir dir;
  KLog log;
  ASSERT_TRUE(log.Open(dir.File("telvane.log")));
  KLog::SetInstance(&log);
  K3DFontInfo info;
  K3DSize size;
  {
    // No font list: no rasteriser to draw with.
    K3DSystemFont lonely(KString("Box"), kTestFont);
    EXPECT_FALSE(lonely.Glyph(u'I', info, nullptr, size));
  }
  {
    K3DFonts fonts;
    auto* missing = new K3DSystemFont(KString("Gone"), dir.Path() + "/missing.ttf");
    fonts.Append(missing);
    EXPECT_FALSE(missing->Glyph(u'I', info, nullptr, size));
    auto* box = new K3DSystemFont(KString("Box"), kTestFont);
    fonts.Append(box);
    info.SetSize(999);
    info.SetTextModeOverride(2);
    const uint32_t* pixels = nullptr;
    std::u16string wide(4095, u'W');
    EXPECT_TRUE(box->StringGlyph(KString(wide), info, nullptr, size));
    EXPECT_FALSE(box->StringGlyph(KString(wide), info, &pixels, size));
  }
  KLog::SetInstance(nullptr);
  log.Close();
  const std::string text = ReadAll(dir.File("telvane.log"));
  EXPECT_NE(text.find("E: "), std::string::npos);
  EXPECT_NE(text.find("K3DSystemFont::Glyphs: hDC NULL"), std::string::npos);
  EXPECT_NE(text.find("K3DSystemFont::Glyphs: font NULL"), std::string::npos);
  EXPECT_NE(text.find("K3DSystemFont::Glyphs: BmpAlloc failed"), std::string::npos);
}

}  // namespace
