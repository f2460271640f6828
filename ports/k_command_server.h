#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

// The local endpoint through which other programs ask the running program
// to do something ("OpenLayout,path"): a Unix-domain stream socket in a
// folder only the user can enter. A client sends one command of at most
// 511 bytes ended by LF and reads one line back, "ACK" or "BUSY".
class KCommandServer {
 public:
  static constexpr int kMaxCommandBytes = 511;
  static constexpr int kMaxClients = 16;
  // A client that has not finished its line by then is dropped.
  static constexpr std::chrono::milliseconds kClientTimeout{5000};

  // Takes one command; false answers BUSY.
  using Handler = std::function<bool(const std::string& command)>;

  KCommandServer() = default;
  KCommandServer(const KCommandServer&) = delete;
  KCommandServer& operator=(const KCommandServer&) = delete;
  ~KCommandServer();

  // $XDG_RUNTIME_DIR/Telvane (an absolute XDG_RUNTIME_DIR only), else
  // /tmp/Telvane-<uid>.
  static std::string DefaultFolder();
  static std::string SocketPath(const std::string& folder) { return folder + "/System"; }

  // Makes the folder (mode 0700; an existing one must be a directory of
  // this user with no access for others), removes a socket nobody serves
  // and listens. False with `error` set when it cannot.
  bool Listen(const std::string& folder, Handler handler, std::string& error);
  void Stop();
  bool IsListening() const { return listenFd_ >= 0; }
  // The listening descriptor, for the event loop to wait on; -1 when none.
  int Fd() const { return listenFd_; }
  // The descriptors of clients still sending, for the same reason.
  std::vector<int> ClientFds() const;

  // Accepts waiting clients and reads what they sent, without blocking.
  void Poll();

  // One request as a client: connects, sends `command` and an LF, and
  // returns the answer line without its LF; false with `error` set when no
  // server answers within `timeoutMs`.
  static bool Send(const std::string& socketPath, const std::string& command, int timeoutMs,
                   std::string& answer, std::string& error);

 private:
  struct Client {
    int fd = -1;
    std::string line;
    bool overflow = false;
    std::chrono::steady_clock::time_point since;
  };
  void Finish(Client& client);

  int listenFd_ = -1;
  std::string path_;
  Handler handler_;
  std::vector<Client> clients_;
};
