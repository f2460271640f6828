#include "render/k_3d_sport_font.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "base/k_memory_stream.h"
#include "render/k_3d_fonts.h"
#include "render/k_3d_sport_font_maker.h"
#include "render/k_3d_system_font.h"
#include "tests/base/temp_dir.h"

namespace {

// One glyph record: code, x0, y0, x1, y1, then the rows bottom first.
std::vector<uint8_t> Record(int code, int x0, int y0, int x1, int y1, const std::string& pixels) {
  std::vector<uint8_t> bytes{static_cast<uint8_t>(code)};
  for (const int v : {x0, y0, x1, y1}) {
    bytes.push_back(static_cast<uint8_t>(v & 0xFF));
    bytes.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  bytes.insert(bytes.end(), pixels.begin(), pixels.end());
  return bytes;
}

std::vector<uint8_t> operator+(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A size whose space glyph is `height` high, with a '9' and an '8' as tall.
std::vector<uint8_t> SizeFile(int height) {
  const std::string column(static_cast<size_t>(height) * 2, 'q');
  return Record(' ', 0, 0, 1, height - 1, std::string(static_cast<size_t>(height) * 2, ' ')) +
         Record('9', 0, 0, 1, height - 1, column) + Record('8', 0, 0, 1, height - 1, column);
}

void WriteFile(const KString& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path.ToUtf8(), std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

TEST(K3DSportSize, RecordsAreReadBottomRowFirst) {
  // 10 x 20: the first ten pixel bytes are the bottom row.
  std::string pixels(200, ' ');
  pixels.replace(0, 10, "qrstuvwxpy");
  pixels.replace(190, 10, "qqqqqqqqqq");
  K3DSportSize size;
  const std::vector<uint8_t> bytes = Record('A', 0, 0, 9, 19, pixels);
  ASSERT_EQ(bytes.size(), 9u + 200u);
  EXPECT_EQ(size.Parse(bytes.data(), bytes.size()), 1);
  const K3DSportGlyph* glyph = size.Find('A');
  ASSERT_NE(glyph, nullptr);
  EXPECT_EQ(glyph->Width(), 10);
  EXPECT_EQ(glyph->Height(), 20);
  const uint8_t bottom[10] = {1, 2, 3, 4, 5, 6, 7, 8, 0, 0};
  for (int x = 0; x < 10; ++x) {
    EXPECT_EQ(glyph->InkAt(x, 19), bottom[x]) << x;
    EXPECT_EQ(glyph->InkAt(x, 0), 1) << x;
    EXPECT_EQ(glyph->InkAt(x, 5), 0) << x;
  }
  // Coordinates need not start at 0; only the span counts.
  K3DSportSize offset;
  const std::vector<uint8_t> moved = Record('B', -3, 5, -2, 6, "qrst");
  EXPECT_EQ(offset.Parse(moved.data(), moved.size()), 1);
  EXPECT_EQ(offset.Find('B')->Width(), 2);
  EXPECT_EQ(offset.Find('B')->InkAt(0, 0), 3);
  EXPECT_EQ(offset.SpaceHeight(), 0);
}

TEST(K3DSportSize, DamageKeepsTheGlyphsBeforeIt) {
  const std::vector<uint8_t> good = Record('A', 0, 0, 1, 1, "qqqq");
  // A truncated record is dropped.
  std::vector<uint8_t> bytes = good + Record('B', 0, 0, 1, 1, "qq");
  K3DSportSize truncated;
  EXPECT_EQ(truncated.Parse(bytes.data(), bytes.size()), 1);
  EXPECT_EQ(truncated.Find('B'), nullptr);
  // A record of no width ends the file, whatever follows.
  bytes = good + Record('B', 5, 0, 4, 1, "") + Record('C', 0, 0, 0, 0, "q");
  K3DSportSize empty;
  EXPECT_EQ(empty.Parse(bytes.data(), bytes.size()), 1);
  EXPECT_EQ(empty.Find('C'), nullptr);
  // Huge coordinates in a short file: refused before anything is allocated.
  bytes = good + Record('D', -32768, -32768, 32767, 32767, "qqqq");
  K3DSportSize huge;
  EXPECT_EQ(huge.Parse(bytes.data(), bytes.size()), 1);
  // A header cut short.
  bytes = good;
  bytes.insert(bytes.end(), {'E', 0, 0});
  K3DSportSize header;
  EXPECT_EQ(header.Parse(bytes.data(), bytes.size()), 1);
}

TEST(K3DSportSize, TheTallNineLosesItsBottomRow) {
  K3DSportSize tall;
  std::vector<uint8_t> bytes = SizeFile(83);
  tall.Parse(bytes.data(), bytes.size());
  EXPECT_EQ(tall.Find('9')->InkAt(0, 82), 0);
  EXPECT_EQ(tall.Find('9')->InkAt(0, 81), 1);
  EXPECT_EQ(tall.Find('8')->InkAt(0, 82), 1);
  K3DSportSize other;
  bytes = SizeFile(40);
  other.Parse(bytes.data(), bytes.size());
  EXPECT_EQ(other.Find('9')->InkAt(0, 39), 1);
}

class K3DSportFontTest : public ::testing::Test {
 protected:
  K3DSportFontTest() {
    font = new K3DSportFont;
    fonts.Append(font);
  }
  K3DFonts fonts;
  K3DSportFont* font = nullptr;
};

TEST_F(K3DSportFontTest, SizesFromTheFilesOfAFolder) {
  TempDir dir;
  WriteFile(dir.File("big.fnt"), SizeFile(83));
  WriteFile(dir.File("mid.FNT"), SizeFile(40));
  WriteFile(dir.File("nospace.fnt"), Record('A', 0, 0, 0, 0, "q"));
  WriteFile(dir.File("notes.txt"), SizeFile(16));
  EXPECT_EQ(font->LoadDirectory(KString(dir.Path())), 2);
  EXPECT_EQ(font->SizeCount(), 2);
  EXPECT_EQ(font->SizeAt(0), 40);
  EXPECT_EQ(font->SizeAt(1), 83);
  EXPECT_EQ(font->SizeAt(2), 0);
  EXPECT_EQ(font->DefaultSize(), 83);
  EXPECT_TRUE(font->IsValidSize(40));
  EXPECT_FALSE(font->IsValidSize(41));
  EXPECT_TRUE(font->IsBitmapFont());
  // A third, smaller size: the second smallest is the default.
  WriteFile(dir.File("small.fnt"), SizeFile(16));
  K3DSportFont more;
  more.LoadDirectory(KString(dir.Path()));
  EXPECT_EQ(more.DefaultSize(), 40);
  K3DSportFont none;
  EXPECT_EQ(none.DefaultSize(), 0);
}

TEST(K3DSportFontInstall, ShippedFontsGoIntoAHomeWithoutAny) {
  TempDir shipped;
  TempDir home;
  WriteFile(shipped.File("a40.fnt"), SizeFile(40));
  WriteFile(shipped.File("b83.fnt"), SizeFile(83));
  EXPECT_EQ(K3DSportFont::InstallShipped(KString(shipped.Path()), KString(home.Path())), 2);
  K3DSportFont font;
  EXPECT_EQ(font.LoadDirectory(KString(home.Path())), 2);
  // A home with its own sport fonts keeps exactly those.
  TempDir own;
  WriteFile(own.File("mine.fnt"), SizeFile(16));
  EXPECT_EQ(K3DSportFont::InstallShipped(KString(shipped.Path()), KString(own.Path())), 0);
  K3DSportFont kept;
  EXPECT_EQ(kept.LoadDirectory(KString(own.Path())), 1);
}

TEST_F(K3DSportFontTest, InksTakeTheTextColours) {
  K3DFontInfo info;
  uint32_t inks[K3DSportGlyph::kInks];
  info.SetFaceColor(KColor::Palette(1));
  info.SetBorderColor(KColor::Palette(5));
  info.SetShadowColor(KColor::Palette(6));
  info.SetBackgroundColor(KColor::Palette(0));
  K3DSportFont::InkPixels(info, inks);
  EXPECT_EQ(inks[0], 0xFF000000u);  // a transparent background shows what is behind
  EXPECT_EQ(inks[1], 0x00FFFFFFu);
  EXPECT_EQ(inks[5], 0x00808080u);  // "u": the face darkened by four eighths
  EXPECT_EQ(inks[6], 0x00606060u);
  EXPECT_EQ(inks[7], 0x00FF0000u);
  EXPECT_EQ(inks[8], 0x0000FF00u);
}

TEST_F(K3DSportFontTest, GlyphsAndTheCommonDrawing) {
  TempDir dir;
  WriteFile(dir.File("s40.fnt"), SizeFile(40) + Record('u', 0, 0, 2, 39, std::string(120, 'u')));
  font->LoadDirectory(KString(dir.Path()));
  K3DFontInfo info;
  info.SetSize(40);
  info.SetFaceColor(KColor::Palette(1));
  info.SetBackgroundColor(KColor::Palette(7));
  const uint32_t* pixels = nullptr;
  K3DSize size;
  ASSERT_TRUE(font->Glyph(u'u', info, &pixels, size));
  EXPECT_EQ(size, (K3DSize{3, 40}));
  EXPECT_EQ(pixels[0], 0x00808080u);
  ASSERT_TRUE(font->Glyph(u' ', info, &pixels, size));
  EXPECT_EQ(pixels[0], 0x000000FFu);  // background ink in blue
  EXPECT_FALSE(font->Glyph(u'Z', info, nullptr, size));
  EXPECT_FALSE(font->Glyph(static_cast<char16_t>(0x100 + '9'), info, nullptr, size));
  // Width and shrinking have no effect, and every text goes character by character.
  info.SetWidth(50);
  info.SetShrinkToFit(true);
  info.SetTextModeOverride(2);
  KString text(u"98Z\u03A99");
  int width = 1000;
  EXPECT_TRUE(font->Fit(text, info, width));
  EXPECT_EQ(width, 6);
  EXPECT_EQ(text.Length(), 5);
  int blocks = 0;
  EXPECT_TRUE(font->Draw(
      text, info,
      +[](const uint32_t*, const KRect&, void* user) {
        ++*static_cast<int*>(user);
        return true;
      },
      &blocks));
  EXPECT_EQ(blocks, 3);
  // A layout stored with a size this machine lacks draws nothing.
  KMemoryStream stored;
  K3DFontInfo().Store(stored);
  std::vector<uint8_t> record = stored.Bytes();
  record[4] = 83;
  KMemoryStream missing(record);
  info.Load(missing);
  ASSERT_EQ(info.Size(), 83);
  EXPECT_FALSE(font->Draw(
      KString("98"), info, +[](const uint32_t*, const KRect&, void*) { return true; }, nullptr));
}

TEST(K3DSportFontMaker, MadeFilesLoadAsTheirSize) {
  K3DFonts fonts;
  auto* box =
      new K3DSystemFont(KString("Box"), std::string(TELVANE_TEST_DATA) + "/fonts/telvane-test.ttf");
  fonts.Append(box);
  std::vector<uint8_t> bytes;
  std::string error;
  ASSERT_TRUE(K3DSportFontMaker::Make(*box, 24, bytes, error)) << error;
  K3DSportSize size;
  EXPECT_GT(size.Parse(bytes.data(), bytes.size()), 30);
  EXPECT_EQ(size.SpaceHeight(), 24);
  EXPECT_EQ(size.Find('a'), nullptr);  // the font has no lower case
  // The same picture as the display draws, in inks: the 'I' block of the
  // system font test with face 1, border 7, shadow 8.
  const K3DSportGlyph* glyph = size.Find('I');
  ASSERT_NE(glyph, nullptr);
  EXPECT_EQ(glyph->Width(), 8);
  const std::string expected[] = {"........", "........", "777777..", "7111178.", "71111788"};
  for (int y = 0; y < 5; ++y) {
    std::string row;
    for (int x = 0; x < 8; ++x) {
      const int ink = glyph->InkAt(x, y);
      row += ink == 0 ? '.' : static_cast<char>('0' + ink);
    }
    EXPECT_EQ(row, expected[y]) << y;
  }
  // The digits keep one width in the made file too.
  EXPECT_EQ(size.Find('1')->Width(), size.Find('8')->Width());
  // Partly covered edge pixels fade through inks 2 to 6.
  EXPECT_EQ(K3DSportFontMaker::EdgeInk(255, 64), 1);
  EXPECT_EQ(K3DSportFontMaker::EdgeInk(64, 64), 6);
  EXPECT_EQ(K3DSportFontMaker::EdgeInk(160, 64), 3);
  EXPECT_FALSE(K3DSportFontMaker::Make(*box, 5, bytes, error));
}

}  // namespace
