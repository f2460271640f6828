#include "ports/k_tcp_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/k_wait_set.h"
#include "base/k_x.h"
#include "ports/k_log.h"
#include "ports/k_periodic_task.h"
#include "ports/k_port_config.h"

namespace {

sockaddr_in MakeAddress(uint32_t address, uint16_t port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(address);
  to.sin_port = htons(port);
  return to;
}

void SetOption(int fd, int level, int name, int value) {
  ::setsockopt(fd, level, name, &value, sizeof value);
}

}  // namespace

KTCPSocket::KTCPSocket(int bufferSize) : KSocket(bufferSize) {}

KTCPSocket::~KTCPSocket() {
  Close();
}

std::unique_ptr<KStream> KTCPSocket::Clone() const {
  auto copy = std::make_unique<KTCPSocket>(BufferSize());
  CloneSettings(*copy);
  copy->noDelay_ = noDelay_;
  copy->keepAlive_ = keepAlive_;
  copy->reconnect_ = reconnect_;
  copy->blockingConnect_ = blockingConnect_;
  copy->replaceOnAccept_ = replaceOnAccept_;
  copy->keepBusyClient_ = keepBusyClient_;
  copy->idleClientMs_ = idleClientMs_;
  copy->SetEmptyIsLoopback(EmptyIsLoopback());
  copy->receiveBlock_ = receiveBlock_;
  return copy;
}

void KTCPSocket::SetReceiveBlock(int bytes) {
  receiveBlock_ = std::max(bytes, 1);
  receive_.clear();
  receiveCount_ = receivePosition_ = 0;
}

uint16_t KTCPSocket::LocalPort() const {
  const int fd = listenFd_ >= 0 ? listenFd_ : fd_;
  sockaddr_in local{};
  socklen_t length = sizeof local;
  if (fd < 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
  return ntohs(local.sin_port);
}

void KTCPSocket::ApplyOptions(int fd) const {
  SetOption(fd, SOL_SOCKET, SO_KEEPALIVE, keepAlive_ ? 1 : 0);
  if (keepAlive_) {
    // A timing system that vanishes without a word is noticed within
    // about a quarter of a minute rather than hours.
    SetOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, kKeepAliveIdleS);
    SetOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, kKeepAliveIntervalS);
    SetOption(fd, IPPROTO_TCP, TCP_KEEPCNT, kKeepAliveCount);
  }
  SetOption(fd, IPPROTO_TCP, TCP_NODELAY, noDelay_ ? 1 : 0);
}

bool KTCPSocket::SetSpec(const KString& spec) {
  const int kind = KPortConfig::PortNumber(spec);
  if ((kind != KPortConfig::kKindTCPConnect && kind != KPortConfig::kKindTCPListen) ||
      (kind == KPortConfig::kKindTCPConnect && !KPortConfig::HasToken(spec, 1))) {
    Close();
    return false;
  }
  KString error;
  uint16_t port = 0;
  uint32_t address = 0;
  const uint32_t whenEmpty = kind == KPortConfig::kKindTCPListen && EmptyIsLoopback()
                                 ? KPortConfig::kAddressLoopback
                                 : KPortConfig::kAddressAny;
  if (!KPortConfig::ReadIPPort(spec, port, error) ||
      !KPortConfig::ResolveIPAddress(spec, whenEmpty, address, error)) {
    Close();
    LogRefused(spec, error);
    return false;
  }
  if (kind == KPortConfig::kKindTCPConnect) return Connect(address, port);
  if (Listen(address, port)) return true;
  if (NetworkAvailable()) LogRefused(spec, KString(u"cannot listen on that address and port"));
  return false;
}

uint32_t KTCPSocket::LocalAddress() const {
  return BoundAddress(listenFd_ >= 0 ? listenFd_ : fd_);
}

void KTCPSocket::Close() {
  if (listenFd_ >= 0) ::close(listenFd_);
  listenFd_ = -1;
  if (waitingFd_ >= 0) ::close(waitingFd_);
  waitingFd_ = -1;
  remoteAddress_ = 0;
  remotePort_ = 0;
  KSocket::Close();
}

void KTCPSocket::CloseSocket() {
  KSocket::CloseSocket();
  state_ = kIdle;
  receiveCount_ = receivePosition_ = 0;
}

bool KTCPSocket::Connect(uint32_t address, uint16_t port) {
  Close();
  if (!NetworkAvailable()) return false;
  remoteAddress_ = address;
  remotePort_ = port;
  nextConnectMs_ = KPeriodicTask::TickCount() + kReconnectIntervalMs;
  if (StartConnect()) return true;
  if (reconnect_) return true;  // the poll keeps trying
  Close();
  return false;
}

bool KTCPSocket::StartConnect() {
  KSocket::CloseSocket();
  receiveCount_ = receivePosition_ = 0;
  state_ = kConnecting;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  ApplyOptions(fd);
  fd_ = fd;
  if (!blockingConnect_) {
    MakeNonBlocking(fd);
    blocking_ = false;
  }
  const sockaddr_in to = MakeAddress(remoteAddress_, remotePort_);
  int result = ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  while (result != 0 && errno == EINTR && blockingConnect_) {
    result = ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  }
  if (blockingConnect_) {
    MakeNonBlocking(fd);
    blocking_ = false;
  }
  if (result == 0) {
    state_ = kConnected;
    ++generation_;
    return true;
  }
  if (errno == EINPROGRESS || errno == EINTR) return true;
  // Refused at once: no socket until the next attempt.
  KSocket::CloseSocket();
  return false;
}

bool KTCPSocket::Listen(uint32_t address, uint16_t port) {
  Close();
  if (!NetworkAvailable()) return false;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  MakeNonBlocking(fd);
  SetOption(fd, SOL_SOCKET, SO_REUSEADDR, 1);
  const sockaddr_in at = MakeAddress(address, port);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 || ::listen(fd, 5) != 0) {
    ::close(fd);
    return false;
  }
  listenFd_ = fd;
  return true;
}

void KTCPSocket::Broken() {
  if (reconnect_ && remotePort_ != 0 && listenFd_ < 0) {
    KSocket::CloseSocket();
    receiveCount_ = receivePosition_ = 0;
    state_ = kConnecting;  // without a socket: the next attempt is due
  } else {
    CloseSocket();  // a listener keeps listening for the next client
    if (waitingFd_ >= 0) PromoteWaiting(KPeriodicTask::TickCount(), true);
  }
}

void KTCPSocket::TakeClient(int fd) {
  CloseSocket();
  fd_ = fd;
  blocking_ = false;
  state_ = kConnected;
  ++generation_;
  lastReceiveMs_ = KPeriodicTask::TickCount();
  ApplyOptions(fd);
}

void KTCPSocket::AcceptWaiting() {
  const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) return;
  const bool busy = keepBusyClient_ && fd_ >= 0 && state_ == kConnected;
  if (!busy) {
    TakeClient(fd);
    return;
  }
  // The newest newcomer is the one most likely to be the console coming
  // back; an older one still waiting gives way to it.
  const bool replacedWaiting = waitingFd_ >= 0;
  if (replacedWaiting) ::close(waitingFd_);
  waitingFd_ = fd;
  KString line(u"TCP port ");
  line.AppendInt(LocalPort());
  line.Append(replacedWaiting ? u": a newer client waits in place of the one waiting"
                              : u": a second client waits while the current one is connected");
  KLog::Log(line, KLog::kMessage);
}

void KTCPSocket::PromoteWaiting(int64_t nowMs, bool currentGone) {
  if (waitingFd_ < 0) return;
  if (!currentGone) {
    if (fd_ >= 0 && state_ == kConnected &&
        (BufferedBytes() > 0 || nowMs - lastReceiveMs_ < idleClientMs_)) {
      return;
    }
  }
  const int fd = waitingFd_;
  waitingFd_ = -1;
  KString line(u"TCP port ");
  line.AppendInt(LocalPort());
  line.Append(currentGone ? u": the waiting client takes over from the one that closed"
                          : u": the waiting client takes over from the silent one");
  KLog::Log(line, KLog::kMessage);
  TakeClient(fd);
}

bool KTCPSocket::IsOpen() const {
  // Checking the port is what moves a connection along, as on every kind
  // of port that polls; the const interface cannot say so.
  return const_cast<KTCPSocket*>(this)->Poll();
}

bool KTCPSocket::Poll() {
  // One zero-time wait tells whether a client knocks and how the data
  // socket stands.
  pollfd probe[2] = {};
  int count = 0;
  int listenAt = -1;
  int dataAt = -1;
  if (listenFd_ >= 0 && (replaceOnAccept_ || fd_ < 0)) {
    probe[count] = pollfd{listenFd_, POLLIN, 0};
    listenAt = count++;
  }
  if (fd_ >= 0 && state_ == kConnecting) {
    probe[count] = pollfd{fd_, POLLOUT, 0};
    dataAt = count++;
  } else if (fd_ >= 0 && state_ == kConnected && BufferedBytes() == 0) {
    probe[count] = pollfd{fd_, POLLIN, 0};
    dataAt = count++;
  }
  if (count > 0) {
    int ready;
    do {
      ready = ::poll(probe, static_cast<nfds_t>(count), 0);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) {
      for (int i = 0; i < count; ++i) probe[i].revents = 0;
    }
  }
  if (listenAt >= 0 && (probe[listenAt].revents & POLLIN)) {
    const int before = fd_;
    const uint32_t generation = generation_;
    AcceptWaiting();
    if (fd_ != before || generation != generation_) dataAt = -1;  // a fresh client
  }
  if (state_ == kConnecting && fd_ < 0) {
    if (!reconnect_ || remotePort_ == 0) {
      state_ = kIdle;
      return false;
    }
    const int64_t now = KPeriodicTask::TickCount();
    if (now < nextConnectMs_) return false;
    nextConnectMs_ = now + kReconnectIntervalMs;
    if (!StartConnect()) return false;
    return state_ == kConnected;
  }
  if (fd_ < 0 || state_ == kIdle) return false;
  if (state_ == kConnecting) {
    if (dataAt < 0 || probe[dataAt].revents == 0) return false;
    int error = 0;
    socklen_t length = sizeof error;
    sockaddr_in peer{};
    socklen_t peerLength = sizeof peer;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0 &&
        ::getpeername(fd_, reinterpret_cast<sockaddr*>(&peer), &peerLength) == 0) {
      state_ = kConnected;
      ++generation_;
      lastReceiveMs_ = KPeriodicTask::TickCount();
    } else {
      Broken();
      return false;
    }
  }
  if (state_ == kConnected && dataAt >= 0 && probe[dataAt].revents != 0) {
    uint8_t byte = 0;
    const ssize_t peeked = ::recv(fd_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (peeked == 0 || (peeked < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
      Broken();
      return state_ == kConnected;
    }
  }
  if (waitingFd_ >= 0 && state_ == kConnected && (dataAt < 0 || probe[dataAt].revents == 0)) {
    PromoteWaiting(KPeriodicTask::TickCount(), false);
  }
  return state_ == kConnected;
}

int KTCPSocket::ReadAvailable(void* bytes, int max) {
  if (max <= 0) return 0;
  auto* out = static_cast<uint8_t*>(bytes);
  if (BufferedBytes() > 0) {
    const int take = std::min(max, BufferedBytes());
    std::memcpy(out, receive_.data() + receivePosition_, static_cast<size_t>(take));
    receivePosition_ += take;
    NotifyRead(out, take);
    return take;
  }
  if (!Poll()) return 0;
  ssize_t got;
  do {
    got = ::recv(fd_, out, static_cast<size_t>(max), MSG_DONTWAIT);
  } while (got < 0 && errno == EINTR);
  if (got > 0) {
    lastReceiveMs_ = KPeriodicTask::TickCount();
    NotifyRead(out, static_cast<int>(got));
    return static_cast<int>(got);
  }
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
  // The peer closed (an orderly end, nothing to report) or the connection
  // failed; either way the poll starts over.
  const bool failed = got < 0;
  Broken();
  if (failed) throw KXStream(kErrorReceive, 0);
  return 0;
}

void KTCPSocket::AddWaits(KWaitSet& set) const {
  if (listenFd_ >= 0 && (replaceOnAccept_ || fd_ < 0)) set.Add(listenFd_, POLLIN);
  if (waitingFd_ >= 0 && state_ == kConnected) set.DueAt(lastReceiveMs_ + idleClientMs_);
  if (state_ == kConnecting) {
    if (fd_ >= 0) {
      set.Add(fd_, POLLOUT);
    } else if (reconnect_ && remotePort_ != 0) {
      set.DueAt(nextConnectMs_);
    }
    return;
  }
  if (state_ != kConnected || fd_ < 0) return;
  if (BufferedBytes() > 0) {
    set.DueNow();
  } else {
    set.Add(fd_, POLLIN);
  }
}

void KTCPSocket::Read(void* bytes, int count) {
  auto* out = static_cast<uint8_t*>(bytes);
  int copied = 0;
  for (;;) {
    const int take = std::min(count - copied, BufferedBytes());
    if (take > 0) {
      std::memcpy(out + copied, receive_.data() + receivePosition_, static_cast<size_t>(take));
      receivePosition_ += take;
      copied += take;
    }
    if (copied >= count) break;
    if (!Poll()) throw KXStream(kErrorReceive, copied);
    const int timeoutMs = ReadTimeout();
    if (timeoutMs != 0 && !(Wait(fd_, POLLIN, timeoutMs) & (POLLIN | POLLHUP | POLLERR))) {
      throw KXStream(kErrorReceiveShort, copied);
    }
    if (receive_.size() != static_cast<size_t>(receiveBlock_)) {
      receive_.assign(static_cast<size_t>(receiveBlock_), 0);
    }
    ssize_t got;
    do {
      got = ::recv(fd_, receive_.data(), receive_.size(), MSG_DONTWAIT);
    } while (got < 0 && errno == EINTR);
    receivePosition_ = 0;
    receiveCount_ = got > 0 ? static_cast<int>(got) : 0;
    if (got > 0) lastReceiveMs_ = KPeriodicTask::TickCount();
    if (got == 0) throw KXStream(kErrorReceive, copied);  // the peer closed
    if (got < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK) throw KXStream(kErrorReceiveShort, copied);
      throw KXStream(kErrorReceive, copied);
    }
  }
  NotifyRead(bytes, count);
}

int KTCPSocket::SendNow(const uint8_t* bytes, int count) {
  if (!Poll()) throw KXStream(kErrorSend, 0);
  const int sent = SendSome(bytes, count, WriteTimeout(), nullptr, 0);
  if (sent < 0) throw KXStream(kErrorSend, 0);
  if (sent < count) throw KXStream(kErrorSendShort, sent);
  return sent;
}

void KTCPSocket::Write(const void* bytes, int count) {
  const auto* in = static_cast<const uint8_t*>(bytes);
  if (!HasWriteBuffer()) {
    SendNow(in, count);
  } else {
    int accepted = 0;
    while (accepted < count) {
      const int take = std::min(count - accepted, BufferSize() - writeCount_);
      std::memcpy(writeBuffer_.data() + writeCount_, in + accepted, static_cast<size_t>(take));
      writeCount_ += take;
      accepted += take;
      if (writeCount_ == BufferSize()) FlushOutput();
    }
  }
  NotifyWrite(bytes, count);
}

void KTCPSocket::FlushOutput() {
  if (!HasWriteBuffer() || writeCount_ == 0) return;
  const int count = writeCount_;
  // What could not go is dropped rather than sent again and again.
  writeCount_ = 0;
  SendNow(writeBuffer_.data(), count);
}
