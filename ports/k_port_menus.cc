#include "ports/k_port_menus.h"

#include <memory>

#include "ports/k_serial_port.h"
#include "ports/k_tcp_socket.h"
#include "ports/k_udp_socket.h"

namespace KPortMenus {

namespace {

enum class Use { kSource, kDebug };

std::unique_ptr<KStream> TCPPrototype(const KPortSettings& settings, Use use) {
  auto tcp = std::make_unique<KTCPSocket>(-1);
  tcp->SetReconnect(true);
  tcp->SetReplaceOnAccept(true);
  // A console that is sending is never cut off by someone else connecting;
  // the newest watcher takes the debug connection, as ever.
  tcp->SetKeepBusyClient(use == Use::kSource);
  // The debug port shows everything the sources receive: with no address
  // given it stays on this machine.
  tcp->SetEmptyIsLoopback(use == Use::kDebug);
  tcp->SetBlockingConnect(false);
  tcp->SetKeepAlive(settings.keepAlive);
  MakeRaw(*tcp);
  return tcp;
}

std::unique_ptr<KStream> UDPPrototype(const KPortSettings& settings, Use use) {
  const int size = settings.EffectiveBufferSize();
  auto udp = std::make_unique<KUDPSocket>(size, size, KUDPSocket::kDefaultDatagram);
  udp->SetEmptyIsLoopback(use == Use::kDebug);
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
  menu.Register(TCPPrototype(settings, Use::kSource));
  menu.Register(UDPPrototype(settings, Use::kSource));
}

void BuildDebugMenu(KStreamMenu& menu, const KPortSettings& settings) {
  const int size = settings.EffectiveBufferSize();
  auto serial = std::make_unique<KSerialPort>(KSerialPort::kAccessRead | KSerialPort::kAccessWrite,
                                              size, size);
  MakeRaw(*serial);
  menu.Register(std::move(serial));
  menu.Register(TCPPrototype(settings, Use::kDebug));
  menu.Register(UDPPrototype(settings, Use::kDebug));
}

}  // namespace KPortMenus
