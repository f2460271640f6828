// telvane-cli image run as the operator runs it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

#include "tests/base/temp_dir.h"
#include "tests/render/image_test_support.h"

namespace {

struct Result {
  int status = -1;
  std::string out;
};

Result RunCli(const std::string& arguments) {
  Result result;
  FILE* pipe = popen((std::string(TELVANE_CLI) + " image " + arguments + " 2>/dev/null").c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  size_t got = 0;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, got);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

TEST(ImageCli, PrintsFramesAndWritesEachOne) {
  TempDir dir;
  const std::vector<image_test::Rgb> palette = {{0, 0, 0}, {255, 0, 0}, {0, 0, 255}, {9, 9, 9}};
  image_test::WriteFile(dir.Path() + "/a.gif", image_test::GifBuilder(3, 2, palette)
                                                   .Loop(0xFFFF)
                                                   .Control(1, 10)
                                                   .Image(0, 0, 3, 2, {1, 1, 1, 2, 2, 2})
                                                   .Control(1, 30)
                                                   .Image(1, 1, 1, 1, {3})
                                                   .Finish());
  for (const std::string format : {"png", "tga"}) {
    const Result result =
        RunCli(dir.Path() + "/a.gif --out " + dir.Path() + "/f --format " + format);
    ASSERT_EQ(result.status, 0) << result.out;
    const auto line = nlohmann::json::parse(result.out);
    EXPECT_EQ(line["frames"], 2);
    EXPECT_EQ(line["loop_count"], 0);
    ASSERT_EQ(line["frame_list"].size(), 2u);
    EXPECT_EQ(line["frame_list"][0]["width"], 3);
    EXPECT_EQ(line["frame_list"][0]["height"], 2);
    EXPECT_EQ(line["frame_list"][0]["delay_ms"], 100);
    EXPECT_EQ(line["frame_list"][1]["delay_ms"], 300);
    const std::vector<uint8_t> second = image_test::ReadFile(dir.Path() + "/f-001." + format);
    ASSERT_GT(second.size(), 18u) << format;
    if (format == "png") {
      EXPECT_EQ(second[1], 'P');
    } else {
      // 3 x 2 at 24 bits, top-down: the pixel at (1, 1) is the last image's.
      ASSERT_EQ(second.size(), 18u + 18u);
      EXPECT_EQ(second[18 + 12], 9);
      EXPECT_EQ(second[18 + 9], 255);  // (0, 1) blue
    }
  }
}

TEST(ImageCli, BadInputIsAnErrorNotACrash) {
  TempDir dir;
  EXPECT_EQ(RunCli(dir.Path() + "/missing.tga").status, 1);
  image_test::WriteFile(dir.Path() + "/bad.gif", {'G', 'I', 'F', '8', '9', 'a', 0, 0});
  EXPECT_EQ(RunCli(dir.Path() + "/bad.gif").status, 1);
  image_test::WriteFile(dir.Path() + "/rle.tga", image_test::TargaHeader(10, 1, 1, 24, 0));
  EXPECT_EQ(RunCli(dir.Path() + "/rle.tga").status, 1);
  image_test::WriteFile(
      dir.Path() + "/ok.gif",
      image_test::GifBuilder(1, 1, {{1, 2, 3}, {0, 0, 0}}).Image(0, 0, 1, 1, {0}).Finish());
  EXPECT_EQ(RunCli(dir.Path() + "/ok.gif --format bmp").status, 1);
  EXPECT_EQ(RunCli(dir.Path() + "/ok.gif").status, 0);
}

}  // namespace
