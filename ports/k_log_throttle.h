#pragma once

#include <cstdint>
#include <iterator>
#include <unordered_map>

#include "base/k_string.h"

// Keeps a log line that a peer can make the program repeat (a bare LF
// repeating a command) from being written more than once per interval for
// the same text. Texts are remembered by a 64-bit hash, and only the most
// recent few hundred, so neither long texts nor many distinct ones cost
// memory.
class KLogThrottle {
 public:
  static constexpr int kDefaultIntervalMs = 1000;
  static constexpr size_t kMaxRemembered = 256;

  explicit KLogThrottle(int intervalMs = kDefaultIntervalMs) : intervalMs_(intervalMs) {}

  // Whether `text` may be logged at `nowMs` (monotonic milliseconds); a
  // refusal is counted.
  bool Allow(const KString& text, int64_t nowMs);
  // Lines refused since the last one of the same text that was allowed.
  int64_t Suppressed(const KString& text) const;
  int64_t TotalSuppressed() const { return totalSuppressed_; }

  static uint64_t Hash(const KString& text);

 private:
  struct Seen {
    int64_t lastMs;
    int64_t suppressed;
  };
  int intervalMs_;
  std::unordered_map<uint64_t, Seen> seen_;
  int64_t totalSuppressed_ = 0;
};
