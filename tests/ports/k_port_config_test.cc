#include "ports/k_port_config.h"

#include <gtest/gtest.h>

#include <string>

#include "base/k_stream_menu.h"
#include "config/k_default_settings.h"
#include "config/k_registry.h"
#include "ports/k_port_menus.h"
#include "ports/k_serial_port.h"
#include "ports/k_tcp_socket.h"
#include "ports/k_udp_socket.h"
#include "tests/ports/captured_log.h"

namespace {

using namespace KPortConfig;

KString S(const char* text) {
  return KString(text);
}

TEST(KPortConfig, SerialTokensAndTheirDefaults) {
  const KString spec = S("3,19200,7,e,2");
  EXPECT_EQ(PortNumber(spec), 3);
  EXPECT_EQ(Baud(spec), 19200);
  EXPECT_EQ(DataBits(spec), kDataBits7);
  EXPECT_EQ(Parity(spec), kParityEven);
  EXPECT_EQ(StopBits(spec), kStopBits2);
  EXPECT_EQ(RefreshMs(spec), 0);

  // '3,abc': everything after the port falls back.
  const KString bad = S("3,abc");
  EXPECT_EQ(PortNumber(bad), 3);
  EXPECT_EQ(Baud(bad), 9600);
  EXPECT_EQ(DataBits(bad), kDataBits8);
  EXPECT_EQ(Parity(bad), kParityNone);
  EXPECT_EQ(StopBits(bad), kStopBits1);

  EXPECT_EQ(DataBits(S("3,9600,9,N,1.0")), kDataBits8);
  EXPECT_EQ(DataBits(S("3,9600,3")), kDataBits8);
  EXPECT_EQ(DataBits(S("3,9600,4")), kDataBits4);
  EXPECT_EQ(DataBits(S("3,9600,5")), kDataBits5);
  EXPECT_EQ(StopBits(S("3,9600,8,N,3")), kStopBits1);
  EXPECT_EQ(StopBits(S("3,9600,8,N,1.5")), kStopBits15);
  EXPECT_EQ(StopBits(S("3,9600,8,N,2.0")), kStopBits2);
  EXPECT_EQ(StopBits(S("3,9600,8,N,1.0")), kStopBits1);
  EXPECT_EQ(StopBits(S("3,9600,8,N,1.55")), kStopBits1);
  EXPECT_EQ(StopBits(S("3,9600,8,N,2.5")), kStopBits1);
  EXPECT_EQ(StopBits(S("3,9600,8,N,x")), kStopBits1);

  // Baud: any positive integer, in the shared number syntax.
  EXPECT_EQ(Baud(S("1,12800")), 12800);
  EXPECT_EQ(Baud(S("1,0x2580")), 9600);
  EXPECT_EQ(Baud(S("1,0")), 9600);
  EXPECT_EQ(Baud(S("1,-300")), 9600);
  EXPECT_EQ(Baud(S("1,")), 9600);
}

TEST(KPortConfig, ParityLetterIgnoresCaseAndBlanks) {
  EXPECT_EQ(Parity(S("1,9600,8, o ,1")), kParityOdd);
  EXPECT_EQ(Parity(S("1,9600,8,E")), kParityEven);
  EXPECT_EQ(Parity(S("1,9600,8,m")), kParityMark);
  EXPECT_EQ(Parity(S("1,9600,8,\tS")), kParitySpace);
  EXPECT_EQ(Parity(S("1,9600,8,n")), kParityNone);
  EXPECT_EQ(Parity(S("1,9600,8,X")), kParityNone);
  EXPECT_EQ(Parity(S("1,9600,8,")), kParityNone);
  EXPECT_EQ(Parity(S("1,9600,8,   ")), kParityNone);
}

TEST(KPortConfig, FirstTokenKinds) {
  EXPECT_EQ(PortNumber(S("0,9600,8,N,1.0")), 0);
  EXPECT_EQ(PortNumber(S("")), 0);
  EXPECT_EQ(PortNumber(S("COM1,9600")), 0);
  EXPECT_EQ(PortNumber(S("-1,10.0.0.5,5000")), kKindTCPConnect);
  EXPECT_EQ(PortNumber(S("-2")), kKindTCPListen);
  EXPECT_EQ(PortNumber(S("-3,,1950")), kKindUDP);
  EXPECT_EQ(PortNumber(S("010,9600")), 8);  // octal, as everywhere
}

TEST(KPortConfig, RefreshPeriodKeepsItsSign) {
  EXPECT_EQ(RefreshMs(S("2,19200,7,E,1.0,500")), 500);
  EXPECT_EQ(RefreshMs(S("2,19200,7,E,1.0,-500")), -500);
  EXPECT_EQ(RefreshMs(S("2,19200,7,E,1.0,")), 0);
  EXPECT_EQ(RefreshMs(S("2,19200,7,E,1.0")), 0);
}

TEST(KPortConfig, NetworkTokens) {
  EXPECT_EQ(IPAddress(S("-2,0.0.0.0,2099")), 0u);
  EXPECT_EQ(IPAddress(S("-2,,2099")), 0u);
  EXPECT_EQ(IPAddress(S("-2")), 0u);
  EXPECT_EQ(IPAddress(S("-1,10.0.0.5,5000")), 0x0A000005u);
  EXPECT_EQ(IPAddress(S("-1,127.1,5000")), 0x7F000001u);  // the classic short forms
  EXPECT_EQ(IPAddress(S("-1,nonsense,5000")), kAddressNone);
  EXPECT_EQ(IPAddress(S("-1,10.0.0.256,5000")), kAddressNone);
  EXPECT_EQ(IPAddress(KString(u"-1,10.0.0.\u0661,5")), kAddressNone);
  EXPECT_EQ(IPPort(S("-1,10.0.0.5,5000")), 5000);
  EXPECT_EQ(IPPort(S("-1,10.0.0.5,70000")), 70000 - 65536);
  EXPECT_EQ(IPPort(S("-1,10.0.0.5,-1")), 65535);
  EXPECT_EQ(IPPort(S("-1,10.0.0.5,x")), 0);
  EXPECT_EQ(IPPort(S("-1,10.0.0.5")), 0);
  EXPECT_TRUE(HasToken(S("-2,,2099"), 1));
  EXPECT_FALSE(HasToken(S("-2"), 1));
  KString token;
  EXPECT_TRUE(Token(S("a, b ,c"), 1, token));
  EXPECT_EQ(token, KString(u" b "));  // taken as it stands
  EXPECT_FALSE(Token(S("a,b"), 2, token));
  EXPECT_FALSE(Token(S("a,b"), -1, token));
}

TEST(KPortConfig, FormatterWritesWhatTheReadersRead) {
  EXPECT_EQ(FormatSerial(1, 9600, kDataBits8, kParityNone, kStopBits1), KString(u"1,9600,8,N,1.0"));
  EXPECT_EQ(FormatSerial(0, 9600, kDataBits8, kParityNone, kStopBits1), KString(u"0,9600,8,N,1.0"));
  EXPECT_EQ(FormatSerial(2, 19200, kDataBits7, kParityEven, kStopBits1, 500),
            KString(u"2,19200,7,E,1.0,500"));
  EXPECT_EQ(FormatSerial(4, 300, kDataBits5, kParityMark, kStopBits15, -250),
            KString(u"4,300,5,M,1.5,-250"));
  EXPECT_EQ(FormatSerial(4, 300, kDataBits4, kParitySpace, kStopBits2), KString(u"4,300,4,S,2.0"));
  EXPECT_EQ(FormatNetwork(-1, 0x0A000005u, 5000), KString(u"-1,10.0.0.5,5000"));
  EXPECT_EQ(FormatNetwork(-3, kAddressNone, 65535), KString(u"-3,255.255.255.255,65535"));

  for (int bits = 0; bits <= 4; ++bits) {
    for (int parity = 0; parity <= 4; ++parity) {
      for (int stop = 0; stop <= 2; ++stop) {
        const KString spec = FormatSerial(7, 115200, bits, parity, stop, 20);
        EXPECT_EQ(PortNumber(spec), 7);
        EXPECT_EQ(Baud(spec), 115200);
        EXPECT_EQ(DataBits(spec), bits);
        EXPECT_EQ(Parity(spec), parity);
        EXPECT_EQ(StopBits(spec), stop);
        EXPECT_EQ(RefreshMs(spec), 20);
      }
    }
  }
}

TEST(KPortMenus, MakeReusesTheCurrentPortOnlyWhenItsKindServes) {
  KStreamMenu menu;
  KPortMenus::BuildSourceMenu(menu, KPortSettings{});
  ASSERT_EQ(menu.Count(), 3);

  std::unique_ptr<KStream> port = menu.Make(S("1,9600,8,N,1.0"), nullptr);
  auto* serial = dynamic_cast<KSerialPort*>(port.get());
  ASSERT_NE(serial, nullptr);
  EXPECT_EQ(serial->AccessMode(), KSerialPort::kAccessRead);
  EXPECT_EQ(serial->OutputSize(), 0);
  EXPECT_EQ(serial->ReadEncoding(), KStream::kEncoding8Bit);
  EXPECT_EQ(serial->WriteEncoding(), KStream::kEncoding8Bit);
  EXPECT_EQ(serial->ReadLineMode(), KStream::kLineNone);
  EXPECT_EQ(serial->WriteLineMode(), KStream::kLineNone);
  EXPECT_EQ(serial->ReadTimeout(), 0);

  // Another COM port: the same object.
  port = menu.Make(S("5,19200"), std::move(port));
  EXPECT_EQ(port.get(), serial);

  port = menu.Make(S("-1,10.0.0.5,5000"), std::move(port));
  auto* tcp = dynamic_cast<KTCPSocket*>(port.get());
  ASSERT_NE(tcp, nullptr);
  EXPECT_TRUE(tcp->Reconnect());
  EXPECT_TRUE(tcp->ReplaceOnAccept());
  EXPECT_TRUE(tcp->KeepBusyClient());  // a sending console is never cut off
  EXPECT_FALSE(tcp->BlockingConnect());
  EXPECT_TRUE(tcp->KeepAlive());
  EXPECT_FALSE(tcp->HasWriteBuffer());
  EXPECT_EQ(tcp->ReadLineMode(), KStream::kLineNone);
  port = menu.Make(S("-2,,2099"), std::move(port));
  EXPECT_EQ(port.get(), tcp);

  port = menu.Make(S("-3,,1950"), std::move(port));
  auto* udp = dynamic_cast<KUDPSocket*>(port.get());
  ASSERT_NE(udp, nullptr);
  EXPECT_EQ(udp->BufferSize(), 2048);
  EXPECT_EQ(udp->ReceiveSize(), KUDPSocket::kReceiveBytes);  // no datagram is ever cut
  EXPECT_EQ(udp->MaxDatagram(), 536);

  for (const char* none : {"0,9600,8,N,1.0", "", "abc", "-4,1,2"}) {
    port = menu.Make(S(none), std::move(port));
    ASSERT_NE(port, nullptr);
    const KStream& made = *port;
    EXPECT_EQ(typeid(made), typeid(KStream)) << none;
    EXPECT_FALSE(port->IsOpen());
    EXPECT_FALSE(port->HasMore());  // never has data
  }
}

TEST(KPortMenus, DebugMenuAndBufferSizes) {
  KStreamMenu menu;
  KPortSettings settings;
  settings.bufferSize = 100;  // raised to 2048
  settings.keepAlive = false;
  KPortMenus::BuildDebugMenu(menu, settings);
  std::unique_ptr<KStream> port = menu.Make(S("2"), nullptr);
  auto* serial = dynamic_cast<KSerialPort*>(port.get());
  ASSERT_NE(serial, nullptr);
  EXPECT_EQ(serial->AccessMode(), KSerialPort::kAccessRead | KSerialPort::kAccessWrite);
  EXPECT_EQ(serial->OutputSize(), 2048);
  EXPECT_EQ(serial->InputSize(), 2048);

  port = menu.Make(S("-2,,2099"), std::move(port));
  auto* tcp = dynamic_cast<KTCPSocket*>(port.get());
  ASSERT_NE(tcp, nullptr);
  EXPECT_FALSE(tcp->KeepAlive());
  EXPECT_FALSE(tcp->KeepBusyClient());  // the newest watcher takes the debug port

  KStreamMenu big;
  settings.bufferSize = 8192;
  KPortMenus::BuildSourceMenu(big, settings);
  port = big.Make(S("-3,,1950"), nullptr);
  EXPECT_EQ(dynamic_cast<KUDPSocket&>(*port).BufferSize(), 8192);

  // A UDP object without a write buffer serves no kind.
  EXPECT_FALSE(KUDPSocket(0, 2048).Accepts(-3));
  EXPECT_TRUE(KUDPSocket(16, 0).Accepts(-3));
  EXPECT_FALSE(KTCPSocket().Accepts(-3));
  EXPECT_FALSE(KSerialPort(1, 16, 0).Accepts(0));
}

TEST(KPortSettings, ReadFromTheSettingsTree) {
  KRegistry root(KDefaultSettings::Table());
  KPortSettings settings = KPortSettings::FromSettings(root);
  EXPECT_EQ(settings.EffectiveBufferSize(), 2048);
  EXPECT_TRUE(settings.keepAlive);
  ASSERT_NE(root.Apply(u"Sources\\BufferSize:Int=100"), nullptr);
  ASSERT_NE(root.Apply(u"Sources\\KeepAlive:Int=0"), nullptr);
  settings = KPortSettings::FromSettings(root);
  EXPECT_EQ(settings.bufferSize, 100);
  EXPECT_EQ(settings.EffectiveBufferSize(), 2048);
  EXPECT_FALSE(settings.keepAlive);
  ASSERT_NE(root.Apply(u"Sources\\BufferSize:Int=65536"), nullptr);
  EXPECT_EQ(KPortSettings::FromSettings(root).EffectiveBufferSize(), 65536);
  // A size that would have every serial and UDP port ask for gigabytes is
  // held, and the log says so.
  CapturedLog log;
  ASSERT_TRUE(log.IsOpen());
  ASSERT_NE(root.Apply(u"Sources\\BufferSize:Int=2147483647"), nullptr);
  EXPECT_EQ(KPortSettings::FromSettings(root).EffectiveBufferSize(), KPortSettings::kMaxBufferSize);
  const std::string lines = log.Text();
  EXPECT_NE(lines.find("\\Sources\\BufferSize 2147483647 is held to 16777216"), std::string::npos)
      << lines;
  KPortSettings big;
  big.bufferSize = 1 << 30;
  EXPECT_EQ(big.EffectiveBufferSize(), KPortSettings::kMaxBufferSize);
}

}  // namespace
