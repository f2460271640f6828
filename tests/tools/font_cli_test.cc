// fnt and text, run as the operator runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/base/temp_dir.h"

namespace {

const std::string kTestFont = std::string(TELVANE_TEST_DATA) + "/fonts/telvane-test.ttf";

int RunTool(const std::vector<std::string>& args, const std::string& output) {
  const pid_t child = fork();
  if (child == 0) {
    if (FILE* out = std::fopen(output.c_str(), "w")) dup2(fileno(out), STDOUT_FILENO);
    std::vector<char*> argv{const_cast<char*>(TELVANE_CLI)};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(TELVANE_CLI, argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t BigEndian(const std::string& bytes, size_t at) {
  return (uint32_t{static_cast<uint8_t>(bytes[at])} << 24) |
         (uint32_t{static_cast<uint8_t>(bytes[at + 1])} << 16) |
         (uint32_t{static_cast<uint8_t>(bytes[at + 2])} << 8) | static_cast<uint8_t>(bytes[at + 3]);
}

TEST(FontCli, MakeDumpAndDrawWithTheSportFont) {
  TempDir dir;
  const std::string fnt = dir.Path() + "/box-24.fnt";
  const std::string out = dir.Path() + "/out.txt";
  ASSERT_EQ(RunTool({"fnt", "make", kTestFont, "--size", "24", "--out", fnt}, out), 0);
  EXPECT_NE(ReadAll(out).find("\"size\":24"), std::string::npos);
  ASSERT_EQ(RunTool({"fnt", "dump", fnt, "--text"}, out), 0);
  const std::string dump = ReadAll(out);
  // The 'I' block: border row, then border, four face pixels, border, shadow.
  const size_t at = dump.find("code 73 8x24\n");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(dump.substr(at + 13 + 9 * 2, 9 * 3), "777777..\n7111178.\n71111788\n");

  // The made file is the sport font (empty name) of a home holding it.
  const std::string png = dir.Path() + "/sport.png";
  ASSERT_EQ(RunTool({"text", "I1", "--font", "", "--size", "24", "--home", dir.Path(), "--margin",
                     "0", "--out", png},
                    out),
            0);
  const std::string bytes = ReadAll(png);
  ASSERT_GT(bytes.size(), 24u);
  EXPECT_EQ(bytes.substr(1, 3), "PNG");
  EXPECT_EQ(BigEndian(bytes, 16), 8u + 12u);  // 'I' and a digit block side by side
  EXPECT_EQ(BigEndian(bytes, 20), 24u);
}

TEST(FontCli, TextThroughASystemFontAndItsErrors) {
  TempDir dir;
  const std::string png = dir.Path() + "/text.png";
  const std::string out = dir.Path() + "/out.txt";
  ASSERT_EQ(RunTool({"text", "12:34.5", "--font", "Telvane Test", "--font-file", kTestFont,
                     "--size", "24", "--available", "50", "--face", "#FFFFFF", "--background", "7",
                     "--home", dir.Path(), "--out", png},
                    out),
            0);
  const std::string line = ReadAll(out);
  EXPECT_NE(line.find("\"text\":\"12:3\""), std::string::npos) << line;
  EXPECT_NE(line.find("\"width\":43"), std::string::npos) << line;
  EXPECT_EQ(ReadAll(png).substr(1, 3), "PNG");
  EXPECT_NE(RunTool({"text", "x", "--font", "No Such Family Anywhere", "--home", dir.Path(),
                     "--out", png},
                    out),
            0);
  EXPECT_NE(RunTool({"text", "x", "--face", "11", "--font-file", kTestFont, "--font",
                     "Telvane Test", "--home", dir.Path(), "--out", png},
                    out),
            0);
  EXPECT_NE(RunTool({"fnt", "make", dir.Path() + "/missing.ttf", "--size", "24", "--out",
                     dir.Path() + "/x.fnt"},
                    out),
            0);
}

}  // namespace
