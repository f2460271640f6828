#include "ports/k_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "temp_home.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(KLog, LineFormatWithAndWithoutCodeLetter) {
  struct tm when {};
  when.tm_year = 126;
  when.tm_mon = 11;
  when.tm_mday = 8;
  when.tm_hour = 21;
  when.tm_min = 5;
  when.tm_sec = 9;
  // The C locale stands in for the user's: %x is mm/dd/yy, %X hh:mm:ss.
  EXPECT_EQ(KLog::FormatLine(KString("K3DSystemFont::Glyphs: hDC NULL"), 'E', when),
            "E: 12/08/26 21:05:09: K3DSystemFont::Glyphs: hDC NULL");
  EXPECT_EQ(KLog::FormatLine(KString("started"), 0, when), "12/08/26 21:05:09: started");
  EXPECT_EQ(KLog::FormatLine(KString(u"Zeit \u00e9 \u0416"), 'M', when),
            "M: 12/08/26 21:05:09: Zeit \xc3\xa9 \xd0\x96");
}

TEST(KLog, AppendsFlushedLinesAndKeepsEarlierRuns) {
  TempHome home;
  const std::string path = home.File("telvane.log");
  {
    std::ofstream earlier(path);
    earlier << "M: old line\n";
  }
  KLog log;
  ASSERT_TRUE(log.Open(KString(path)));
  log.Write(KString("first"), 'E');
  // Flushed at once: readable before the log closes.
  std::string text = ReadAll(path);
  EXPECT_EQ(text.rfind("M: old line\nE: ", 0), 0u);
  EXPECT_NE(text.find(": first\n"), std::string::npos);
  log.Write(KString("second"), 'M');
  log.Close();
  text = ReadAll(path);
  EXPECT_NE(text.find(": first\nM: "), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 9), ": second\n");
  EXPECT_TRUE(std::filesystem::exists(path));
}

TEST(KLog, EmptyRunLeavesNoFileAndClosedLogIgnoresWrites) {
  TempHome home;
  const std::string path = home.File("telvane.log");
  {
    KLog log;
    ASSERT_TRUE(log.Open(KString(path)));
    EXPECT_TRUE(std::filesystem::exists(path));
  }  // closed by the destructor
  EXPECT_FALSE(std::filesystem::exists(path));

  KLog closed;
  closed.Write(KString("nowhere"), 'E');  // does nothing, does not crash
  EXPECT_FALSE(closed.IsOpen());
  EXPECT_FALSE(closed.Open(KString(home.File("missing/dir/telvane.log"))));
  closed.Write(KString("nowhere"), 'E');
  closed.Close();
}

TEST(KLog, LinesFromSeveralThreadsStayWhole) {
  TempHome home;
  const std::string path = home.File("telvane.log");
  KLog log;
  ASSERT_TRUE(log.Open(KString(path)));
  KLog::SetInstance(&log);
  std::vector<std::thread> writers;
  for (int w = 0; w < 4; ++w) {
    writers.emplace_back([w] {
      const std::string body(200, static_cast<char>('a' + w));
      for (int i = 0; i < 50; ++i) KLog::Log(KString(body), 'M');
    });
  }
  for (auto& writer : writers) writer.join();
  KLog::SetInstance(nullptr);
  KLog::Log(KString("after"));  // no instance: ignored
  log.Close();

  std::istringstream lines(ReadAll(path));
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    ++count;
    ASSERT_EQ(line.rfind("M: ", 0), 0u) << line;
    const std::string body = line.substr(line.size() - 200);
    EXPECT_EQ(body, std::string(200, body[0])) << line;
    EXPECT_EQ(line[line.size() - 202], ':');
  }
  EXPECT_EQ(count, 200);
}

}  // namespace

namespace {

TEST(KLog, NeverGrowsPastItsCapAndKeepsOneOlderFile) {
  TempHome home;
  const std::string path = home.File("telvane.log");
  KLog log;
  log.SetMaxBytes(1);  // held to the least cap
  EXPECT_EQ(log.MaxBytes(), KLog::kMinMaxBytes);
  ASSERT_TRUE(log.Open(KString(path.c_str())));
  const std::string filler(200, 'x');
  for (int i = 0; i < 3000; ++i) log.Write(KString((std::to_string(i) + " " + filler).c_str()));
  log.Write(KString("the last line"));
  const auto size = std::filesystem::file_size(path);
  const auto older = std::filesystem::file_size(path + ".1");
  EXPECT_LE(size, static_cast<uintmax_t>(KLog::kMinMaxBytes));
  EXPECT_LE(older, static_cast<uintmax_t>(KLog::kMinMaxBytes));
  EXPECT_GT(older, static_cast<uintmax_t>(KLog::kMinMaxBytes) / 2);
  EXPECT_NE(ReadAll(path).find("the last line"), std::string::npos);
  log.SetMaxBytes(int64_t{1} << 40);
  EXPECT_EQ(log.MaxBytes(), KLog::kMaxMaxBytes);
}

TEST(KLog, AHugeTextIsCut) {
  struct tm when {};
  const std::string line = KLog::FormatLine(KString(std::string(100000, 'y').c_str()), 'M', when);
  EXPECT_LT(line.size(), static_cast<size_t>(KLog::kMaxTextChars) + 64);
  EXPECT_EQ(line.substr(line.size() - 6), " [cut]");
}

}  // namespace
