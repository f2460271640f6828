#include "ports/k_command_server.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <future>
#include <string>
#include <vector>

#include "tests/base/temp_dir.h"

namespace {

// Sends from a second thread while the server polls on this one, the way
// another program talks to the running one.
std::string Ask(KCommandServer& server, const std::string& path, const std::string& command) {
  auto reply = std::async(std::launch::async, [&] {
    std::string answer;
    std::string error;
    return KCommandServer::Send(path, command, 3000, answer, error) ? answer : "error: " + error;
  });
  while (reply.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) server.Poll();
  return reply.get();
}

TEST(KCommandServer, AcknowledgesOneCommandAndIsBusyUntilItIsTaken) {
  TempDir home;
  const std::string folder = home.Path() + "/run";
  std::vector<std::string> received;
  std::string pending;
  KCommandServer server;
  std::string error;
  ASSERT_TRUE(server.Listen(
      folder,
      [&](const std::string& command) {
        if (!pending.empty()) return false;
        pending = command;
        received.push_back(command);
        return true;
      },
      error))
      << error;
  struct stat info {};
  ASSERT_EQ(stat(folder.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  const std::string path = KCommandServer::SocketPath(folder);
  EXPECT_EQ(Ask(server, path, "OpenLayout,\"/a,b/results.tln\""), "ACK");
  EXPECT_EQ(Ask(server, path, "OpenLayout,/other.tln"), "BUSY");
  pending.clear();
  EXPECT_EQ(Ask(server, path, "OpenLayout,/other.tln"), "ACK");
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[0], "OpenLayout,\"/a,b/results.tln\"");

  // A long command is cut to 511 bytes, never inside a character.
  pending.clear();
  std::string longer = "OpenLayout," + std::string(498, 'x') + "\xC3\xA9\xC3\xA9";
  ASSERT_EQ(longer.size(), 513u);
  EXPECT_EQ(Ask(server, path, longer), "ACK");
  EXPECT_EQ(received.back().size(), 511u);
  EXPECT_EQ(received.back().substr(509), "\xC3\xA9");

  server.Stop();
  EXPECT_NE(access(path.c_str(), F_OK), 0);
}

TEST(KCommandServer, ReplacesALeftoverSocketButNeverALiveOne) {
  TempDir home;
  const std::string folder = home.Path() + "/run";
  std::string error;
  KCommandServer first;
  ASSERT_TRUE(first.Listen(folder, [](const std::string&) { return true; }, error));
  KCommandServer second;
  EXPECT_FALSE(second.Listen(folder, [](const std::string&) { return true; }, error));
  EXPECT_NE(error.find("in use"), std::string::npos);
  EXPECT_EQ(Ask(first, KCommandServer::SocketPath(folder), "x"), "ACK");

  // A socket file that nobody serves any more is taken over.
  const std::string path = KCommandServer::SocketPath(folder);
  const int stale = socket(AF_UNIX, SOCK_STREAM, 0);
  first.Stop();
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, path.c_str());
  ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  close(stale);  // the file stays behind
  ASSERT_EQ(access(path.c_str(), F_OK), 0);
  KCommandServer third;
  EXPECT_TRUE(third.Listen(folder, [](const std::string&) { return true; }, error)) << error;
  EXPECT_EQ(Ask(third, path, "y"), "ACK");
}

TEST(KCommandServer, RefusesAFolderOthersCouldUse) {
  TempDir home;
  const std::string folder = home.Path() + "/run";
  ASSERT_EQ(mkdir(folder.c_str(), 0777), 0);
  ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
  KCommandServer server;
  std::string error;
  // An open folder of the user's own is closed again; a file is refused.
  ASSERT_TRUE(server.Listen(folder, [](const std::string&) { return true; }, error)) << error;
  struct stat info {};
  ASSERT_EQ(stat(folder.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  server.Stop();
  const std::string file = home.Path() + "/file";
  FILE* made = std::fopen(file.c_str(), "w");
  ASSERT_NE(made, nullptr);
  std::fclose(made);
  EXPECT_FALSE(server.Listen(file, [](const std::string&) { return true; }, error));
}

TEST(KCommandServer, ClientWithoutServerFailsClearly) {
  TempDir home;
  std::string answer;
  std::string error;
  EXPECT_FALSE(KCommandServer::Send(home.Path() + "/none/System", "x", 100, answer, error));
  EXPECT_NE(error.find("no running telvane"), std::string::npos);
}

}  // namespace
