#include "gui/k_z_application.h"

#include <time.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QGuiApplication>
#include <climits>

#include "gui/k_z_modal.h"

namespace {

volatile std::sig_atomic_t gSignalCount = 0;
volatile std::sig_atomic_t gLastSignal = 0;

extern "C" void OnTerminationSignal(int signal) {
  if (gSignalCount > 0) {
    // The operator insists: end now, with the signal's own status.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    return;
  }
  gSignalCount = gSignalCount + 1;
  gLastSignal = signal;
}

}  // namespace

KZApplication::KZApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // Closing the last window must not bypass the exit query.
  setQuitOnLastWindowClosed(false);
  // Signals an earlier application object of this process took are not
  // requests to this one.
  handledSignals_ = gSignalCount;
}

KZApplication::~KZApplication() = default;

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
      if (idleSleepMs_ > 0) {
        const timespec pause{0, static_cast<long>(idleSleepMs_) * 1000000L};
        nanosleep(&pause, nullptr);
      }
    } catch (...) {
      ReportLoopException();
    }
    if (loops_.size() != depth) loops_.resize(depth);  // a nested loop died by exception
  }
  const int result = loops_.back().result;
  loops_.pop_back();
  return result;
}

bool KZApplication::notify(QObject* receiver, QEvent* event) {
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
