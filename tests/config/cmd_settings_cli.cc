#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include <nlohmann/json.hpp>

#include "settings_test_util.h"
#include "tools/telvane-cli/command_registry.h"

namespace {

struct CliRun {
  int status = 0;
  std::string out;
  std::string err;
};

CliRun Cli(std::vector<std::string> args) {
  args.insert(args.begin(), {"telvane-cli", "settings"});
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  std::ostringstream out;
  std::ostringstream err;
  auto* oldOut = std::cout.rdbuf(out.rdbuf());
  auto* oldErr = std::cerr.rdbuf(err.rdbuf());
  CliRun run;
  run.status = RunCli(static_cast<int>(argv.size()), argv.data());
  std::cout.rdbuf(oldOut);
  std::cerr.rdbuf(oldErr);
  run.out = out.str();
  run.err = err.str();
  return run;
}

std::vector<nlohmann::json> Lines(const std::string& out) {
  std::vector<nlohmann::json> lines;
  std::istringstream in(out);
  for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
  return lines;
}

std::string Get(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(SettingsCli, ReproducesTheLineExamples) {
  const CliRun run = Cli({"--empty",
                          "--apply",
                          "X:Int=",
                          "--apply",
                          "X:Int=abc",
                          "--apply",
                          "S:String=",
                          "--apply",
                          "A:Int=0x1F",
                          "--apply",
                          "B:Int=017",
                          "--apply",
                          "C:Int=-5",
                          "--apply",
                          "D:Int=12abc",
                          "--apply",
                          "E:Float=2.5e3",
                          "--apply",
                          "R:Rat=1.25",
                          "--apply",
                          "T:String=  a,b=c  ",
                          "--lookup",
                          "A",
                          "--lookup",
                          "R"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_TRUE(lines[0]["node"].is_null());
  EXPECT_TRUE(lines[1]["node"].is_null());
  EXPECT_EQ(lines[2]["node"], "\\S");
  EXPECT_EQ(lines[10]["value"], "31");
  EXPECT_EQ(lines[10]["type"], "Int");
  EXPECT_EQ(lines[10]["mark"], 1);
  EXPECT_EQ(lines[10]["flags"], 6);
  EXPECT_EQ(lines[11]["value"], "1 1/4");

  const CliRun written = Cli({"--empty", "--apply", "A:Int=017", "--apply", "C:Int=-5", "--apply",
                              "D:Int=12abc", "--apply", "E:Float=2.5e3", "--apply", "R:Rat=1.25",
                              "--apply", "T:String=  a,b=c  ", "--write", "-", "--line-end", "lf"});
  EXPECT_EQ(written.out,
            "Registry Version: 1.00\n\\:,1=\n\\A:Int,1,,=15\n\\C:Int,1,,=-5\n\\D:Int,1,,=12\n"
            "\\E:Float,1,,=2.500000\n\\R:Rat,1=1 1/4\n\\T:String,1=  a,b=c  \n");
}

TEST(SettingsCli, ExamplesAgainstTheDefaults) {
  const CliRun run =
      Cli({"--apply", "\\Display\\Width:String,1=800", "--apply", "Language\\Choice:String=de",
           "--apply", "Sources\\1\\:=", "--apply", "Display\\A\\B:Int=1", "--apply",
           "General\\ABCDEFGHIJKLMNOP:Int=1", "--lookup", "\\Display\\Width", "--lookup",
           "\\Language\\Choice", "--lookup", "\\Sources\\1\\", "--lookup", "\\Display\\A\\B"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0]["attributes"], false);
  EXPECT_EQ(lines[0]["value"], true);
  EXPECT_TRUE(lines[3]["node"].is_null());
  EXPECT_TRUE(lines[4]["node"].is_null());
  EXPECT_EQ(lines[5]["value"], "800");
  EXPECT_EQ(lines[5]["type"], "Int");
  EXPECT_EQ(lines[6]["value"], "de");
  EXPECT_EQ(lines[7]["type"], "Group");
  EXPECT_EQ(lines[8]["found"], false);
}

TEST(SettingsCli, LoadsInOrderAndWritesAProfile) {
  TempHome home;
  std::ofstream(home.File("a.cfg"), std::ios::binary)
      << "Registry Version: 1.00\r\n\\Display\\Width:Int,1,,=1\r\n\\Display\\Height:Int,1,,=2\r\n";
  std::ofstream(home.File("b.cfg"), std::ios::binary) << "x\n\\Display\\Width:Int,1,,=3\n";
  const CliRun run = Cli({"--load", home.File("a.cfg"), "--load", home.File("b.cfg"), "--lookup",
                          "\\Display\\Width", "--lookup", "\\Display\\Height", "--write",
                          home.File("out.cfg"), "--profile"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto lines = Lines(run.out);
  EXPECT_EQ(lines[0]["value"], "3");
  EXPECT_EQ(lines[1]["value"], "2");
  const std::string bytes = Get(home.File("out.cfg"));
  ASSERT_GT(bytes.size(), 30u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(bytes.substr(2, 4), std::string("R\0e\0", 4));
  EXPECT_NE(bytes.find(std::string("0\0\r\0\n\0", 6)), std::string::npos);
  EXPECT_EQ(bytes.find(std::string("S\0t\0r\0i\0n\0g\0s\0", 14)), std::string::npos);

  const CliRun eight =
      Cli({"--load", home.File("out.cfg"), "--write", "-", "--encoding", "8", "--profile"});
  EXPECT_NE(eight.out.find("\\Display\\Width:Int,1,,=3\r\n"), std::string::npos);
  EXPECT_EQ(eight.out.find("Strings"), std::string::npos);
}

TEST(SettingsCli, DiscoversRanksAndLoadsLanguageFiles) {
  TempHome home;
  std::ofstream(home.File("a.lng"), std::ios::binary)
      << "Deutsch (AT),de_AT\nRegistry Version: 1.00\nStrings\\MenuBar\\File\\Title:String=AT\n";
  std::ofstream(home.File("b.lng"), std::ios::binary)
      << "Deutsch,de_DE\nRegistry Version: 1.00\nStrings\\MenuBar\\File\\Title:String=DE\n";
  const CliRun run = Cli({"--language-home", home.Path(), "--choice", "de_DE.UTF-8", "--lookup",
                          "\\Strings\\MenuBar\\File\\Title"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]["found"], 2);
  EXPECT_EQ(lines[0]["entries"][0]["value"], "a.lng,Deutsch (AT),de_AT");
  EXPECT_EQ(lines[0]["chosen"], "2");
  EXPECT_EQ(lines[0]["file"], "b.lng");
  EXPECT_EQ(lines[1]["value"], "DE");

  const CliRun none = Cli({"--language-home", home.Path(), "--choice", "it"});
  EXPECT_TRUE(Lines(none.out)[0]["chosen"].is_null());
}

TEST(SettingsCli, BadInputGivesAnErrorNotACrash) {
  TempHome home;
  CliRun run = Cli({"--load", home.File("missing.cfg")});
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.err.find("missing.cfg"), std::string::npos);
  run = Cli({"--write", home.File("no/such/dir.cfg")});
  EXPECT_NE(run.status, 0);
  run = Cli({"--encoding", "7", "--write", "-"});
  EXPECT_NE(run.status, 0);
  std::ofstream(home.File("junk.cfg"), std::ios::binary) << std::string("\0\xff\xfe\n\n\\:", 7);
  run = Cli({"--load", home.File("junk.cfg"), "--apply", std::string("\x01\xff:Int=1", 8)});
  EXPECT_EQ(run.status, 0);
}
