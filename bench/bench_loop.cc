// The cost of the event loop's work with a TCP port connected.
//
// idlepass: one pass over a quiet connection, reading what is waiting in
// blocks, against a single zero-time poll() (the least any check can cost)
// and against the exception a character read raises when nothing is there.
//
// debugecho: echoing one 82-byte packet to a debug client that reads, one
// write per pass, against sending the raw 82 bytes with one send().
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "base/k_x.h"
#include "ports/k_debug_port.h"
#include "ports/k_port_menus.h"
#include "ports/k_tcp_socket.h"

namespace {

int ConnectTo(uint16_t port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(port);
  if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

uint16_t FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at);
  socklen_t length = sizeof at;
  getsockname(fd, reinterpret_cast<sockaddr*>(&at), &length);
  close(fd);
  return ntohs(at.sin_port);
}

// A listener port with one quiet client.
struct QuietConnection {
  QuietConnection() {
    KSocket::StartNetwork();
    port.SetReplaceOnAccept(true);
    KPortMenus::MakeRaw(port);
    if (!port.Listen(0x7F000001u, 0)) return;
    client = ConnectTo(port.LocalPort());
    for (int i = 0; i < 1000 && !port.IsOpen(); ++i) usleep(1000);
  }
  ~QuietConnection() {
    if (client >= 0) close(client);
  }
  KTCPSocket port;
  int client = -1;
};

void BM_IdlePollOneSocket(benchmark::State& state) {
  QuietConnection quiet;
  for (auto _ : state) {
    pollfd probe{quiet.client, POLLIN, 0};
    benchmark::DoNotOptimize(poll(&probe, 1, 0));
  }
  state.SetLabel("baseline:idlepass");
}
BENCHMARK(BM_IdlePollOneSocket);

void BM_IdlePassBlockRead(benchmark::State& state) {
  QuietConnection quiet;
  if (!quiet.port.IsOpen()) state.SkipWithError("no connection");
  char16_t chars[1024];
  for (auto _ : state) {
    if (quiet.port.IsOpen()) benchmark::DoNotOptimize(quiet.port.ReadAvailableChars(chars, 1024));
  }
  state.SetLabel("family:idlepass");
}
BENCHMARK(BM_IdlePassBlockRead);

void BM_IdlePassThrowingRead(benchmark::State& state) {
  QuietConnection quiet;
  if (!quiet.port.IsOpen()) state.SkipWithError("no connection");
  for (auto _ : state) {
    if (!quiet.port.IsOpen()) continue;
    try {
      benchmark::DoNotOptimize(quiet.port.ReadChar());
    } catch (const KX&) {
    }
  }
  state.SetLabel("family:idlepass");
}
BENCHMARK(BM_IdlePassThrowingRead);

// A debug-style reader that drains a socket until told to stop.
class Drain {
 public:
  explicit Drain(int fd) : fd_(fd), thread_([this] { Run(); }) {}
  ~Drain() {
    stop_ = true;
    thread_.join();
  }

 private:
  void Run() {
    char block[65536];
    while (!stop_) {
      pollfd waiting{fd_, POLLIN, 0};
      if (poll(&waiting, 1, 10) <= 0) continue;
      if (recv(fd_, block, sizeof block, 0) <= 0) return;
    }
  }
  int fd_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

std::string Packet82() {
  std::string packet = "\x02R4Runner 17";
  packet.resize(81, '.');
  return packet + "\x03";
}

void BM_EchoRawSend(benchmark::State& state) {
  QuietConnection link;
  const std::string packet = Packet82();
  // The program's side writes to the client; the client end drains.
  const Drain drain(link.client);
  const int fd = link.port.IsOpen() ? 1 : -1;
  if (fd < 0) state.SkipWithError("no connection");
  for (auto _ : state) link.port.Write(packet.data(), static_cast<int>(packet.size()));
  state.SetLabel("baseline:debugecho");
}
BENCHMARK(BM_EchoRawSend);

void BM_EchoThroughDebugPort(benchmark::State& state) {
  KSocket::StartNetwork();
  KDebugPort debug{KPortSettings{}};
  if (!debug.SetSpec(KString("-2,127.0.0.1," + std::to_string(FreePort())))) {
    state.SkipWithError("cannot listen");
  }
  const int client = ConnectTo(static_cast<KTCPSocket*>(debug.Stream())->LocalPort());
  for (int i = 0; i < 1000 && !debug.BeginPass(); ++i) usleep(1000);
  const Drain drain(client);
  const std::string packet = Packet82();
  for (auto _ : state) {
    debug.BeginPass();
    for (const char ch : packet) debug.Echo(0, static_cast<unsigned char>(ch));
    debug.EndPass();
  }
  if (debug.Dropped() > 0) state.counters["dropped"] = static_cast<double>(debug.Dropped());
  state.SetLabel("family:debugecho");
  close(client);
}
BENCHMARK(BM_EchoThroughDebugPort);

}  // namespace
