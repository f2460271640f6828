#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>

// A pseudo-terminal pair: the test holds the master end (the timing system
// or the display); the port under test opens the slave by its path.
class PtyPair {
 public:
  PtyPair() {
    int slave = -1;
    char name[128] = {};
    if (openpty(&master_, &slave, name, nullptr, nullptr) != 0) return;
    slaveName_ = name;
    // Keep one slave descriptor open while the test runs, so the master
    // never sees a hang-up between the port's open and close.
    slave_ = slave;
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    termios raw{};
    tcgetattr(slave_, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave_, TCSANOW, &raw);
  }
  ~PtyPair() { CloseAll(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool Ok() const { return master_ >= 0; }
  int Master() const { return master_; }
  const std::string& SlaveName() const { return slaveName_; }

  void CloseSlave() {
    if (slave_ >= 0) close(slave_);
    slave_ = -1;
  }
  void CloseAll() {
    CloseSlave();
    if (master_ >= 0) close(master_);
    master_ = -1;
  }

  bool Send(const std::string& bytes) const {
    return write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }

  // Reads from the master until `want` bytes came or the time ran out.
  std::string Receive(size_t want, std::chrono::milliseconds limit) const {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (got.size() < want) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd probe{master_, POLLIN, 0};
      if (poll(&probe, 1, static_cast<int>(left.count())) <= 0) continue;
      char block[4096];
      const ssize_t n = read(master_, block, sizeof block);
      if (n > 0) got.append(block, static_cast<size_t>(n));
    }
    return got;
  }

  // Drains what is there now and for `quiet` after it.
  std::string ReceiveFor(std::chrono::milliseconds span) const {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + span;
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd probe{master_, POLLIN, 0};
      if (poll(&probe, 1, static_cast<int>(left.count())) <= 0) continue;
      char block[4096];
      const ssize_t n = read(master_, block, sizeof block);
      if (n > 0) got.append(block, static_cast<size_t>(n));
    }
    return got;
  }

  bool Attributes(termios& out) const { return tcgetattr(master_, &out) == 0; }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slaveName_;
};
