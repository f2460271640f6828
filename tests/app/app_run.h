#pragma once

#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/t_z_application.h"
#include "gui/k_z_message_window.h"

// One program run inside the test process: the application with its
// arguments, the alerts it shows (answered by `answer`), and steps that run
// inside the event loop at given times.
class AppRun {
 public:
  // Real serial devices stay out of in-process runs; the program tests open them.
  explicit AppRun(std::vector<std::string> extra = {}) : arguments_{"telvane", "-noserialport"} {
    for (std::string& argument : extra) arguments_.push_back(std::move(argument));
    for (std::string& argument : arguments_) argv_.push_back(argument.data());
    argv_.push_back(nullptr);
    argc_ = static_cast<int>(arguments_.size());
    KZMessageWindow::SetResponder([this](const KZMessageWindow::Request& request) {
      alerts.push_back(request);
      return answer;
    });
    app = std::make_unique<TZApplication>(argc_, argv_.data());
  }
  ~AppRun() {
    app.reset();
    KZMessageWindow::SetResponder({});
  }

  // Runs `step` after `ms` milliseconds of event loop (timers start counting
  // only once the loop dispatches, not while start-up runs).
  void At(int ms, std::function<void(TZApplication&)> step) {
    QTimer::singleShot(0, app.get(), [this, ms, step] {
      QTimer::singleShot(ms, app.get(), [this, step] { step(*app); });
    });
  }
  int RunAndExitAfter(int ms) {
    At(ms, [](TZApplication& a) { a.RequestExit(); });
    return app->Run();
  }
  std::vector<std::string> AlertTexts() const {
    std::vector<std::string> texts;
    for (const auto& alert : alerts) texts.push_back(alert.text.ToUtf8());
    return texts;
  }

  std::unique_ptr<TZApplication> app;
  std::vector<KZMessageWindow::Request> alerts;
  int answer = 16;

 private:
  std::vector<std::string> arguments_;
  std::vector<char*> argv_;
  int argc_ = 0;
};
