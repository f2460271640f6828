#include "ports/k_debug_port.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>

#include "config/k_default_settings.h"
#include "config/k_r_string.h"
#include "config/k_registry.h"
#include "loopback.h"
#include "ports/k_serial_port.h"
#include "ports/k_serial_port_info.h"
#include "ports/k_tcp_socket.h"
#include "pty_pair.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The debug port on COM2, a pseudo-terminal whose master is the terminal
// the operator watches.
class DebugPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.Ok());
    KSerialPortInfo::Enumeration settings;
    const std::string slave = pty_.SlaveName();
    settings.device = [slave](int number) {
      return number == 2 ? slave : "/nonexistent-telvane/ttyS" + std::to_string(number - 1);
    };
    ASSERT_EQ(KSerialPortInfo::Enumerate(settings), 1);
    ASSERT_TRUE(KSocket::StartNetwork());
  }
  void TearDown() override {
    debug_.reset();
    KSerialPortInfo::Clear();
  }

  // One polling pass with the given characters of source `index`.
  void Pass(int index, const std::string& bytes) {
    ASSERT_TRUE(debug_->BeginPass());
    for (const char ch : bytes) debug_->Echo(index, static_cast<unsigned char>(ch));
    debug_->EndPass();
  }

  PtyPair pty_;
  std::unique_ptr<KDebugPort> debug_ = std::make_unique<KDebugPort>(KPortSettings{});
};

TEST_F(DebugPortTest, EchoFormat) {
  ASSERT_TRUE(debug_->SetSpec(KString(u"2,115200,8,N,1.0")));
  EXPECT_NE(dynamic_cast<KSerialPort*>(debug_->Stream()), nullptr);
  Pass(0, std::string("A\x02", 2));
  EXPECT_EQ(pty_.Receive(13, 5s), "\r\n000000:A[02]");
  // The line has 64 columns: 59 more fit after "A[02]", the 60th opens a line.
  Pass(0, std::string(60, 'x'));
  EXPECT_EQ(pty_.Receive(59 + 9 + 1, 5s), std::string(59, 'x') + "\r\n000061:x");
  // A piece that does not fit in the room left starts the next line whole.
  Pass(0, std::string(62, 'y') + "\x7f");
  EXPECT_EQ(pty_.Receive(62 + 9 + 4, 5s), std::string(62, 'y') + "\r\n000124:[7F]");
  EXPECT_EQ(debug_->Counter(), 125);
  EXPECT_EQ(debug_->Room(), 60);

  // Character codes above 255 never appear as themselves.
  ASSERT_TRUE(debug_->BeginPass());
  debug_->Echo(0, 0x1234);
  debug_->Echo(0, 0xE9);
  debug_->Echo(0, ' ');
  debug_->Echo(0, '~');
  debug_->EndPass();
  EXPECT_EQ(pty_.Receive(12, 5s), "[1234][E9] ~");
  EXPECT_EQ(KDebugPort::EchoPiece(0), "[00]");
  EXPECT_EQ(KDebugPort::EchoPiece(10), "[0A]");
  EXPECT_EQ(KDebugPort::EchoPiece('A'), "A");
}

TEST_F(DebugPortTest, EventsStandOnLinesOfTheirOwn) {
  ASSERT_TRUE(debug_->SetSpec(KString(u"2")));
  ASSERT_TRUE(debug_->BeginPass());
  debug_->Echo(0, 'a');
  debug_->Event(0, KString(u"Packet Result"));
  debug_->Echo(0, 'b');
  debug_->EndPass();
  EXPECT_EQ(pty_.Receive(100, 500ms), "\r\n000000:a\r\n000001:Packet Result\r\n000001:b");
  // A text longer than a line gets a line start of its own before it.
  const std::string longText(70, 'L');
  ASSERT_TRUE(debug_->BeginPass());
  debug_->Event(0, KString(longText));
  debug_->EndPass();
  EXPECT_EQ(pty_.Receive(200, 500ms), "\r\n000002:\r\n000002:" + longText + "\r\n000002:");
}

TEST_F(DebugPortTest, DigitTypedOnTheTerminalPicksTheSource) {
  ASSERT_TRUE(debug_->SetSpec(KString(u"2")));
  Pass(0, "");
  ASSERT_TRUE(pty_.Send("2"));
  // The key is read at the end of a pass and written back.
  const auto deadline = Clock::now() + 5s;
  while (debug_->Filter() != 1 && Clock::now() < deadline) {
    Pass(0, "");
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_EQ(debug_->Filter(), 1);
  EXPECT_EQ(pty_.Receive(1, 5s), "2");
  ASSERT_TRUE(debug_->BeginPass());
  debug_->Echo(0, 'a');
  debug_->Event(0, KString(u"hidden"));
  debug_->Echo(1, 'b');
  debug_->Event(1, KString(u"shown"));
  debug_->Echo(2, 'c');
  debug_->EndPass();
  EXPECT_EQ(pty_.Receive(100, 500ms), "\r\n000000:b\r\n000001:shown\r\n000001:");

  ASSERT_TRUE(pty_.Send("x0"));
  const auto until = Clock::now() + 5s;
  while (debug_->Filter() != KDebugPort::kAllSources && Clock::now() < until) {
    Pass(0, "");
    std::this_thread::sleep_for(1ms);
  }
  EXPECT_EQ(debug_->Filter(), KDebugPort::kAllSources);
  EXPECT_EQ(pty_.Receive(2, 5s), "x0");
  Pass(2, "c");
  EXPECT_EQ(pty_.Receive(1, 5s), "c");
}

TEST_F(DebugPortTest, NewClientStartsTheCounterAgain) {
  ASSERT_TRUE(debug_->SetSpec(KString("-2,127.0.0.1," + std::to_string(Loopback::FreePort()))));
  auto* tcp = dynamic_cast<KTCPSocket*>(debug_->Stream());
  ASSERT_NE(tcp, nullptr);
  EXPECT_FALSE(debug_->BeginPass());  // no client: inactive, echo does nothing
  debug_->Echo(0, 'z');
  debug_->EndPass();
  EXPECT_EQ(debug_->Counter(), 0);

  const auto activeWithin = [&](std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    while (!debug_->BeginPass()) {
      debug_->EndPass();
      if (Clock::now() > deadline) return false;
      std::this_thread::sleep_for(1ms);
    }
    return true;
  };
  int client = Loopback::Connect(tcp->LocalPort());
  ASSERT_TRUE(activeWithin(5s));
  for (const char ch : std::string("abc")) debug_->Echo(0, ch);
  debug_->EndPass();
  EXPECT_EQ(Loopback::Receive(client, 12, 5s), "\r\n000000:abc");
  close(client);
  // Gone: the next passes find the port inactive and reset.
  const auto deadline = Clock::now() + 5s;
  while (debug_->BeginPass() && Clock::now() < deadline) {
    debug_->EndPass();
    std::this_thread::sleep_for(1ms);
  }
  debug_->EndPass();
  EXPECT_EQ(debug_->Counter(), 0);

  client = Loopback::Connect(tcp->LocalPort());
  ASSERT_TRUE(activeWithin(5s));
  debug_->Echo(0, 'd');
  debug_->EndPass();
  EXPECT_EQ(Loopback::Receive(client, 10, 5s), "\r\n000000:d");

  // A second client replacing the first between two passes starts again too.
  const int replacing = Loopback::Connect(tcp->LocalPort());
  const uint32_t generation = tcp->Generation();
  const auto until = Clock::now() + 5s;
  while (tcp->Generation() == generation && Clock::now() < until) {
    debug_->BeginPass();
    debug_->EndPass();
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_TRUE(activeWithin(5s));
  debug_->Echo(0, 'e');
  debug_->EndPass();
  EXPECT_EQ(Loopback::Receive(replacing, 10, 5s), "\r\n000000:e");
  close(client);
  close(replacing);
}

TEST_F(DebugPortTest, FollowsTheSettingAndIsOffAtZero) {
  KRegistry root(KDefaultSettings::Table());
  ASSERT_TRUE(debug_->Watch(root) == false);  // "0" by default: off
  EXPECT_EQ(debug_->Spec(), KString(u"0"));
  EXPECT_FALSE(debug_->BeginPass());
  KRString* setting = root.LookupString(u"\\Sources\\DebugPort");
  ASSERT_NE(setting, nullptr);
  ASSERT_TRUE(setting->SetValue(KString(u"2,9600,8,N,1.0")));
  EXPECT_EQ(setting->Value(), KString(u"2,9600,8,N,1.0"));
  ASSERT_TRUE(debug_->BeginPass());
  debug_->Echo(0, 'k');
  debug_->EndPass();
  EXPECT_EQ(pty_.Receive(10, 5s), "\r\n000000:k");
  // Back to off: the serial port is given up, so a source may take COM2.
  ASSERT_TRUE(setting->SetValue(KString(u"0")));
  EXPECT_FALSE(debug_->BeginPass());
  debug_->EndPass();
  EXPECT_EQ(KSerialPortInfo::Find(2)->UsageMask(), 0);
  debug_->Unwatch();
  ASSERT_TRUE(setting->SetValue(KString(u"2")));  // no longer followed
  EXPECT_FALSE(debug_->BeginPass());
}

}  // namespace
