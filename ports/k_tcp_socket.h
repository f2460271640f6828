#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ports/k_socket.h"

// A TCP port: a client that connects (and reconnects) to address:port, or a
// listener whose newest client is the data connection (with keep-busy-client
// on, a newcomer waits while the current client is sending; see SetKeepBusyClient). Every check of
// the port polls with zero-time waits: accepting, connection progress and a peer that closed.
//
// Received bytes are read from the socket in blocks into the stream's own
// buffer and handed out from there, so a burst does not cost one system call
// per byte. A block size of 1 reads one byte per receive call.
class KTCPSocket : public KSocket {
 public:
  enum ConnectionState : int { kIdle = 0, kConnecting = 1, kConnected = 2 };
  static constexpr int kDefaultReceiveBlock = 16384;
  // Retries of a client whose server is absent are spaced by this much, so
  // an absent server does not cost a socket per tick.
  static constexpr int kReconnectIntervalMs = 200;
  // The keep-alive probing: idle time, interval and count. A client silent
  // for their sum (the keep-alive time) counts as gone.
  static constexpr int kKeepAliveIdleS = 10;
  static constexpr int kKeepAliveIntervalS = 1;
  static constexpr int kKeepAliveCount = 5;
  static constexpr int kKeepAliveTimeMs =
      (kKeepAliveIdleS + kKeepAliveIntervalS * kKeepAliveCount) * 1000;

  explicit KTCPSocket(int bufferSize = -1);
  ~KTCPSocket() override;

  bool Accepts(int kind) const override { return kind == -1 || kind == -2; }
  std::unique_ptr<KStream> Clone() const override;
  bool IsOpen() const override;
  // "-1,address,port" connects (both tokens required); "-2,address,port"
  // listens (an empty or missing address is every local address; the port
  // is required).
  bool SetSpec(const KString& spec) override;
  void Close() override;
  void Read(void* bytes, int count) override;
  int ReadAvailable(void* bytes, int max) override;
  void AddWaits(KWaitSet& set) const override;
  void Write(const void* bytes, int count) override;
  void FlushOutput() override;
  void CloseSocket() override;

  // Both addresses and ports in host byte order.
  bool Connect(uint32_t address, uint16_t port);
  bool Listen(uint32_t address, uint16_t port);
  // Runs the poll; true when connected.
  bool Poll();

  int State() const { return state_; }
  bool IsListening() const { return listenFd_ >= 0; }
  // The port the listener is bound to (useful after listening on port 0).
  uint16_t LocalPort() const;
  uint32_t LocalAddress() const override;
  uint32_t RemoteAddress() const { return remoteAddress_; }
  uint16_t RemotePort() const { return remotePort_; }
  // Grows by one with every new data connection, so a user can tell that
  // the peer changed.
  uint32_t Generation() const { return generation_; }

  void SetNoDelay(bool on) { noDelay_ = on; }
  void SetKeepAlive(bool on) { keepAlive_ = on; }
  void SetReconnect(bool on) { reconnect_ = on; }
  void SetBlockingConnect(bool on) { blockingConnect_ = on; }
  void SetReplaceOnAccept(bool on) { replaceOnAccept_ = on; }
  // A listener with this on never lets a newcomer take over from a client
  // that is sending: the newcomer is held (one at a time, the newest) until
  // the current client closes or stays silent for the keep-alive time, and
  // only then replaces it, after every byte of the old one was read.
  void SetKeepBusyClient(bool on) { keepBusyClient_ = on; }
  // How long a client must be silent before a waiting one replaces it.
  void SetIdleClientMs(int ms) { idleClientMs_ = ms > 0 ? ms : kKeepAliveTimeMs; }
  void SetReceiveBlock(int bytes);
  bool NoDelay() const { return noDelay_; }
  bool KeepAlive() const { return keepAlive_; }
  bool Reconnect() const { return reconnect_; }
  bool BlockingConnect() const { return blockingConnect_; }
  bool ReplaceOnAccept() const { return replaceOnAccept_; }
  bool KeepBusyClient() const { return keepBusyClient_; }
  int IdleClientMs() const { return idleClientMs_; }
  // Whether a newcomer is held while the current client is busy.
  bool HasWaitingClient() const { return waitingFd_ >= 0; }
  int ReceiveBlock() const { return receiveBlock_; }

 private:
  void ApplyOptions(int fd) const;
  void AcceptWaiting();
  // Makes `fd` the data connection in place of the current one.
  void TakeClient(int fd);
  // A held newcomer takes over once the current client is gone or silent.
  void PromoteWaiting(int64_t nowMs, bool currentGone);
  bool StartConnect();
  void Broken();
  int BufferedBytes() const { return receiveCount_ - receivePosition_; }
  int SendNow(const uint8_t* bytes, int count);

  int state_ = kIdle;
  bool noDelay_ = false;
  bool keepAlive_ = false;
  bool reconnect_ = false;
  bool blockingConnect_ = false;
  bool replaceOnAccept_ = false;
  bool keepBusyClient_ = false;
  int waitingFd_ = -1;
  int idleClientMs_ = kKeepAliveTimeMs;
  int64_t lastReceiveMs_ = 0;
  uint32_t remoteAddress_ = 0;
  uint16_t remotePort_ = 0;
  int listenFd_ = -1;
  int64_t nextConnectMs_ = 0;
  uint32_t generation_ = 0;
  int receiveBlock_ = kDefaultReceiveBlock;
  std::vector<uint8_t> receive_;
  int receiveCount_ = 0;
  int receivePosition_ = 0;
};
