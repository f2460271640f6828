#pragma once

#include <sys/types.h>

#include <string>

// A private X server for one test program: one Xvfb screen of 1440 x 600
// split by RandR into two monitors, "A" at (0, 0) 800 x 600 and "B" beside
// it at (800, 0) 640 x 480, so Qt sees two screens of different sizes.
// The server dies with the test program, however that ends.
class XvfbDesktop {
 public:
  enum class State { kReady, kMissing, kBroken };

  static constexpr int kMainWidth = 800;
  static constexpr int kMainHeight = 600;
  static constexpr int kSecondWidth = 640;
  static constexpr int kSecondHeight = 480;

  // Starts the server and sets DISPLAY on success.
  void Start();
  void Stop();
  ~XvfbDesktop() { Stop(); }

  State Status() const { return state_; }
  // Why the desktop is missing or broken.
  const std::string& Reason() const { return reason_; }

  // The desktop of the running test program.
  static XvfbDesktop& Get();

 private:
  bool Fail(State state, std::string reason);
  bool SplitIntoMonitors(const std::string& xrandr);

  State state_ = State::kBroken;
  std::string reason_ = "not started";
  pid_t server_ = -1;
};
