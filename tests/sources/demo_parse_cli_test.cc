// telvane-cli parse with the demo script over the bytes of the demo capture.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/k_buffered_file.h"
#include "ports/k_capture_file.h"
#include "tests/base/temp_dir.h"
#include "tools/telvane-cli/command_registry.h"

namespace {

using nlohmann::json;

const std::string kDemo =
    (std::filesystem::path(TELVANE_TEST_DATA).parent_path().parent_path() / "assets" / "demo")
        .string();

TEST(DemoParseCliTest, DemoScriptCutsTheDemoCapture) {
  TempDir home;
  ASSERT_FALSE(home.Path().empty());
  // parse reads plain bytes: the capture's chunks, without their timing.
  const std::string feed = home.Path() + "/feed.bin";
  {
    KBufferedFile file(KString((kDemo + "/demo-race.tvcap").c_str()), 4096);
    file.Open(KFile::kRead, KFile::kOpenExisting);
    KCapture::Reader reader(file);
    KCapture::Chunk chunk;
    std::ofstream out(feed, std::ios::binary);
    while (reader.Next(chunk)) {
      out.write(reinterpret_cast<const char*>(chunk.bytes.data()),
                static_cast<std::streamsize>(chunk.bytes.size()));
    }
  }
  const std::string script = kDemo + "/Chronvale.rss";
  std::vector<const char*> argv = {"telvane-cli", "parse", script.c_str(), feed.c_str(),
                                   "--events"};
  std::ostringstream out;
  std::streambuf* saved = std::cout.rdbuf(out.rdbuf());
  const int status = RunCli(static_cast<int>(argv.size()), argv.data());
  std::cout.rdbuf(saved);
  ASSERT_EQ(status, 0);

  int titles = 0;
  int results = 0;
  int times = 0;
  int boards = 0;
  int events = 0;
  std::vector<std::string> commands;
  std::vector<std::string> finalPlaces;
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) {
    const json item = json::parse(line);
    if (item["type"] == "command") commands.push_back(item["line"]);
    if (item["type"] == "event") ++events;
    if (item["type"] != "packet") continue;
    const std::string definition = item["definition"];
    titles += definition == "Title";
    times += definition == "RunningTime";
    boards += definition == "Board";
    if (definition == "Result") {
      ++results;
      if (results > 24) finalPlaces.push_back(item["fields"][0]["value"]);
    }
  }
  EXPECT_EQ(titles, 1);
  EXPECT_EQ(times, 275);
  EXPECT_EQ(results, 32);
  EXPECT_EQ(boards, 1);
  // Every packet writes its HDR and its BDY TRL event.
  EXPECT_EQ(events, 2 * (titles + times + results + boards));
  EXPECT_EQ(finalPlaces, (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8"}));
  ASSERT_GE(commands.size(), 4u);
  EXPECT_EQ(commands.front(), "Command=LayoutDraw;Name=Start;Delay=0;Clear=1");
  EXPECT_EQ(commands[commands.size() - 2], "Command=LayoutDraw;Name=Board;Delay=0");
  EXPECT_EQ(commands.back(), "\x16\x16");
}

}  // namespace
