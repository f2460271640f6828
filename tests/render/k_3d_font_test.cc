// Fitting, measuring and drawing shared by all fonts, and the optimize
// record, over a font whose block widths are known.
#include "render/k_3d_font.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/k_3d_font_optimize.h"
#include "render/k_3d_fonts.h"
#include "render/k_color_table.h"

namespace {

// Digits 10 wide, ':' and '.' 4, other characters 8, 'x' has no glyph;
// the whole string as one block is 7 per character.
class TableFont : public K3DFont {
 public:
  TableFont() : K3DFont(KString("Table")) {}

  static int WidthOf(char16_t ch) {
    if (ch >= u'0' && ch <= u'9') return 10;
    if (ch == u':' || ch == u'.') return 4;
    return 8;
  }
  bool Glyph(char16_t ch, const K3DFontInfo&, const uint32_t** pixels, K3DSize& size) override {
    ++glyphCalls;
    if (ch == u'x') return false;
    size = K3DSize{WidthOf(ch), 20};
    if (pixels != nullptr) {
      ++rendered;
      drawn += ch;
      buffer.assign(static_cast<size_t>(size.width) * size.height, ch);
      *pixels = buffer.data();
    }
    return true;
  }
  bool StringGlyph(const KString& text, const K3DFontInfo&, const uint32_t** pixels,
                   K3DSize& size) override {
    ++measuredStrings;
    size = K3DSize{7 * text.Length(), 30};
    if (pixels != nullptr) {
      buffer.assign(static_cast<size_t>(size.width) * size.height, 1);
      *pixels = buffer.data();
    }
    return true;
  }

  int glyphCalls = 0;
  int rendered = 0;
  int measuredStrings = 0;
  std::u16string drawn;
  std::vector<uint32_t> buffer;
};

struct Blocks {
  std::vector<KRect> rects;
  // The characters handed over: a TableFont block is filled with its code.
  std::u16string characters;
  int stopAfter = -1;
};

bool Collect(const uint32_t* pixels, const KRect& rect, void* user) {
  auto& blocks = *static_cast<Blocks*>(user);
  blocks.rects.push_back(rect);
  blocks.characters += static_cast<char16_t>(pixels[0]);
  return blocks.stopAfter < 0 || static_cast<int>(blocks.rects.size()) < blocks.stopAfter;
}

class K3DFontTest : public ::testing::Test {
 protected:
  K3DFontTest() {
    font = new TableFont;
    fonts.Append(font);
    info.SetFont(KString("Table"));
    info.SetTextModeOverride(0);
  }

  // One redraw of a clock slot: the caller clears the flags, fits and draws.
  std::u16string Redraw(const char* text, int available, K3DFontOptimize* record) {
    if (record) record->ClearFlags();
    KString fitted(text);
    int width = available;
    EXPECT_TRUE(font->Fit(fitted, info, width, record));
    Blocks blocks;
    font->Draw(fitted, info, Collect, &blocks, record);
    return blocks.characters;
  }

  K3DFonts fonts;
  TableFont* font = nullptr;
  K3DFontInfo info;
};

TEST_F(K3DFontTest, CharacterFitCutsBeforeTheFirstBlockThatOverflows) {
  // 12:34.5 is 10 10 4 10 10 4 10; four blocks make 34.
  KString text("12:34.5");
  int width = 43;
  EXPECT_TRUE(font->Fit(text, info, width));
  EXPECT_EQ(text, KString("12:3"));
  EXPECT_EQ(width, 34);
  // A character without a glyph adds nothing and does not stop the fit.
  text = "1x2";
  width = 100;
  EXPECT_TRUE(font->Fit(text, info, width));
  EXPECT_EQ(text, KString("1x2"));
  EXPECT_EQ(width, 20);
  text = "xx";
  width = 100;
  EXPECT_FALSE(font->Fit(text, info, width));
  // Nothing to fit, or no room: the empty text, width 0, success.
  text = "12";
  width = 0;
  EXPECT_TRUE(font->Fit(text, info, width));
  EXPECT_TRUE(text.IsEmpty());
  EXPECT_EQ(width, 0);
}

TEST_F(K3DFontTest, FullStringFitSearchesTheLongestPrefix) {
  info.SetTextModeOverride(2);
  KString text("ABCDEFGHIJ");  // 70 wide
  int width = 40;
  EXPECT_TRUE(font->Fit(text, info, width));
  EXPECT_EQ(text, KString("ABCDE"));
  EXPECT_EQ(width, 35);
  text = "AB";
  width = 40;
  EXPECT_TRUE(font->Fit(text, info, width));
  EXPECT_EQ(width, 14);
  text = "ABC";
  width = 5;
  EXPECT_TRUE(font->Fit(text, info, width));
  EXPECT_TRUE(text.IsEmpty());
  EXPECT_EQ(width, 0);
}

TEST_F(K3DFontTest, TextModeChoosesBlocks) {
  Blocks blocks;
  info.SetTextModeOverride(1);
  // Auto: a character above 255 makes one block for the whole text.
  EXPECT_TRUE(font->Draw(KString(u"A\u03A9B"), info, Collect, &blocks));
  ASSERT_EQ(blocks.rects.size(), 1u);
  EXPECT_EQ(blocks.rects[0], KRect::FromSize(0, 0, 21, 30));
  blocks.rects.clear();
  EXPECT_TRUE(font->Draw(KString(u"A\u00E9B"), info, Collect, &blocks));
  ASSERT_EQ(blocks.rects.size(), 3u);
  EXPECT_EQ(blocks.rects[1], KRect::FromSize(8, 0, 8, 20));
  EXPECT_EQ(blocks.rects[2], KRect::FromSize(16, 0, 8, 20));
  // Without an override the setting decides; without a list's settings it is 0.
  info.SetTextModeOverride(-1);
  EXPECT_FALSE(font->UseFullString(KString(u"\u03A9"), info));
  info.SetTextModeOverride(2);
  EXPECT_TRUE(font->UseFullString(KString("A"), info));

  K3DSize size;
  EXPECT_TRUE(font->Measure(KString("AB"), info, size));
  EXPECT_EQ(size, (K3DSize{14, 30}));
  info.SetTextModeOverride(0);
  EXPECT_TRUE(font->Measure(KString("1:x"), info, size));
  EXPECT_EQ(size, (K3DSize{14, 20}));
  EXPECT_TRUE(font->Measure(KString(), info, size));
  EXPECT_EQ(size, (K3DSize{0, 0}));
}

TEST_F(K3DFontTest, SinkStopsTheWalk) {
  Blocks blocks;
  blocks.stopAfter = 2;
  EXPECT_TRUE(font->Draw(KString("1234"), info, Collect, &blocks));
  EXPECT_EQ(blocks.rects.size(), 2u);
  // An empty text is done at once.
  EXPECT_TRUE(font->Draw(KString(), info, Collect, &blocks));
  EXPECT_EQ(blocks.rects.size(), 2u);
}

TEST_F(K3DFontTest, OptimizeRecordSkipsAnUnchangedText) {
  K3DFontOptimize record;
  EXPECT_EQ(Redraw("1:23.45", 200, &record), u"1:23.45");
  EXPECT_FALSE(record.hit);
  EXPECT_EQ(Redraw("1:23.45", 200, &record), u"");
  EXPECT_TRUE(record.hit);
  // The cut and the width come back from the record.
  record.ClearFlags();
  KString text("1:23.45");
  int width = 200;
  const int calls = font->glyphCalls;
  EXPECT_TRUE(font->Fit(text, info, width, &record));
  EXPECT_EQ(width, 58);
  EXPECT_EQ(font->glyphCalls, calls);  // nothing measured again
}

TEST_F(K3DFontTest, OptimizeRecordRedrawsOnlyChangedCharacters) {
  K3DFontOptimize record;
  Redraw("1:23.45", 200, &record);
  EXPECT_EQ(Redraw("1:23.46", 200, &record), u"6");
  EXPECT_TRUE(record.partialHit);
  // Digits stand for each other: another digit anywhere is a partial hit.
  EXPECT_EQ(Redraw("1:29.56", 200, &record), u"95");
  EXPECT_TRUE(record.partialHit);
  // The blocks land where the full drawing puts them.
  record.ClearFlags();
  KString text("1:29.57");
  int width = 200;
  ASSERT_TRUE(font->Fit(text, info, width, &record));
  Blocks blocks;
  font->Draw(text, info, Collect, &blocks, &record);
  ASSERT_EQ(blocks.rects.size(), 1u);
  EXPECT_EQ(blocks.rects[0], KRect::FromSize(48, 0, 10, 20));
  // A ':' where a digit was changes the widths: drawn from scratch.
  EXPECT_EQ(Redraw("1:2:.57", 200, &record), u"1:2:.57");
  EXPECT_FALSE(record.partialHit);
}

TEST_F(K3DFontTest, OptimizeRecordAppliesOnlyToTheSameSlot) {
  K3DFontOptimize record;
  Redraw("12.3", 200, &record);
  EXPECT_EQ(Redraw("12.34", 200, &record), u"12.34");  // another length
  EXPECT_EQ(Redraw("12.35", 100, &record), u"12.35");  // another available width
  const K3DFontInfo saved = info;
  info.SetFaceColor(KColor::Palette(5));  // another description
  EXPECT_EQ(Redraw("12.36", 100, &record), u"12.36");
  info = saved;
  EXPECT_EQ(Redraw("12.37", 100, &record), u"12.37");
  EXPECT_EQ(Redraw("12.38", 100, &record), u"8");
}

TEST_F(K3DFontTest, OptimizeRecordChecksTheCharacterAtTheCut) {
  K3DFontOptimize record;
  // 30 holds "12:" plus 12 pixels: the '3' is cut off.
  EXPECT_EQ(Redraw("12:34", 30, &record), u"12:");
  // Another digit at the cut still does not fit: partial hit.
  EXPECT_EQ(Redraw("12:94", 30, &record), u"");
  EXPECT_TRUE(record.partialHit);
  // A '.' at the cut (4 wide) would fit now: fitted again.
  EXPECT_EQ(Redraw("12:.4", 30, &record), u"12:.");
  EXPECT_FALSE(record.partialHit);
}

TEST_F(K3DFontTest, OptimizeEntriesDroppedWhenDrawingStopsOrTextIsLong) {
  K3DFontOptimize record;
  record.ClearFlags();
  KString text("1234");
  int width = 200;
  font->Fit(text, info, width, &record);
  Blocks blocks;
  blocks.stopAfter = 1;
  font->Draw(text, info, Collect, &blocks, &record);
  EXPECT_FALSE(record.EntriesValid());
  // Without valid entries a changed text is drawn in full.
  EXPECT_EQ(Redraw("1235", 200, &record), u"1235");
  // Beyond 64 characters the entries are not used at all.
  const std::string longText(70, '7');
  Redraw(longText.c_str(), 1000, &record);
  std::string changed = longText;
  changed[0] = '8';
  EXPECT_EQ(Redraw(changed.c_str(), 1000, &record).size(), 70u);
}

}  // namespace

namespace {

TEST_F(K3DFontTest, BlocksAreMadeOnceUntilAnythingTheyDependOnChanges) {
  Blocks blocks;
  ASSERT_TRUE(font->Draw(KString("1:23"), info, Collect, &blocks));
  EXPECT_EQ(font->rendered, 4);
  // The same characters again come from the cache, pixels and all.
  ASSERT_TRUE(font->Draw(KString("3:21"), info, Collect, &blocks));
  EXPECT_EQ(font->rendered, 4);
  EXPECT_EQ(blocks.characters, u"1:233:21");
  // Another colour, size or width makes new blocks.
  K3DFontInfo red = info;
  red.SetFaceColor(KColor::Palette(5));
  font->Draw(KString("1"), red, Collect, &blocks);
  EXPECT_EQ(font->rendered, 5);
  K3DFontInfo narrow = info;
  narrow.SetWidth(50);
  font->Draw(KString("1"), narrow, Collect, &blocks);
  EXPECT_EQ(font->rendered, 6);
  // So does a new colour table entry behind the same palette index.
  const KColorTable::Rgb before = KColorTable::Entry(5);
  KColorTable::SetEntry(5, KColorTable::Rgb{1, 2, 3});
  font->Draw(KString("1"), red, Collect, &blocks);
  EXPECT_EQ(font->rendered, 7);
  KColorTable::SetEntry(5, before);
  // Sizes asked for by fitting are kept too.
  KString text("1:23");
  int width = 200;
  const int calls = font->glyphCalls;
  ASSERT_TRUE(font->Fit(text, info, width));
  EXPECT_EQ(font->glyphCalls, calls);
  EXPECT_GT(fonts.GlyphCache().Entries(), 0u);
}

}  // namespace
