#include "ports/k_serial_port.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <termios.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>
#include <vector>

#include "base/k_x.h"
#include "config/k_default_settings.h"
#include "config/k_registry.h"
#include "ports/k_serial_line.h"
#include "ports/k_serial_port_info.h"
#include "pty_pair.h"
#include "temp_home.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Every COM number not in the map names a device that does not exist, so
// the machine's own serial ports never take part.
KSerialPortInfo::Enumeration Devices(std::map<int, std::string> devices, int32_t typeMask = -1) {
  KSerialPortInfo::Enumeration settings;
  settings.typeMask = typeMask;
  settings.device = [devices](int number) {
    const auto found = devices.find(number);
    return found != devices.end() ? found->second
                                  : "/nonexistent-telvane/ttyS" + std::to_string(number - 1);
  };
  return settings;
}

class SerialTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(pty_.Ok()); }
  void TearDown() override { KSerialPortInfo::Clear(); }

  int32_t ReadError(KStream& port, void* bytes, int count, int32_t* moved = nullptr) {
    try {
      port.Read(bytes, count);
    } catch (const KXStream& error) {
      if (moved) *moved = error.Count();
      return error.Code();
    }
    return 0;
  }
  int32_t WriteError(KStream& port, const std::string& bytes) {
    try {
      port.Write(bytes.data(), static_cast<int>(bytes.size()));
    } catch (const KXStream& error) {
      return error.Code();
    }
    return 0;
  }
  // Reads what the port has until `want` bytes came or the time ran out.
  std::string ReadPort(KSerialPort& port, size_t want, std::chrono::milliseconds limit) {
    std::string got;
    const auto deadline = Clock::now() + limit;
    while (got.size() < want && Clock::now() < deadline) {
      try {
        got += static_cast<char>(port.ReadChar());
      } catch (const KX&) {
        std::this_thread::sleep_for(1ms);
      }
    }
    return got;
  }

  TempHome home_;
  PtyPair pty_;
};

TEST_F(SerialTest, EnumerationLabelsGapsAndTypeMask) {
  // COM1 and COM3 exist, COM2 does not: a gap below 128 does not stop the search.
  const std::string link = home_.File("ttyS4");
  std::filesystem::create_symlink(pty_.SlaveName(), link);
  const std::string plain = home_.File("plain-file");
  std::ofstream(plain) << "not a terminal";
  EXPECT_EQ(KSerialPortInfo::Enumerate(
                Devices({{1, pty_.SlaveName()}, {3, pty_.SlaveName()}, {5, link}, {6, plain}})),
            4);
  ASSERT_NE(KSerialPortInfo::Find(1), nullptr);
  EXPECT_EQ(KSerialPortInfo::Find(2), nullptr);
  EXPECT_EQ(KSerialPortInfo::Find(1)->Label(), KString(u"COM1 (Unknown)"));
  EXPECT_EQ(KSerialPortInfo::Find(1)->Subtype(), 0);
  EXPECT_EQ(KSerialPortInfo::Find(3)->Label(), KString(u"COM3 (Unknown)"));
  EXPECT_EQ(KSerialPortInfo::Find(5)->Label(), KString(u"COM5 (Serial Port)"));
  EXPECT_EQ(KSerialPortInfo::Find(5)->Subtype(), 1);
  // No terminal: the query fails, no type in the label, subtype -1.
  EXPECT_EQ(KSerialPortInfo::Find(6)->Label(), KString(u"COM6"));
  EXPECT_EQ(KSerialPortInfo::Find(6)->Subtype(), -1);
  // In the order found.
  std::vector<int> order;
  for (auto* info : KSerialPortInfo::Ports().Items<KSerialPortInfo>())
    order.push_back(info->Number());
  EXPECT_EQ(order, (std::vector<int>{1, 3, 5, 6}));
  // Enumeration only looks: nothing stays open.
  EXPECT_FALSE(KSerialPortInfo::Find(1)->IsDeviceOpen());

  // A type mask of 2 keeps only "(Serial Port)"; bit 30 is every other subtype.
  EXPECT_EQ(KSerialPortInfo::Enumerate(Devices({{1, pty_.SlaveName()}, {5, link}, {6, plain}}, 2)),
            1);
  EXPECT_NE(KSerialPortInfo::Find(5), nullptr);
  EXPECT_EQ(
      KSerialPortInfo::Enumerate(Devices({{1, pty_.SlaveName()}, {5, link}, {6, plain}}, 1 << 30)),
      1);
  EXPECT_NE(KSerialPortInfo::Find(6), nullptr);
  EXPECT_EQ(KSerialPortInfo::Enumerate(Devices({{1, pty_.SlaveName()}, {5, link}}, 1)), 1);
  EXPECT_NE(KSerialPortInfo::Find(1), nullptr);

  EXPECT_TRUE(KSerialPortInfo::MaskKeeps(-1, 259));
  EXPECT_TRUE(KSerialPortInfo::MaskKeeps(1 << 29, 29));
  EXPECT_FALSE(KSerialPortInfo::MaskKeeps(1 << 29, 30));
  EXPECT_TRUE(KSerialPortInfo::MaskKeeps(1 << 30, 33));
  EXPECT_EQ(KSerialPortInfo::SubtypeOfDevice("/dev/ttyACM0"), 6);
  EXPECT_EQ(KSerialPortInfo::SubtypeOfDevice("/dev/ttyUSB0"), 0);
}

TEST_F(SerialTest, UnnamedSubtypeShowsItsNumberAndLabelsAreCut) {
  auto settings = Devices({{2, pty_.SlaveName()}});
  settings.typeText = [](int, KString&) { return false; };
  settings.portLocal = KString(u"Port-with-a-rather-long-local-name-");
  ASSERT_EQ(KSerialPortInfo::Enumerate(settings), 1);
  EXPECT_EQ(KSerialPortInfo::Find(2)->Label().Length(), 31);
  settings.portLocal = KString(u"COM");
  ASSERT_EQ(KSerialPortInfo::Enumerate(settings), 1);
  EXPECT_EQ(KSerialPortInfo::Find(2)->Label(), KString(u"COM2 (0)"));
}

TEST_F(SerialTest, NumbersFrom128OnNeedEveryPortToOpen) {
  std::map<int, std::string> devices{{1, pty_.SlaveName()}};
  for (int n = 128; n <= 200; ++n) devices[n] = pty_.SlaveName();
  EXPECT_EQ(KSerialPortInfo::Enumerate(Devices(devices)), 1 + 73);
  EXPECT_NE(KSerialPortInfo::Find(200), nullptr);

  devices.erase(150);
  EXPECT_EQ(KSerialPortInfo::Enumerate(Devices(devices)), 1 + 22);
  EXPECT_NE(KSerialPortInfo::Find(149), nullptr);
  EXPECT_EQ(KSerialPortInfo::Find(151), nullptr);
  EXPECT_EQ(KSerialPortInfo::Find(200), nullptr);
}

TEST_F(SerialTest, SettingsTreeDevicesAndNoSerialPortSwitch) {
  KRegistry root(KDefaultSettings::Table());
  ASSERT_NE(root.Apply(KString("SerialPort\\Devices\\3:String=" + pty_.SlaveName())), nullptr);
  ASSERT_NE(root.Apply(u"Strings\\SerialPort\\Types\\0:String=(Pseudo)"), nullptr);
  // Everything not named stays at /dev/ttyS<n-1>; keep only our subtype 0 so
  // that the machine's own ports cannot change the result.
  ASSERT_NE(root.Apply(u"SerialPort\\TypeMask:Int=1"), nullptr);
  KSerialPortInfo::EnumerateAtStartUp(&root, false);
  ASSERT_NE(KSerialPortInfo::Find(3), nullptr);
  EXPECT_EQ(KSerialPortInfo::Find(3)->Label(), KString(u"COM3 (Pseudo)"));

  EXPECT_EQ(KSerialPortInfo::EnumerateAtStartUp(&root, true), 0);
  KSerialPort port(KSerialPort::kAccessRead, 2048, 0);
  EXPECT_FALSE(port.SetSpec(KString(u"3,9600,8,N,1.0")));
  EXPECT_FALSE(port.IsOpen());
}

TEST_F(SerialTest, LineSettingsReachTheDevice) {
  ASSERT_EQ(KSerialPortInfo::Enumerate(Devices({{3, pty_.SlaveName()}})), 1);
  KSerialPort port(KSerialPort::kAccessRead, 2048, 0);
  termios line{};

  // A pseudo-terminal keeps speed, stop bits and the parity kind but is
  // always 8 bits without parity, so those two are checked on the request.
  ASSERT_TRUE(port.SetSpec(KString(u"3,19200,7,e,2")));
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(port.PortNumber(), 3);
  ASSERT_TRUE(pty_.Attributes(line));
  EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B19200));
  EXPECT_FALSE(line.c_cflag & PARODD);
  EXPECT_TRUE(line.c_cflag & CSTOPB);
  EXPECT_FALSE(line.c_cflag & CRTSCTS);
  EXPECT_FALSE(line.c_iflag & (IXON | IXOFF));
  EXPECT_EQ(line.c_cc[VMIN], 1);

  ASSERT_TRUE(port.SetSpec(KString(u"3,abc")));
  ASSERT_TRUE(pty_.Attributes(line));
  EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B9600));
  EXPECT_FALSE(line.c_cflag & CSTOPB);
  ASSERT_TRUE(port.SetSpec(KString(u"3,9600,8,N,2.0")));
  ASSERT_TRUE(pty_.Attributes(line));
  EXPECT_TRUE(line.c_cflag & CSTOPB);
  ASSERT_TRUE(port.SetSpec(KString(u"3,9600,8,N,3")));
  ASSERT_TRUE(pty_.Attributes(line));
  EXPECT_FALSE(line.c_cflag & CSTOPB);
  ASSERT_TRUE(port.SetSpec(KString(u"3,1200,8,M,1.0")));
  ASSERT_TRUE(pty_.Attributes(line));
  EXPECT_EQ(line.c_cflag & (PARODD | CMSPAR), static_cast<tcflag_t>(PARODD | CMSPAR));
  ASSERT_TRUE(port.SetSpec(KString(u"3,1200,6,S,2")));
  ASSERT_TRUE(pty_.Attributes(line));
  EXPECT_EQ(line.c_cflag & (PARODD | CMSPAR), static_cast<tcflag_t>(CMSPAR));

  // Rates off the table go through as they are.
  EXPECT_TRUE(port.SetSpec(KString(u"3,12800")));
  EXPECT_TRUE(port.SetSpec(KString(u"3,250000,8,N,1.0")));

  // What no UART does fails, and the port does not stay half open.
  EXPECT_FALSE(port.SetSpec(KString(u"3,9600,8,N,1.5")));
  EXPECT_FALSE(port.IsOpen());
  EXPECT_FALSE(port.SetSpec(KString(u"3,9600,4,N,1.0")));
  EXPECT_FALSE(port.SetLine(9600, 0, 0, 0));  // closed
  EXPECT_FALSE(port.SetSpec(KString(u"0,9600,8,N,1.0")));
  EXPECT_FALSE(port.SetSpec(KString(u"7,9600,8,N,1.0")));  // not enumerated
  EXPECT_EQ(port.PortNumber(), 0);
}

TEST(KSerialLine, ComposedLineForEveryCode) {
  struct Case {
    int bits, parity, stop;
    tcflag_t size, parityBits;
    bool twoStop;
  };
  const Case cases[] = {
      {7, 2, 2, CS7, PARENB, true},
      {8, 0, 0, CS8, 0, false},
      {6, 1, 0, CS6, PARENB | PARODD, false},
      {8, 3, 0, CS8, PARENB | PARODD | CMSPAR, false},
      {7, 4, 2, CS7, PARENB | CMSPAR, true},
      {5, 0, 1, CS5, 0, true},  // 1.5 stop bits are CSTOPB beside 5 data bits
  };
  for (const Case& c : cases) {
    termios line{};
    line.c_cflag = CRTSCTS | PARENB | CSTOPB | CS8;
    line.c_iflag = IXON | IXOFF | INPCK;
    ASSERT_TRUE(KSerialLine::Compose(line, c.bits, c.parity, c.stop)) << c.bits;
    EXPECT_EQ(line.c_cflag & CSIZE, c.size);
    EXPECT_EQ(line.c_cflag & (PARENB | PARODD | CMSPAR), c.parityBits);
    EXPECT_EQ((line.c_cflag & CSTOPB) != 0, c.twoStop);
    EXPECT_FALSE(line.c_cflag & CRTSCTS);
    EXPECT_TRUE(line.c_cflag & CLOCAL);
    EXPECT_FALSE(line.c_iflag & (IXON | IXOFF | INPCK));
    EXPECT_FALSE(line.c_lflag & (ICANON | ECHO));
  }
  termios line{};
  EXPECT_FALSE(KSerialLine::Compose(line, 4, 0, 0));
  EXPECT_FALSE(KSerialLine::Compose(line, 8, 0, 1));
  EXPECT_FALSE(KSerialLine::Compose(line, 5, 0, 2));
}

TEST_F(SerialTest, OneReaderAndOneWriterShareAPortTwoReadersDoNot) {
  ASSERT_EQ(KSerialPortInfo::Enumerate(Devices({{3, pty_.SlaveName()}})), 1);
  KSerialPortInfo* info = KSerialPortInfo::Find(3);
  KSerialPort first(KSerialPort::kAccessRead, 2048, 0);
  KSerialPort second(KSerialPort::kAccessRead, 2048, 0);
  KSerialPort writer(KSerialPort::kAccessWrite, 16, 64);
  ASSERT_TRUE(first.SetSpec(KString(u"3,9600,8,N,1.0")));
  EXPECT_FALSE(second.SetSpec(KString(u"3,9600,8,N,1.0")));
  ASSERT_TRUE(writer.SetSpec(KString(u"3,9600,8,N,1.0")));
  EXPECT_EQ(info->UsageMask(), KSerialPort::kAccessRead | KSerialPort::kAccessWrite);
  // Opening the same number again touches nothing.
  EXPECT_TRUE(first.OpenPort(3));

  first.Close();
  EXPECT_TRUE(info->IsDeviceOpen());  // the writer still uses it
  EXPECT_TRUE(second.SetSpec(KString(u"3,9600,8,N,1.0")));
  second.Close();
  writer.Close();
  EXPECT_FALSE(info->IsDeviceOpen());
  EXPECT_EQ(info->UsageMask(), 0);
}

TEST_F(SerialTest, PortInUseElsewhereDoesNotOpen) {
  ASSERT_EQ(KSerialPortInfo::Enumerate(Devices({{3, pty_.SlaveName()}})), 1);
  const int other = open(pty_.SlaveName().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(other, 0);
  ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
  KSerialPort port(KSerialPort::kAccessRead, 2048, 0);
  EXPECT_FALSE(port.SetSpec(KString(u"3,9600,8,N,1.0")));
  // ... and the enumeration passes it by.
  EXPECT_EQ(KSerialPortInfo::Enumerate(Devices({{3, pty_.SlaveName()}})), 0);
  close(other);
  EXPECT_EQ(KSerialPortInfo::Enumerate(Devices({{3, pty_.SlaveName()}})), 1);
  EXPECT_TRUE(port.SetSpec(KString(u"3,9600,8,N,1.0")));
}

TEST_F(SerialTest, ReadsNeverWaitAndCrossBlocks) {
  ASSERT_EQ(KSerialPortInfo::Enumerate(Devices({{3, pty_.SlaveName()}})), 1);
  KSerialPort port(KSerialPort::kAccessRead, 2048, 0);
  ASSERT_TRUE(port.SetSpec(KString(u"3,9600,8,N,1.0")));
  char bytes[400];
  int32_t moved = -1;
  const auto start = Clock::now();
  EXPECT_EQ(ReadError(port, bytes, 1, &moved), KSerialPort::kErrorReceiveTimeout);
  EXPECT_EQ(moved, 0);
  EXPECT_LT(Clock::now() - start, 1s);
  EXPECT_FALSE(port.FillReadBuffer());

  std::string sent;
  for (int i = 0; i < 300; ++i) sent += static_cast<char>(i * 7);
  ASSERT_TRUE(pty_.Send(sent));
  // Wait until the first block is there, then take it all across blocks.
  const auto deadline = Clock::now() + 5s;
  while (!port.FillReadBuffer() && Clock::now() < deadline) std::this_thread::sleep_for(1ms);
  std::string got;
  while (got.size() < 300 && Clock::now() < deadline) {
    try {
      port.Read(bytes, 1);
      got += bytes[0];
    } catch (const KXStream& error) {
      EXPECT_EQ(error.Code(), KSerialPort::kErrorReceiveTimeout);
      std::this_thread::sleep_for(1ms);
    }
  }
  EXPECT_EQ(got, sent);

  // A larger request than there is: the count says how much came.
  ASSERT_TRUE(pty_.Send(std::string(150, 'q')));
  const auto until = Clock::now() + 5s;
  int have = 0;
  while (have < 150 && Clock::now() < until) {
    moved = 0;
    if (ReadError(port, bytes + have, 150 - have, &moved) == 0) break;
    have += moved;
    std::this_thread::sleep_for(1ms);
  }
  EXPECT_EQ(std::string(bytes, 150), std::string(150, 'q'));

  // With a read time-out the read waits that long for data.
  port.SetReadTimeout(3000);
  std::thread late([&] {
    std::this_thread::sleep_for(50ms);
    pty_.Send("Z");
  });
  EXPECT_EQ(ReadError(port, bytes, 1), 0);
  EXPECT_EQ(bytes[0], 'Z');
  late.join();

  KSerialPort writeOnly(KSerialPort::kAccessWrite, 16, 32);
  ASSERT_TRUE(writeOnly.SetSpec(KString(u"3")));
  EXPECT_EQ(ReadError(writeOnly, bytes, 1), KSerialPort::kErrorReceive);
  port.Close();
  EXPECT_EQ(ReadError(port, bytes, 1), KSerialPort::kErrorReceive);
}

TEST_F(SerialTest, WritesCollectUntilFlushedAndFailCleanly) {
  ASSERT_EQ(KSerialPortInfo::Enumerate(Devices({{3, pty_.SlaveName()}})), 1);
  KSerialPort port(KSerialPort::kAccessRead | KSerialPort::kAccessWrite, 2048, 16);
  EXPECT_EQ(WriteError(port, "x"), KSerialPort::kErrorTransmit);  // not open
  ASSERT_TRUE(port.SetSpec(KString(u"3,115200,8,N,1.0")));

  EXPECT_EQ(WriteError(port, "hello"), 0);
  EXPECT_EQ(pty_.ReceiveFor(50ms), "");
  port.FlushOutput();
  EXPECT_EQ(pty_.Receive(5, 5s), "hello");
  // A full buffer goes by itself.
  const std::string forty = "0123456789abcdefghijklmnopqrstuvwxyzABCD";
  EXPECT_EQ(WriteError(port, forty), 0);
  EXPECT_EQ(pty_.Receive(32, 5s), forty.substr(0, 32));
  port.FlushOutput();
  EXPECT_EQ(pty_.Receive(8, 5s), forty.substr(32));
  EXPECT_TRUE(port.IsDrained());

  port.WriteText(KString(u"ab"));
  port.DiscardOutput();
  port.FlushOutput();
  EXPECT_EQ(pty_.ReceiveFor(50ms), "");

  KSerialPort readOnly(KSerialPort::kAccessRead, 2048, 0);
  ASSERT_TRUE(readOnly.SetSpec(KString(u"3")) == false);  // the read bit is taken
  port.Close();
  ASSERT_TRUE(readOnly.SetSpec(KString(u"3")));
  EXPECT_EQ(WriteError(readOnly, "x"), KSerialPort::kErrorTransmit);
}

TEST_F(SerialTest, DeviceThatStopsTakingBytesMakesWritesBusyNotStuck) {
  ASSERT_EQ(KSerialPortInfo::Enumerate(Devices({{3, pty_.SlaveName()}})), 1);
  KSerialPort port(KSerialPort::kAccessWrite, 16, 2048);
  ASSERT_TRUE(port.SetSpec(KString(u"3,115200,8,N,1.0")));
  port.SetWriteTimeout(20);
  // Nobody reads the master: the terminal's buffer fills, then the write waits.
  const std::string block(2048, 'w');
  int32_t code = 0;
  const auto start = Clock::now();
  for (int i = 0; i < 10000 && code == 0; ++i) {
    try {
      port.Write(block.data(), static_cast<int>(block.size()));
    } catch (const KXStream& error) {
      code = error.Code();
    }
  }
  EXPECT_EQ(code, KSerialPort::kErrorTransmitBusy);
  EXPECT_LT(Clock::now() - start, 20s);
  EXPECT_TRUE(port.IsWritePending());
  EXPECT_FALSE(port.IsDrained());
  // Once the other side reads, the rest goes and the port drains.
  const auto deadline = Clock::now() + 10s;
  while (port.IsWritePending() && Clock::now() < deadline) pty_.ReceiveFor(5ms);
  EXPECT_FALSE(port.IsWritePending());
  port.SetWriteTimeout(0);
  EXPECT_EQ(WriteError(port, "more"), 0);
}

TEST_F(SerialTest, RefreshResendsTheLastBlockAndStopsWithThePort) {
  ASSERT_EQ(KSerialPortInfo::Enumerate(Devices({{3, pty_.SlaveName()}})), 1);
  KSerialPort port(KSerialPort::kAccessRead | KSerialPort::kAccessWrite, 2048, 64);
  ASSERT_TRUE(port.SetSpec(KString(u"3,9600,8,N,1.0,500")));
  EXPECT_TRUE(port.IsRefreshRunning());

  EXPECT_EQ(WriteError(port, "BLOCK1"), 0);
  port.FlushOutput();
  std::vector<Clock::time_point> arrivals;
  std::string stream;
  const auto until = Clock::now() + 1900ms;
  while (Clock::now() < until) {
    const std::string got = pty_.ReceiveFor(20ms);
    if (!got.empty()) {
      arrivals.push_back(Clock::now());
      stream += got;
    }
  }
  // Ticks at about 500, 1000 and 1500 ms: never faster than the period.
  ASSERT_GE(arrivals.size(), 1u);
  EXPECT_GE(stream.size(), 2u * 6);
  EXPECT_LE(stream.size(), 4u * 6);
  EXPECT_EQ(stream.size() % 6, 0u);
  for (size_t i = 0; i < stream.size(); i += 6) EXPECT_EQ(stream.substr(i, 6), "BLOCK1");

  // A new block replaces the old one from the next tick on.
  EXPECT_EQ(WriteError(port, "B2"), 0);
  port.FlushOutput();
  std::string next;
  const auto deadline = Clock::now() + 5s;
  while (next.find("B2") == std::string::npos && Clock::now() < deadline) {
    next += pty_.ReceiveFor(20ms);
  }
  const std::string after = pty_.Receive(2, 3s);
  EXPECT_EQ(after, "B2");

  // Closing stops the thread at once, in the middle of its wait.
  const auto closing = Clock::now();
  port.Close();
  EXPECT_LT(Clock::now() - closing, 300ms);
  EXPECT_FALSE(port.IsRefreshRunning());
  EXPECT_EQ(pty_.ReceiveFor(800ms), "");

  // Refresh off (negative keeps the period but switches it off).
  ASSERT_TRUE(port.SetSpec(KString(u"3,9600,8,N,1.0,-500")));
  EXPECT_FALSE(port.IsRefreshRunning());
}

TEST_F(SerialTest, OtherSideClosingAndComingBack) {
  // The port is reached through a link, as a USB adapter's by-id name is;
  // the adapter goes away and comes back as a new terminal.
  const std::string link = home_.File("com4");
  std::filesystem::create_symlink(pty_.SlaveName(), link);
  ASSERT_EQ(KSerialPortInfo::Enumerate(Devices({{4, link}})), 1);
  KSerialPort port(KSerialPort::kAccessRead, 2048, 0);
  ASSERT_TRUE(port.SetSpec(KString(u"4,9600,8,N,1.0")));
  ASSERT_TRUE(pty_.Send("one"));
  EXPECT_EQ(ReadPort(port, 3, 5s), "one");

  pty_.CloseAll();
  auto deadline = Clock::now() + 5s;
  while (port.IsOpen() && Clock::now() < deadline) std::this_thread::sleep_for(1ms);
  EXPECT_FALSE(port.IsOpen());
  char byte = 0;
  EXPECT_NE(ReadError(port, &byte, 1), 0);

  PtyPair again;
  ASSERT_TRUE(again.Ok());
  std::filesystem::remove(link);
  std::filesystem::create_symlink(again.SlaveName(), link);
  deadline = Clock::now() + 5s;
  while (!port.IsOpen() && Clock::now() < deadline) std::this_thread::sleep_for(5ms);
  ASSERT_TRUE(port.IsOpen());
  // The line settings came back with it.
  termios line{};
  ASSERT_TRUE(again.Attributes(line));
  EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B9600));
  ASSERT_TRUE(again.Send("two"));
  EXPECT_EQ(ReadPort(port, 3, 5s), "two");
}

TEST_F(SerialTest, ModemLinesOnlyForTheirAccessBits) {
  ASSERT_EQ(KSerialPortInfo::Enumerate(Devices({{3, pty_.SlaveName()}})), 1);
  KSerialPort plain(KSerialPort::kAccessRead, 2048, 0);
  ASSERT_TRUE(plain.SetSpec(KString(u"3")));
  EXPECT_FALSE(plain.SetDTR(true));
  EXPECT_FALSE(plain.SetRTS(true));
  // A pseudo-terminal has no modem lines to report.
  EXPECT_FALSE(plain.GetCTS());
  EXPECT_FALSE(plain.GetDSR());
  plain.Close();
  EXPECT_FALSE(plain.GetCTS());
  KSerialPort driver(KSerialPort::kAccessRead | KSerialPort::kAccessDTR, 2048, 0);
  ASSERT_TRUE(driver.SetSpec(KString(u"3")));
  driver.SetDTRRTS(true, true);  // refused by the terminal, but harmless
}

TEST_F(SerialTest, ClonesKeepSizesAndModes) {
  KSerialPort prototype(KSerialPort::kAccessRead | KSerialPort::kAccessWrite, 4, 300);
  prototype.SetReadEncoding(KStream::kEncoding16Bit);
  prototype.SetReadTimeout(7);
  std::unique_ptr<KStream> copy = prototype.Clone();
  auto& serial = dynamic_cast<KSerialPort&>(*copy);
  EXPECT_EQ(serial.AccessMode(), 3);
  EXPECT_EQ(serial.InputSize(), KSerialPort::kMinInputSize);
  EXPECT_EQ(serial.OutputSize(), 300);
  EXPECT_EQ(serial.ReadEncoding(), KStream::kEncoding16Bit);
  EXPECT_EQ(serial.ReadTimeout(), 7);
  EXPECT_FALSE(serial.IsOpen());
}

}  // namespace
