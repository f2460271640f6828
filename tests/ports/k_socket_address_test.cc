// What the network ports bind and where they refuse to open: the addresses
// read back from the sockets, and the reasons in the log.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "base/k_stream_menu.h"
#include "loopback.h"
#include "ports/k_log.h"
#include "ports/k_port_config.h"
#include "ports/k_port_menus.h"
#include "ports/k_tcp_socket.h"
#include "ports/k_udp_socket.h"
#include "temp_home.h"

namespace {

constexpr uint32_t kLoopback = 0x7F000001u;

class SocketAddressTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(KSocket::StartNetwork());
    KPortMenus::BuildSourceMenu(sources_, KPortSettings{});
    KPortMenus::BuildDebugMenu(debug_, KPortSettings{});
    ASSERT_TRUE(log_.Open(KString(home_.File("telvane.log").c_str())));
    KLog::SetInstance(&log_);
  }
  void TearDown() override { KLog::SetInstance(nullptr); }

  // Opens `spec` through the menu; the stream, open or not.
  std::unique_ptr<KStream> Open(KStreamMenu& menu, const std::string& spec) {
    std::unique_ptr<KStream> port = menu.Make(KString(spec), nullptr);
    opened_ = port->SetSpec(KString(spec));
    return port;
  }
  static uint32_t Bound(const KStream& port) {
    return dynamic_cast<const KSocket&>(port).LocalAddress();
  }
  std::string Log() {
    log_.Close();
    std::ifstream in(home_.File("telvane.log"), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    log_.Open(KString(home_.File("telvane.log").c_str()));
    return text;
  }
  static std::string Port() { return std::to_string(Loopback::FreePort()); }

  TempHome home_;
  KLog log_;
  KStreamMenu sources_;
  KStreamMenu debug_;
  bool opened_ = false;
};

TEST_F(SocketAddressTest, ListenersBindWhatThePortTextNames) {
  auto port = Open(sources_, "-2,127.0.0.1," + Port());
  ASSERT_TRUE(opened_);
  EXPECT_EQ(Bound(*port), kLoopback);
  port = Open(sources_, "-2,localhost," + Port());
  ASSERT_TRUE(opened_);
  EXPECT_EQ(Bound(*port), kLoopback);
  // A source listener with no address is on every address, as ever...
  port = Open(sources_, "-2,," + Port());
  ASSERT_TRUE(opened_);
  EXPECT_EQ(Bound(*port), 0u);
  // ...the debug port stays on this machine unless told otherwise.
  port = Open(debug_, "-2,," + Port());
  ASSERT_TRUE(opened_);
  EXPECT_EQ(Bound(*port), kLoopback);
  port = Open(debug_, "-2,0.0.0.0," + Port());
  ASSERT_TRUE(opened_);
  EXPECT_EQ(Bound(*port), 0u);
}

TEST_F(SocketAddressTest, UdpBindsItsAddressAndBroadcastsOnlyWhenTold) {
  auto port = Open(sources_, "-3,127.0.0.1," + Port());
  ASSERT_TRUE(opened_);
  EXPECT_EQ(Bound(*port), kLoopback);
  auto& udp = dynamic_cast<KUDPSocket&>(*port);
  EXPECT_FALSE(udp.SendsBroadcast());
  port = Open(sources_, "-3,," + Port());
  ASSERT_TRUE(opened_);
  EXPECT_EQ(Bound(*port), 0u);
  EXPECT_FALSE(dynamic_cast<KUDPSocket&>(*port).SendsBroadcast());
  EXPECT_EQ(dynamic_cast<KUDPSocket&>(*port).RemoteAddress(), 0u);
  port = Open(sources_, "-3,255.255.255.255," + Port());
  ASSERT_TRUE(opened_);
  EXPECT_TRUE(dynamic_cast<KUDPSocket&>(*port).SendsBroadcast());
  // Another machine's address is where datagrams go: receive on every address.
  port = Open(sources_, "-3,192.0.2.7," + Port());
  ASSERT_TRUE(opened_);
  EXPECT_EQ(Bound(*port), 0u);
  EXPECT_EQ(dynamic_cast<KUDPSocket&>(*port).RemoteAddress(), 0xC0000207u);
  port = Open(debug_, "-3,," + Port());
  ASSERT_TRUE(opened_);
  EXPECT_EQ(Bound(*port), kLoopback);
}

TEST_F(SocketAddressTest, BadPortsAndHostsAreRefusedWithAReason) {
  for (const std::string& spec :
       {std::string("-2,127.0.0.1,0"), std::string("-2,127.0.0.1,65536"),
        std::string("-2,127.0.0.1,-1"), std::string("-2,127.0.0.1,20x"),
        std::string("-2,127.0.0.1,2147483648"), std::string("-3,127.0.0.1,70000"),
        std::string("-1,127.0.0.1,"), std::string("-1,no-such-host.invalid,5000"),
        std::string("-3,no-such-host.invalid,5000")}) {
    auto port = Open(sources_, spec);
    EXPECT_FALSE(opened_) << spec;
    EXPECT_FALSE(port->IsOpen()) << spec;
  }
  const std::string log = Log();
  EXPECT_NE(log.find("Port \"-2,127.0.0.1,0\" not opened: the port is outside 1 to 65535"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("Port \"-2,127.0.0.1,20x\" not opened: the port is missing or not a number"),
            std::string::npos);
  EXPECT_NE(log.find("no IPv4 address for host no-such-host.invalid"), std::string::npos);
}

}  // namespace
