// telvane-cli render run as the operator runs it: a layout built from JSON,
// fed from a capture, drawn through the display pipeline.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <utility>

#include "base/k_buffered_file.h"
#include "base/k_file.h"
#include "ports/k_capture_file.h"
#include "tests/base/temp_dir.h"
#include "tests/render/image_test_support.h"

namespace {

using image_test::Pnm;
using image_test::Rgb;

int RunCli(const std::string& arguments) {
  const int status =
      std::system((std::string(TELVANE_CLI) + " " + arguments + " >/dev/null 2>&1").c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A 300 × 200 layout on dark blue-grey: a title bound to the Title field of
// the script below, shown in DejaVu Sans, and a box shown only by a trigger.
const char kLayout[] = R"({"background": "#102030", "objects": [
  {"class": "TTextObject", "x": 0, "y": 0, "width": 300, "height": 40, "field": "Title",
   "flags": 1, "text": "%s", "font": {"name": "DejaVu Sans", "size": 40}},
  {"class": "TTextObject", "x": 0, "y": 100, "width": 300, "height": 40, "flags": 0,
   "trigger": "Go", "text": "GO", "font": {"name": "DejaVu Sans", "size": 40}}]})";

const char kScript[] =
    ";;Title\nheader=\\02N,length=2\ntrailer=\\03,length=1\ntextfield=Title,length=10\n";

struct Rendered {
  int status = -1;
  Pnm picture;
};

class RenderCli : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!image_test::HasTool("convert")) GTEST_SKIP() << "ImageMagick is not installed";
    Write(dir_.Path() + "/layout.json", kLayout);
    ASSERT_EQ(RunCli("layout build " + dir_.Path() + "/layout.json --out " + Layout()), 0);
    Write(dir_.Path() + "/feed.rss", kScript);
    // The title arrives at 1 s, the trigger at 2 s.
    KBufferedFile file(KString(dir_.Path() + "/feed.tvcap"), 4096);
    file.Open(KFile::kWrite, KFile::kOpenOrCreate);
    KCapture::Writer writer(file);
    const std::string title =
        "\x02N"
        "Heat 1    \x03";
    const std::string trigger = "Command=Trigger;Name=Go\n";
    writer.Add(1000000, reinterpret_cast<const uint8_t*>(title.data()), int(title.size()));
    writer.Add(2000000, reinterpret_cast<const uint8_t*>(trigger.data()), int(trigger.size()));
    file.Close();
  }
  std::string Layout() const { return dir_.Path() + "/layout.tln"; }
  Rendered Render(const std::string& options) {
    return RenderLayout(Layout(), dir_.Path(), options);
  }
  Rendered RenderLayout(const std::string& layout, const std::string& home,
                        const std::string& options) {
    Rendered result;
    const std::string png = dir_.Path() + "/out.png";
    const std::string ppm = dir_.Path() + "/out.ppm";
    std::remove(png.c_str());
    result.status =
        RunCli("render " + layout + " --home " + home + " --out " + png + " " + options);
    if (result.status == 0 && image_test::RunTool("convert " + png + " " + ppm)) {
      image_test::ReadPnm(ppm, result.picture);
    }
    return result;
  }
  static bool HasInk(const Pnm& picture, int top, int bottom) {
    const Rgb background{0x10, 0x20, 0x30};
    for (int y = top; y <= bottom; ++y) {
      for (int x = 0; x < picture.width; ++x) {
        if (!(picture.At(x, y) == background)) return true;
      }
    }
    return false;
  }
  // Pixels of `colour` in the rectangle from (left, top) to (right, bottom).
  static int Count(const Pnm& picture, int left, int top, int right, int bottom, Rgb colour) {
    int count = 0;
    for (int y = top; y <= bottom; ++y) {
      for (int x = left; x <= right; ++x) count += picture.At(x, y) == colour ? 1 : 0;
    }
    return count;
  }
  TempDir dir_;
};

TEST_F(RenderCli, TheFeedFillsFieldsAndFiresTriggersUpToTheGivenTime) {
  const std::string feed =
      "--size 300x200 --script " + dir_.Path() + "/feed.rss --feed " + dir_.Path() + "/feed.tvcap";
  Rendered before = Render(feed + " --at 500");
  ASSERT_EQ(before.status, 0);
  ASSERT_EQ(before.picture.width, 300);
  ASSERT_EQ(before.picture.height, 200);
  EXPECT_FALSE(HasInk(before.picture, 0, 199));  // no value, no trigger, no logo below 250
  Rendered titled = Render(feed + " --at 1500");
  EXPECT_TRUE(HasInk(titled.picture, 0, 39));
  EXPECT_FALSE(HasInk(titled.picture, 100, 139));
  Rendered all = Render(feed);
  EXPECT_TRUE(HasInk(all.picture, 0, 39));
  EXPECT_TRUE(HasInk(all.picture, 100, 139));
}

// The demo home's board through its own script and feed: nothing on the
// board until the page has come through the Board definition, then the page
// on its background from edge to edge, a row for each of the eight places.
TEST_F(RenderCli, TheDemoBoardShowsThePageOfTheDemoFeed) {
  const std::string demo = std::string(TELVANE_TEST_DATA) + "/../../assets/demo";
  int64_t pageMs = -1;
  {
    KBufferedFile file(KString(demo + "/demo-race.tvcap"), 4096);
    file.Open(KFile::kRead, KFile::kOpenExisting);
    KCapture::Reader reader(file);
    KCapture::Chunk chunk;
    while (pageMs < 0 && reader.Next(chunk)) {
      if (chunk.bytes.size() > 2 && chunk.bytes[0] == 0x02 && chunk.bytes[1] == 'V')
        pageMs = chunk.atUs / 1000;
    }
  }
  ASSERT_GT(pageMs, 0) << "the demo feed sends no board page";
  const auto render = [&](int64_t atMs) {
    return RenderLayout(demo + "/Board.tln", demo,
                        "--script " + demo + "/Chronvale.rss --feed " + demo +
                            "/demo-race.tvcap --at " + std::to_string(atMs));
  };
  // The board at (16, 88), 608 x 306: 19 columns of 32, 9 rows of 34.
  const int left = 16, top = 88, right = 623, bottom = 393, row = 34;
  const Rgb board{0, 0, 64}, layout{0x10, 0x18, 0x28};
  const Rgb yellow{255, 255, 0}, white{255, 255, 255}, cyan{0, 255, 255};

  Rendered before = render(pageMs - 1);
  ASSERT_EQ(before.status, 0);
  ASSERT_EQ(before.picture.width, 640);
  EXPECT_EQ(Count(before.picture, left, top, right, bottom, board), 0);
  EXPECT_EQ(before.picture.At(320, 240), (Rgb{0, 0, 0}));
  // The title and the wave are there already, the wave's black transparent.
  EXPECT_GT(Count(before.picture, 128, 28, 623, 67, white), 100);
  EXPECT_EQ(before.picture.At(16, 16), layout);
  EXPECT_LT(Count(before.picture, 16, 16, 111, 79, layout), 96 * 64);

  Rendered after = render(pageMs);
  ASSERT_EQ(after.status, 0);
  const Pnm& p = after.picture;
  const std::pair<int, int> corners[] = {
      {left, top}, {right, top}, {left, bottom}, {right, bottom}};
  for (const auto& [x, y] : corners) EXPECT_EQ(p.At(x, y), board) << x << "," << y;
  EXPECT_EQ(p.At(left - 1, top), layout);
  EXPECT_EQ(p.At(right + 1, bottom), layout);
  EXPECT_EQ(p.At(left, bottom + 1), layout);
  // RESULTS in yellow on the first row only; then name in white and team in
  // cyan (columns 12 to 14) on every place row.
  EXPECT_GT(Count(p, left, top, right, top + row - 1, yellow), 200);
  EXPECT_EQ(Count(p, left, top + row, right, bottom, yellow), 0);
  for (int place = 1; place <= 8; ++place) {
    const int y = top + place * row;
    EXPECT_GT(Count(p, left + 2 * 32, y, left + 12 * 32 - 1, y + row - 1, white), 100) << place;
    EXPECT_GT(Count(p, left + 12 * 32, y, left + 15 * 32 - 1, y + row - 1, cyan), 50) << place;
  }
}

TEST_F(RenderCli, RotationAndScreensShapeThePicture) {
  // Rotated left, the layout's top edge runs up the window's left side.
  Rendered rotated = Render("--size 200x300 --rotate 1");
  ASSERT_EQ(rotated.status, 0);
  EXPECT_EQ(rotated.picture.width, 200);
  EXPECT_EQ(rotated.picture.height, 300);
  // A window taller than 249 pixels shows the logo: its orange bar.
  Rendered tall = Render("--size 640x480");
  bool orange = false;
  for (int y = 403; y <= 454; ++y) orange |= tall.picture.At(27, y) == Rgb{0xF2, 0x8C, 0x28};
  EXPECT_TRUE(orange);
}

TEST_F(RenderCli, BadInputIsAnErrorNotACrash) {
  const std::string out = " --out " + dir_.Path() + "/x.png";
  EXPECT_EQ(RunCli("render " + dir_.Path() + "/missing.tln" + out), 1);
  Write(dir_.Path() + "/junk.tln", "not a layout at all");
  EXPECT_EQ(RunCli("render " + dir_.Path() + "/junk.tln" + out), 1);
  EXPECT_EQ(RunCli("render " + Layout() + " --size 0x10" + out), 1);
  EXPECT_EQ(RunCli("render " + Layout() + " --size 20000x10" + out), 1);
  EXPECT_EQ(RunCli("render " + Layout() + " --script " + dir_.Path() + "/feed.rss" + out), 1);
  EXPECT_EQ(RunCli("render " + Layout() + " --script " + dir_.Path() + "/none.rss --feed " +
                   dir_.Path() + "/feed.tvcap" + out),
            1);
}

}  // namespace
