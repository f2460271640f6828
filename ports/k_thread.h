#pragma once

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>

// A controllable worker thread: created paused, resumed into its run
// operation, paused back, stopped. State changes are stores of the state word
// followed by event signals; the body re-reads the state after every wait.
class KThread {
 public:
  enum State : int { kStopped = 0, kRunning = 1, kPaused = 2 };
  // Priority codes, clamped at both ends.
  enum Priority : int {
    kPriorityIdle = -3,
    kPriorityLowest = -2,
    kPriorityBelowNormal = -1,
    kPriorityNormal = 0,
    kPriorityAboveNormal = 1,
    kPriorityHighest = 2,
    kPriorityTimeCritical = 3,
  };

  KThread() = default;
  KThread(const KThread&) = delete;
  KThread& operator=(const KThread&) = delete;
  virtual ~KThread();

  // Only from the stopped state: creates the thread paused. Returns the
  // state afterwards (kPaused, kStopped when creation failed, or the current
  // state when already started). A stack size of 0 takes the system's default.
  int Start(int priority, size_t stackSizeBytes);
  // From paused: waits until the thread sits in its pause, then runs it.
  bool Resume();
  // From running: sends the body back to its pause, optionally waiting
  // until it is there.
  bool Pause(bool wait);
  // Ends the thread from any state and waits for it; at once when stopped.
  void Stop();
  bool IsCurrentThread() const;
  int State() const { return state_.load(); }

  // Nice value of a priority code: refused changes are not errors, so this
  // is all the mapping there is.
  static int NiceOf(int priority);

 protected:
  // The body's work while running; must return soon after the state leaves
  // kRunning (WaitWake returns at once then).
  virtual void Run() {}
  // Used by periodic tasks; nothing here.
  virtual void Tick(int64_t /*nowMs*/) {}

  // Waits on the wake event for at most `timeoutMs` (negative: no limit).
  // True when woken, false when the time ran out.
  bool WaitWake(int timeoutMs);

 private:
  // An auto-reset event: a Wait consumes the signal.
  class Event {
   public:
    void Set();
    // False on time-out; a negative time-out waits without limit.
    bool Wait(int timeoutMs);
    void Reset();

   private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool signalled_ = false;
  };

  static void* Entry(void* self);
  void Body();

  std::atomic<int> state_{kStopped};
  pthread_t handle_{};
  bool hasHandle_ = false;
  std::atomic<long> threadId_{-1};
  int priority_ = kPriorityNormal;
  Event resume_;
  Event pausedAck_;
  Event runningAck_;
  Event wake_;
};
