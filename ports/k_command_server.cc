#include "ports/k_command_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

bool FillAddress(const std::string& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof(address));
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

// The folder must be the user's own and closed to others: anyone who could
// enter it could send commands in the user's name.
bool PrivateFolder(const std::string& folder, std::string& error) {
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    error = "cannot create " + folder + ": " + std::strerror(errno);
    return false;
  }
  struct stat info {};
  if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    error = folder + " is not a folder";
    return false;
  }
  if (info.st_uid != getuid()) {
    error = folder + " belongs to another user";
    return false;
  }
  if ((info.st_mode & 077) != 0 && chmod(folder.c_str(), 0700) != 0) {
    error = folder + " is open to other users";
    return false;
  }
  return true;
}

// Cuts a UTF-8 text to at most `limit` bytes without splitting a character.
void CutUtf8(std::string& text, size_t limit) {
  if (text.size() <= limit) return;
  size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
}

void SendLine(int fd, const char* line) {
  const size_t length = std::strlen(line);
  // One small write on a fresh socket; a client that does not read loses it.
  [[maybe_unused]] const ssize_t sent = send(fd, line, length, MSG_NOSIGNAL | MSG_DONTWAIT);
}

}  // namespace

KCommandServer::~KCommandServer() {
  Stop();
}

std::string KCommandServer::DefaultFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') return std::string(runtime) + "/Telvane";
  return "/tmp/Telvane-" + std::to_string(getuid());
}

bool KCommandServer::Listen(const std::string& folder, Handler handler, std::string& error) {
  Stop();
  if (!PrivateFolder(folder, error)) return false;
  const std::string path = SocketPath(folder);
  sockaddr_un address{};
  if (!FillAddress(path, address)) {
    error = "socket path too long: " + path;
    return false;
  }
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    if (errno != EADDRINUSE) {
      error = "bind " + path + ": " + std::strerror(errno);
      close(fd);
      return false;
    }
    // A socket file from a copy that ended without removing it: replace it
    // only when nobody answers there.
    const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool served = probe >= 0 && connect(probe, reinterpret_cast<sockaddr*>(&address),
                                              sizeof(address)) == 0;
    if (probe >= 0) close(probe);
    struct stat info {};
    if (served || lstat(path.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) {
      error = path + " is in use";
      close(fd);
      return false;
    }
    unlink(path.c_str());
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
      error = "bind " + path + ": " + std::strerror(errno);
      close(fd);
      return false;
    }
  }
  if (listen(fd, kMaxClients) != 0) {
    error = std::string("listen: ") + std::strerror(errno);
    close(fd);
    unlink(path.c_str());
    return false;
  }
  listenFd_ = fd;
  path_ = path;
  handler_ = std::move(handler);
  return true;
}

void KCommandServer::Stop() {
  for (Client& client : clients_) close(client.fd);
  clients_.clear();
  if (listenFd_ >= 0) {
    close(listenFd_);
    listenFd_ = -1;
    unlink(path_.c_str());
  }
}

std::vector<int> KCommandServer::ClientFds() const {
  std::vector<int> fds;
  for (const Client& client : clients_) fds.push_back(client.fd);
  return fds;
}

void KCommandServer::Poll() {
  if (listenFd_ < 0) return;
  const auto now = std::chrono::steady_clock::now();
  while (static_cast<int>(clients_.size()) < kMaxClients) {
    const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) break;
    clients_.push_back(Client{fd, {}, false, now});
  }
  for (size_t i = 0; i < clients_.size();) {
    Client& client = clients_[i];
    bool done = false;
    char block[512];
    for (;;) {
      const ssize_t got = recv(client.fd, block, sizeof(block), 0);
      if (got > 0) {
        const char* end = static_cast<const char*>(std::memchr(block, '\n', size_t(got)));
        const size_t take = end ? size_t(end - block) : size_t(got);
        // Keep one byte more than the limit, to know whether to cut.
        const size_t room = kMaxCommandBytes + 1 - std::min<size_t>(client.line.size(),
                                                                    kMaxCommandBytes + 1);
        client.line.append(block, std::min(take, room));
        if (end != nullptr) {
          Finish(client);
          done = true;
          break;
        }
        continue;
      }
      if (got == 0) {
        // Closed without a line end: what came is the command.
        if (!client.line.empty()) Finish(client);
        done = true;
      } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        done = true;
      }
      break;
    }
    if (!done && now - client.since > kClientTimeout) done = true;
    if (done) {
      close(client.fd);
      clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
}

void KCommandServer::Finish(Client& client) {
  std::string command = client.line;
  if (!command.empty() && command.back() == '\r') command.pop_back();
  CutUtf8(command, kMaxCommandBytes);
  const bool taken = handler_ ? handler_(command) : false;
  SendLine(client.fd, taken ? "ACK\n" : "BUSY\n");
}

bool KCommandServer::Send(const std::string& socketPath, const std::string& command,
                          int timeoutMs, std::string& answer, std::string& error) {
  sockaddr_un address{};
  if (!FillAddress(socketPath, address)) {
    error = "socket path too long: " + socketPath;
    return false;
  }
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
    error = "no running telvane answers at " + socketPath;
    if (fd >= 0) close(fd);
    return false;
  }
  std::string line = command;
  CutUtf8(line, kMaxCommandBytes);
  line += '\n';
  size_t sent = 0;
  while (sent < line.size()) {
    const ssize_t n = send(fd, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = "the program closed the connection";
      close(fd);
      return false;
    }
    sent += size_t(n);
  }
  answer.clear();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    pollfd waiting{fd, POLLIN, 0};
    if (left <= 0 || poll(&waiting, 1, static_cast<int>(left)) <= 0) {
      if (left > 0 && errno == EINTR) continue;
      error = "no answer from the program";
      close(fd);
      return false;
    }
    char ch = 0;
    const ssize_t n = recv(fd, &ch, 1, 0);
    if (n <= 0 || ch == '\n' || answer.size() > 64) break;
    answer += ch;
  }
  close(fd);
  if (answer.empty()) {
    error = "the program closed the connection";
    return false;
  }
  return true;
}
