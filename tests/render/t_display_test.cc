#include "render/t_display.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "render/k_3d_font_info.h"
#include "render/k_3d_fonts.h"
#include "render/k_3d_system_font.h"
#include "render/k_bitmap.h"
#include "tests/render/display_fixture.h"

namespace {

constexpr uint32_t kBlue = 0x000080;
constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kGreen = 0x00FF00;

TEST(TDisplayCache, SmallSizesBecomeTheMinimumAndWideAreasDrawInBands) {
  DisplayFixture f(1920, 100, {{u"\\Display\\CacheSize", 0}});
  EXPECT_EQ(f.display.CacheBytes(), 262144);
  FakeContent layout;
  f.display.SetLayout(&layout, -1);
  f.display.Redraw();
  ASSERT_EQ(layout.bands.size(), 3u);  // 34 + 34 + 32 rows
  EXPECT_EQ(layout.bands[0], (KRect{0, 0, 1919, 33}));
  EXPECT_EQ(layout.bands[1], (KRect{0, 34, 1919, 67}));
  EXPECT_EQ(layout.bands[2], (KRect{0, 68, 1919, 99}));
  EXPECT_EQ(f.surface.Pixel(1919, 99), kBlue);

  DisplayFixture huge(10, 10, {{u"\\Display\\CacheSize", 268435456}});
  EXPECT_EQ(huge.display.CacheBytes(), 268435456);
  DisplayFixture over(10, 10, {{u"\\Display\\CacheSize", 2147483647}});
  EXPECT_EQ(over.display.CacheBytes(), 268435456);
}

TEST(TDisplayCache, MemoryStaysWithinTheCacheWhateverTheWidth) {
  DisplayFixture f(16384, 40, {{u"\\Display\\Monitor", -1}});
  FakeContent layout;
  f.display.SetLayout(&layout, -1);
  f.display.Redraw();
  EXPECT_EQ(f.display.CacheBytes(), 1048576);
  // 1 MiB holds 16 rows of 16384 pixels.
  ASSERT_EQ(layout.bands.size(), 3u);
  EXPECT_EQ(layout.bands[0].Height(), 16);
}

TEST(TDisplayLayout, DelayedChangeKeepsTheOldPixelsUntilTheDeadlineOrAChange) {
  DisplayFixture f(64, 32);
  FakeContent a;
  a.background = KColor::Rgb(0, 0, 0x80);
  FakeContent b;
  b.background = KColor::Rgb(0xFF, 0, 0);
  f.display.SetLayout(&a, -1);
  EXPECT_EQ(f.surface.TakeRepaintRequests(), 1);
  f.display.Redraw();
  EXPECT_EQ(f.surface.Pixel(5, 5), kBlue);

  f.display.SetLayout(&b, 2000);
  f.AdvanceMs(1999);
  f.display.Tick();
  EXPECT_EQ(f.surface.Pixel(5, 5), kBlue);
  f.AdvanceMs(1);
  f.display.Tick();
  EXPECT_EQ(f.surface.Pixel(5, 5), kRed);
  EXPECT_FALSE(f.display.RedrawPending());

  // An object of the new layout changing early redraws all of it at once.
  f.display.SetLayout(&a, 2000);
  f.AdvanceMs(10);
  f.display.RedrawObject(&b, KRect{0, 0, 3, 3});  // not shown: ignored
  EXPECT_EQ(f.surface.Pixel(5, 5), kRed);
  f.display.RedrawObject(&a, KRect{0, 0, 3, 3});
  EXPECT_EQ(f.surface.Pixel(5, 5), kBlue);
  EXPECT_EQ(f.surface.Pixel(63, 31), kBlue);
}

TEST(TDisplayLayout, TheSameLayoutAgainDoesNothing) {
  DisplayFixture f(16, 16);
  FakeContent a;
  f.display.SetLayout(&a, -1);
  f.surface.TakeRepaintRequests();
  f.display.SetLayout(&a, 5000);
  EXPECT_FALSE(f.display.RedrawPending());
  EXPECT_EQ(f.surface.TakeRepaintRequests(), 0);
}

TEST(TDisplayLayout, OneObjectRedrawTouchesOnlyItsRectangleOnEveryScreen) {
  DisplayFixture f(200, 20, {{u"\\Display\\Screens", 2}});
  FakeContent layout;
  f.display.SetLayout(&layout, -1);
  f.display.Redraw();
  f.surface.TakeDirty();
  layout.boxes.push_back({KRect{10, 2, 19, 5}, kGreen});
  f.display.RedrawObject(&layout, KRect{10, 2, 19, 5});
  EXPECT_EQ(f.surface.Pixel(10, 2), kGreen);
  EXPECT_EQ(f.surface.Pixel(110, 2), kGreen);  // the second screen's copy
  EXPECT_EQ(f.surface.Pixel(20, 2), kBlue);
  EXPECT_EQ(f.surface.TakeDirty(), (KRect{10, 2, 119, 5}));
}

TEST(TDisplayPrimitives, KeysFormatsAndTheTransparentBackground) {
  DisplayFixture f(8, 4);
  FakeContent layout;
  layout.background = KColor::Palette(0);
  f.display.SetLayout(&layout, -1);
  f.display.Redraw();
  // Palette index 0 fills with the transparent pixel, which shows as black.
  EXPECT_EQ(f.surface.Pixel(0, 0), TDisplay::kTransparent);
  EXPECT_EQ(f.surface.ShownPixel(0, 0), 0u);

  // Outside a band the primitives do nothing.
  const uint32_t white = 0xFFFFFF;
  f.display.DrawPixels(KRect{0, 0, 0, 0}, &white, 32, KRect{0, 0, 0, 0}, TDisplay::kNoKey);
  EXPECT_FALSE(f.display.IsDrawing());

  struct Bitmap : FakeContent {
    void DrawBand(TDisplay& display, const KRect& band) override {
      // 3 × 2 pixels, 24-bit blue first, rows padded to 12 bytes: black,
      // red, white / green, black, blue.
      const uint8_t padded[] = {0, 0,   0, 0, 0, 255, 255, 255, 255, 9, 9, 9,
                                0, 255, 0, 0, 0, 0,   255, 0,   0,   9, 9, 9};
      display.DrawPixels(KRect{0, 0, 2, 1}, padded, 24, band, 0);
      const uint8_t packed[] = {0, 0, 0, 0, 0, 255, 255, 255, 255, 0, 255, 0, 0, 0, 0, 255, 0, 0};
      display.DrawPixels(KRect{4, 0, 6, 1}, packed, -24, band, TDisplay::kNoKey);
      const uint32_t words[] = {1, 2, 3, 4};
      display.DrawPixels(KRect{0, 2, 1, 3}, words, 16, band, TDisplay::kNoKey);  // unknown
      display.DrawPixels(KRect{0, 3, 3, 3}, words, -32, KRect{1, 3, 2, 3}, 3);
    }
  } bitmap;
  bitmap.background = KColor::Rgb(1, 1, 1);
  f.display.SetLayout(&bitmap, -1);
  f.display.Redraw();
  EXPECT_EQ(f.surface.Pixel(0, 0), 0x010101u);  // black is the key: background stays
  EXPECT_EQ(f.surface.Pixel(1, 0), kRed);
  EXPECT_EQ(f.surface.Pixel(2, 0), white);
  EXPECT_EQ(f.surface.Pixel(0, 1), kGreen);
  EXPECT_EQ(f.surface.Pixel(1, 1), 0x010101u);
  EXPECT_EQ(f.surface.Pixel(2, 1), 0x0000FFu);
  EXPECT_EQ(f.surface.Pixel(4, 0), 0u);  // key -1 copies black too
  EXPECT_EQ(f.surface.Pixel(6, 1), 0x0000FFu);
  EXPECT_EQ(f.surface.Pixel(0, 2), 0x010101u);
  EXPECT_EQ(f.surface.Pixel(0, 3), 0x010101u);  // clipped away
  EXPECT_EQ(f.surface.Pixel(1, 3), 2u);
  EXPECT_EQ(f.surface.Pixel(2, 3), 0x010101u);  // the key
}

TEST(TDisplayPrimitives, RotatedBandsLandWhereTheLayoutPointMaps) {
  DisplayFixture f(30, 20, {{u"\\Display\\Rotate", 1}});
  FakeContent layout;
  layout.boxes.push_back({KRect{0, 0, 0, 0}, kRed});
  layout.boxes.push_back({KRect{5, 2, 6, 2}, kGreen});
  f.display.SetLayout(&layout, -1);
  f.display.Redraw();
  EXPECT_EQ(f.surface.Pixel(0, 19), kRed);    // layout (0, 0)
  EXPECT_EQ(f.surface.Pixel(2, 14), kGreen);  // layout (5, 2)
  EXPECT_EQ(f.surface.Pixel(2, 13), kGreen);  // layout (6, 2)
  EXPECT_EQ(f.surface.Pixel(29, 0), kBlue);

  DisplayFixture r(30, 20, {{u"\\Display\\Rotate", 2}});
  r.display.SetLayout(&layout, -1);
  r.display.Redraw();
  EXPECT_EQ(r.surface.Pixel(29, 0), kRed);
  EXPECT_EQ(r.surface.Pixel(27, 5), kGreen);
  EXPECT_EQ(r.surface.Pixel(27, 6), kGreen);
}

TEST(TDisplayPrimitives, TheLogoIsDrawnIntoEveryBand) {
  DisplayFixture f(640, 480, {{u"\\Display\\CacheSize", 0}});
  std::vector<uint8_t> logo(176 * 52 * 3, 0);
  for (size_t i = 0; i < logo.size(); i += 3) logo[i + 2] = 0xFF;  // red
  f.display.SetLogo(logo);
  FakeContent layout;
  f.display.SetLayout(&layout, -1);
  f.display.Redraw();
  EXPECT_EQ(f.surface.Pixel(25, 403), kRed);
  EXPECT_EQ(f.surface.Pixel(200, 454), kRed);
  EXPECT_EQ(f.surface.Pixel(24, 403), kBlue);
  EXPECT_EQ(f.surface.Pixel(201, 454), kBlue);
  f.Set(u"\\Display\\Monitor", -1);
  f.Set(u"\\Display\\Height", 249);
  f.display.Redraw();
  EXPECT_EQ(f.surface.Pixel(25, 403), kBlue);
}

// Scrolling: the layout is a column pattern, so the column a window pixel
// shows can be read back.
struct Scroller : DisplayFixture {
  FakeContent layout;
  Scroller(int width, int height, std::initializer_list<std::pair<const char16_t*, int>> set)
      : DisplayFixture(width, height, set) {
    layout.pattern = true;
    display.SetLayout(&layout, -1);
    display.Redraw();
  }
  int ColumnAt(int x, int y = 0) const { return static_cast<int>(surface.Pixel(x, y) >> 8); }
  int RowAt(int x, int y) const { return static_cast<int>(surface.Pixel(x, y) & 0xFF); }
};

TEST(TDisplayScroll, TickerMovesLeftOneColumnPerStepAfterTheStartDelay) {
  Scroller s(640, 4, {{u"\\Display\\Scroll\\Mode", 1}});
  s.AdvanceMs(499);
  s.display.Tick();
  EXPECT_EQ(s.ColumnAt(0), 0);
  EXPECT_EQ(s.display.MillisecondsToNextWork(), 1);
  s.AdvanceMs(1);
  s.display.Tick();
  // One step: the content moved left and column 639 shows layout column 0.
  EXPECT_EQ(s.ColumnAt(0), 1);
  EXPECT_EQ(s.ColumnAt(638), 639);
  EXPECT_EQ(s.ColumnAt(639), 0);
  EXPECT_EQ(s.display.ScrollOffset(), 639);
  s.AdvanceMs(33);
  s.display.Tick();
  EXPECT_EQ(s.ColumnAt(639), 0);
  s.AdvanceMs(1);
  s.display.Tick();
  EXPECT_EQ(s.ColumnAt(639), 1);
  EXPECT_EQ(s.ColumnAt(0), 2);
  // After a whole turn the window is back where it started.
  for (int i = 0; i < 638; ++i) {
    s.AdvanceMs(34);
    s.display.Tick();
  }
  for (int x = 0; x < 640; x += 71) EXPECT_EQ(s.ColumnAt(x), x);
}

TEST(TDisplayScroll, NegativeStepsMoveRightAndLargeStepsAreHalved) {
  Scroller s(640, 2, {{u"\\Display\\Scroll\\Mode", 1}, {u"\\Display\\Scroll\\Step", -3}});
  s.AdvanceMs(500);
  s.display.Tick();
  EXPECT_EQ(s.ColumnAt(3), 0);
  EXPECT_EQ(s.ColumnAt(0), 637);
  EXPECT_EQ(s.ColumnAt(2), 639);
  EXPECT_EQ(s.ColumnAt(639), 636);

  Scroller big(640, 2, {{u"\\Display\\Scroll\\Mode", 1}, {u"\\Display\\Scroll\\Step", 1000}});
  big.AdvanceMs(500);
  big.display.Tick();
  EXPECT_EQ(big.display.ScrollOffset(), 320);
  EXPECT_EQ(big.ColumnAt(0), 320);
  EXPECT_EQ(big.ColumnAt(319), 639);
  EXPECT_EQ(big.ColumnAt(320), 0);
  EXPECT_EQ(big.ColumnAt(639), 319);
}

TEST(TDisplayScroll, PixelRotationCirculatesUpwardWithoutRedrawing) {
  Scroller s(8, 6, {{u"\\Display\\Scroll\\Mode", 4}, {u"\\Display\\Scroll\\Reset", 1}});
  const size_t drawn = s.layout.bands.size();
  s.AdvanceMs(500);
  s.display.Tick();
  EXPECT_EQ(s.RowAt(0, 0), 1);
  EXPECT_EQ(s.RowAt(0, 4), 5);
  EXPECT_EQ(s.RowAt(0, 5), 0);  // the top row went round to the bottom
  for (int i = 0; i < 5; ++i) {
    s.AdvanceMs(34);
    s.display.Tick();
  }
  for (int y = 0; y < 6; ++y) EXPECT_EQ(s.RowAt(3, y), y);
  EXPECT_EQ(s.layout.bands.size(), drawn);

  // Without Reset the same mode is a plain ticker.
  Scroller t(8, 6, {{u"\\Display\\Scroll\\Mode", 4}});
  t.AdvanceMs(500);
  t.display.Tick();
  EXPECT_EQ(t.ColumnAt(0), 1);
  EXPECT_EQ(t.ColumnAt(7), 0);
}

TEST(TDisplayScroll, WithResetAnUpdateReturnsToOffsetZeroAndWaitsForQuiet) {
  Scroller s(100, 2, {{u"\\Display\\Scroll\\Mode", 1}, {u"\\Display\\Scroll\\Reset", 1}});
  s.AdvanceMs(500);
  s.display.Tick();
  s.AdvanceMs(34);
  s.display.Tick();
  EXPECT_EQ(s.display.ScrollOffset(), 98);
  s.display.RedrawObject(&s.layout, KRect{0, 0, 9, 1});
  EXPECT_EQ(s.display.ScrollOffset(), 0);
  EXPECT_EQ(s.ColumnAt(0), 0);
  EXPECT_EQ(s.ColumnAt(99), 99);
  // Updates keep restarting the start delay.
  s.AdvanceMs(400);
  s.display.RedrawObject(&s.layout, KRect{0, 0, 9, 1});
  s.AdvanceMs(499);
  s.display.Tick();
  EXPECT_EQ(s.ColumnAt(0), 0);
  s.AdvanceMs(1);
  s.display.Tick();
  EXPECT_EQ(s.ColumnAt(0), 1);
}

TEST(TDisplayScroll, TwoScreensWrapAroundTheWindow) {
  Scroller s(1000, 2, {{u"\\Display\\Scroll\\Mode", 1}, {u"\\Display\\Screens", 2}});
  // 700 steps left is an offset of 300.
  s.AdvanceMs(500);
  s.display.Tick();
  for (int i = 1; i < 700; ++i) {
    s.AdvanceMs(34);
    s.display.Tick();
  }
  ASSERT_EQ(s.display.ScrollOffset(), 300);
  for (int x = 300; x < 800; x += 37) EXPECT_EQ(s.ColumnAt(x), x - 300) << x;
  for (int x = 800; x < 1000; x += 37) EXPECT_EQ(s.ColumnAt(x), x - 800) << x;
  for (int x = 0; x < 300; x += 37) EXPECT_EQ(s.ColumnAt(x), x + 200) << x;
  // A full redraw at that offset shows the same.
  s.display.DrawRegion(s.display.Geometry().ScreenRect(), -1);
  EXPECT_EQ(s.ColumnAt(300), 0);
  EXPECT_EQ(s.ColumnAt(0), 200);
  EXPECT_EQ(s.ColumnAt(999), 199);
}

TEST(TDisplayScroll, ExactCadenceKeepsTheAverageSpeed) {
  Scroller s(50, 2, {{u"\\Display\\Scroll\\Mode", 1}, {u"\\Display\\Optimize", 2}});
  s.AdvanceMs(500);
  s.display.Tick();
  // Ticks 40 ms apart: with the exact cadence every period still gives a
  // step, so 17 periods of 34 ms (578 ms) give 17 steps.
  int steps = 0;
  int last = s.display.ScrollOffset();
  for (int elapsed = 0; elapsed < 578; elapsed += 2) {
    s.AdvanceMs(2);
    s.display.Tick();
    if (s.display.ScrollOffset() != last) ++steps;
    last = s.display.ScrollOffset();
  }
  EXPECT_EQ(steps, 17);
}

}  // namespace

namespace {

// Text blocks drawn with the bundled box font, so every edge is known.
class TextBlock : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(K3DFonts::AddFontFile(kFont)); }
  void SetUp() override {
    fonts_.Append(new K3DSystemFont(KString("Box"), kFont));
    info_.SetFont(KString("Box"));
    info_.SetSize(40);
  }
  // The rows and columns holding anything but the background, found in `area`.
  static KRect Ink(const KMemorySurface& surface, const KRect& area, uint32_t background) {
    KRect ink{area.right + 1, area.bottom + 1, area.left - 1, area.top - 1};
    for (int y = area.top; y <= area.bottom; ++y) {
      for (int x = area.left; x <= area.right; ++x) {
        if (surface.Pixel(x, y) == background) continue;
        ink = KRect{std::min(ink.left, x), std::min(ink.top, y), std::max(ink.right, x),
                    std::max(ink.bottom, y)};
      }
    }
    return ink;
  }
  struct Block : FakeContent {
    const K3DFontInfo* info = nullptr;
    KRect rect;
    KString text;
    int justification = 0;
    int lines = 1;
    void DrawBand(TDisplay& display, const KRect&) override {
      display.DrawTextBlock(*info, rect, text, justification, lines);
    }
  };
  Block Make(const KRect& rect, const char* text, int justification, int lines) {
    Block block;
    block.info = &info_;
    block.rect = rect;
    block.text = KString(text);
    block.justification = justification;
    block.lines = lines;
    return block;
  }

  static inline const std::string kFont =
      std::string(TELVANE_TEST_DATA) + "/fonts/telvane-test.ttf";
  K3DFonts fonts_;
  K3DFontInfo info_;
};

TEST_F(TextBlock, ThreeLinesSpreadOverTheRectangleBreakingAtSpaces) {
  DisplayFixture f(300, 150);
  Block block = Make(KRect{0, 0, 299, 149}, "W W W", 0, 3);
  // Only one W fits a line of 60 pixels, so each line takes one word.
  block.rect.right = 59;
  f.display.SetLayout(&block, -1);
  f.display.Redraw();
  const KRect first = Ink(f.surface, KRect{0, 0, 299, 54}, kBlue);
  const KRect second = Ink(f.surface, KRect{0, 55, 299, 109}, kBlue);
  const KRect third = Ink(f.surface, KRect{0, 110, 299, 149}, kBlue);
  ASSERT_FALSE(first.IsEmpty());
  // Line tops 0, 55 and 110: the same glyph lands 55 rows lower each time.
  EXPECT_EQ(second.top - first.top, 55);
  EXPECT_EQ(third.top - second.top, 55);
  EXPECT_EQ(second.left, first.left);
}

TEST_F(TextBlock, JustificationPlacesTheFittedWidth) {
  int lefts[3] = {};
  int widths[3] = {};
  for (int justification = 0; justification < 3; ++justification) {
    DisplayFixture f(200, 40);
    Block block = Make(KRect{0, 0, 199, 39}, "II", justification, 1);
    f.display.SetLayout(&block, -1);
    f.display.Redraw();
    const KRect ink = Ink(f.surface, KRect{0, 0, 199, 39}, kBlue);
    ASSERT_FALSE(ink.IsEmpty());
    lefts[justification] = ink.left;
    widths[justification] = ink.Width();
  }
  EXPECT_EQ(widths[0], widths[1]);
  EXPECT_EQ(widths[1], widths[2]);
  EXPECT_GT(lefts[1], lefts[0]);
  EXPECT_GT(lefts[2], lefts[1]);
  // Centred text leaves equal room on both sides, to a pixel.
  const int rightRoom = 199 - (lefts[2] + widths[2] - 1);
  EXPECT_NEAR(lefts[1] - lefts[0], (lefts[2] - lefts[0]) / 2, 1);
  EXPECT_GE(rightRoom, 0);
}

TEST_F(TextBlock, GlyphsAreClippedToTheBandNotTheRectangle) {
  DisplayFixture f(200, 60);
  // A rectangle too narrow for its text still shows what was fitted, and
  // the blocks may reach below the rectangle.
  Block block = Make(KRect{10, 0, 199, 9}, "W", 0, 1);
  f.display.SetLayout(&block, -1);
  f.display.Redraw();
  const KRect ink = Ink(f.surface, KRect{0, 0, 199, 59}, kBlue);
  ASSERT_FALSE(ink.IsEmpty());
  EXPECT_GT(ink.bottom, 9);
  EXPECT_GE(ink.left, 10);
  // Outside a band nothing is drawn.
  f.display.DrawTextBlock(info_, KRect{0, 0, 199, 59}, KString("W"), 0, 1);
}

TEST_F(TextBlock, NoLinesOrNoFontDrawsNothing) {
  DisplayFixture f(100, 40);
  Block block = Make(KRect{0, 0, 99, 39}, "II", 0, 0);
  f.display.SetLayout(&block, -1);
  f.display.Redraw();
  EXPECT_TRUE(Ink(f.surface, KRect{0, 0, 99, 39}, kBlue).IsEmpty());
  block.lines = 1;
  info_.SetFont(KString("No Such Font Anywhere"));
  f.display.Redraw();
  EXPECT_TRUE(Ink(f.surface, KRect{0, 0, 99, 39}, kBlue).IsEmpty());
}

}  // namespace

namespace {

// A bitmap of columns 1, 2, 3, ... in the red channel, black where asked.
std::unique_ptr<KBitmap> Columns(int width, int height, uint32_t format, int blackColumn = -1) {
  auto bitmap = std::make_unique<KBitmap>(format);
  EXPECT_TRUE(bitmap->Resize(width, height));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      bitmap->SetPixel(x, y, x == blackColumn ? 0 : static_cast<uint8_t>(x + 1), 0, 0);
    }
  }
  return bitmap;
}

struct Picture : FakeContent {
  const KBitmap* bitmap = nullptr;
  KRect rect;
  int key = -1;
  void DrawBand(TDisplay& display, const KRect&) override { display.DrawBitmap(rect, bitmap, key); }
};

TEST(TDisplayBitmap, ALargerBitmapIsCentredAndCutEvenly) {
  for (const uint32_t format :
       {uint32_t{KBitmap::kDisplayFormat}, uint32_t{KBitmap::kDepth24 | KBitmap::kAlign1},
        uint32_t{KBitmap::kDepth32 | KBitmap::kAlign4}}) {
    DisplayFixture f(40, 10);
    auto bitmap = Columns(30, 4, format);
    Picture picture;
    picture.bitmap = bitmap.get();
    picture.rect = KRect{5, 2, 24, 5};  // 20 wide: 5 columns go on each side
    f.display.SetLayout(&picture, -1);
    f.display.Redraw();
    EXPECT_EQ(f.surface.Pixel(4, 2), kBlue) << format;
    EXPECT_EQ(f.surface.Pixel(5, 2), 6u << 16) << format;
    EXPECT_EQ(f.surface.Pixel(24, 5), 25u << 16) << format;
    EXPECT_EQ(f.surface.Pixel(25, 5), kBlue) << format;
    EXPECT_EQ(f.surface.Pixel(5, 6), kBlue) << format;
  }
}

TEST(TDisplayBitmap, KeyZeroLeavesBlackOutAndSmallBitmapsSitInTheMiddle) {
  DisplayFixture f(20, 10);
  auto bitmap = Columns(4, 2, KBitmap::kDisplayFormat, 1);
  Picture picture;
  picture.bitmap = bitmap.get();
  picture.rect = KRect{0, 0, 9, 5};  // (10 - 4) / 2 = 3 across, (6 - 2) / 2 = 2 down
  picture.key = 0;
  f.display.SetLayout(&picture, -1);
  f.display.Redraw();
  EXPECT_EQ(f.surface.Pixel(3, 2), 1u << 16);
  EXPECT_EQ(f.surface.Pixel(4, 2), kBlue);  // black: transparent
  EXPECT_EQ(f.surface.Pixel(5, 3), 3u << 16);
  EXPECT_EQ(f.surface.Pixel(3, 1), kBlue);
  picture.key = -1;
  f.display.Redraw();
  EXPECT_EQ(f.surface.Pixel(4, 2), 0u);  // opaque: black shows
  // No bitmap, or one without pixels, draws nothing.
  KBitmap empty;
  picture.bitmap = &empty;
  f.display.Redraw();
  EXPECT_EQ(f.surface.Pixel(4, 2), kBlue);
}

}  // namespace
