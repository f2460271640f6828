#include "ports/k_port_menus.h"

#include <memory>

#include "ports/k_serial_port.h"
#include "ports/k_tcp_socket.h"
#include "ports/k_udp_socket.h"

namespace KPortMenus {

namespace {

std::unique_ptr<KStream> TCPPrototype(const KPortSettings& settings, bool keepBusyClient) {
  auto tcp = std::make_unique<KTCPSocket>(-1);
  tcp->SetReconnect(true);
  tcp->SetReplaceOnAccept(true);
  tcp->SetKeepBusyClient(keepBusyClient);
  tcp->SetBlockingConnect(false);
  tcp->SetKeepAlive(settings.keepAlive);
  MakeRaw(*tcp);
  return tcp;
}

std::unique_ptr<KStream> UDPPrototype(const KPortSettings& settings) {
  const int size = settings.EffectiveBufferSize();
  auto udp = std::make_unique<KUDPSocket>(size, size, KUDPSocket::kDefaultDatagram);
  MakeRaw(*udp);
  return udp;
}

}  // namespace

void MakeRaw(KStream& stream) {
  stream.SetReadTimeout(0);
  stream.SetWriteTimeout(0);
  stream.SetReadLineMode(KStream::kLineNone);
  stream.SetWriteLineMode(KStream::kLineNone);
  stream.SetReadEncoding(KStream::kEncoding8Bit);
  stream.SetWriteEncoding(KStream::kEncoding8Bit);
}

void BuildSourceMenu(KStreamMenu& menu, const KPortSettings& settings) {
  auto serial =
      std::make_unique<KSerialPort>(KSerialPort::kAccessRead, settings.EffectiveBufferSize(), 0);
  MakeRaw(*serial);
  menu.Register(std::move(serial));
  // A console that is sending is never cut off by someone else connecting.
  menu.Register(TCPPrototype(settings, true));
  menu.Register(UDPPrototype(settings));
}

void BuildDebugMenu(KStreamMenu& menu, const KPortSettings& settings) {
  const int size = settings.EffectiveBufferSize();
  auto serial = std::make_unique<KSerialPort>(KSerialPort::kAccessRead | KSerialPort::kAccessWrite,
                                              size, size);
  MakeRaw(*serial);
  menu.Register(std::move(serial));
  // The newest watcher takes the debug connection, as ever.
  menu.Register(TCPPrototype(settings, false));
  menu.Register(UDPPrototype(settings));
}

}  // namespace KPortMenus
