#include "ports/k_socket.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>

#include <atomic>
#include <cerrno>
#include <chrono>

#include "ports/k_log.h"

namespace {

std::atomic<bool>& Available() {
  static std::atomic<bool> available{false};
  return available;
}

}  // namespace

KSocket::KSocket(int bufferSize)
    : bufferSize_(bufferSize), writeBuffer_(static_cast<size_t>(bufferSize > 0 ? bufferSize : 0)) {}

KSocket::~KSocket() {
  if (fd_ >= 0) ::close(fd_);
}

bool KSocket::StartNetwork() {
  const int probe = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (probe >= 0) ::close(probe);
  Available().store(probe >= 0);
  return probe >= 0;
}

void KSocket::StopNetwork() {
  Available().store(false);
}

bool KSocket::NetworkAvailable() {
  return Available().load();
}

void KSocket::Close() {
  CloseSocket();
  writeCount_ = 0;
  KStream::Close();
}

void KSocket::CloseSocket() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  blocking_ = true;
}

short KSocket::Wait(int fd, short events, int timeoutMs) {
  if (fd < 0) return 0;
  pollfd probe{fd, events, 0};
  for (;;) {
    const int ready = ::poll(&probe, 1, timeoutMs < 0 ? -1 : timeoutMs);
    if (ready > 0) return probe.revents;
    if (ready == 0 || errno != EINTR) return 0;
  }
}

bool KSocket::MakeNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

int KSocket::SendSome(const uint8_t* bytes, int count, int timeoutMs, const void* to,
                      unsigned toLength) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
  int sent = 0;
  while (sent < count) {
    const ssize_t done =
        to ? ::sendto(fd_, bytes + sent, static_cast<size_t>(count - sent),
                      MSG_NOSIGNAL | MSG_DONTWAIT, static_cast<const sockaddr*>(to), toLength)
           : ::send(fd_, bytes + sent, static_cast<size_t>(count - sent),
                    MSG_NOSIGNAL | MSG_DONTWAIT);
    if (done > 0) {
      sent += static_cast<int>(done);
      continue;
    }
    if (done < 0 && errno == EINTR) continue;
    if (done < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return sent == 0 ? -1 : sent;
    // Full: wait as the time-out allows.
    if (timeoutMs == 0) break;
    int left = -1;
    if (timeoutMs > 0) {
      left = static_cast<int>(
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
      if (left <= 0) break;
    }
    if (!(Wait(fd_, POLLOUT, left) & POLLOUT)) break;
  }
  return sent;
}

uint32_t KSocket::BoundAddress(int fd) {
  sockaddr_in local{};
  socklen_t length = sizeof local;
  if (fd < 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) return 0;
  return ntohl(local.sin_addr.s_addr);
}

uint32_t KSocket::LocalAddress() const {
  return BoundAddress(fd_);
}

void KSocket::LogRefused(const KString& spec, const KString& reason) {
  KString line(u"Port \"");
  line.Append(spec);
  line.Append(u"\" not opened: ");
  line.Append(reason);
  KLog::Log(line, KLog::kError);
}
