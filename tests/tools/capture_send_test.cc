// capture and send, run as separate programs over loopback TCP: a feed
// played by send and recorded by capture comes back byte for byte with its
// timing.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "base/k_buffered_file.h"
#include "base/k_memory_stream.h"
#include "ports/k_capture_file.h"
#include "tests/base/temp_dir.h"

#include "tests/support/free_port.h"

namespace {

pid_t Spawn(const std::vector<std::string>& args, const std::string& output) {
  const pid_t child = fork();
  if (child == 0) {
    if (FILE* out = std::fopen(output.c_str(), "w")) dup2(fileno(out), STDOUT_FILENO);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(TELVANE_CLI));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(TELVANE_CLI, argv.data());
    _exit(127);
  }
  return child;
}

int Finish(pid_t child) {
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<KCapture::Chunk> ReadCapture(const std::string& path) {
  KMemoryStream stream(ReadFile(path));
  KCapture::Reader reader(stream);
  std::vector<KCapture::Chunk> chunks;
  KCapture::Chunk chunk;
  while (reader.Next(chunk)) chunks.push_back(chunk);
  EXPECT_FALSE(reader.Truncated());
  return chunks;
}

// The arrival time of every byte of a capture, in order.
std::vector<int64_t> ByteTimes(const std::vector<KCapture::Chunk>& chunks,
                               std::vector<uint8_t>& bytes) {
  std::vector<int64_t> times;
  for (const auto& chunk : chunks) {
    for (const uint8_t byte : chunk.bytes) {
      bytes.push_back(byte);
      times.push_back(chunk.atUs);
    }
  }
  return times;
}

}  // namespace

TEST(CaptureAndSend, AFeedRoundTripsByteForByteWithItsTiming) {
  TempDir dir;
  const std::string feed = dir.Path() + "/feed.tvcap";
  std::vector<KCapture::Chunk> played;
  {
    KMemoryStream out;
    KCapture::Writer writer(out);
    for (int i = 0; i < 25; ++i) {
      KCapture::Chunk chunk;
      chunk.atUs = i * 40000 + (i % 3) * 7000;
      for (int j = 0; j <= i % 5; ++j) chunk.bytes.push_back(static_cast<uint8_t>(i * 10 + j));
      writer.Add(chunk.atUs, chunk.bytes.data(), static_cast<int>(chunk.bytes.size()));
      played.push_back(chunk);
    }
    std::ofstream(feed, std::ios::binary)
        .write(reinterpret_cast<const char*>(out.Bytes().data()),
               static_cast<std::streamsize>(out.Bytes().size()));
  }
  const std::string port = std::to_string(FreeLoopbackPort());
  const std::string recorded = dir.Path() + "/recorded.tvcap";
  const pid_t capture =
      Spawn({"capture", "-2,127.0.0.1," + port, "--out", recorded, "--seconds", "20"},
            dir.Path() + "/capture.json");
  const pid_t send = Spawn({"send", "-1,127.0.0.1," + port, feed, "--wait-seconds", "10"},
                           dir.Path() + "/send.json");
  ASSERT_EQ(Finish(send), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  kill(capture, SIGINT);  // ends the recording cleanly
  ASSERT_EQ(Finish(capture), 0);

  std::vector<uint8_t> expectedBytes;
  const auto expectedTimes = ByteTimes(played, expectedBytes);
  std::vector<uint8_t> gotBytes;
  const auto gotTimes = ByteTimes(ReadCapture(recorded), gotBytes);
  ASSERT_EQ(gotBytes, expectedBytes);
  int64_t worstUs = 0;
  for (size_t i = 0; i < gotTimes.size(); ++i) {
    const int64_t drift = (gotTimes[i] - gotTimes[0]) - (expectedTimes[i] - expectedTimes[0]);
    worstUs = std::max(worstUs, drift < 0 ? -drift : drift);
  }
  // Loopback on a loaded machine: a few milliseconds normally, well under this.
  EXPECT_LT(worstUs, 40000) << "worst timing error " << worstUs << " us";
  std::printf("worst timing error: %lld us\n", static_cast<long long>(worstUs));
}

TEST(CaptureAndSend, PlainBytesGoAtTheRateAndAListenerWaitsForItsPeer) {
  TempDir dir;
  const std::string plain = dir.Path() + "/plain.bin";
  std::string text;
  for (int i = 0; i < 40; ++i) text += "Command=Trigger;Name=Go\n";  // 960 bytes
  std::ofstream(plain, std::ios::binary) << text;
  const std::string port = std::to_string(FreeLoopbackPort());
  const std::string recorded = dir.Path() + "/recorded.tvcap";
  // send listens this time; capture is the client that connects to it.
  const auto start = std::chrono::steady_clock::now();
  const pid_t send =
      Spawn({"send", "-2,127.0.0.1," + port, plain, "--rate", "1920", "--wait-seconds", "10"},
            dir.Path() + "/send.json");
  const pid_t capture =
      Spawn({"capture", "-1,127.0.0.1," + port, "--out", recorded, "--seconds", "20"},
            dir.Path() + "/capture.json");
  ASSERT_EQ(Finish(send), 0);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  kill(capture, SIGTERM);
  ASSERT_EQ(Finish(capture), 0);
  std::vector<uint8_t> got;
  const auto times = ByteTimes(ReadCapture(recorded), got);
  EXPECT_EQ(std::string(got.begin(), got.end()), text);
  ASSERT_FALSE(times.empty());
  const double spanSeconds = static_cast<double>(times.back() - times.front()) / 1e6;
  EXPECT_GT(spanSeconds, 0.4);  // 960 bytes at 1920 per second take half a second
  EXPECT_LT(spanSeconds, 0.5 + 0.3);
  EXPECT_LT(seconds, 10.0);
}

TEST(CaptureAndSend, BadInputIsAnErrorNotACrash) {
  TempDir dir;
  const std::string damaged = dir.Path() + "/damaged.tvcap";
  std::ofstream(damaged, std::ios::binary) << std::string("TVCAP\r\n\x1a\x00\x00\x09\x00", 12);
  EXPECT_EQ(Finish(Spawn({"send", "-1,127.0.0.1,1", damaged}, "/dev/null")), 1);
  EXPECT_EQ(Finish(Spawn({"send", "-1,127.0.0.1,1", dir.Path() + "/missing"}, "/dev/null")), 1);
  EXPECT_EQ(Finish(Spawn({"capture", "0,9600", "--out", dir.Path() + "/x"}, "/dev/null")), 2);
  EXPECT_EQ(Finish(Spawn({"send", "garbage", damaged}, "/dev/null")), 1);
}

TEST(CaptureAndSend, SendEndsAtOnceOnASignalInTheMiddleOfALongGap) {
  for (const int which : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(which);
    TempDir dir;
    const std::string bytes = dir.Path() + "/bytes.bin";
    std::ofstream(bytes, std::ios::binary) << "0123456789";
    // A listener standing in for the program.
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    socklen_t length = sizeof at;
    getsockname(listener, reinterpret_cast<sockaddr*>(&at), &length);
    ASSERT_EQ(listen(listener, 1), 0);
    // One byte a second, a thousand times slower: the second byte is due in
    // a quarter of an hour.
    const pid_t send = Spawn({"send", "--rate", "1", "--speed", "0.001",
                              "-1,127.0.0.1," + std::to_string(ntohs(at.sin_port)), bytes},
                             dir.Path() + "/send.json");
    const int peer = accept(listener, nullptr, nullptr);
    ASSERT_GE(peer, 0);
    char first = 0;
    ASSERT_EQ(recv(peer, &first, 1, 0), 1);
    EXPECT_EQ(first, '0');
    kill(send, which);
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(Finish(send), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(5));
    const std::vector<uint8_t> summary = ReadFile(dir.Path() + "/send.json");
    EXPECT_NE(std::string(summary.begin(), summary.end()).find("\"bytes\":1"), std::string::npos);
    close(peer);
    close(listener);
  }
}

TEST(CaptureAndSend, SendRefusesSpeedsAndRatesThatMeanNothing) {
  TempDir dir;
  const std::string bytes = dir.Path() + "/bytes.bin";
  std::ofstream(bytes, std::ios::binary) << "x";
  for (const char* option : {"--speed", "--rate"}) {
    for (const char* value : {"nan", "inf", "0", "-1", "1e300", "abc", "1e-9"}) {
      const pid_t send =
          Spawn({"send", option, value, "--wait-seconds", "0.1", "-1,127.0.0.1,9", bytes},
                dir.Path() + "/out.json");
      const int status = Finish(send);
      EXPECT_NE(status, 0) << option << " " << value;
      EXPECT_NE(status, 3) << option << " " << value << " was taken and the port tried";
    }
  }
}
