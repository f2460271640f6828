#include "ports/k_thread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kStackFactor = 4;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr size_t kStackFactor = 4;
#else
constexpr size_t kStackFactor = 1;
#endif
#else
constexpr size_t kStackFactor = 1;
#endif

long CurrentThreadId() {
  return static_cast<long>(::syscall(SYS_gettid));
}

}  // namespace

void KThread::Event::Set() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = true;
  }
  cv_.notify_all();
}

void KThread::Event::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  signalled_ = false;
}

bool KThread::Event::Wait(int timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (timeoutMs < 0) {
    cv_.wait(lock, [this] { return signalled_; });
  } else if (!cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [this] { return signalled_; })) {
    return false;
  }
  signalled_ = false;
  return true;
}

KThread::~KThread() {
  Stop();
}

int KThread::NiceOf(int priority) {
  if (priority <= kPriorityIdle) return 19;
  switch (priority) {
    case kPriorityLowest:
      return 10;
    case kPriorityBelowNormal:
      return 5;
    case kPriorityNormal:
      return 0;
    case kPriorityAboveNormal:
      return -5;
    case kPriorityHighest:
      return -10;
    default:
      return -20;
  }
}

int KThread::Start(int priority, size_t stackSizeBytes) {
  if (state_.load() != kStopped) return state_.load();
  resume_.Reset();
  pausedAck_.Reset();
  runningAck_.Reset();
  wake_.Reset();
  priority_ = priority;

  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return kStopped;
  if (stackSizeBytes > 0) {
    // Sanitizers need room of their own on every frame.
    const size_t size = std::max<size_t>(stackSizeBytes * kStackFactor, PTHREAD_STACK_MIN);
    pthread_attr_setstacksize(&attributes, size);
  }
  state_.store(kPaused);
  const int failed = pthread_create(&handle_, &attributes, &KThread::Entry, this);
  pthread_attr_destroy(&attributes);
  if (failed != 0) {
    state_.store(kStopped);
    return kStopped;
  }
  hasHandle_ = true;
  return kPaused;
}

bool KThread::Resume() {
  if (state_.load() == kPaused && hasHandle_) {
    pausedAck_.Wait(-1);
    // A stop may have come in between; it wins.
    int expected = kPaused;
    if (state_.compare_exchange_strong(expected, kRunning)) resume_.Set();
  }
  return state_.load() == kRunning;
}

bool KThread::Pause(bool wait) {
  int expected = kRunning;
  if (state_.compare_exchange_strong(expected, kPaused)) {
    wake_.Set();
    if (wait && !IsCurrentThread()) {
      pausedAck_.Wait(-1);
      // The acknowledgement is consumed here, but a later Resume needs it.
      pausedAck_.Set();
    }
  }
  return state_.load() == kPaused;
}

void KThread::Stop() {
  state_.store(kStopped);
  resume_.Set();
  wake_.Set();
  if (!hasHandle_) return;
  if (IsCurrentThread()) {
    // The body ends by itself when it sees the state; nobody can join here.
    pthread_detach(handle_);
  } else {
    pthread_join(handle_, nullptr);
  }
  hasHandle_ = false;
  threadId_.store(-1);
}

bool KThread::IsCurrentThread() const {
  return threadId_.load() != -1 && threadId_.load() == CurrentThreadId();
}

bool KThread::WaitWake(int timeoutMs) {
  return wake_.Wait(timeoutMs);
}

void* KThread::Entry(void* self) {
  static_cast<KThread*>(self)->Body();
  return nullptr;
}

void KThread::Body() {
  threadId_.store(CurrentThreadId());
  // Best effort: an unprivileged process may not raise its priority.
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(CurrentThreadId()), NiceOf(priority_));
  for (;;) {
    const int state = state_.load();
    if (state == kStopped) break;
    if (state == kPaused) {
      pausedAck_.Set();
      resume_.Wait(-1);
    } else {
      runningAck_.Set();
      Run();
    }
  }
}
