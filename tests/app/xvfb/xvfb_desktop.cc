#include "xvfb_desktop.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::string FindProgram(const char* name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string candidate = dirs.substr(start, end - start) + "/" + name;
    if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

// Starts `args` in a process group of its own that gets SIGTERM when this
// process ends, so no server outlives a crashed or killed test. `keepFd`
// stays open in the child; its other standard streams go to /dev/null.
pid_t Spawn(const std::vector<std::string>& args, int keepFd = -1) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid != 0) {
    if (pid > 0) setpgid(pid, pid);
    return pid;
  }
  setpgid(0, 0);
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != parent) _exit(127);
  const int null = open("/dev/null", O_RDWR);
  for (int fd = 0; fd <= 2; ++fd) {
    if (fd != keepFd) dup2(null, fd);
  }
  execv(argv[0], argv.data());
  _exit(127);
}

bool WaitExit(pid_t pid, Clock::duration limit, int* status) {
  const Clock::time_point deadline = Clock::now() + limit;
  while (true) {
    const pid_t done = waitpid(pid, status, WNOHANG);
    if (done == pid || done < 0) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// Xvfb writes the display number it found free once it accepts clients.
std::string ReadDisplayNumber(int fd, Clock::duration limit) {
  const Clock::time_point deadline = Clock::now() + limit;
  std::string number;
  while (Clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (poll(&p, 1, static_cast<int>(std::max<long long>(left, 1))) <= 0) continue;
    char c = 0;
    if (read(fd, &c, 1) != 1) return {};  // the server died first
    if (c == '\n') return number;
    number.push_back(c);
  }
  return {};
}

}  // namespace

XvfbDesktop& XvfbDesktop::Get() {
  static XvfbDesktop desktop;
  return desktop;
}

bool XvfbDesktop::Fail(State state, std::string reason) {
  Stop();
  state_ = state;
  reason_ = std::move(reason);
  return false;
}

void XvfbDesktop::Start() {
  const std::string xvfb = FindProgram("Xvfb");
  if (xvfb.empty()) {
    Fail(State::kMissing, "Xvfb is not installed");
    return;
  }
  const std::string xrandr = FindProgram("xrandr");
  if (xrandr.empty()) {
    Fail(State::kMissing, "xrandr is not installed");
    return;
  }
  int fds[2];
  if (pipe(fds) != 0) {
    Fail(State::kBroken, "no pipe");
    return;
  }
  fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  // -noreset: the server would otherwise forget the monitors when xrandr,
  // its last client, disconnects.
  server_ =
      Spawn({xvfb, "-displayfd", std::to_string(fds[1]), "-screen", "0",
             std::to_string(kMainWidth + kSecondWidth) + "x" + std::to_string(kMainHeight) + "x24",
             "-nolisten", "tcp", "-noreset"},
            fds[1]);
  close(fds[1]);
  const std::string number = ReadDisplayNumber(fds[0], std::chrono::seconds(20));
  close(fds[0]);
  if (server_ < 0 || number.empty()) {
    Fail(State::kBroken, "Xvfb did not start");
    return;
  }
  setenv("DISPLAY", (":" + number).c_str(), 1);
  if (!SplitIntoMonitors(xrandr)) return;
  state_ = State::kReady;
  reason_.clear();
}

bool XvfbDesktop::SplitIntoMonitors(const std::string& xrandr) {
  const std::string a =
      std::to_string(kMainWidth) + "/211x" + std::to_string(kMainHeight) + "/158+0+0";
  const std::string b = std::to_string(kSecondWidth) + "/169x" + std::to_string(kSecondHeight) +
                        "/127+" + std::to_string(kMainWidth) + "+0";
  // A takes over the screen's only output, so the output's own monitor goes.
  for (const auto& args : {std::vector<std::string>{xrandr, "--setmonitor", "A", a, "screen"},
                           std::vector<std::string>{xrandr, "--setmonitor", "B", b, "none"}}) {
    const pid_t pid = Spawn(args);
    int status = 0;
    if (pid > 0 && !WaitExit(pid, std::chrono::seconds(20), &status)) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
    }
    if (pid < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      return Fail(State::kBroken, "xrandr could not set up the monitors");
    }
  }
  return true;
}

void XvfbDesktop::Stop() {
  if (server_ <= 0) return;
  if (kill(-server_, SIGTERM) != 0) kill(server_, SIGTERM);
  int status = 0;
  if (!WaitExit(server_, std::chrono::seconds(10), &status)) {
    kill(-server_, SIGKILL);
    waitpid(server_, &status, 0);
  }
  server_ = -1;
}
