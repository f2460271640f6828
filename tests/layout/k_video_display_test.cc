#include "layout/k_video_display.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/k_buffered_file.h"
#include "render/k_bitmap.h"
#include "tests/base/temp_dir.h"
#include "tests/layout/video_display_fixture.h"

namespace {

using KVideoDisplayTest = VideoDisplayTest;
using Window = KVideoDisplay::Window;

// Pixels of `rect` on the drawn canvas that differ from `pixel`.
int Differing(const KVideoDisplay& display, const KRect& rect, uint32_t pixel) {
  int count = 0;
  for (int y = rect.top; y <= rect.bottom; ++y) {
    for (int x = rect.left; x <= rect.right; ++x) count += display.PixelAt(x, y) != pixel;
  }
  return count;
}

void ExpectWindow(const KVideoDisplay& display, int left, int top) {
  const Window& window = display.CurrentWindow();
  EXPECT_EQ(window.left, left);
  EXPECT_EQ(window.top, top);
  EXPECT_EQ(window.right, KVideoDisplay::kUnset);
  EXPECT_EQ(window.bottom, KVideoDisplay::kUnset);
}

TEST_F(KVideoDisplayTest, CellsShareOutTheExtraPixelsToTheFirstColumns) {
  KVideoDisplay display;
  ASSERT_TRUE(display.SetCanvas(640, 480, 0));
  ASSERT_TRUE(display.Feed(Commands({"LayoutSetup=10,5"})));
  EXPECT_EQ(display.CellWidth(), 64);
  EXPECT_EQ(display.CellHeight(), 96);
  EXPECT_EQ(display.ExtraWidth(), 0);
  EXPECT_EQ(display.WindowRect(Window{9, 4, 9, 4}), (KRect{576, 384, 639, 479}));

  ASSERT_TRUE(display.SetCanvas(645, 481, 0));
  // The grid stays until the next LayoutSetup.
  EXPECT_EQ(display.ExtraWidth(), 0);
  display.Feed(Commands({"LayoutSetup=10,5"}));
  EXPECT_EQ(display.CellWidth(), 64);
  EXPECT_EQ(display.ExtraWidth(), 5);
  EXPECT_EQ(display.ExtraHeight(), 1);
  for (int column = 0; column < 5; ++column) {
    const KRect cell = display.WindowRect(Window{column, 0, column, 0});
    EXPECT_EQ(cell.left, column * 65);
    EXPECT_EQ(cell.Width(), 65);
  }
  EXPECT_EQ(display.WindowRect(Window{5, 0, 5, 0}), (KRect{325, 0, 388, 95}));
  EXPECT_EQ(display.WindowRect(Window{0, 0, 9, 0}).right, 644);
  // The extra row at the bottom is never used.
  EXPECT_EQ(display.WindowRect(Window{0, 4, 0, 4}).bottom, 479);
  EXPECT_EQ(display.WindowRect(Window{3, 1, 5, 2}), (KRect{195, 96, 388, 287}));
}

TEST_F(KVideoDisplayTest, LayoutSetupClampsAndReadsCNumbers) {
  KVideoDisplay display;
  display.SetCanvas(640, 480, 0);
  display.Feed(Commands({"LayoutSetup=1000,0"}));
  EXPECT_EQ(display.Columns(), 640);
  EXPECT_EQ(display.Rows(), 1);
  display.Feed(Commands({"layoutsetup=0x10,010"}));
  EXPECT_EQ(display.Columns(), 16);
  EXPECT_EQ(display.Rows(), 8);
  // An unreadable argument leaves its setting (and those after it) alone.
  display.Feed(Commands({"LayoutSetup=4x,2", "LayoutSetup= 4,2", "LayoutSetup=4,2x"}));
  EXPECT_EQ(display.Columns(), 4);
  EXPECT_EQ(display.Rows(), 8);
  EXPECT_EQ(display.CellHeight(), 60);
  // Unknown names and names with more to them are ignored.
  display.Feed(Commands({"LayoutSetupX=2,2", "Layout=2,2"}));
  EXPECT_EQ(display.Columns(), 4);
}

TEST_F(KVideoDisplayTest, CommandsAreFramedAcrossPackets) {
  KVideoDisplay display;
  display.SetCanvas(640, 480, 0);
  // Without DC2 nothing is a command; a DC4 outside a command is ignored.
  display.Feed(u"LayoutSetup=4,2\x14");
  EXPECT_EQ(display.Columns(), 1);
  display.Feed(u"\x12Layout");
  display.Feed(u"Setup=4");
  EXPECT_EQ(display.Columns(), 1);
  display.Feed(u",2\x14\x14");
  EXPECT_EQ(display.Columns(), 4);
  EXPECT_EQ(display.Rows(), 2);
  // A new DC2 drops the command begun before it.
  display.Feed(u"\x12LayoutSetup=8\x12LayoutSetup=5,5\x14");
  EXPECT_EQ(display.Columns(), 5);
  // "=" inside the argument belongs to it: the text is three characters.
  display.Feed(Commands({"TextDraw=a=b"}));
  ExpectWindow(display, 3, 0);
}

TEST_F(KVideoDisplayTest, TheArgumentKeepsItsFirst255Characters) {
  KVideoDisplay display;
  display.SetCanvas(640, 480, 0);
  display.Feed(Commands({"LayoutSetup=640,1"}));
  const std::string text = "TextDraw=" + std::string(300, 'x');
  display.Feed(Commands({text.c_str()}));
  ExpectWindow(display, 255, 0);
}

TEST_F(KVideoDisplayTest, TextDrawCoversItsCellsAndAdvances) {
  KVideoDisplay display;
  display.SetCanvas(640, 480, 0);
  display.Feed(Commands({"LayoutSetup=10,5", "LayoutBackColor=Blue", "FontName=Box",
                         "FontBorderColor=Red", "FontShadowColor=Green", "TextDraw=ABC"}));
  ExpectWindow(display, 3, 0);
  // Columns 0 to 2 of row 0 are drawn all over (no pixel left at 0); the
  // rest of the canvas is untouched.
  EXPECT_EQ(Differing(display, KRect{0, 0, 191, 95}, 0), 192 * 96);
  EXPECT_EQ(Differing(display, KRect{192, 0, 639, 479}, 0), 0);
  EXPECT_EQ(Differing(display, KRect{0, 96, 191, 479}, 0), 0);
}

TEST_F(KVideoDisplayTest, WindowsWrapToTheNextRow) {
  KVideoDisplay display;
  display.SetCanvas(120, 48, 0);
  display.Feed(Commands({"LayoutSetup=10,2", "FontName=Box", "Blank=8,1"}));
  ExpectWindow(display, 8, 0);
  display.Feed(Commands({"TextDraw=II"}));
  ExpectWindow(display, 0, 1);
  display.Feed(Commands({"TextDraw=I"}));
  EXPECT_EQ(display.PixelAt(3, 24 + 3), kWhite);
  // A blank without a size is one cell; a window placed by TextSetup keeps
  // what it was not given.
  display.Feed(Commands({"Blank"}));
  ExpectWindow(display, 2, 1);
  display.Feed(Commands({"TextSetup=2,1,5,0"}));
  EXPECT_EQ(display.CurrentWindow().left, 5);
  EXPECT_EQ(display.CurrentWindow().right, 6);
  EXPECT_EQ(display.CurrentWindow().top, 0);
  EXPECT_EQ(display.CurrentWindow().bottom, 0);
  display.Feed(Commands({"TextSetup=-1,-1,3"}));
  EXPECT_EQ(display.CurrentWindow().left, 3);
  EXPECT_EQ(display.CurrentWindow().right, 6);
}

TEST_F(KVideoDisplayTest, TextPixelsWithMarginsAndBackground) {
  KVideoDisplay display;
  display.SetCanvas(240, 48, 0);
  display.Feed(
      Commands({"LayoutSetup=20,2", "LayoutBackColor=Blue", "FontName=Box", "TextDraw=I"}));
  // The 8 × 24 block of "I" between the two margins of 2; its transparent
  // background, and the margins, take the layout's blue.
  const std::vector<std::string> block = {
      "........", "........", "BBBBBB..", "BFFFFBS.", "BFFFFBSS", "BFFFFBSS",
      "BFFFFBSS", "BFFFFBSS", "BFFFFBSS", "BFFFFBSS", "BFFFFBSS", "BFFFFBSS",
      "BFFFFBSS", "BFFFFBSS", "BFFFFBSS", "BFFFFBSS", "BFFFFBSS", "BBBBBBSS",
      ".SSSSSSS", "..SSSSSS", "........", "........", "........", "........"};
  for (int y = 0; y < 24; ++y) {
    const std::string row = ".." + block[static_cast<size_t>(y)] + "..";
    for (int x = 0; x < 12; ++x) {
      const char kind = row[static_cast<size_t>(x)];
      const uint32_t expected = kind == 'F' ? kWhite : kind == '.' ? kBlue : kBlack;
      EXPECT_EQ(display.PixelAt(x, y), expected) << x << "," << y;
    }
  }
  EXPECT_EQ(Differing(display, KRect{12, 0, 239, 47}, 0), 0);
}

TEST_F(KVideoDisplayTest, JustificationBelongsToTheTemporarySetup) {
  KVideoDisplay display;
  display.SetCanvas(240, 48, 0);
  display.Feed(
      Commands({"LayoutSetup=20,2", "LayoutBackColor=Blue", "FontName=Box", "FontFaceColor=Yellow",
                "TextSetup=3,1,0,1", "TextJustify=Right", "TextDraw=I"}));
  // 36 pixels less the margins leave 32 for a block of 8: the slack of 24
  // goes to the left margin.
  EXPECT_EQ(display.PixelAt(27, 27), kYellow);
  EXPECT_EQ(display.PixelAt(26, 27), kBlack);
  EXPECT_EQ(Differing(display, KRect{0, 24, 25, 47}, kBlue), 0);
  EXPECT_EQ(display.PixelAt(33, 30), kBlack);  // shadow
  EXPECT_EQ(Differing(display, KRect{34, 24, 35, 47}, kBlue), 0);
  EXPECT_EQ(display.CurrentText().justification, KVideoDisplay::kLeft);
  EXPECT_EQ(display.CurrentText().font.FaceColor(), KColor::Palette(10));
  // Back on the base setup: left-justified in the next cell.
  display.Feed(Commands({"TextDraw=I"}));
  EXPECT_EQ(display.PixelAt(36 + 3, 27), kYellow);
  // Centred: half the slack on each side.
  display.Feed(Commands({"TextSetup=3,1,0,0", "TextJustify=Center", "TextDraw=I"}));
  EXPECT_EQ(display.PixelAt(14 + 1, 3), kYellow);
  EXPECT_EQ(display.PixelAt(14, 3), kBlack);
  EXPECT_EQ(display.PixelAt(13, 3), kBlue);
  // A window reaching past the canvas is cut to it: the text still ends at
  // the right margin on the board.
  display.Feed(Commands({"TextSetup=4,1,18,0", "TextJustify=Right", "TextDraw=I"}));
  EXPECT_EQ(display.PixelAt(231, 3), kYellow);
  EXPECT_EQ(display.PixelAt(230, 3), kBlack);
  EXPECT_EQ(display.PixelAt(239, 3), kBlue);
}

TEST_F(KVideoDisplayTest, MarginsAndBackgroundFill) {
  KVideoDisplay display;
  display.SetCanvas(240, 48, 0);
  display.Feed(Commands({"LayoutSetup=20,2", "FontName=Box", "FontBackColor=Green",
                         "TextMargins=-1,5", "TextSetup=3,1,0,0", "TextDraw=I"}));
  EXPECT_EQ(display.BaseText().leftMargin, 2);
  EXPECT_EQ(display.BaseText().rightMargin, 5);
  EXPECT_EQ(Differing(display, KRect{0, 0, 1, 23}, kGreen), 0);
  EXPECT_EQ(Differing(display, KRect{10, 0, 35, 23}, kGreen), 0);
  EXPECT_EQ(display.PixelAt(2, 0), kGreen);  // the block's own background
  // Margins wider than the window are cut to it: nothing fits, all is fill.
  display.Feed(
      Commands({"TextMargins=40,40", "TextSetup=1,1,0,1", "FontBackColor=Red", "TextDraw=I"}));
  EXPECT_EQ(Differing(display, KRect{0, 24, 11, 47}, kRed), 0);
  // With both the font's and the layout's background transparent, nothing
  // is filled and the glyph leaves what was there.
  display.Feed(Commands({"LayoutBackColor=Background", "TextMargins=2,2", "TextSetup=1,1,0,1",
                         "FontBackColor=Background", "TextDraw=I"}));
  EXPECT_EQ(display.PixelAt(0, 24), kRed);
  EXPECT_EQ(display.PixelAt(3, 27), kWhite);
  EXPECT_EQ(display.PixelAt(10, 24), kRed);
}

TEST_F(KVideoDisplayTest, FontCommandsChangeTheCurrentSetup) {
  KVideoDisplay display;
  display.SetCanvas(240, 48, 0);
  display.Feed(Commands({"LayoutSetup=20,2"}));
  const K3DFontInfo& font = display.BaseText().font;
  EXPECT_EQ(font.Size(), 24);
  EXPECT_EQ(font.Font(), KString("Arial"));
  EXPECT_EQ(font.ShrinkLimit(), 100);
  EXPECT_EQ(font.TextModeOverride(), 1);
  display.Feed(Commands({"FontWidth=80,60"}));
  EXPECT_EQ(font.Width(), 80);
  EXPECT_TRUE(font.ShrinkToFit());
  EXPECT_EQ(font.ShrinkLimit(), 60);
  display.Feed(Commands({"FontWidth=90"}));
  EXPECT_EQ(font.Width(), 90);
  EXPECT_FALSE(font.ShrinkToFit());
  display.Feed(Commands({"FontWidth=70,x", "FontWidth=y,50", "FontWidth=500,200"}));
  EXPECT_EQ(font.Width(), 200);
  EXPECT_TRUE(font.ShrinkToFit());
  EXPECT_EQ(font.ShrinkLimit(), 100);

  // Fonts the list does not have, and unknown keywords, change nothing.
  display.Feed(Commands({"FontName=No Such Font", "TextHandling=string", "TextOptimize=Off"}));
  EXPECT_EQ(font.Font(), KString("Arial"));
  EXPECT_EQ(font.TextModeOverride(), 2);
  display.Feed(Commands({"FontName=Box", "TextHandling=Sometimes", "TextOptimize=Maybe"}));
  EXPECT_EQ(font.Font(), KString("Box"));
  EXPECT_EQ(font.TextModeOverride(), 2);
  EXPECT_FALSE(display.BaseText().optimize);

  // Inside a TextSetup bracket only the temporary copy changes.
  display.Feed(Commands({"TextSetup", "FontFaceColor=Red", "TextJustify=Bottom"}));
  EXPECT_EQ(display.CurrentText().font.FaceColor(), KColor::Palette(5));
  EXPECT_EQ(display.CurrentText().justification, 2);
  EXPECT_EQ(font.FaceColor(), KColor::Palette(1));
  display.Feed(Commands({"TextDraw=", "LayoutSetup=20,2"}));
  EXPECT_EQ(display.BaseText().font.Font(), KString("Arial"));
  EXPECT_TRUE(display.BaseText().optimize);
}

TEST_F(KVideoDisplayTest, ColoursByKeywordOrRedGreenBlue) {
  KVideoDisplay display;
  display.SetCanvas(240, 48, 0);
  display.Feed(Commands({"LayoutSetup=20,2"}));
  EXPECT_EQ(display.LayoutBackground(), KColor::Palette(4));
  display.Feed(Commands({"LayoutBackColor=255,0,0"}));
  EXPECT_EQ(display.LayoutBackground(), KColor::Rgb(255, 0, 0));
  display.Feed(Commands({"LayoutBackColor=Red"}));
  EXPECT_EQ(display.LayoutBackground(), KColor::Palette(5));
  display.Feed(Commands({"LayoutBackColor=0x1FF,0x100,-1"}));  // the low bytes
  EXPECT_EQ(display.LayoutBackground(), KColor::Rgb(255, 0, 255));
  display.Feed(Commands({"LayoutBackColor=lightgray"}));
  EXPECT_EQ(display.LayoutBackground(), KColor::Palette(2));
  display.Feed(Commands({"LayoutBackColor=1,2", "LayoutBackColor=Purple", "LayoutBackColor="}));
  EXPECT_EQ(display.LayoutBackground(), KColor::Palette(2));
  // A custom colour and a palette colour reach the canvas alike.
  display.Feed(Commands({"LayoutBackColor=10,20,30", "ImageDraw=missing.tga",
                         "LayoutBackColor=Yellow", "ImageDraw=x"}));
  EXPECT_EQ(display.PixelAt(5, 5), 0x0A141Eu);
  EXPECT_EQ(display.PixelAt(12 + 5, 5), kYellow);
}

TEST_F(KVideoDisplayTest, NothingIsShownBeforeAFlush) {
  KVideoDisplay display;
  display.SetCanvas(240, 48, 0);
  display.Feed(Commands({"LayoutSetup=20,2", "LayoutBackColor=Red", "ImageDraw=missing.tga"}));
  EXPECT_EQ(display.PixelAt(0, 0), kRed);
  EXPECT_EQ(display.ShownPixelAt(0, 0), 0u);
  EXPECT_FALSE(display.TakeFlush());
  display.Feed(Commands({"LayoutFlush", "ImageDraw=missing.tga"}));
  EXPECT_TRUE(display.TakeFlush());
  EXPECT_FALSE(display.TakeFlush());
  EXPECT_EQ(display.ShownPixelAt(0, 0), kRed);
  // What came after the flush waits for the next one.
  EXPECT_EQ(display.PixelAt(12, 0), kRed);
  EXPECT_EQ(display.ShownPixelAt(12, 0), 0u);
}

TEST_F(KVideoDisplayTest, ImageDrawOfAMissingFileFillsItsCell) {
  KVideoDisplay display;
  display.SetCanvas(240, 48, 0);
  display.Feed(Commands({"LayoutSetup=20,2", "LayoutBackColor=Green", "Blank=1,1,4,1",
                         "ImageDraw=no-such-picture.gif"}));
  // The blank moved the window past column 4.
  EXPECT_EQ(Differing(display, KRect{60, 24, 71, 47}, kGreen), 0);
  EXPECT_EQ(Differing(display, KRect{0, 0, 239, 23}, 0), 0);
  EXPECT_EQ(Differing(display, KRect{0, 24, 59, 47}, 0), 0);
  EXPECT_EQ(Differing(display, KRect{72, 24, 239, 47}, 0), 0);
  ExpectWindow(display, 6, 1);
}

class KVideoDisplayImageTest : public VideoDisplayTest {
 protected:
  // A 4 × 2 Targa: red, green, blue, yellow over white, red, green, blue.
  void SetUp() override {
    VideoDisplayTest::SetUp();
    TLayoutServices::Get().SetProgramDirectory(KString(dir_.Path()));
    KBitmap picture(4, 2, KBitmap::kDisplayFormat);
    ASSERT_TRUE(picture.Allocate());
    const uint32_t colours[2][4] = {{kRed, kGreen, kBlue, kYellow}, {kWhite, kRed, kGreen, kBlue}};
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 4; ++x) {
        const uint32_t c = colours[y][x];
        picture.SetPixel(x, y, uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c));
      }
    }
    KBufferedFile out(dir_.File("four.tga"), 4096);
    out.Open(KFile::kWrite, KFile::kOpenOrCreate);
    picture.Save(out);
    out.Close();
    display_.SetCanvas(240, 48, 0);
    display_.Feed(Commands({"LayoutSetup=20,2", "LayoutBackColor=Magenta"}));
  }
  static constexpr uint32_t kMagenta = 0xFF00FF;
  TempDir dir_;
  KVideoDisplay display_;
};

TEST_F(KVideoDisplayImageTest, KeepingTheAspectFitsTheWidthAndCentres) {
  display_.Feed(Commands({"ImageDraw=four.tga"}));
  // 4 × 2 into 12 × 24: 12 × 6 keeps the aspect, rows 9 to 14.
  EXPECT_EQ(Differing(display_, KRect{0, 0, 11, 8}, kMagenta), 0);
  EXPECT_EQ(Differing(display_, KRect{0, 15, 11, 23}, kMagenta), 0);
  const uint32_t top[] = {kRed, kGreen, kBlue, kYellow};
  const uint32_t bottom[] = {kWhite, kRed, kGreen, kBlue};
  for (int x = 0; x < 12; ++x) {
    for (int y = 9; y < 12; ++y) EXPECT_EQ(display_.PixelAt(x, y), top[x / 3]) << x << "," << y;
    for (int y = 12; y < 15; ++y) EXPECT_EQ(display_.PixelAt(x, y), bottom[x / 3]);
  }
  ExpectWindow(display_, 1, 0);
}

TEST_F(KVideoDisplayImageTest, NaturalSizeWithMarginsAndJustification) {
  display_.Feed(Commands({"Blank", "ImageSetup", "ImageStretch=Off", "ImageJustify=Right,Bottom",
                          "ImageMargins=1,1,1,-1", "ImageDraw=four.tga"}));
  // The area is x 13..22, y 1..23; the picture sits in its bottom right.
  EXPECT_EQ(display_.PixelAt(19, 22), kRed);
  EXPECT_EQ(display_.PixelAt(22, 22), kYellow);
  EXPECT_EQ(display_.PixelAt(22, 23), kBlue);
  EXPECT_EQ(display_.PixelAt(18, 22), kMagenta);
  EXPECT_EQ(display_.PixelAt(23, 23), kMagenta);
  EXPECT_EQ(display_.PixelAt(12, 0), kMagenta);
  EXPECT_EQ(display_.CurrentImage().stretch, KVideoDisplay::kStretchKeepAspect);
  EXPECT_EQ(display_.CurrentImage().bottomMargin, 0);

  // Centred at natural size: (12 - 4) / 2 and (24 - 2) / 2.
  display_.Feed(Commands({"ImageStretch=Off", "ImageDraw=four.tga"}));
  EXPECT_EQ(display_.PixelAt(24 + 4, 11), kRed);
  EXPECT_EQ(display_.PixelAt(24 + 7, 12), kBlue);
  EXPECT_EQ(display_.PixelAt(24 + 3, 11), kMagenta);
}

TEST_F(KVideoDisplayImageTest, StretchingFillsTheWindowAndPathsMayBeAbsolute) {
  const std::string draw = "ImageDraw=" + dir_.Path() + "/four.tga";
  display_.Feed(Commands({"ImageStretch=On", "ImageSetup=2,1", draw.c_str()}));
  EXPECT_EQ(Differing(display_, KRect{0, 0, 5, 11}, kRed), 0);
  EXPECT_EQ(Differing(display_, KRect{18, 12, 23, 23}, kBlue), 0);
  // A picture larger than its area is cut to it.
  display_.Feed(Commands({"LayoutSetup=120,24", "LayoutBackColor=Magenta", "ImageStretch=Off",
                          "ImageJustify=Left,Top", "ImageDraw=four.tga"}));
  EXPECT_EQ(display_.PixelAt(0, 0), kRed);
  EXPECT_EQ(display_.PixelAt(1, 0), kGreen);
  EXPECT_EQ(display_.PixelAt(0, 1), kWhite);
  EXPECT_EQ(display_.PixelAt(1, 1), kRed);
  EXPECT_EQ(display_.PixelAt(2, 0), kRed);  // still the stretched picture before
}

TEST_F(KVideoDisplayTest, RotatedCanvasesStoreTheBoardTurned) {
  KVideoDisplay left;
  ASSERT_TRUE(left.SetCanvas(48, 240, KVideoDisplay::kRotationLeft));
  EXPECT_EQ(left.Width(), 240);
  EXPECT_EQ(left.Height(), 48);
  EXPECT_EQ(left.CanvasWidth(), 48);
  left.Feed(Commands({"LayoutSetup=20,2", "LayoutBackColor=Red", "ImageDraw=none.tga"}));
  const uint32_t* raw = left.Pixels();
  ASSERT_NE(raw, nullptr);
  // Logical (x, y) lies at column y, row 239 - x.
  EXPECT_EQ(raw[239 * 48 + 0], kRed);
  EXPECT_EQ(raw[228 * 48 + 23], kRed);
  EXPECT_EQ(raw[227 * 48 + 0], 0u);
  EXPECT_EQ(raw[239 * 48 + 24], 0u);

  KVideoDisplay right;
  ASSERT_TRUE(right.SetCanvas(48, 240, KVideoDisplay::kRotationRight));
  right.Feed(Commands({"LayoutSetup=20,2", "LayoutBackColor=Red", "ImageDraw=none.tga"}));
  raw = right.Pixels();
  // Logical (x, y) lies at column 47 - y, row x.
  EXPECT_EQ(raw[0 * 48 + 47], kRed);
  EXPECT_EQ(raw[11 * 48 + 24], kRed);
  EXPECT_EQ(raw[12 * 48 + 47], 0u);
  EXPECT_EQ(raw[0 * 48 + 23], 0u);
  EXPECT_EQ(right.PixelAt(0, 0), kRed);
}

TEST_F(KVideoDisplayTest, CanvasSizesAndRecreation) {
  KVideoDisplay display;
  EXPECT_FALSE(display.Feed(Commands({"LayoutSetup=2,2"})));
  EXPECT_FALSE(display.SetCanvas(0, 10, 0));
  EXPECT_FALSE(display.SetCanvas(16385, 10, 0));
  EXPECT_TRUE(display.SetCanvas(16384, 1, 7));  // an unknown rotation is none
  EXPECT_EQ(display.Rotation(), 0);
  ASSERT_TRUE(display.SetCanvas(24, 24, 0));
  display.Feed(Commands({"LayoutSetup=1,1", "LayoutBackColor=Red", "ImageDraw=none.tga"}));
  ASSERT_EQ(display.PixelAt(0, 0), kRed);
  // The same size keeps the pixels; another size or rotation starts empty.
  display.SetCanvas(24, 24, 0);
  EXPECT_EQ(display.PixelAt(0, 0), kRed);
  display.SetCanvas(24, 24, 1);
  EXPECT_EQ(display.PixelAt(0, 0), 0u);
  display.Release();
  EXPECT_FALSE(display.HasCanvas());
  EXPECT_EQ(display.Pixels(), nullptr);
}

// A page of two cells drawn twice, the second time with one cell changed.
class KVideoDisplayCacheTest : public VideoDisplayTest {
 protected:
  static std::u16string Page(const char* first, const char* second, bool optimize) {
    const std::string a = std::string("TextDraw=") + first;
    const std::string b = std::string("TextDraw=") + second;
    return Commands({"LayoutSetup=4,2", "LayoutBackColor=Blue", "FontName=Box",
                     optimize ? "TextOptimize=On" : "TextOptimize=Off", "TextSetup=2,1", a.c_str(),
                     "TextSetup=2,1,0,1", "TextJustify=Right", b.c_str(), "LayoutFlush"});
  }
  static bool SamePixels(KVideoDisplay& a, KVideoDisplay& b) {
    const uint32_t* pa = a.Pixels();
    const uint32_t* pb = b.Pixels();
    return std::equal(pa, pa + size_t(a.Width()) * size_t(a.Height()), pb);
  }
};

TEST_F(KVideoDisplayCacheTest, AnUnchangedTextIsKeptAndAChangedOneRedrawn) {
  KVideoDisplay cached;
  cached.SetCanvas(96, 48, 0);
  cached.Feed(Page("12", "3:45", true));
  EXPECT_EQ(cached.TextCachesUsed(), 2);
  EXPECT_FALSE(cached.LastTextReused());
  cached.Feed(Page("12", "3:45", true));
  EXPECT_TRUE(cached.LastTextReused());
  cached.Feed(Page("12", "3:46", true));
  EXPECT_TRUE(cached.LastTextReused());  // only the last digit is drawn
  EXPECT_EQ(cached.TextCachesUsedBefore(), 2);

  KVideoDisplay plain;
  plain.SetCanvas(96, 48, 0);
  plain.Feed(Page("12", "3:46", false));
  EXPECT_FALSE(plain.LastTextReused());
  EXPECT_TRUE(SamePixels(cached, plain));
  // A text of another length is fitted afresh.
  cached.Feed(Page("12", "13:46", true));
  plain.Feed(Page("12", "13:46", false));
  EXPECT_FALSE(cached.LastTextReused());
  EXPECT_TRUE(SamePixels(cached, plain));
}

TEST_F(KVideoDisplayCacheTest, DrawingOverACachedCellForgetsIt) {
  KVideoDisplay display;
  display.SetCanvas(96, 48, 0);
  // The page goes on to paint over the first cell; the same text there
  // on the next page must be drawn, not taken for still standing.
  display.Feed(Page("12", "34", true) +
               Commands({"ImageSetup=1,1,0,0", "LayoutBackColor=Red", "ImageDraw=none.tga"}));
  EXPECT_EQ(display.PixelAt(2, 0), kRed);
  display.Feed(Page("12", "34", true));
  EXPECT_EQ(display.PixelAt(2, 0), kBlue);
  KVideoDisplay plain;
  plain.SetCanvas(96, 48, 0);
  plain.Feed(Page("12", "34", false));
  EXPECT_TRUE(SamePixels(display, plain));
}

TEST_F(KVideoDisplayCacheTest, SlotsAreCountedPerPage) {
  KVideoDisplay display;
  display.SetCanvas(240, 168, 0);
  std::vector<const char*> page = {"LayoutSetup=20,7", "FontName=Box"};
  for (int i = 0; i < 130; ++i) page.push_back("TextDraw=1");
  std::u16string commands;
  for (const char* command : page) commands += Commands({command});
  display.Feed(commands);
  EXPECT_EQ(display.TextCachesUsed(), 128);
  // Texts past the last slot are drawn every time: the 130th lands in
  // row 6, column 9.
  std::u16string changed = commands;
  changed.replace(changed.rfind(u"TextDraw=1"), 10, u"TextDraw=I");
  display.Feed(changed);
  EXPECT_FALSE(display.LastTextReused());
  EXPECT_EQ(display.PixelAt(108 + 3, 144 + 3), kWhite);
  display.Feed(commands);
  EXPECT_EQ(display.PixelAt(108 + 3, 144 + 3), kBlack);
  // A page with fewer texts: slots past the previous page's count hold
  // older texts and start afresh.
  display.Feed(Commands({"LayoutSetup=20,7", "FontName=Box", "TextDraw=1"}));
  EXPECT_TRUE(display.LastTextReused());
  display.Feed(Commands({"LayoutSetup=20,7", "FontName=Box", "TextDraw=1", "TextDraw=1"}));
  EXPECT_EQ(display.TextCachesUsedBefore(), 1);
  EXPECT_FALSE(display.LastTextReused());
}

}  // namespace
