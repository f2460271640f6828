#pragma once

#include <poll.h>

#include <cstdint>
#include <vector>

// What the main loop sleeps on between two idle passes: the descriptors whose
// readiness means work (a port readable, a connection writable) and the
// earliest moment something else is due (a reconnect, a redraw, a timer).
// Everything with work to wake up for adds itself; the loop then sleeps
// until the first of them, so an idle program costs nothing.
class KWaitSet {
 public:
  // Milliseconds of the monotonic clock, the time base of every deadline.
  static int64_t NowMs();

  void Add(int fd, short events);
  // Something is due at `atMs` (NowMs time); the earliest deadline wins.
  void DueAt(int64_t atMs);
  void DueIn(int ms) { DueAt(NowMs() + (ms > 0 ? ms : 0)); }
  // Work is waiting already (bytes buffered in a stream): no sleep at all.
  void DueNow() { DueAt(0); }
  void Clear();

  const std::vector<pollfd>& Descriptors() const { return descriptors_; }
  bool HasDeadline() const { return hasDeadline_; }
  int64_t DeadlineMs() const { return deadlineMs_; }
  // The sleep from `nowMs`: -1 without a deadline, 0 when one is due.
  int TimeoutMs(int64_t nowMs) const;

 private:
  std::vector<pollfd> descriptors_;
  bool hasDeadline_ = false;
  int64_t deadlineMs_ = 0;
};
