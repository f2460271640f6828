#include "base/k_wait_set.h"

#include <time.h>

#include <climits>

int64_t KWaitSet::NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void KWaitSet::Add(int fd, short events) {
  if (fd < 0 || events == 0) return;
  for (pollfd& known : descriptors_) {
    if (known.fd == fd) {
      known.events = static_cast<short>(known.events | events);
      return;
    }
  }
  descriptors_.push_back(pollfd{fd, events, 0});
}

void KWaitSet::DueAt(int64_t atMs) {
  if (!hasDeadline_ || atMs < deadlineMs_) deadlineMs_ = atMs;
  hasDeadline_ = true;
}

void KWaitSet::Clear() {
  descriptors_.clear();
  hasDeadline_ = false;
  deadlineMs_ = 0;
}

int KWaitSet::TimeoutMs(int64_t nowMs) const {
  if (!hasDeadline_) return -1;
  if (deadlineMs_ <= nowMs) return 0;
  const int64_t left = deadlineMs_ - nowMs;
  return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}
