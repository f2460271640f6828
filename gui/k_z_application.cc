#include "gui/k_z_application.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <climits>

#include "base/k_wait_set.h"
#include "gui/k_z_modal.h"

namespace {

volatile std::sig_atomic_t gSignalCount = 0;
volatile std::sig_atomic_t gLastSignal = 0;
// Written by the signal handler so that a sleeping loop wakes up.
int gSignalPipe[2] = {-1, -1};

extern "C" void OnTerminationSignal(int signal) {
  if (gSignalCount > 0) {
    // The operator insists: end now, with the signal's own status.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return;
  }
  gSignalCount = gSignalCount + 1;
  gLastSignal = signal;
  if (gSignalPipe[1] >= 0) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(gSignalPipe[1], &byte, 1);
    errno = saved;
  }
}

void DrainSignalPipe() {
  if (gSignalPipe[0] < 0) return;
  char bytes[16];
  while (::read(gSignalPipe[0], bytes, sizeof bytes) > 0) {
  }
}

}  // namespace

KZApplication::KZApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // Closing the last window must not bypass the exit query.
  setQuitOnLastWindowClosed(false);
  // Signals an earlier application object of this process took are not
  // requests to this one.
  handledSignals_ = gSignalCount;
  wakeTimer_ = new QTimer(this);
  wakeTimer_->setSingleShot(true);
  wakeTimer_->setTimerType(Qt::PreciseTimer);
}

KZApplication::~KZApplication() {
  notifiers_.clear();
}

KZApplication* KZApplication::Instance() {
  return dynamic_cast<KZApplication*>(QCoreApplication::instance());
}

bool KZApplication::HasDisplay() {
  const QString platform = QGuiApplication::platformName();
  return !platform.isEmpty() && platform != QLatin1String("offscreen") &&
         platform != QLatin1String("minimal");
}

void KZApplication::InstallTerminationHandlers() {
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  if (gSignalPipe[0] < 0) {
    if (::pipe2(gSignalPipe, O_NONBLOCK | O_CLOEXEC) != 0) gSignalPipe[0] = gSignalPipe[1] = -1;
  }
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

int KZApplication::PendingTerminationSignal() {
  return gSignalCount > 0 ? gLastSignal : 0;
}

void KZApplication::ExitLoop(int result) {
  if (loops_.empty()) return;
  loops_.back().result = result;
  loops_.back().ended = true;
}

void KZApplication::ExitMainLoop(int result) {
  if (loops_.empty()) return;
  loops_.front().result = result;
  loops_.front().ended = true;
}

bool KZApplication::DispatchPendingEvents() {
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
  if (!dispatcher) return false;
  return dispatcher->processEvents(QEventLoop::AllEvents);
}

int KZApplication::EventLoop(KZModal* modal, bool returnWhenIdle, bool idleProcessing) {
  loops_.push_back(Loop{modal});
  const size_t depth = loops_.size();
  int idleCount = 0;
  for (;;) {
    try {
      if (modal && !modal->HasWindow()) {
        loops_.back().result = -3;
        break;
      }
      if (!modal && gSignalCount > handledSignals_) {
        handledSignals_ = gSignalCount;
        OnTerminateRequest(gLastSignal);
      }
      if (loops_.back().ended) break;
      idleSleepMs_ = 1;
      if (DispatchPendingEvents()) {
        idleCount = 0;
        continue;
      }
      if (loops_.back().ended) break;
      if (returnWhenIdle) break;
      if (idleCount >= 0) {
        if (!idleProcessing) {
          idleCount = -1;
        } else if (OnIdle(idleCount)) {
          if (idleCount < INT_MAX) ++idleCount;
        } else {
          idleCount = -1;
        }
      }
      if (loops_.back().ended) break;
      if (modal && modal->HasEnded()) {
        loops_.back().result = -2;
        break;
      }
      if (idleSleepMs_ > 0 && WaitForWork()) idleCount = 0;
    } catch (...) {
      ReportLoopException();
    }
    if (loops_.size() != depth) loops_.resize(depth);  // a nested loop died by exception
  }
  const int result = loops_.back().result;
  loops_.pop_back();
  return result;
}

void KZApplication::CollectWaits(KWaitSet&) {}

bool KZApplication::WaitForWork() {
  KWaitSet set;
  CollectWaits(set);
  if (gSignalPipe[0] >= 0) set.Add(gSignalPipe[0], POLLIN);
  const int timeoutMs = set.TimeoutMs(KWaitSet::NowMs());
  // Due already, or a signal came during the pass: no sleep.
  if (timeoutMs == 0 || gSignalCount > handledSignals_) return false;
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
  if (!dispatcher) return false;
  ArmNotifiers(set);
  if (timeoutMs > 0) wakeTimer_->start(timeoutMs);
  eventSeen_ = false;
  dispatcher->processEvents(QEventLoop::WaitForMoreEvents);
  const bool seen = eventSeen_;
  wakeTimer_->stop();
  DisarmNotifiers();
  DrainSignalPipe();
  ++wakeCount_;
  return seen;
}

void KZApplication::ArmNotifiers(const KWaitSet& set) {
  std::map<std::pair<int, int>, std::unique_ptr<QSocketNotifier>> armed;
  auto arm = [&](int fd, QSocketNotifier::Type type) {
    const std::pair<int, int> key{fd, static_cast<int>(type)};
    auto known = notifiers_.find(key);
    std::unique_ptr<QSocketNotifier> notifier;
    if (known != notifiers_.end()) {
      notifier = std::move(known->second);
      notifiers_.erase(known);
    } else {
      notifier = std::make_unique<QSocketNotifier>(fd, type);
      // Level-triggered: the idle pass after the wake reads, so the
      // notifier stays quiet until the next sleep arms it again.
      QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(),
                       [raw = notifier.get()] { raw->setEnabled(false); });
    }
    notifier->setEnabled(true);
    armed[key] = std::move(notifier);
  };
  for (const pollfd& wanted : set.Descriptors()) {
    if (wanted.events & POLLIN) arm(wanted.fd, QSocketNotifier::Read);
    if (wanted.events & POLLOUT) arm(wanted.fd, QSocketNotifier::Write);
  }
  // Descriptors no longer watched may be closed by now: their notifiers go.
  notifiers_ = std::move(armed);
}

void KZApplication::DisarmNotifiers() {
  for (auto& entry : notifiers_) entry.second->setEnabled(false);
}

bool KZApplication::notify(QObject* receiver, QEvent* event) {
  if (receiver != wakeTimer_) eventSeen_ = true;
  try {
    if (!loops_.empty() && loops_.back().modal) {
      int result = -2;
      if (loops_.back().modal->JudgeEvent(receiver, event, result) == KZModal::kEnd) {
        ExitLoop(result);
        return true;
      }
    }
    if (!FilterEvent(receiver, event)) return true;
    return QApplication::notify(receiver, event);
  } catch (...) {
    // Qt cannot unwind through its own frames; the event counts as handled.
    ReportLoopException();
    return false;
  }
}

bool KZApplication::FilterEvent(QObject*, QEvent*) {
  return true;
}

bool KZApplication::OnIdle(int) {
  return false;
}

void KZApplication::ReportLoopException() {}

void KZApplication::OnTerminateRequest(int) {
  ExitLoop(kExitResult);
}
