#include "ports/k_tcp_socket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "base/k_x.h"
#include "captured_log.h"
#include "loopback.h"
#include "ports/k_port_config.h"
#include "ports/k_port_menus.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class TCPTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(KSocket::StartNetwork()); }

  // The port as a source would make it from the menu.
  static void Configure(KTCPSocket& port) {
    port.SetReconnect(true);
    port.SetReplaceOnAccept(true);
    port.SetKeepAlive(true);
    KPortMenus::MakeRaw(port);
  }

  static bool OpenWithin(KTCPSocket& port, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (!port.IsOpen()) {
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(1ms);
    }
    return true;
  }
  static bool ClosedWithin(KTCPSocket& port, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (port.IsOpen()) {
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(1ms);
    }
    return true;
  }
  // What a source's polling pass sees: characters until none is waiting,
  // pass after pass, until `want` came or the time ran out.
  static std::string Drain(KTCPSocket& port, size_t want, std::chrono::milliseconds limit) {
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
  static int32_t ReadCode(KTCPSocket& port) {
    char byte;
    try {
      port.Read(&byte, 1);
    } catch (const KXStream& error) {
      return error.Code();
    }
    return 0;
  }
};

TEST_F(TCPTest, ListenerTakesEachNewClientInPlaceOfTheLast) {
  KTCPSocket port;
  Configure(port);
  ASSERT_TRUE(port.SetSpec(KString("-2,0.0.0.0," + std::to_string(Loopback::FreePort()))));
  const uint16_t at = port.LocalPort();
  ASSERT_NE(at, 0);
  EXPECT_FALSE(port.IsOpen());  // no client yet
  EXPECT_EQ(ReadCode(port), KSocket::kErrorReceive);

  const int first = Loopback::Connect(at);
  ASSERT_GE(first, 0);
  ASSERT_TRUE(OpenWithin(port, 5s));
  ASSERT_TRUE(Loopback::SendAll(first, "abc"));
  EXPECT_EQ(Drain(port, 3, 5s), "abc");
  const uint32_t generation = port.Generation();

  const int second = Loopback::Connect(at);
  ASSERT_GE(second, 0);
  const auto deadline = Clock::now() + 5s;
  while (port.Generation() == generation && Clock::now() < deadline) {
    port.IsOpen();
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_NE(port.Generation(), generation);
  // The first client was let go; the second one's bytes come through.
  bool closed = false;
  Loopback::Receive(first, 1, 5s, &closed);
  EXPECT_TRUE(closed);
  Loopback::SendAll(first, "lost");
  ASSERT_TRUE(Loopback::SendAll(second, "xyz"));
  EXPECT_EQ(Drain(port, 3, 5s), "xyz");
  // Writes go to the current client at once (no write buffer).
  port.WriteText(KString(u"ok"));
  EXPECT_EQ(Loopback::Receive(second, 2, 5s), "ok");
  close(first);
  close(second);
}

TEST_F(TCPTest, ListenerSurvivesItsClientLeavingAndComingBack) {
  const uint16_t free = Loopback::FreePort();
  KTCPSocket port;
  Configure(port);
  // The empty address is every local address, as 0.0.0.0.
  ASSERT_TRUE(port.SetSpec(KString("-2,," + std::to_string(free))));
  ASSERT_TRUE(port.IsListening());
  EXPECT_EQ(port.LocalPort(), free);
  for (int round = 0; round < 3; ++round) {
    const int client = Loopback::Connect(free);
    ASSERT_GE(client, 0);
    ASSERT_TRUE(OpenWithin(port, 5s));
    const std::string text = "round" + std::to_string(round);
    ASSERT_TRUE(Loopback::SendAll(client, text));
    EXPECT_EQ(Drain(port, text.size(), 5s), text);
    close(client);
    ASSERT_TRUE(ClosedWithin(port, 5s));
    EXPECT_TRUE(port.IsListening());
    EXPECT_EQ(ReadCode(port), KSocket::kErrorReceive);
  }
}

TEST_F(TCPTest, SpecificationsThatCannotOpen) {
  KTCPSocket port;
  Configure(port);
  EXPECT_FALSE(port.SetSpec(KString(u"-2")));
  EXPECT_FALSE(port.SetSpec(KString(u"-2,0.0.0.0")));
  EXPECT_FALSE(port.SetSpec(KString(u"-1")));
  EXPECT_FALSE(port.SetSpec(KString(u"-1,127.0.0.1")));
  EXPECT_FALSE(port.SetSpec(KString(u"-3,,1950")));
  EXPECT_FALSE(port.IsOpen());

  // A port already taken by another listener.
  const int other = Loopback::Listener(0);
  ASSERT_GE(other, 0);
  const std::string taken = "-2,127.0.0.1," + std::to_string(Loopback::PortOf(other));
  EXPECT_FALSE(port.SetSpec(KString(taken)));
  EXPECT_FALSE(port.IsListening());
  close(other);

  // No network: nothing opens.
  KSocket::StopNetwork();
  EXPECT_FALSE(port.SetSpec(KString(u"-2,,0")));
  EXPECT_FALSE(port.SetSpec(KString(u"-1,127.0.0.1,1")));
  KSocket::StartNetwork();
}

TEST_F(TCPTest, ClientWaitsForAnAbsentServerWithoutHelp) {
  const uint16_t free = Loopback::FreePort();
  KTCPSocket port;
  Configure(port);
  const auto started = Clock::now();
  ASSERT_TRUE(port.SetSpec(KString("-1,127.0.0.1," + std::to_string(free))));
  EXPECT_EQ(port.RemotePort(), free);
  EXPECT_EQ(port.RemoteAddress(), 0x7F000001u);
  // Polling an absent server never waits.
  for (int i = 0; i < 300; ++i) {
    EXPECT_FALSE(port.IsOpen());
    std::this_thread::sleep_for(1ms);
  }
  EXPECT_LT(Clock::now() - started, 5s);
  EXPECT_EQ(ReadCode(port), KSocket::kErrorReceive);

  const int server = Loopback::Listener(free);
  ASSERT_GE(server, 0);
  ASSERT_TRUE(OpenWithin(port, 5s));
  const int peer = Loopback::Accept(server, 5s);
  ASSERT_GE(peer, 0);
  ASSERT_TRUE(Loopback::SendAll(peer, "timing"));
  EXPECT_EQ(Drain(port, 6, 5s), "timing");
  close(peer);
  close(server);
}

TEST_F(TCPTest, ServerResettingMidPacketIsSurvivedAndReconnected) {
  const int server = Loopback::Listener(0);
  ASSERT_GE(server, 0);
  const uint16_t at = Loopback::PortOf(server);
  KTCPSocket port;
  Configure(port);
  ASSERT_TRUE(port.SetSpec(KString("-1,127.0.0.1," + std::to_string(at))));
  ASSERT_TRUE(OpenWithin(port, 5s));
  int peer = Loopback::Accept(server, 5s);
  ASSERT_GE(peer, 0);
  ASSERT_TRUE(Loopback::SendAll(peer,
                                "\x02"
                                "HEAD"));
  EXPECT_EQ(Drain(port, 5, 5s),
            "\x02"
            "HEAD");
  ASSERT_TRUE(Loopback::SendAll(peer, "PART"));
  Loopback::Reset(peer);
  // Whatever part of the packet arrives, reading ends in an error, never a
  // crash, and the client connects again by itself.
  Drain(port, 100, 300ms);
  peer = Loopback::Accept(server, 5s);
  ASSERT_GE(peer, 0);
  ASSERT_TRUE(OpenWithin(port, 5s));
  ASSERT_TRUE(Loopback::SendAll(peer, "NEW"));
  const std::string got = Drain(port, 3, 5s);
  EXPECT_EQ(got, "NEW");
  close(peer);
  close(server);
}

TEST_F(TCPTest, ClientWithoutReconnectStaysClosed) {
  const int server = Loopback::Listener(0);
  const uint16_t at = Loopback::PortOf(server);
  KTCPSocket port;  // plain: no reconnect
  ASSERT_TRUE(port.SetSpec(KString("-1,127.0.0.1," + std::to_string(at))));
  ASSERT_TRUE(OpenWithin(port, 5s));
  const int peer = Loopback::Accept(server, 5s);
  close(peer);
  ASSERT_TRUE(ClosedWithin(port, 5s));
  std::this_thread::sleep_for(2 * std::chrono::milliseconds(KTCPSocket::kReconnectIntervalMs));
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(Loopback::Accept(server, 100ms), -1);
  close(server);

  // Refused at once and no reconnect: the open fails.
  EXPECT_FALSE(port.SetSpec(KString("-1,127.0.0.1," + std::to_string(Loopback::FreePort()))) &&
               port.IsOpen());
}

// Block reads must hand out exactly the bytes one receive per byte would.
TEST_F(TCPTest, BlockReadsDeliverEveryByteInOrder) {
  for (const int block : {1, 7, KTCPSocket::kDefaultReceiveBlock}) {
    const int server = Loopback::Listener(0);
    KTCPSocket port;
    Configure(port);
    port.SetReceiveBlock(block);
    ASSERT_TRUE(port.SetSpec(KString("-1,127.0.0.1," + std::to_string(Loopback::PortOf(server)))));
    ASSERT_TRUE(OpenWithin(port, 5s));
    const int peer = Loopback::Accept(server, 5s);
    std::string sent;
    for (int i = 0; i < 100000; ++i) sent += static_cast<char>((i * 31 + i / 256) & 0xFF);
    std::thread writer([&] { Loopback::SendAll(peer, sent); });
    const std::string got = Drain(port, sent.size(), 30s);
    writer.join();
    EXPECT_EQ(got.size(), sent.size()) << block;
    EXPECT_TRUE(got == sent) << block;
    // The peer closes after the data: every byte still arrives first.
    ASSERT_TRUE(Loopback::SendAll(peer, "tail"));
    close(peer);
    EXPECT_EQ(Drain(port, 4, 5s), "tail");
    close(server);
  }
}

TEST_F(TCPTest, ReadsAndWritesReportTheirCounts) {
  const int server = Loopback::Listener(0);
  KTCPSocket port;
  Configure(port);
  ASSERT_TRUE(port.SetSpec(KString("-1,127.0.0.1," + std::to_string(Loopback::PortOf(server)))));
  ASSERT_TRUE(OpenWithin(port, 5s));
  const int peer = Loopback::Accept(server, 5s);
  ASSERT_TRUE(Loopback::SendAll(peer, "ab"));
  char bytes[8] = {};
  int32_t code = 0;
  int32_t count = -1;
  const auto deadline = Clock::now() + 5s;
  // Wait until both bytes are there, then ask for more than there is.
  while (Clock::now() < deadline) {
    try {
      port.Read(bytes, 4);
    } catch (const KXStream& error) {
      code = error.Code();
      count = error.Count();
      if (count == 2) break;
      // Put back nothing: the bytes read so far are gone, so start over.
      ASSERT_TRUE(count == 0 || count == 1);
      if (count == 1) {
        Loopback::SendAll(peer, "b");
      } else if (count == 0) {
        std::this_thread::sleep_for(1ms);
      }
    }
  }
  EXPECT_EQ(code, KSocket::kErrorReceiveShort);
  EXPECT_EQ(count, 2);

  // With a read time-out the read waits for the data.
  port.SetReadTimeout(5000);
  std::thread late([&] {
    std::this_thread::sleep_for(30ms);
    Loopback::SendAll(peer, "Z");
  });
  port.Read(bytes, 1);
  EXPECT_EQ(bytes[0], 'Z');
  late.join();
  port.SetReadTimeout(0);

  port.Write("hi", 2);
  EXPECT_EQ(Loopback::Receive(peer, 2, 5s), "hi");
  close(peer);
  ASSERT_TRUE(ClosedWithin(port, 5s));
  port.SetReconnect(false);
  port.Close();
  try {
    port.Write("x", 1);
    FAIL() << "write on a closed port";
  } catch (const KXStream& error) {
    EXPECT_EQ(error.Code(), KSocket::kErrorSend);
  }
  close(server);
}

TEST_F(TCPTest, WriteBufferCollectsUntilFlushed) {
  const int server = Loopback::Listener(0);
  KTCPSocket port(8);
  ASSERT_TRUE(port.SetSpec(KString("-1,127.0.0.1," + std::to_string(Loopback::PortOf(server)))));
  ASSERT_TRUE(OpenWithin(port, 5s));
  const int peer = Loopback::Accept(server, 5s);
  port.Write("abc", 3);
  EXPECT_EQ(Loopback::Receive(peer, 1, 50ms), "");
  port.Write("defghij", 7);  // fills the 8 bytes: they go
  EXPECT_EQ(Loopback::Receive(peer, 8, 5s), "abcdefgh");
  port.FlushOutput();
  EXPECT_EQ(Loopback::Receive(peer, 2, 5s), "ij");
  port.Write("zz", 2);
  port.DiscardOutput();
  port.FlushOutput();
  EXPECT_EQ(Loopback::Receive(peer, 1, 50ms), "");
  close(peer);
  close(server);
}

TEST_F(TCPTest, ClonesCarryTheFlags) {
  KTCPSocket prototype(32);
  Configure(prototype);
  prototype.SetNoDelay(true);
  prototype.SetBlockingConnect(true);
  prototype.SetReceiveBlock(5);
  prototype.SetReadTimeout(9);
  prototype.SetKeepBusyClient(true);
  prototype.SetIdleClientMs(1234);
  std::unique_ptr<KStream> copy = prototype.Clone();
  auto& tcp = dynamic_cast<KTCPSocket&>(*copy);
  EXPECT_EQ(tcp.BufferSize(), 32);
  EXPECT_TRUE(tcp.Reconnect());
  EXPECT_TRUE(tcp.ReplaceOnAccept());
  EXPECT_TRUE(tcp.KeepAlive());
  EXPECT_TRUE(tcp.NoDelay());
  EXPECT_TRUE(tcp.BlockingConnect());
  EXPECT_EQ(tcp.ReceiveBlock(), 5);
  EXPECT_EQ(tcp.ReadTimeout(), 9);
  EXPECT_TRUE(tcp.KeepBusyClient());
  EXPECT_EQ(tcp.IdleClientMs(), 1234);
  EXPECT_FALSE(tcp.IsOpen());
}

}  // namespace

namespace {

// A client that sends a numbered line now and then, so every byte can be
// checked at the end.
std::string Lines(const std::string& who, int from, int to) {
  std::string text;
  for (int i = from; i < to; ++i) text += who + std::to_string(i) + ";";
  return text;
}

}  // namespace

TEST_F(TCPTest, ABusyClientIsNeverTakenOverAndLosesNoByte) {
  CapturedLog log;
  ASSERT_TRUE(log.IsOpen());
  KTCPSocket port;
  Configure(port);
  port.SetKeepBusyClient(true);
  ASSERT_TRUE(port.SetSpec(KString("-2,127.0.0.1," + std::to_string(Loopback::FreePort()))));
  const int console = Loopback::Connect(port.LocalPort());
  ASSERT_TRUE(OpenWithin(port, 5s));
  const uint32_t generation = port.Generation();
  ASSERT_TRUE(Loopback::SendAll(console, Lines("c", 0, 100)));
  std::string got = Drain(port, Lines("c", 0, 100).size(), 5s);
  // Someone else connects and sends while the console goes on.
  const int intruder = Loopback::Connect(port.LocalPort());
  ASSERT_GE(intruder, 0);
  ASSERT_TRUE(Loopback::SendAll(intruder, Lines("x", 0, 50)));
  ASSERT_TRUE(Loopback::SendAll(console, Lines("c", 100, 200)));
  got += Drain(port, Lines("c", 100, 200).size(), 5s);
  EXPECT_EQ(got, Lines("c", 0, 200));
  EXPECT_EQ(port.Generation(), generation);
  EXPECT_TRUE(port.HasWaitingClient());
  // The console's last bytes and its close: every byte is read before the
  // waiting client takes over, and then the waiting client's bytes follow.
  ASSERT_TRUE(Loopback::SendAll(console, Lines("c", 200, 300)));
  close(console);
  got = Drain(port, Lines("c", 200, 300).size() + Lines("x", 0, 50).size(), 10s);
  EXPECT_EQ(got, Lines("c", 200, 300) + Lines("x", 0, 50));
  EXPECT_NE(port.Generation(), generation);
  EXPECT_FALSE(port.HasWaitingClient());
  close(intruder);
  // The log tells of the newcomer and of the takeover.
  const std::string lines = log.Text();
  EXPECT_NE(lines.find("a second client waits while the current one is connected"),
            std::string::npos)
      << lines;
  EXPECT_NE(lines.find("the waiting client takes over from the one that closed"), std::string::npos)
      << lines;
}

TEST_F(TCPTest, ASilentClientGivesWayToTheNewestWaitingOne) {
  KTCPSocket port;
  Configure(port);
  port.SetKeepBusyClient(true);
  port.SetIdleClientMs(300);
  ASSERT_TRUE(port.SetSpec(KString("-2,127.0.0.1," + std::to_string(Loopback::FreePort()))));
  const int stale = Loopback::Connect(port.LocalPort());
  ASSERT_TRUE(OpenWithin(port, 5s));
  ASSERT_TRUE(Loopback::SendAll(stale, "old;"));
  EXPECT_EQ(Drain(port, 4, 5s), "old;");
  // Two newcomers while the old one is quiet: the newer one waits in place
  // of the older, which is let go.
  const int first = Loopback::Connect(port.LocalPort());
  port.IsOpen();
  const int second = Loopback::Connect(port.LocalPort());
  ASSERT_TRUE(Loopback::SendAll(second, "new;"));
  const auto deadline = Clock::now() + 10s;
  std::string got;
  while (got.size() < 4 && Clock::now() < deadline) {
    got += Drain(port, 4 - got.size(), 50ms);
  }
  EXPECT_EQ(got, "new;");
  bool closed = false;
  Loopback::Receive(first, 1, 5s, &closed);
  EXPECT_TRUE(closed) << "the older waiting client is let go";
  Loopback::Receive(stale, 1, 5s, &closed);
  EXPECT_TRUE(closed) << "the silent client is let go";
  close(stale);
  close(first);
  close(second);
}
