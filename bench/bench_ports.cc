// A TCP source on loopback receiving a burst as fast as a sender can write
// it: block reads into the stream's buffer against one receive call per
// byte, read character by character as the polling pass does. Every byte is
// checked (FNV-1a over the stream) and the receiving thread's CPU time is
// reported per MiB. The times are per MiB, so the ratio compares rates.
// TELVANE_BENCH_MIB sets the block-read burst (default 64); the byte-per-call
// baseline costs several system calls a byte and gets
// TELVANE_BENCH_BASELINE_MIB (default 4).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "base/k_x.h"
#include "ports/k_port_menus.h"
#include "ports/k_tcp_socket.h"

namespace {

int64_t BurstBytes(const char* variable, long fallback) {
  const char* mib = std::getenv(variable);
  const long value = mib ? std::atol(mib) : fallback;
  return static_cast<int64_t>(value > 0 ? value : fallback) << 20;
}

uint64_t Fnv(uint64_t hash, uint8_t byte) {
  return (hash ^ byte) * 1099511628211ull;
}

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void Receive(benchmark::State& state, int block, int64_t total) {
  KSocket::StartNetwork();
  std::vector<uint8_t> pattern(1 << 16);
  for (size_t i = 0; i < pattern.size(); ++i)
    pattern[i] = static_cast<uint8_t>((i * 131) ^ (i >> 8));
  uint64_t expected = 14695981039346656037ull;
  for (int64_t i = 0; i < total; ++i)
    expected = Fnv(expected, pattern[static_cast<size_t>(i) % pattern.size()]);

  double cpu = 0;
  for (auto _ : state) {
    KTCPSocket port;
    port.SetReplaceOnAccept(true);
    port.SetReceiveBlock(block);
    KPortMenus::MakeRaw(port);
    if (!port.Listen(0x7F000001u, 0)) {
      state.SkipWithError("cannot listen");
      return;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(port.LocalPort());
    std::thread sender([&] {
      const int fd = socket(AF_INET, SOCK_STREAM, 0);
      if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        close(fd);
        return;
      }
      int64_t sent = 0;
      while (sent < total) {
        const size_t offset = static_cast<size_t>(sent) % pattern.size();
        const size_t piece = std::min<int64_t>(pattern.size() - offset, total - sent);
        const ssize_t n = send(fd, pattern.data() + offset, piece, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += n;
      }
      close(fd);
    });
    const double cpuStart = ThreadCpuSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    uint64_t hash = 14695981039346656037ull;
    int64_t received = 0;
    int64_t lastProgress = 0;
    auto stalledSince = std::chrono::steady_clock::now();
    while (received < total) {
      try {
        // One polling pass: every character that is waiting.
        for (;;) {
          hash = Fnv(hash, static_cast<uint8_t>(port.ReadChar()));
          ++received;
        }
      } catch (const KX&) {
      }
      // A sender that never came or stopped short must not hang the run.
      const auto now = std::chrono::steady_clock::now();
      if (received != lastProgress) {
        lastProgress = received;
        stalledSince = now;
      } else if (now - stalledSince > std::chrono::seconds(10)) {
        break;
      }
    }
    cpu += ThreadCpuSeconds() - cpuStart;
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - wallStart;
    state.SetIterationTime(wall.count() / static_cast<double>(total >> 20));
    sender.join();
    if (received != total || hash != expected) {
      state.SkipWithError("bytes lost or reordered");
      return;
    }
  }
  // Each iteration time is per MiB.
  state.SetBytesProcessed(state.iterations() * (int64_t{1} << 20));
  state.counters["cpu_s_per_MiB"] =
      cpu / static_cast<double>(state.iterations()) / static_cast<double>(total >> 20);
}

void BM_TCPReceiveOneBytePerCall(benchmark::State& state) {
  Receive(state, 1, BurstBytes("TELVANE_BENCH_BASELINE_MIB", 4));
  state.SetLabel("baseline:tcpreceive");
}
BENCHMARK(BM_TCPReceiveOneBytePerCall)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

void BM_TCPReceiveBlocks(benchmark::State& state) {
  Receive(state, KTCPSocket::kDefaultReceiveBlock, BurstBytes("TELVANE_BENCH_MIB", 64));
  state.SetLabel("family:tcpreceive");
}
BENCHMARK(BM_TCPReceiveBlocks)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

}  // namespace
