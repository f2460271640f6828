#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/k_stream.h"
#include "ports/k_periodic_task.h"

class KSerialPortInfo;

// A COM port as a stream, on a terminal device. Reads never wait: bytes come
// from the device in blocks of up to 128 into the read buffer. Writes collect
// in the output buffer and go to the device at a flush. With a refresh period
// a worker thread re-sends the last flushed block every period; the output
// buffer then passes to it through a hand-over flag.
class KSerialPort : public KStream {
 public:
  enum Access : int { kAccessRead = 1, kAccessWrite = 2, kAccessDTR = 4, kAccessRTS = 8 };
  static constexpr int kReadBlock = 128;
  static constexpr int kMinInputSize = 16;

  // Errors of the serial family.
  static constexpr int32_t kErrorGeneral = 5000;
  static constexpr int32_t kErrorReceive = 5001;
  static constexpr int32_t kErrorReceiveTimeout = 5002;
  static constexpr int32_t kErrorTransmit = 5003;
  static constexpr int32_t kErrorTransmitBusy = 5004;

  KSerialPort(int access, int inputSize, int outputSize);
  ~KSerialPort() override;

  bool Accepts(int kind) const override { return kind > 0; }
  std::unique_ptr<KStream> Clone() const override;
  // Attached to a port whose device is open; a device that hung up is
  // looked for again now and then.
  bool IsOpen() const override;
  // Opens the port of token 0, configures the line from tokens 1 to 4 and
  // sets the refresh period of token 5; true only when all three succeed.
  bool SetSpec(const KString& spec) override;
  void Close() override;
  void Read(void* bytes, int count) override;
  int ReadAvailable(void* bytes, int max) override;
  void AddWaits(KWaitSet& set) const override;
  void Write(const void* bytes, int count) override;
  void PurgeInput() override;
  void FlushOutput() override;
  bool IsDrained() override { return !IsWritePending(); }
  void DiscardOutput() override { outputCount_ = 0; }

  virtual bool OpenPort(int number);
  virtual int PortNumber() const;
  virtual bool SetLine(int baud, int dataBitsCode, int parityCode, int stopBitsCode);
  virtual bool SetDTR(bool on);
  virtual bool SetRTS(bool on);
  virtual bool SetDTRRTS(bool dtr, bool rts);
  virtual bool GetCTS() const;
  virtual bool GetDSR() const;
  // True when unread bytes are in the read buffer after trying the device.
  virtual bool FillReadBuffer();
  virtual bool IsWritePending();
  virtual void RawWrite(const uint8_t* bytes, int count);
  virtual void RefreshTick();

  // Stops the refresh task; a positive period starts it again (the port
  // must be open). False when it should run and does not.
  bool SetRefreshPeriod(int periodMs);
  bool IsRefreshRunning() const { return refresh_.State() == KThread::kRunning; }

  int AccessMode() const { return access_; }
  int InputSize() const { return inputSize_; }
  int OutputSize() const { return static_cast<int>(output_.size()); }

 private:
  friend class KSerialPortInfo;
  bool CanRead() const { return (access_ & kAccessRead) != 0; }
  bool CanWrite() const { return (access_ & kAccessWrite) != 0; }
  // Waits, as the write time-out allows, until the previous write is done.
  void AwaitWriteRoom(int accepted);
  bool OnRefreshThread() const { return refresh_.IsCurrentThread(); }

  const int access_;
  const int inputSize_;
  KSerialPortInfo* info_ = nullptr;
  uint8_t readBuffer_[kReadBlock] = {};
  int readCount_ = 0;
  int readPosition_ = 0;
  std::vector<uint8_t> output_;
  int outputCount_ = 0;
  std::vector<uint8_t> refreshBuffer_;
  int refreshCount_ = 0;
  // Set by the main thread when output waits for the refresh thread, cleared
  // by the refresh thread once it took it; the buffers need no lock.
  std::atomic<bool> handOver_{false};
  KPeriodicTask refresh_;
};
