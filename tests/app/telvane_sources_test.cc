// The program end to end: sources listening on loopback, fed by test
// clients as timing consoles, watched through the debug port; command lines
// reach the main window, which notes each layout switch in the log.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "layout/t_layout.h"
#include "test_home.h"

#include "tests/support/free_port.h"

namespace {

using Clock = std::chrono::steady_clock;

// A client connection to the program, retried until it is listening.
class Client {
 public:
  Client(int port, Clock::duration patience) {
    const auto giveUp = Clock::now() + patience;
    while (Clock::now() < giveUp) {
      fd_ = socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_port = htons(static_cast<uint16_t>(port));
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return;
      close(fd_);
      fd_ = -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  ~Client() { Close(); }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  bool Connected() const { return fd_ >= 0; }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  void Send(const std::string& bytes) const {
    ASSERT_EQ(send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
  }
  // Reads into `seen` until it contains `wanted` after `from`; false at the deadline.
  bool ReadUntil(std::string& seen, const std::string& wanted, size_t from = 0) const {
    const auto giveUp = Clock::now() + std::chrono::seconds(20);
    while (seen.find(wanted, from) == std::string::npos) {
      if (Clock::now() > giveUp) return false;
      pollfd waiting{fd_, POLLIN, 0};
      if (poll(&waiting, 1, 50) <= 0) continue;
      char block[4096];
      const ssize_t got = recv(fd_, block, sizeof block, 0);
      if (got <= 0) return false;
      seen.append(block, static_cast<size_t>(got));
    }
    return true;
  }

 private:
  int fd_ = -1;
};

const char kScript[] =
    "; results with STX and ETX\r\n"
    ";;Results\r\n"
    "header=\\02,length=1\r\n"
    "trailer=\\03,length=1\r\n"
    "textfield=Lane,length=1\r\n"
    "textfield=Name,stop=\\2c\r\n";

std::string Packet(const std::string& body) {
  return "\x02" + body + "\x03";
}

}  // namespace

TEST(TelvaneSources, FeedsDebugEchoCommandsAndReconnects) {
  TestHome home;
  const int alphaPort = FreeLoopbackPort();
  const int betaPort = FreeLoopbackPort();
  const int debugPort = FreeLoopbackPort();
  TestHome::WriteFile(home.InHome("Timer.rss"), kScript);
  std::string profile = "Registry Version: 1.00\n\\Sources\\:,1=\n";
  const char* names[] = {"Alpha", "Beta"};
  const int ports[] = {alphaPort, betaPort};
  for (int i = 0; i < 2; ++i) {
    const std::string group = "\\Sources\\" + std::to_string(i + 1) + "\\";
    profile += group + ":,1=\n";
    profile += group + "Name:String,1=" + names[i] + "\n";
    profile += group + "Script:String,1=Timer.rss\n";
    profile += group + "SerialPort:String,1=-2,127.0.0.1," + std::to_string(ports[i]) + "\n";
    profile += group + "CharMode:Int,1,,=0\n";
  }
  profile += "\\Sources\\DebugPort:String,1=-2,127.0.0.1," + std::to_string(debugPort) + "\n";
  // Two layouts reopened at start-up; the second is on display.
  for (const char* name : {"Board", "Other"}) {
    TLayout layout;
    ASSERT_EQ(layout.SaveTo(KString(home.InHome(std::string(name) + ".tln").c_str())), 0);
  }
  profile += "\\Layout\\RestoreOpen:Int=1\n\\Layout\\Open\\:=\n";
  profile += "\\Layout\\Open\\1:String=Board.tln\n\\Layout\\Open\\2:String=Other.tln\n";
  TestHome::WriteFile(home.InHome("telvane.cfg"), profile);

  const pid_t program = fork();
  if (program == 0) {
    execl(TELVANE_PROGRAM, TELVANE_PROGRAM, "--home", home.Home().c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }

  Client debug(debugPort, std::chrono::seconds(30));
  ASSERT_TRUE(debug.Connected());
  Client alpha(alphaPort, std::chrono::seconds(10));
  Client beta(betaPort, std::chrono::seconds(10));
  ASSERT_TRUE(alpha.Connected() && beta.Connected());
  std::string echo;

  // Noise, a packet, and command lines between packets.
  alpha.Send("xx" + Packet("1Ann,") + "\n");
  ASSERT_TRUE(debug.ReadUntil(echo, "{Alpha Results BDY TRL}")) << echo;
  EXPECT_NE(echo.find("\r\n000000:xx"), std::string::npos) << echo;
  EXPECT_NE(echo.find("{Alpha Results HDR}"), std::string::npos);
  EXPECT_NE(echo.find("xx[02]"), std::string::npos) << echo;
  EXPECT_NE(echo.find("1Ann,[03]"), std::string::npos) << echo;
  alpha.Send("Command=LayoutDraw;Name=board;Delay=0\n\n");  // the LF alone repeats it
  beta.Send(Packet("2Bob,"));
  ASSERT_TRUE(debug.ReadUntil(echo, "{Beta Results BDY TRL}")) << echo;

  // "2" shows only the second source.
  // Keys are read after the sources in each pass: wait for the key to come
  // back, so the traffic after it is surely filtered.
  const size_t filtered = echo.size();
  debug.Send("2");
  ASSERT_TRUE(debug.ReadUntil(echo, "2", filtered)) << echo;
  beta.Send(Packet("3Cid,"));
  ASSERT_TRUE(debug.ReadUntil(echo, "{Beta Results BDY TRL}", filtered)) << echo;
  const size_t quiet = echo.size();
  alpha.Send(Packet("4Dee,"));
  beta.Send(Packet("5Eve,"));
  ASSERT_TRUE(debug.ReadUntil(echo, "5Eve", quiet)) << echo;
  EXPECT_EQ(echo.find("Alpha", filtered), std::string::npos) << echo.substr(filtered);

  // A console that disconnects and comes back is read again without help.
  const size_t unfiltered = echo.size();
  debug.Send("0");
  ASSERT_TRUE(debug.ReadUntil(echo, "0", unfiltered)) << echo;
  alpha.Close();
  Client again(alphaPort, std::chrono::seconds(10));
  ASSERT_TRUE(again.Connected());
  const size_t before = echo.size();
  // Bytes sent before the listener took the new connection wait in it.
  again.Send(Packet("6Fay,"));
  EXPECT_TRUE(debug.ReadUntil(echo, "{Alpha Results BDY TRL}", before)) << echo.substr(filtered);

  kill(program, SIGTERM);
  int status = 0;
  waitpid(program, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const std::string log = TestHome::ReadFile(home.InHome("telvane.log"));
  size_t first = log.find("LayoutDraw: Board\n");
  ASSERT_NE(first, std::string::npos) << log;
  EXPECT_NE(log.find("LayoutDraw: Board\n", first + 1), std::string::npos) << log;
}
