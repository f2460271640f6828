#include "ports/k_udp_socket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "base/k_x.h"
#include "loopback.h"
#include "ports/k_port_config.h"
#include "ports/k_port_menus.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

int UdpSocket(uint16_t bindPort = 0) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in at = Loopback::Address(bindPort);
  bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at);
  return fd;
}

uint16_t FreeUdpPort() {
  const int fd = UdpSocket();
  const uint16_t port = Loopback::PortOf(fd);
  close(fd);
  return port;
}

void SendTo(int fd, uint16_t port, const std::string& bytes) {
  sockaddr_in to = Loopback::Address(port);
  sendto(fd, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

class UDPTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(KSocket::StartNetwork()); }

  static int32_t ReadCode(KUDPSocket& port, int32_t* count = nullptr) {
    char bytes[4];
    try {
      port.Read(bytes, 1);
    } catch (const KXStream& error) {
      if (count) *count = error.Count();
      return error.Code();
    }
    return 0;
  }
  static std::string Drain(KUDPSocket& port, size_t want, std::chrono::milliseconds limit) {
    std::string got;
    const auto deadline = Clock::now() + limit;
    while (got.size() < want && Clock::now() < deadline) {
      try {
        while (got.size() < want) got += static_cast<char>(port.ReadChar());
      } catch (const KX&) {
        std::this_thread::sleep_for(1ms);
      }
    }
    return got;
  }
};

TEST_F(UDPTest, SpecificationRules) {
  KUDPSocket port(2048, 2048);
  EXPECT_FALSE(port.SetSpec(KString(u"-3,10.0.0.5,0")));
  EXPECT_FALSE(port.SetSpec(KString(u"-3")));
  EXPECT_FALSE(port.SetSpec(KString(u"-3,")));
  EXPECT_FALSE(port.SetSpec(KString(u"-3,,x")));
  EXPECT_FALSE(port.IsOpen());

  const uint16_t free = FreeUdpPort();
  ASSERT_TRUE(port.SetSpec(KString("-3,," + std::to_string(free))));
  EXPECT_TRUE(port.IsOpen());
  // Missing or zero address: it receives, and sends nowhere (never to the
  // broadcast address unless one is named).
  EXPECT_EQ(port.RemoteAddress(), 0u);
  EXPECT_FALSE(port.SendsBroadcast());
  EXPECT_EQ(port.RemotePort(), free);
  ASSERT_TRUE(port.SetSpec(KString("-3,0.0.0.0," + std::to_string(free))));
  EXPECT_EQ(port.RemoteAddress(), 0u);
  ASSERT_TRUE(port.SetSpec(KString("-3,255.255.255.255," + std::to_string(free))));
  EXPECT_TRUE(port.SendsBroadcast());
  ASSERT_TRUE(port.SetSpec(KString("-3,127.0.0.1," + std::to_string(free))));
  EXPECT_EQ(port.RemoteAddress(), 0x7F000001u);
  port.Close();
  EXPECT_FALSE(port.IsOpen());

  KUDPSocket unbuffered(0, 2048);
  EXPECT_FALSE(unbuffered.SetSpec(KString("-3,," + std::to_string(free))));
}

TEST_F(UDPTest, ReceivesFromSeveralSendersWithoutBoundaries) {
  KUDPSocket port(2048, 2048);
  KPortMenus::MakeRaw(port);
  const uint16_t free = FreeUdpPort();
  ASSERT_TRUE(port.SetSpec(KString("-3,," + std::to_string(free))));
  int32_t count = -1;
  EXPECT_EQ(ReadCode(port, &count), KSocket::kErrorReceive);  // nothing waiting
  EXPECT_EQ(count, 0);

  const int a = UdpSocket();
  const int b = UdpSocket();
  SendTo(a, free, "A1");
  SendTo(b, free, "B1");
  SendTo(a, free, "A2");
  SendTo(b, free, std::string("\x00\xFF", 2));
  EXPECT_EQ(Drain(port, 8, 5s), std::string("A1B1A2\x00\xFF", 8));

  // An empty datagram is an error of its own.
  SendTo(a, free, "");
  int32_t code = 0;
  const auto deadline = Clock::now() + 5s;
  while ((code = ReadCode(port)) == KSocket::kErrorReceive && Clock::now() < deadline) {
    std::this_thread::sleep_for(1ms);
  }
  EXPECT_EQ(code, KSocket::kErrorReceiveShort);

  // A read time-out waits for the next datagram.
  port.SetReadTimeout(5000);
  std::thread late([&] {
    std::this_thread::sleep_for(30ms);
    SendTo(b, free, "L");
  });
  char byte = 0;
  port.Read(&byte, 1);
  EXPECT_EQ(byte, 'L');
  late.join();
  close(a);
  close(b);
}

TEST_F(UDPTest, FlushSendsDatagramsOfAtMost536Bytes) {
  const int receiver = UdpSocket();
  const uint16_t at = Loopback::PortOf(receiver);
  KUDPSocket port(2048, 0);  // sends only
  ASSERT_TRUE(port.SetSpec(KString("-3,127.0.0.1," + std::to_string(at))));
  std::string sent;
  for (int i = 0; i < 1200; ++i) sent += static_cast<char>('a' + i % 26);
  port.Write(sent.data(), static_cast<int>(sent.size()));
  port.FlushOutput();
  std::vector<size_t> sizes;
  std::string got;
  while (got.size() < sent.size()) {
    pollfd probe{receiver, POLLIN, 0};
    if (poll(&probe, 1, 5000) <= 0) break;
    char block[2048];
    const ssize_t n = recv(receiver, block, sizeof block, 0);
    if (n <= 0) break;
    sizes.push_back(static_cast<size_t>(n));
    got.append(block, static_cast<size_t>(n));
  }
  EXPECT_EQ(sizes, (std::vector<size_t>{536, 536, 128}));
  EXPECT_EQ(got, sent);
  // Nothing collected: nothing sent.
  port.FlushOutput();

  // More than the buffer holds: the rest is refused with the count taken.
  const std::string big(3000, 'x');
  try {
    port.Write(big.data(), static_cast<int>(big.size()));
    FAIL() << "overfull write";
  } catch (const KXStream& error) {
    EXPECT_EQ(error.Code(), KSocket::kErrorSendShort);
    EXPECT_EQ(error.Count(), 2048);
  }
  port.DiscardOutput();
  port.Close();
  try {
    port.Write("x", 1);
    FAIL() << "write on a closed port";
  } catch (const KXStream& error) {
    EXPECT_EQ(error.Code(), KSocket::kErrorSend);
  }
  close(receiver);
}

TEST_F(UDPTest, ClonesKeepTheirSizes) {
  // A receive size above the largest datagram is kept; a smaller one is
  // raised to it.
  KUDPSocket prototype(4096, 100000, 100);
  std::unique_ptr<KStream> copy = prototype.Clone();
  auto& udp = dynamic_cast<KUDPSocket&>(*copy);
  EXPECT_EQ(udp.BufferSize(), 4096);
  EXPECT_EQ(udp.ReceiveSize(), 100000);
  EXPECT_EQ(KUDPSocket(4096, 1024).ReceiveSize(), KUDPSocket::kReceiveBytes);
  EXPECT_EQ(udp.MaxDatagram(), 100);
  EXPECT_EQ(KUDPSocket(16, 16, 0).MaxDatagram(), 1);
}

}  // namespace

TEST_F(UDPTest, ADatagramLargerThanTheBufferSettingArrivesWhole) {
  // The setting asks for 2048 bytes; a 2500-byte datagram must not be cut,
  // and the next one must not be glued onto what is left of it.
  KUDPSocket port(2048, 2048);
  KPortMenus::MakeRaw(port);
  const uint16_t free = FreeUdpPort();
  ASSERT_TRUE(port.SetSpec(KString("-3,127.0.0.1," + std::to_string(free))));
  std::string big;
  for (int i = 0; i < 2500; ++i) big += static_cast<char>('a' + i % 26);
  const int sender = UdpSocket();
  SendTo(sender, free, big);
  SendTo(sender, free, "NEXT");
  std::string got;
  char16_t chars[512];
  const auto deadline = Clock::now() + 5s;
  while (got.size() < big.size() + 4 && Clock::now() < deadline) {
    const int count = port.ReadAvailableChars(chars, 512);
    for (int i = 0; i < count; ++i) got += static_cast<char>(chars[i]);
  }
  EXPECT_EQ(got, big + "NEXT");
  EXPECT_EQ(port.Lost(), 0);
  close(sender);
}

TEST_F(UDPTest, OwnLoopbackDatagramsAreNoInput) {
  // Sending to the port it receives on, as a debug port with no address
  // does, must not feed its own output back to it.
  KUDPSocket port(2048, 2048);
  KPortMenus::MakeRaw(port);
  port.SetEmptyIsLoopback(true);
  const uint16_t free = FreeUdpPort();
  ASSERT_TRUE(port.SetSpec(KString("-3,," + std::to_string(free))));
  EXPECT_EQ(port.RemoteAddress(), 0x7F000001u);
  EXPECT_EQ(port.LocalAddress(), 0x7F000001u);
  port.WriteText(KString(u"echo"));
  port.FlushOutput();
  const int sender = UdpSocket();
  SendTo(sender, free, "key");
  EXPECT_EQ(Drain(port, 3, 5s), "key");
  close(sender);
}
