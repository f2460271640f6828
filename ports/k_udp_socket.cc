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
#include "ports/k_port_config.h"

KUDPSocket::KUDPSocket(int bufferSize, int receiveSize, int maxDatagram)
    : KSocket(bufferSize), maxDatagram_(std::max(maxDatagram, 1)), receiveSize_(receiveSize) {
  if (HasWriteBuffer() && receiveSize > 0) receive_.assign(static_cast<size_t>(receiveSize), 0);
}

KUDPSocket::~KUDPSocket() {
  Close();
}

std::unique_ptr<KStream> KUDPSocket::Clone() const {
  auto copy = std::make_unique<KUDPSocket>(BufferSize(), receiveSize_, maxDatagram_);
  CloneSettings(*copy);
  return copy;
}

bool KUDPSocket::IsOpen() const {
  return HasWriteBuffer() && fd_ >= 0 && remoteAddress_ != 0 && remotePort_ != 0;
}

bool KUDPSocket::SetSpec(const KString& spec) {
  Close();
  if (!NetworkAvailable() || !HasWriteBuffer()) return false;
  if (KPortConfig::PortNumber(spec) != KPortConfig::kKindUDP || !KPortConfig::HasToken(spec, 2)) {
    return false;
  }
  const uint16_t port = KPortConfig::IPPort(spec);
  if (port == 0) return false;
  uint32_t address = KPortConfig::IPAddress(spec);
  if (address == 0) address = KPortConfig::kAddressNone;  // broadcast

  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  blocking_ = false;
  int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  int sendBuffer = 0;
  socklen_t length = sizeof sendBuffer;
  if (::getsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, &length) == 0 &&
      sendBuffer < BufferSize()) {
    sendBuffer = BufferSize();
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
  }
  if (!receive_.empty()) {
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_ANY);
    at.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0) {
      ::close(fd);
      return false;
    }
  }
  fd_ = fd;
  remoteAddress_ = address;
  remotePort_ = port;
  return true;
}

void KUDPSocket::Close() {
  remoteAddress_ = 0;
  remotePort_ = 0;
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
      ssize_t got;
      do {
        got = ::recv(fd_, receive_.data(), receive_.size(), MSG_DONTWAIT);
      } while (got < 0 && errno == EINTR);
      receivePosition_ = 0;
      receiveCount_ = got > 0 ? static_cast<int>(got) : 0;
      if (got < 0) throw KXStream(kErrorReceive, copied);
      if (got == 0) throw KXStream(kErrorReceiveShort, copied);
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
  if (receivePosition_ >= receiveCount_) {
    ssize_t got;
    do {
      got = ::recv(fd_, receive_.data(), receive_.size(), MSG_DONTWAIT);
    } while (got < 0 && errno == EINTR);
    receivePosition_ = 0;
    receiveCount_ = got > 0 ? static_cast<int>(got) : 0;
    if (got < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
      throw KXStream(kErrorReceive, 0);
    }
  }
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
