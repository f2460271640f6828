#pragma once

#include <QApplication>
#include <csignal>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

class KWaitSet;
class KZModal;
class QSocketNotifier;
class QTimer;

// The toolkit's application object with the program's own event loop: Qt
// dispatches the events, and when none is waiting the loop makes one idle
// pass and then sleeps until there is work: a Qt event, a descriptor that
// CollectWaits named becoming ready, or the earliest deadline it gave. An
// idle pass that sets the idle sleep to 0 skips the sleep.
class KZApplication : public QApplication {
 public:
  // The toolkit's exit code, the result of a loop ended by ExitLoop.
  static constexpr int kExitResult = -32;

  KZApplication(int& argc, char** argv);
  ~KZApplication() override;

  static KZApplication* Instance();

  // Result -2 when a modal window ended or returnWhenIdle found no event,
  // -3 when the modal window lost its window, -32 after ExitLoop, or the
  // code a modal window's judgement ended with.
  int EventLoop(KZModal* modal, bool returnWhenIdle, bool idleProcessing);
  // Ends the innermost loop with `result` at its next turn.
  void ExitLoop(int result = kExitResult);
  // Ends the outermost loop; loops inside it run on until their windows end.
  void ExitMainLoop(int result = kExitResult);
  int LoopDepth() const { return static_cast<int>(loops_.size()); }

  // Set to 1 before each idle check; an idle pass may lower it to 0, which
  // makes the next pass follow at once instead of sleeping until work comes.
  void SetIdleSleep(int ms) { idleSleepMs_ = ms; }
  int IdleSleep() const { return idleSleepMs_; }
  // How often the loop woke from its sleep (for watching the idle cost).
  int64_t WakeCount() const { return wakeCount_; }

  // Whether an alert can be answered by anyone: false on the offscreen and
  // minimal platforms.
  static bool HasDisplay();

  // SIGTERM and SIGINT ask the program to end through OnTerminateRequest;
  // a second signal ends the process at once.
  static void InstallTerminationHandlers();
  static int PendingTerminationSignal();

  bool notify(QObject* receiver, QEvent* event) override;

 protected:
  // False when the event is consumed and must not be dispatched.
  virtual bool FilterEvent(QObject* receiver, QEvent* event);
  // One idle pass; `count` is the number of passes since the last event.
  // False stops idle passes until the next event.
  virtual bool OnIdle(int count);
  // An exception escaped an event handler or an idle pass.
  virtual void ReportLoopException();
  // A termination signal arrived; called from the main loop.
  virtual void OnTerminateRequest(int signal);
  // What the sleep after an idle pass waits for: every part with work to
  // wake up for adds its descriptors and its next deadline. With nothing
  // added the loop sleeps until a Qt event arrives.
  virtual void CollectWaits(KWaitSet& set);

 private:
  struct Loop {
    KZModal* modal = nullptr;
    int result = -2;
    bool ended = false;
  };
  bool DispatchPendingEvents();
  // Sleeps until work comes; true when an event other than the loop's own
  // deadline was dispatched meanwhile.
  bool WaitForWork();
  void ArmNotifiers(const KWaitSet& set);
  void DisarmNotifiers();

  std::vector<Loop> loops_;
  int idleSleepMs_ = 1;
  int handledSignals_ = 0;
  // (descriptor, QSocketNotifier::Type) of the ports the sleep watches.
  std::map<std::pair<int, int>, std::unique_ptr<QSocketNotifier>> notifiers_;
  QTimer* wakeTimer_ = nullptr;
  bool eventSeen_ = false;
  int64_t wakeCount_ = 0;
};
