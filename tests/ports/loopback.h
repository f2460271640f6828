#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>

// Plain loopback sockets playing the timing system's side.
namespace Loopback {

inline sockaddr_in Address(uint16_t port) {
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  at.sin_port = htons(port);
  return at;
}

inline uint16_t PortOf(int fd) {
  sockaddr_in at{};
  socklen_t length = sizeof at;
  getsockname(fd, reinterpret_cast<sockaddr*>(&at), &length);
  return ntohs(at.sin_port);
}

// A port nobody listens on right now.
inline uint16_t FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in at = Address(0);
  bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at);
  const uint16_t port = PortOf(fd);
  close(fd);
  return port;
}

inline int Listener(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in at = Address(port);
  if (bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(fd, 5) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

inline int Connect(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in at = Address(port);
  if (connect(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

inline int Accept(int listener, std::chrono::milliseconds limit) {
  pollfd probe{listener, POLLIN, 0};
  if (poll(&probe, 1, static_cast<int>(limit.count())) <= 0) return -1;
  return accept(listener, nullptr, nullptr);
}

inline bool SendAll(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

// Reads until `want` bytes, the peer closes, or the time runs out.
inline std::string Receive(int fd, size_t want, std::chrono::milliseconds limit,
                           bool* closed = nullptr) {
  std::string got;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  if (closed) *closed = false;
  while (got.size() < want) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd probe{fd, POLLIN, 0};
    if (poll(&probe, 1, static_cast<int>(left.count())) <= 0) continue;
    char block[4096];
    const ssize_t n = recv(fd, block, sizeof block, 0);
    if (n <= 0) {
      if (closed) *closed = true;
      break;
    }
    got.append(block, static_cast<size_t>(n));
  }
  return got;
}

// Closes with a reset instead of an orderly end.
inline void Reset(int fd) {
  linger hard{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  close(fd);
}

}  // namespace Loopback
