// telvane-cli vdisplay run as the operator runs it: a command stream with
// ^R and ^T for DC2 and DC4, drawn on a board and written as PNG.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/base/temp_dir.h"
#include "tests/render/image_test_support.h"

namespace {

using image_test::Pnm;
using image_test::Rgb;

const Rgb kYellow{255, 255, 0};

int RunCli(const std::string& arguments, const std::string& stdoutFile = "/dev/null") {
  const std::string command =
      std::string(TELVANE_CLI) + " " + arguments + " >" + stdoutFile + " 2>/dev/null";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The rectangle holding every pixel of `colour` inside rows top..bottom.
struct Box {
  int left = 1 << 30;
  int top = 1 << 30;
  int right = -1;
  int bottom = -1;
  bool Empty() const { return right < 0; }
};
Box Find(const Pnm& picture, Rgb colour, int top, int bottom) {
  Box box;
  for (int y = top; y <= bottom; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      if (!(picture.At(x, y) == colour)) continue;
      box = Box{std::min(box.left, x), std::min(box.top, y), std::max(box.right, x),
                std::max(box.bottom, y)};
    }
  }
  return box;
}

// The example page: RESULTS in yellow at the top left, 12.34 right-justified
// in the first ten columns of the second row.
const char kExample[] =
    "'^RLayoutSetup=20,4^T^RFontFaceColor=Yellow^T^RTextDraw=RESULTS^T"
    "^RTextSetup=10,1,0,1^T^RTextJustify=Right^T^RTextDraw=12.34^T^RLayoutFlush^T'";

class VdisplayCli : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!image_test::HasTool("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  }
  int Draw(const std::string& arguments, Pnm& picture) {
    const std::string png = dir_.Path() + "/out.png";
    const std::string ppm = dir_.Path() + "/out.ppm";
    std::remove(png.c_str());
    const int status =
        RunCli("vdisplay " + arguments + " --home " + dir_.Path() + " --out " + png, json_);
    if (status == 0 && image_test::RunTool("convert " + png + " " + ppm)) {
      image_test::ReadPnm(ppm, picture);
    }
    return status;
  }
  std::string Json() const {
    std::ifstream in(json_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  TempDir dir_;
  const std::string json_ = dir_.Path() + "/out.json";
};

TEST_F(VdisplayCli, TheExamplePageInTheDefaultFont) {
  Pnm picture;
  ASSERT_EQ(Draw(std::string(kExample) + " --size 640x240", picture), 0);
  ASSERT_EQ(picture.width, 640);
  ASSERT_EQ(picture.height, 240);
  EXPECT_NE(Json().find("\"flushed\":true"), std::string::npos);
  // 20 × 4 cells of 32 × 60: RESULTS from the left margin of cell 0, within
  // cells 0 to 6; 12.34 ending at the right margin of cell 9.
  const Box results = Find(picture, kYellow, 0, 59);
  ASSERT_FALSE(results.Empty());
  EXPECT_LE(results.left, 6);
  EXPECT_LE(results.right, 7 * 32 - 3);
  const Box time = Find(picture, kYellow, 60, 119);
  ASSERT_FALSE(time.Empty());
  EXPECT_GE(time.right, 10 * 32 - 12);
  EXPECT_LE(time.right, 10 * 32 - 3);
  EXPECT_GT(time.left, 100);
  EXPECT_TRUE(Find(picture, kYellow, 120, 239).Empty());
}

TEST_F(VdisplayCli, TheExamplePageToThePixelInTheTestFont) {
  // Cells of 24 × 24, where the box font's edges fall on pixels: each
  // capital is a block of 14 with its face in columns 1 to 10 and rows 3 to
  // 16, each digit 12 wide, the point 7.
  const std::string page =
      "'^RLayoutSetup=20,4^T^RFontName=Telvane Test^T^RFontFaceColor=Yellow^T"
      "^RTextDraw=RESULTS^T^RTextSetup=10,1,0,1^T^RTextJustify=Right^T^RTextDraw=12.34^T"
      "^RLayoutFlush^T'";
  Pnm picture;
  ASSERT_EQ(Draw(page + " --size 480x96 --font-file " TELVANE_TEST_DATA "/fonts/telvane-test.ttf",
                 picture),
            0);
  const Box results = Find(picture, kYellow, 0, 23);
  EXPECT_EQ(results.left, 3);
  EXPECT_EQ(results.right, 2 + 6 * 14 + 10);
  EXPECT_EQ(results.top, 3);
  EXPECT_EQ(results.bottom, 16);
  // 55 pixels of text against a right margin of 2: from 240 - 2 - 55.
  const Box time = Find(picture, kYellow, 24, 47);
  EXPECT_EQ(time.right, 183 + 43 + 8);
  EXPECT_EQ(time.left, 183 + 3);
  EXPECT_EQ(time.top, 24 + 5);
  EXPECT_EQ(time.bottom, 24 + 16);
}

TEST_F(VdisplayCli, RotationStandardInputAndNoFlush) {
  // Raw DC2 and DC4 from standard input; without a flush the board is black.
  std::ofstream(dir_.Path() + "/page.txt") << "\x12LayoutSetup=1,1\x14\x12LayoutBackColor=Red\x14"
                                           << "\x12ImageDraw=none.tga\x14";
  Pnm picture;
  ASSERT_EQ(Draw("- --size 30x20 --rotate 1 <" + dir_.Path() + "/page.txt", picture), 0);
  EXPECT_EQ(picture.width, 30);
  EXPECT_EQ(picture.height, 20);
  EXPECT_TRUE(Find(picture, Rgb{255, 0, 0}, 0, 19).Empty());
  EXPECT_NE(Json().find("\"flushed\":false"), std::string::npos);
  // A caret that is no escape stays text; the flushed board is red all over.
  ASSERT_EQ(Draw("'^RLayoutSetup=1,1^T^RLayoutBackColor=Red^T^RImageDraw=^x.tga^T^RLayoutFlush^T'"
                 " --size 30x20 --rotate 2",
                 picture),
            0);
  const Box red = Find(picture, Rgb{255, 0, 0}, 0, 19);
  EXPECT_EQ(red.left, 0);
  EXPECT_EQ(red.right, 29);
  EXPECT_EQ(red.bottom, 19);
}

TEST_F(VdisplayCli, BadInputIsAnError) {
  const std::string out = " --out " + dir_.Path() + "/x.png";
  EXPECT_EQ(RunCli("vdisplay x --size 0x10" + out), 1);
  EXPECT_EQ(RunCli("vdisplay x --size 16385x10" + out), 1);
  EXPECT_EQ(RunCli("vdisplay x --size 10" + out), 1);
  EXPECT_NE(RunCli("vdisplay x --rotate 3" + out), 0);
  EXPECT_EQ(RunCli("vdisplay x --out " + dir_.Path() + "/no/such/folder/x.png"), 1);
}

}  // namespace
