#include "gui/k_z_application.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <stdexcept>

#include <chrono>
#include <thread>

#include "base/k_wait_set.h"
#include "gui/k_z_message_window.h"
#include "gui/k_z_modal.h"

namespace {

// Records what the loop asks of the application.
class RecordingApplication : public KZApplication {
 public:
  using KZApplication::KZApplication;

  std::vector<int> idleCounts;
  int idleLimit = 5;         // OnIdle returns false from this pass on
  int exitAfterIdle = 1000;  // ExitLoop after this many passes
  bool throwOnIdle = false;
  int reported = 0;
  int terminations = 0;
  int dueEveryMs = -1;  // a deadline this far ahead at every sleep
  int watchFd = -1;     // a descriptor the sleep waits on, read by each pass
  bool sawByte = false;

 protected:
  void CollectWaits(KWaitSet& set) override {
    if (dueEveryMs >= 0) set.DueIn(dueEveryMs);
    if (watchFd >= 0) set.Add(watchFd, POLLIN);
  }
  bool OnIdle(int count) override {
    idleCounts.push_back(count);
    char byte = 0;
    if (watchFd >= 0 && read(watchFd, &byte, 1) == 1) {
      sawByte = true;
      ExitLoop();
    }
    if (throwOnIdle && idleCounts.size() == 1) throw std::runtime_error("idle");
    if (static_cast<int>(idleCounts.size()) >= exitAfterIdle) ExitLoop();
    return static_cast<int>(idleCounts.size()) < idleLimit;
  }
  void ReportLoopException() override { ++reported; }
  void OnTerminateRequest(int) override {
    ++terminations;
    ExitLoop();
  }
};

class FakeModal : public KZModal {
 public:
  int endOnEventType = -1;
  int endResult = 0;
  bool ended = false;
  bool window = true;

  int JudgeEvent(QObject*, QEvent* event, int& result) override {
    if (event->type() == endOnEventType) {
      result = endResult;
      return kEnd;
    }
    return kDispatch;
  }
  bool HasEnded() const override { return ended; }
  bool HasWindow() const override { return window; }
};

class Loop : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "gui_tests";
    static char* argv[] = {name, nullptr};
    app_ = new RecordingApplication(argc, argv);
  }
  static void TearDownTestSuite() {
    delete app_;
    app_ = nullptr;
  }
  void SetUp() override {
    app_->idleCounts.clear();
    app_->idleLimit = 5;
    app_->exitAfterIdle = 1000;
    app_->throwOnIdle = false;
    app_->reported = 0;
    app_->dueEveryMs = -1;
    app_->watchFd = -1;
    app_->sawByte = false;
  }
  static RecordingApplication* app_;
};

RecordingApplication* Loop::app_ = nullptr;

}  // namespace

TEST_F(Loop, IdlePassesCountUpUntilOnIdleDeclinesAndRestartAfterAnEvent) {
  app_->idleLimit = 3;
  // A deadline wakes the loop for another pass without counting as an event.
  app_->dueEveryMs = 1;
  bool fired = false;
  QTimer::singleShot(30, app_, [&] { fired = true; });
  QTimer::singleShot(60, app_, [&] { app_->ExitLoop(); });
  EXPECT_EQ(app_->EventLoop(nullptr, false, true), KZApplication::kExitResult);
  EXPECT_TRUE(fired);
  // 0, 1, 2 (declined), then nothing until the timer, then from 0 again.
  ASSERT_GE(app_->idleCounts.size(), 4u);
  EXPECT_EQ(app_->idleCounts[0], 0);
  EXPECT_EQ(app_->idleCounts[1], 1);
  EXPECT_EQ(app_->idleCounts[2], 2);
  EXPECT_EQ(app_->idleCounts[3], 0);
  EXPECT_EQ(app_->LoopDepth(), 0);
}

TEST_F(Loop, SleepsUntilAWatchedDescriptorIsReadable) {
  int pipeFds[2];
  ASSERT_EQ(pipe2(pipeFds, O_NONBLOCK), 0);
  app_->watchFd = pipeFds[0];
  app_->idleLimit = 1000000;
  std::thread writer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const char byte = 'x';
    EXPECT_EQ(write(pipeFds[1], &byte, 1), 1);
  });
  // A loop that never wakes fails here instead of hanging the suite.
  QTimer::singleShot(20000, app_, [] { app_->ExitLoop(-9); });
  const int64_t wakesBefore = app_->WakeCount();
  EXPECT_EQ(app_->EventLoop(nullptr, false, true), KZApplication::kExitResult);
  writer.join();
  EXPECT_TRUE(app_->sawByte);
  // 300 ms of sleep used to be some 300 passes; now a pass before the
  // write and the one that reads it (a spare one for a stray Qt event).
  EXPECT_LE(app_->idleCounts.size(), 4u);
  EXPECT_LE(app_->WakeCount() - wakesBefore, 3);
  close(pipeFds[0]);
  close(pipeFds[1]);
}

TEST_F(Loop, WithoutIdleProcessingOnIdleIsNeverCalled) {
  QTimer::singleShot(20, app_, [&] { app_->ExitLoop(-7); });
  EXPECT_EQ(app_->EventLoop(nullptr, false, false), -7);
  EXPECT_TRUE(app_->idleCounts.empty());
}

TEST_F(Loop, ReturnWhenIdleEndsAtTheFirstQuietMoment) {
  EXPECT_EQ(app_->EventLoop(nullptr, true, true), -2);
  EXPECT_TRUE(app_->idleCounts.empty());
}

TEST_F(Loop, ExceptionsAreReportedAndTheLoopGoesOn) {
  app_->throwOnIdle = true;
  app_->idleLimit = 100000;
  QTimer::singleShot(5, app_, [] { throw std::runtime_error("handler"); });
  QTimer::singleShot(30, app_, [] { app_->ExitLoop(); });
  EXPECT_EQ(app_->EventLoop(nullptr, false, true), KZApplication::kExitResult);
  EXPECT_EQ(app_->reported, 2);  // one from the idle pass, one from the timer
}

TEST_F(Loop, ModalWindowEndsByJudgementByItselfOrByLosingItsWindow) {
  FakeModal modal;
  modal.endOnEventType = QEvent::User + 1;
  modal.endResult = 10042;
  QCoreApplication::postEvent(app_, new QEvent(static_cast<QEvent::Type>(QEvent::User + 1)));
  EXPECT_EQ(app_->EventLoop(&modal, false, true), 10042);

  FakeModal ending;
  ending.ended = true;
  EXPECT_EQ(app_->EventLoop(&ending, false, true), -2);
  EXPECT_EQ(app_->idleCounts.size(), 1u);  // one idle pass, then the question

  FakeModal gone;
  gone.window = false;
  EXPECT_EQ(app_->EventLoop(&gone, false, true), -3);
}

TEST_F(Loop, ExitMainLoopLetsTheInnerLoopFinishFirst) {
  FakeModal dialog;
  int inner = 0;
  QTimer::singleShot(10, app_, [&] {
    QTimer::singleShot(10, app_, [&] { app_->ExitMainLoop(); });
    QTimer::singleShot(40, app_, [&] { dialog.ended = true; });
    inner = app_->EventLoop(&dialog, false, true);
  });
  EXPECT_EQ(app_->EventLoop(nullptr, false, true), KZApplication::kExitResult);
  EXPECT_EQ(inner, -2);
}

TEST_F(Loop, TerminationSignalReachesTheMainLoop) {
  KZApplication::InstallTerminationHandlers();
  QTimer::singleShot(10, app_, [] { raise(SIGTERM); });
  EXPECT_EQ(app_->EventLoop(nullptr, false, true), KZApplication::kExitResult);
  EXPECT_EQ(app_->terminations, 1);
  EXPECT_EQ(KZApplication::PendingTerminationSignal(), SIGTERM);
}

TEST_F(Loop, MessageWindowWithoutDisplayTakesTheDefault) {
  EXPECT_FALSE(KZApplication::HasDisplay());
  KZMessageWindow::Request request;
  request.buttons = 32 | 64;
  request.defaultButton = 64;
  KZMessageWindow::Answer answer = KZMessageWindow::Show(request);
  EXPECT_EQ(answer.button, 64);
  EXPECT_FALSE(answer.asked);

  // A responder answers instead; an answer that is not a button takes the default.
  KZMessageWindow::SetResponder([](const KZMessageWindow::Request&) { return 128; });
  answer = KZMessageWindow::Show(request);
  EXPECT_EQ(answer.button, 64);
  EXPECT_TRUE(answer.asked);
  KZMessageWindow::SetResponder([](const KZMessageWindow::Request&) { return 32; });
  EXPECT_EQ(KZMessageWindow::Show(request).button, 32);
  KZMessageWindow::SetResponder({});
}

TEST(KZApplication, SecondTerminationSignalEndsTheProcessAtOnce) {
  const pid_t child = fork();
  if (child == 0) {
    KZApplication::InstallTerminationHandlers();
    raise(SIGINT);  // handled: the program is asked to end
    if (KZApplication::PendingTerminationSignal() != SIGINT) _exit(3);
    raise(SIGINT);  // not waited for
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status)) << status;
  EXPECT_EQ(WTERMSIG(status), SIGINT);
}

namespace {

// What the shown window looked like, then a key sent to it.
struct Seen {
  QString title, text, informative, defaultLabel, escapeLabel;
  QStringList labels;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

KZMessageWindow::Answer ShowAndPress(const KZMessageWindow::Request& request, int key, Seen& seen) {
  KZMessageWindow::SetShowWithoutDisplay(true);
  QTimer::singleShot(20, [&seen, key] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.informative = box->informativeText();
    seen.icon = box->icon();
    for (QAbstractButton* button : box->buttons()) seen.labels << button->text();
    if (box->defaultButton()) seen.defaultLabel = box->defaultButton()->text();
    if (box->escapeButton()) seen.escapeLabel = box->escapeButton()->text();
    QWidget* target = box->focusWidget() ? box->focusWidget() : box;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
  });
  const KZMessageWindow::Answer answer = KZMessageWindow::Show(request);
  KZMessageWindow::SetShowWithoutDisplay(false);
  return answer;
}

}  // namespace

TEST_F(Loop, MessageWindowShowsLabelsLinesAndIconAndEscapeMeansCancel) {
  KZMessageWindow::Request request;
  request.title = KString("Layout");
  request.text = KString("Save the changes?\\nThey are lost otherwise.");
  request.secondText = KString("results.tln");
  request.buttons = 32 | 64 | 128;
  request.defaultButton = 32;
  request.icon = 4;
  request.labels[1] = KString("&Ja");
  Seen seen;
  KZMessageWindow::Answer answer = ShowAndPress(request, Qt::Key_Escape, seen);
  EXPECT_TRUE(answer.asked);
  EXPECT_EQ(answer.button, 128);
  EXPECT_EQ(seen.title, "Layout");
  EXPECT_EQ(seen.text, "Save the changes?\nThey are lost otherwise.");
  EXPECT_EQ(seen.informative, "results.tln");
  EXPECT_EQ(seen.icon, QMessageBox::Question);
  EXPECT_TRUE(seen.labels.contains("&Ja"));
  EXPECT_TRUE(seen.labels.contains("&No"));
  EXPECT_TRUE(seen.labels.contains("&Cancel"));
  EXPECT_EQ(seen.defaultLabel, "&Ja");
  EXPECT_EQ(seen.escapeLabel, "&Cancel");

  // Without Cancel, Escape is No; Return presses the default.
  request.buttons = 32 | 64;
  EXPECT_EQ(ShowAndPress(request, Qt::Key_Escape, seen).button, 64);
  EXPECT_EQ(ShowAndPress(request, Qt::Key_Return, seen).button, 32);
}
