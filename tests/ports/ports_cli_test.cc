#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "pty_pair.h"
#include "tools/telvane-cli/command_registry.h"

namespace {

int Cli(std::vector<std::string> args, std::string& out) {
  args.insert(args.begin(), "telvane-cli");
  std::vector<const char*> argv;
  for (const auto& arg : args) argv.push_back(arg.c_str());
  std::ostringstream captured;
  std::streambuf* saved = std::cout.rdbuf(captured.rdbuf());
  const int status = RunCli(static_cast<int>(argv.size()), argv.data());
  std::cout.rdbuf(saved);
  out = captured.str();
  return status;
}

TEST(PortsCli, ListsEnumeratedPortsWithLabels) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  std::string out;
  // Mask 1 keeps only subtype 0, so the machine's own ttyS ports stay out.
  ASSERT_EQ(Cli({"ports", "--device", "3=" + pty.SlaveName(), "--device", "0x5=" + pty.SlaveName(),
                 "--type-mask", "1"},
                out),
            0);
  std::istringstream lines(out);
  std::string line;
  std::vector<nlohmann::json> ports;
  while (std::getline(lines, line)) ports.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0]["port"], 3);
  EXPECT_EQ(ports[0]["label"], "COM3 (Unknown)");
  EXPECT_EQ(ports[0]["subtype"], 0);
  EXPECT_EQ(ports[0]["device"], pty.SlaveName());
  EXPECT_EQ(ports[1]["port"], 5);
  EXPECT_EQ(ports[1]["label"], "COM5 (Unknown)");

  ASSERT_EQ(Cli({"ports", "--device", "3=" + pty.SlaveName(), "--noserialport"}, out), 0);
  EXPECT_EQ(out, "");
}

TEST(PortsCli, BadArgumentsFailWithoutOutput) {
  std::string out;
  EXPECT_NE(Cli({"ports", "--device", "x=/dev/null"}, out), 0);
  EXPECT_NE(Cli({"ports", "--device", "0=/dev/null"}, out), 0);
  EXPECT_NE(Cli({"ports", "--device", "3"}, out), 0);
  EXPECT_NE(Cli({"ports", "--type-mask", "all"}, out), 0);
  EXPECT_EQ(out, "");
}

}  // namespace
