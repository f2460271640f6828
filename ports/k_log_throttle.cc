#include "ports/k_log_throttle.h"

uint64_t KLogThrottle::Hash(const KString& text) {
  uint64_t hash = 14695981039346656037ull;
  for (const char16_t ch : text) {
    hash = (hash ^ (ch & 0xFF)) * 1099511628211ull;
    hash = (hash ^ (ch >> 8)) * 1099511628211ull;
  }
  return hash;
}

bool KLogThrottle::Allow(const KString& text, int64_t nowMs) {
  const uint64_t key = Hash(text);
  auto known = seen_.find(key);
  if (known != seen_.end()) {
    if (nowMs - known->second.lastMs < intervalMs_) {
      ++known->second.suppressed;
      ++totalSuppressed_;
      return false;
    }
    known->second = Seen{nowMs, 0};
    return true;
  }
  if (seen_.size() >= kMaxRemembered) {
    // Forget what has passed its interval; if everything is recent, start over.
    for (auto it = seen_.begin(); it != seen_.end();) {
      it = nowMs - it->second.lastMs >= intervalMs_ ? seen_.erase(it) : std::next(it);
    }
    if (seen_.size() >= kMaxRemembered) seen_.clear();
  }
  seen_.emplace(key, Seen{nowMs, 0});
  return true;
}

int64_t KLogThrottle::Suppressed(const KString& text) const {
  const auto known = seen_.find(Hash(text));
  return known == seen_.end() ? 0 : known->second.suppressed;
}
