#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ports/k_socket.h"

// A UDP port: receives on its port from every local address and sends the
// collected output, at each flush, as datagrams to address:port (by default
// the broadcast address). Datagram boundaries are invisible to the reader.
class KUDPSocket : public KSocket {
 public:
  static constexpr int kDefaultDatagram = 536;

  // The write buffer is required; a receive buffer exists only beside it
  // and with a positive size.
  KUDPSocket(int bufferSize, int receiveSize, int maxDatagram = kDefaultDatagram);
  ~KUDPSocket() override;

  bool Accepts(int kind) const override { return kind == -3 && HasWriteBuffer(); }
  std::unique_ptr<KStream> Clone() const override;
  bool IsOpen() const override;
  // "-3,address,port": the port is required and not 0; a missing or zero
  // address sends to 255.255.255.255.
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

 private:
  uint32_t remoteAddress_ = 0;
  uint16_t remotePort_ = 0;
  const int maxDatagram_;
  const int receiveSize_;
  std::vector<uint8_t> receive_;
  int receiveCount_ = 0;
  int receivePosition_ = 0;
};
