#pragma once

#include <cstdint>
#include <vector>

#include "base/k_stream.h"

// A network port as a stream: the socket and an optional write buffer. The
// sockets are non-blocking, so with the default time-outs of 0 no call
// waits. Kinds: KTCPSocket, KUDPSocket.
class KSocket : public KStream {
 public:
  static constexpr int32_t kErrorReceive = 8001;       // failed, nothing there, or closed
  static constexpr int32_t kErrorReceiveShort = 8002;  // fewer bytes than asked
  static constexpr int32_t kErrorSend = 8003;          // failed or not open
  static constexpr int32_t kErrorSendShort = 8004;     // fewer bytes sent or accepted

  // A negative or zero size means no write buffer.
  explicit KSocket(int bufferSize);
  ~KSocket() override;

  // Once at start-up: the network is available when an IPv4 socket can be
  // made. Every network port fails to open without it.
  static bool StartNetwork();
  static void StopNetwork();
  static bool NetworkAvailable();

  void Close() override;
  void DiscardOutput() override { writeCount_ = 0; }
  // Closes the data socket and resets the connection state.
  virtual void CloseSocket();

  int BufferSize() const { return bufferSize_; }
  bool HasWriteBuffer() const { return !writeBuffer_.empty(); }
  // An empty address token means the loopback address instead of every
  // local address (the debug port: nobody else should see the echo unless
  // the setting says so).
  void SetEmptyIsLoopback(bool on) { emptyIsLoopback_ = on; }
  bool EmptyIsLoopback() const { return emptyIsLoopback_; }
  // The address the socket is bound to (host order), 0 when none.
  virtual uint32_t LocalAddress() const;

 protected:
  // Waits up to `timeoutMs` (0 not at all, negative without limit) for the
  // events; returns the events seen, 0 when none.
  static short Wait(int fd, short events, int timeoutMs);
  static bool MakeNonBlocking(int fd);
  // Sends on a connected socket or to `to`; returns the bytes sent, or -1
  // when the first send failed for a reason other than a full buffer.
  int SendSome(const uint8_t* bytes, int count, int timeoutMs, const void* to, unsigned toLength);
  static uint32_t BoundAddress(int fd);
  // Port text this kind cannot open on, with the reason, for the log.
  static void LogRefused(const KString& spec, const KString& reason);

  int fd_ = -1;
  bool blocking_ = true;
  const int bufferSize_;
  std::vector<uint8_t> writeBuffer_;
  int writeCount_ = 0;
  bool emptyIsLoopback_ = false;
};
