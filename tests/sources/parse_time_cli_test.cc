#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/base/temp_dir.h"
#include "tools/telvane-cli/command_registry.h"

namespace {

using nlohmann::json;

struct Result {
  int status;
  std::vector<json> lines;
};

Result Cli(std::vector<std::string> args) {
  args.insert(args.begin(), "telvane-cli");
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  std::ostringstream out;
  std::ostringstream err;
  std::streambuf* savedOut = std::cout.rdbuf(out.rdbuf());
  std::streambuf* savedErr = std::cerr.rdbuf(err.rdbuf());
  const int status = RunCli(static_cast<int>(argv.size()), argv.data());
  std::cout.rdbuf(savedOut);
  std::cerr.rdbuf(savedErr);
  Result result{status, {}};
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) result.lines.push_back(json::parse(line));
  return result;
}

void Write(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

class ParseCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    script = home.Path() + "/results.rss";
    capture = home.Path() + "/feed.bin";
    Write(script,
          "; results of one lane\r\n;;Results\r\nheader=\\02,length=1\r\ntrailer=\\03,length=1\r\n"
          "textfield=Lane,length=4\r\ntextfield=Name,stop=\\2c\r\n"
          "textfield=Time,stop=\\2c,process=%.2s:%.2s\r\n");
  }
  TempDir home;
  std::string script;
  std::string capture;
};

TEST_F(ParseCliTest, PacketsAndCommandLines) {
  Write(capture, std::string("LayoutDraw=Heat\n\x02"
                             "0003Smith,1234,\x03") +
                     "x\x02" + "0004Jones,0059,\x03" + "Trigger=Go\n\n");
  const Result result = Cli({"parse", script, capture});
  ASSERT_EQ(result.status, 0);
  ASSERT_EQ(result.lines.size(), 5u);
  EXPECT_EQ(result.lines[0], json({{"type", "command"}, {"line", "LayoutDraw=Heat"}}));
  EXPECT_EQ(result.lines[1]["type"], "packet");
  EXPECT_EQ(result.lines[1]["definition"], "Results");
  EXPECT_EQ(result.lines[1]["index"], 0);
  EXPECT_EQ(result.lines[1]["fields"][0],
            json({{"name", "Lane"}, {"value", "0003"}, {"matched", true}}));
  EXPECT_EQ(result.lines[1]["fields"][1]["value"], "Smith");
  EXPECT_EQ(result.lines[1]["fields"][2]["value"], "12:34");
  EXPECT_EQ(result.lines[2]["fields"][2]["value"], "00:59");
  // The "x" between packets was dropped with the packet traffic around it.
  EXPECT_EQ(result.lines[3], json({{"type", "command"}, {"line", "Trigger=Go"}}));
  EXPECT_EQ(result.lines[4], json({{"type", "command"}, {"line", "Trigger=Go"}}));
}

TEST_F(ParseCliTest, EventsNameTheSource) {
  Write(capture,
        "\x02"
        "0001A,0000,\x03\x02"
        "xx\x03");
  const Result result = Cli({"parse", script, capture, "--events", "--name", "Timer"});
  ASSERT_EQ(result.status, 0);
  ASSERT_EQ(result.lines.size(), 5u);
  EXPECT_EQ(result.lines[0]["text"], "{Timer Results HDR}");
  EXPECT_EQ(result.lines[1]["type"], "packet");
  EXPECT_EQ(result.lines[2]["text"], "{Timer Results BDY TRL}");
  EXPECT_EQ(result.lines[3]["text"], "{Timer Results HDR}");
  // Nothing matched in "xx": no packet, and no BDY.
  EXPECT_EQ(result.lines[4]["text"], "{Timer Results TRL}");
}

TEST_F(ParseCliTest, CodeSets) {
  const std::u16string text =
      u"\x02"
      u"0007Ωmega,0102,\x03";
  std::string utf16;
  for (const char16_t ch : text) {
    utf16 += static_cast<char>(ch & 0xFF);
    utf16 += static_cast<char>(ch >> 8);
  }
  Write(capture, utf16);
  Result result = Cli({"parse", script, capture, "--charmode", "1"});
  ASSERT_EQ(result.status, 0);
  ASSERT_EQ(result.lines.size(), 1u);
  EXPECT_EQ(result.lines[0]["fields"][1]["value"], "Ωmega");
  Write(capture,
        "\x02"
        "0007Ωmega,0102,\x03");
  result = Cli({"parse", script, capture, "--charmode", "2"});
  ASSERT_EQ(result.lines.size(), 1u);
  EXPECT_EQ(result.lines[0]["fields"][1]["value"], "Ωmega");
  // Single bytes: the two UTF-8 bytes are two characters.
  result = Cli({"parse", script, capture});
  ASSERT_EQ(result.lines.size(), 1u);
  EXPECT_EQ(result.lines[0]["fields"][1]["value"], "\u00CE\u00A9mega");
}

TEST_F(ParseCliTest, BufferSizeOption) {
  Write(capture, std::string("\x02") + "0001" + std::string(40, 'n') + ",0000,\x03");
  EXPECT_EQ(Cli({"parse", script, capture}).lines.size(), 1u);
  EXPECT_TRUE(Cli({"parse", script, capture, "--buffer-size", "16"}).lines.empty());
}

TEST_F(ParseCliTest, BadArgumentsFailCleanly) {
  Write(capture, "");
  EXPECT_NE(Cli({"parse", home.Path() + "/missing.rss", capture}).status, 0);
  EXPECT_NE(Cli({"parse", script, home.Path() + "/missing.bin"}).status, 0);
  EXPECT_NE(Cli({"parse", script, home.Path()}).status, 0);
  EXPECT_NE(Cli({"parse", home.Path(), capture}).status, 0);
  EXPECT_NE(Cli({"parse", script, capture, "--charmode", "3"}).status, 0);
  EXPECT_NE(Cli({"parse", script, capture, "--profile", home.Path() + "/none.cfg"}).status, 0);
  EXPECT_EQ(Cli({"parse", script, capture}).status, 0);
}

TEST(TimeCli, ParseAndFormat) {
  Result result = Cli({"time", "parse", "1:02:03.45"});
  ASSERT_EQ(result.status, 0);
  ASSERT_EQ(result.lines.size(), 1u);
  EXPECT_EQ(result.lines[0]["value"], 3723450 * 80);
  EXPECT_EQ(result.lines[0]["resolution"], 800);
  EXPECT_EQ(result.lines[0]["formatted"], "1:02:03.45");
  EXPECT_EQ(result.lines[0]["ms"], 3723450);
  result = Cli({"time", "parse", "1.2345m"});
  EXPECT_EQ(result.lines[0]["ms"], 1300);
  EXPECT_NE(Cli({"time", "parse", "abc"}).status, 0);
  EXPECT_NE(Cli({"time", "parse", "999999999999999999999"}).status, 0);

  result = Cli({"time", "format", "--ms", "500"});
  ASSERT_EQ(result.status, 0);
  EXPECT_EQ(result.lines[0]["text"], "0.5");
  EXPECT_EQ(result.lines[0]["resolution"], 8000);
  result = Cli({"time", "format", "--ms", "3723456", "--resolution", "1/100"});
  EXPECT_EQ(result.lines[0]["text"], "1:02:03.46");
  result = Cli({"time", "format", "--ms", "-1234", "--resolution", "1/100"});
  EXPECT_EQ(result.lines[0]["text"], "-1.23");
  EXPECT_NE(Cli({"time", "format", "--ms", "5", "--resolution", "fortnight"}).status, 0);
  EXPECT_NE(Cli({"time", "format", "--ms", "5", "--resolution", "0"}).status, 0);
  EXPECT_NE(Cli({"time"}).status, 0);
}

TEST(TimeCli, SeparatorsFromAProfile) {
  TempDir home;
  const std::string profile = home.Path() + "/telvane.cfg";
  Write(profile, "Registry Version: 1.00\n\\Strings\\Time\\SecondFracSep:String=,\n");
  const Result result = Cli({"time", "--profile", profile, "format", "--ms", "1500"});
  ASSERT_EQ(result.status, 0);
  EXPECT_EQ(result.lines[0]["text"], "1,5");
}

}  // namespace

namespace {

// The examples script and capture an operator can run by hand:
// telvane-cli parse tests/data/parse/examples.rss tests/data/parse/examples.bin --events
TEST(ParseCli, ExamplesFromTheDataFolder) {
  const std::string data = TELVANE_TEST_DATA;
  const Result result = Cli({"parse", data + "/parse/examples.rss", data + "/parse/examples.bin",
                             "--events", "--name", "Timer"});
  ASSERT_EQ(result.status, 0);
  ASSERT_EQ(result.lines.size(), 7u);
  EXPECT_EQ(result.lines[0]["line"], "LayoutDraw=Start");
  EXPECT_EQ(result.lines[1]["text"], "{Timer Results HDR}");
  std::vector<std::string> first;
  std::vector<std::string> second;
  for (const json& field : result.lines[2]["fields"]) first.push_back(field["value"]);
  for (const json& field : result.lines[5]["fields"]) second.push_back(field["value"]);
  EXPECT_EQ(first,
            (std::vector<std::string>{"0003", "Smith", "12:34", "12.345", "  7", "Ann", "001"}));
  EXPECT_EQ(second,
            (std::vector<std::string>{"0004", "Jones", "00:59", ".500", " 12", "B", "002"}));
  EXPECT_EQ(result.lines[3]["text"], "{Timer Results BDY TRL}");
}

}  // namespace

namespace {

// Standard input that hands out one piece at a time and notes, each time it
// is asked for more, how much output the parser had already written.
class PiecewiseInput : public std::streambuf {
 public:
  PiecewiseInput(std::vector<std::string> pieces, const std::ostringstream& out)
      : pieces_(std::move(pieces)), out_(out) {}
  std::vector<size_t> outputSeen;

 protected:
  int_type underflow() override {
    if (next_ >= pieces_.size()) return traits_type::eof();
    outputSeen.push_back(out_.str().size());
    current_ = pieces_[next_++];
    setg(current_.data(), current_.data(), current_.data() + current_.size());
    return traits_type::to_int_type(current_[0]);
  }

 private:
  std::vector<std::string> pieces_;
  size_t next_ = 0;
  std::string current_;
  const std::ostringstream& out_;
};

TEST(ParseCliStreaming, PacketsComeOutAsTheInputArrives) {
  TempDir dir;
  const std::string script = dir.Path() + "/s.rss";
  Write(script, ";;P\nheader=\\02,length=1\ntrailer=\\03,length=1\ntextfield=F,stop=\\2c\n");
  std::ostringstream out;
  PiecewiseInput input({"\x02"
                        "a,\x03",
                        "\x02"
                        "b,\x03",
                        "\x02"
                        "c,\x03"},
                       out);
  std::streambuf* savedIn = std::cin.rdbuf(&input);
  std::streambuf* savedOut = std::cout.rdbuf(out.rdbuf());
  std::vector<const char*> argv = {"telvane-cli", "parse", script.c_str(), "-"};
  const int status = RunCli(static_cast<int>(argv.size()), argv.data());
  std::cout.rdbuf(savedOut);
  std::cin.rdbuf(savedIn);
  EXPECT_EQ(status, 0);
  ASSERT_EQ(input.outputSeen.size(), 3u);
  // Before the last piece was asked for, two packets had been printed.
  const std::string printed = out.str().substr(0, input.outputSeen[2]);
  EXPECT_NE(printed.find("\"a\""), std::string::npos) << printed;
  EXPECT_NE(printed.find("\"b\""), std::string::npos) << printed;
  EXPECT_EQ(printed.find("\"c\""), std::string::npos) << printed;
}

}  // namespace
