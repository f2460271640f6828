#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ports/k_socket.h"

// A UDP port: receives on its port and sends the collected output, at each
// flush, as datagrams to address:port. It binds the address its
// port text names when that is one of this machine's (another
// machine's address is where datagrams go; it then receives on every local
// address); an empty address receives on every address (the loopback
// address with EmptyIsLoopback) and sends nowhere. Broadcast is allowed
// only towards a broadcast address named in the port text. Datagrams
// are received whole, up to the 64 KiB a datagram can hold, and datagram
// boundaries are invisible to the reader; the socket's own datagrams
// coming back are dropped.
class KUDPSocket : public KSocket {
 public:
  static constexpr int kDefaultDatagram = 536;
  // The largest datagram there is, so none is ever cut.
  static constexpr int kReceiveBytes = 65536;

  // The write buffer is required; a receive buffer exists only beside it
  // and with a positive size.
  KUDPSocket(int bufferSize, int receiveSize, int maxDatagram = kDefaultDatagram);
  ~KUDPSocket() override;

  bool Accepts(int kind) const override { return kind == -3 && HasWriteBuffer(); }
  std::unique_ptr<KStream> Clone() const override;
  bool IsOpen() const override;
  // "-3,address,port": the port is 1 to 65535.
  bool SetSpec(const KString& spec) override;
  void Close() override;
  void Read(void* bytes, int count) override;
  int ReadAvailable(void* bytes, int max) override;
  void AddWaits(KWaitSet& set) const override;
  void Write(const void* bytes, int count) override;
  void FlushOutput() override;
  void CloseSocket() override;

  uint32_t RemoteAddress() const { return remoteAddress_; }
  uint16_t RemotePort() const { return remotePort_; }
  int MaxDatagram() const { return maxDatagram_; }
  int ReceiveSize() const { return static_cast<int>(receive_.size()); }
  bool SendsBroadcast() const { return broadcast_; }
  // Datagrams the reader lost (cut by a too small buffer).
  int64_t Lost() const { return lost_; }

 private:
  // One datagram into the receive buffer; false when none is waiting.
  bool ReceiveDatagram();

  uint32_t remoteAddress_ = 0;
  uint16_t remotePort_ = 0;
  const int maxDatagram_;
  const int receiveSize_;
  std::vector<uint8_t> receive_;
  int receiveCount_ = 0;
  int receivePosition_ = 0;
  bool broadcast_ = false;
  uint32_t boundAddress_ = 0;
  int64_t lost_ = 0;
};
