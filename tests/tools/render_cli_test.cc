// telvane-cli render run as the operator runs it: a layout built from JSON,
// fed from a capture, drawn through the display pipeline.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <string>

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
    Rendered result;
    const std::string png = dir_.Path() + "/out.png";
    const std::string ppm = dir_.Path() + "/out.ppm";
    std::remove(png.c_str());
    result.status =
        RunCli("render " + Layout() + " --home " + dir_.Path() + " --out " + png + " " + options);
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
