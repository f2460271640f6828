#include "ports/k_udp_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/k_wait_set.h"
#include "base/k_x.h"
#include "ports/k_log.h"
#include "ports/k_port_config.h"

KUDPSocket::KUDPSocket(int bufferSize, int receiveSize, int maxDatagram)
    : KSocket(bufferSize), maxDatagram_(std::max(maxDatagram, 1)), receiveSize_(receiveSize) {
  if (HasWriteBuffer() && receiveSize > 0) {
    receive_.assign(static_cast<size_t>(std::max(receiveSize, kReceiveBytes)), 0);
  }
}

KUDPSocket::~KUDPSocket() {
  Close();
}

std::unique_ptr<KStream> KUDPSocket::Clone() const {
  auto copy = std::make_unique<KUDPSocket>(BufferSize(), receiveSize_, maxDatagram_);
  CloneSettings(*copy);
  copy->SetEmptyIsLoopback(EmptyIsLoopback());
  return copy;
}

bool KUDPSocket::IsOpen() const {
  return HasWriteBuffer() && fd_ >= 0 && remotePort_ != 0;
}

bool KUDPSocket::SetSpec(const KString& spec) {
  Close();
  if (!NetworkAvailable() || !HasWriteBuffer()) return false;
  if (KPortConfig::PortNumber(spec) != KPortConfig::kKindUDP) return false;
  KString error;
  uint16_t port = 0;
  uint32_t address = 0;
  const uint32_t whenEmpty = EmptyIsLoopback() ? KPortConfig::kAddressLoopback : 0;
  if (!KPortConfig::ReadIPPort(spec, port, error) ||
      !KPortConfig::ResolveIPAddress(spec, whenEmpty, address, error)) {
    LogRefused(spec, error);
    return false;
  }
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  blocking_ = false;
  int on = 1;
  broadcast_ = KPortConfig::IsBroadcast(address);
  if (broadcast_) ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  int sendBuffer = 0;
  socklen_t length = sizeof sendBuffer;
  if (::getsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, &length) == 0 &&
      sendBuffer < BufferSize()) {
    sendBuffer = BufferSize();
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
  }
  if (!receive_.empty()) {
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    int receiveBuffer = kReceiveBytes * 4;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(port);
    // A broadcast or multicast address is received on every address.
    const bool bindNamed = address != 0 && !broadcast_ && (address >> 28) != 0xE;
    at.sin_addr.s_addr = htonl(bindNamed ? address : INADDR_ANY);
    int bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at);
    if (bound != 0 && bindNamed && errno == EADDRNOTAVAIL) {
      // Another machine's address: where datagrams go, not one to bind.
      at.sin_addr.s_addr = htonl(INADDR_ANY);
      bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at);
    }
    if (bound != 0) {
      ::close(fd);
      LogRefused(spec, KString(u"cannot receive on that address and port"));
      return false;
    }
  }
  fd_ = fd;
  boundAddress_ = BoundAddress(fd);
  remoteAddress_ = address;
  remotePort_ = port;
  return true;
}

bool KUDPSocket::ReceiveDatagram() {
  for (;;) {
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    ssize_t got;
    do {
      got = ::recvfrom(fd_, receive_.data(), receive_.size(), MSG_DONTWAIT | MSG_TRUNC,
                       reinterpret_cast<sockaddr*>(&from), &fromLength);
    } while (got < 0 && errno == EINTR);
    receivePosition_ = 0;
    receiveCount_ = 0;
    if (got < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK) return false;
      throw KXStream(kErrorReceive, 0);
    }
    // Our own datagrams, sent to the loopback port we receive on, are no
    // input (no other socket here can hold that port).
    const uint32_t sender = ntohl(from.sin_addr.s_addr);
    if (ntohs(from.sin_port) == remotePort_ && (sender >> 24) == 127 &&
        (remoteAddress_ >> 24) == 127) {
      continue;
    }
    if (static_cast<size_t>(got) > receive_.size()) {
      // Cut by the buffer: what is left of it is dropped, never glued to
      // the next one.
      ++lost_;
      KString line(u"UDP port ");
      line.AppendInt(remotePort_);
      line.Append(u": a datagram larger than the receive buffer was lost");
      KLog::Log(line, KLog::kError);
      continue;
    }
    receiveCount_ = static_cast<int>(got);
    return true;
  }
}

void KUDPSocket::Close() {
  remoteAddress_ = 0;
  remotePort_ = 0;
  broadcast_ = false;
  boundAddress_ = 0;
  KSocket::Close();
}

void KUDPSocket::CloseSocket() {
  KSocket::CloseSocket();
  receiveCount_ = receivePosition_ = 0;
}

void KUDPSocket::Read(void* bytes, int count) {
  if (receive_.empty() || fd_ < 0) throw KXStream(kErrorReceive, 0);
  auto* out = static_cast<uint8_t*>(bytes);
  int copied = 0;
  while (copied < count) {
    if (receivePosition_ >= receiveCount_) {
      const int timeoutMs = ReadTimeout();
      if (timeoutMs != 0 && !(Wait(fd_, POLLIN, timeoutMs) & POLLIN)) {
        throw KXStream(kErrorReceive, copied);
      }
      bool have = false;
      try {
        have = ReceiveDatagram();
      } catch (const KX&) {
        throw KXStream(kErrorReceive, copied);
      }
      if (!have) throw KXStream(kErrorReceive, copied);
      if (receiveCount_ == 0) throw KXStream(kErrorReceiveShort, copied);
    }
    const int take = std::min(count - copied, receiveCount_ - receivePosition_);
    std::memcpy(out + copied, receive_.data() + receivePosition_, static_cast<size_t>(take));
    receivePosition_ += take;
    copied += take;
  }
  NotifyRead(bytes, count);
}

int KUDPSocket::ReadAvailable(void* bytes, int max) {
  if (max <= 0 || receive_.empty() || fd_ < 0) return 0;
  if (receivePosition_ >= receiveCount_ && !ReceiveDatagram()) return 0;
  const int take = std::min(max, receiveCount_ - receivePosition_);
  std::memcpy(bytes, receive_.data() + receivePosition_, static_cast<size_t>(take));
  receivePosition_ += take;
  NotifyRead(bytes, take);
  return take;
}

void KUDPSocket::AddWaits(KWaitSet& set) const {
  if (receive_.empty() || fd_ < 0) return;
  if (receivePosition_ < receiveCount_) set.DueNow();
  set.Add(fd_, POLLIN);
}

void KUDPSocket::Write(const void* bytes, int count) {
  if (!IsOpen()) throw KXStream(kErrorSend, 0);
  const int take = std::min(count, BufferSize() - writeCount_);
  std::memcpy(writeBuffer_.data() + writeCount_, bytes, static_cast<size_t>(std::max(take, 0)));
  writeCount_ += std::max(take, 0);
  if (take < count) throw KXStream(kErrorSendShort, std::max(take, 0));
  NotifyWrite(bytes, count);
}

void KUDPSocket::FlushOutput() {
  if (writeCount_ == 0) return;
  const int count = writeCount_;
  // A datagram that cannot go now is gone; keeping it would only block
  // everything after it.
  writeCount_ = 0;
  if (!IsOpen()) throw KXStream(kErrorSend, 0);
  // No address named: nowhere to send, and never the broadcast address.
  if (remoteAddress_ == 0) return;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(remoteAddress_);
  to.sin_port = htons(remotePort_);
  int sent = 0;
  while (sent < count) {
    const int piece = std::min(maxDatagram_, count - sent);
    const int done = SendSome(writeBuffer_.data() + sent, piece, WriteTimeout(), &to, sizeof to);
    if (done < 0) throw KXStream(kErrorSend, sent);
    if (done < piece) throw KXStream(kErrorSendShort, sent + done);
    sent += piece;
  }
}
