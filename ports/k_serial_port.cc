#include "ports/k_serial_port.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "base/k_wait_set.h"
#include "base/k_x.h"
#include "ports/k_port_config.h"
#include "ports/k_serial_line.h"
#include "ports/k_serial_port_info.h"

namespace {

constexpr size_t kRefreshStackBytes = 64 * 1024;

void SleepOneMs() {
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace

KSerialPort::KSerialPort(int access, int inputSize, int outputSize)
    : access_(access),
      inputSize_(std::max(inputSize, kMinInputSize)),
      output_(static_cast<size_t>(std::max(outputSize, 0))),
      refresh_([this](int64_t) { RefreshTick(); }) {}

KSerialPort::~KSerialPort() {
  Close();
}

std::unique_ptr<KStream> KSerialPort::Clone() const {
  auto copy = std::make_unique<KSerialPort>(access_, inputSize_, OutputSize());
  CloneSettings(*copy);
  return copy;
}

bool KSerialPort::IsOpen() const {
  return info_ != nullptr && info_->CheckAlive();
}

bool KSerialPort::SetSpec(const KString& spec) {
  if (!OpenPort(KPortConfig::PortNumber(spec))) return false;
  // A port whose line cannot be set is not usable, so it does not stay open.
  if (!SetLine(KPortConfig::Baud(spec), KPortConfig::DataBits(spec), KPortConfig::Parity(spec),
               KPortConfig::StopBits(spec)) ||
      !SetRefreshPeriod(KPortConfig::RefreshMs(spec))) {
    Close();
    return false;
  }
  return true;
}

bool KSerialPort::OpenPort(int number) {
  if (info_ && info_->Number() == number) return true;
  if (info_) Close();
  KSerialPortInfo* info = KSerialPortInfo::Find(number);
  if (!info || (info->usageMask_ & access_) != 0) return false;
  if (info->fd_ < 0 && !info->OpenDevice()) return false;
  info_ = info;
  info->usageMask_ |= access_;
  if (CanWrite()) info->writer_ = this;
  readCount_ = readPosition_ = 0;
  outputCount_ = 0;
  handOver_.store(false);
  // The kernel's input queue has a fixed size; inputSize_ has nothing to set.
  return true;
}

int KSerialPort::PortNumber() const {
  return info_ ? info_->Number() : 0;
}

void KSerialPort::Close() {
  refresh_.Stop();
  handOver_.store(false);
  if (info_) {
    info_->usageMask_ &= ~access_;
    if (info_->writer_ == this) info_->writer_ = nullptr;
    if (info_->usageMask_ == 0) info_->CloseDevice();
    info_ = nullptr;
  }
  readCount_ = readPosition_ = 0;
  outputCount_ = 0;
  refreshCount_ = 0;
  KStream::Close();
}

bool KSerialPort::SetLine(int baud, int dataBitsCode, int parityCode, int stopBitsCode) {
  if (!info_ || info_->fd_ < 0) return false;
  if (!KSerialLine::Configure(info_->fd_, baud, KPortConfig::DataBitsOfCode(dataBitsCode),
                              parityCode, stopBitsCode)) {
    return false;
  }
  info_->line_ = {true, baud, dataBitsCode, parityCode, stopBitsCode};
  // The lines nobody drives are held on; a pseudo-terminal has none.
  if (!(info_->usageMask_ & kAccessDTR)) {
    KSerialLine::SetModemLine(info_->fd_, KSerialLine::DTRBit(), true);
  }
  if (!(info_->usageMask_ & kAccessRTS)) {
    KSerialLine::SetModemLine(info_->fd_, KSerialLine::RTSBit(), true);
  }
  return true;
}

bool KSerialPort::SetDTR(bool on) {
  if (!(access_ & kAccessDTR) || !info_ || info_->fd_ < 0) return false;
  if (!KSerialLine::SetModemLine(info_->fd_, KSerialLine::DTRBit(), on)) return false;
  info_->dtrOn_ = on ? 1 : 0;
  return true;
}

bool KSerialPort::SetRTS(bool on) {
  if (!(access_ & kAccessRTS) || !info_ || info_->fd_ < 0) return false;
  if (!KSerialLine::SetModemLine(info_->fd_, KSerialLine::RTSBit(), on)) return false;
  info_->rtsOn_ = on ? 1 : 0;
  return true;
}

bool KSerialPort::SetDTRRTS(bool dtr, bool rts) {
  if (!info_ || info_->fd_ < 0) return false;
  bool ok = true;
  if ((access_ & kAccessDTR) && info_->dtrOn_ != (dtr ? 1 : 0)) ok = SetDTR(dtr) && ok;
  if ((access_ & kAccessRTS) && info_->rtsOn_ != (rts ? 1 : 0)) ok = SetRTS(rts) && ok;
  return ok;
}

bool KSerialPort::GetCTS() const {
  int bits = 0;
  return info_ && info_->fd_ >= 0 && KSerialLine::GetModemLines(info_->fd_, bits) &&
         (bits & KSerialLine::CTSBit()) != 0;
}

bool KSerialPort::GetDSR() const {
  int bits = 0;
  return info_ && info_->fd_ >= 0 && KSerialLine::GetModemLines(info_->fd_, bits) &&
         (bits & KSerialLine::DSRBit()) != 0;
}

bool KSerialPort::FillReadBuffer() {
  if (!CanRead() || !info_ || info_->fd_ < 0) return false;
  if (readPosition_ < readCount_) return true;
  readCount_ = readPosition_ = 0;
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    const ssize_t got = ::read(info_->fd_, readBuffer_, kReadBlock);
    if (got > 0) {
      readCount_ = static_cast<int>(got);
      return true;
    }
    if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
      // End of file on a terminal is a hang-up.
      info_->MarkLost();
      return false;
    }
    const int timeoutMs = ReadTimeout();
    if (timeoutMs <= 0 ||
        std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(timeoutMs)) {
      return false;
    }
    SleepOneMs();
  }
}

void KSerialPort::Read(void* bytes, int count) {
  if (!CanRead() || !info_ || info_->fd_ < 0) throw KXStream(kErrorReceive, 0);
  auto* out = static_cast<uint8_t*>(bytes);
  int copied = 0;
  while (copied < count) {
    if (readPosition_ >= readCount_ && !FillReadBuffer()) {
      throw KXStream(kErrorReceiveTimeout, copied);
    }
    const int take = std::min(count - copied, readCount_ - readPosition_);
    std::memcpy(out + copied, readBuffer_ + readPosition_, static_cast<size_t>(take));
    readPosition_ += take;
    copied += take;
  }
  NotifyRead(bytes, count);
}

int KSerialPort::ReadAvailable(void* bytes, int max) {
  if (max <= 0 || !CanRead() || !info_ || info_->fd_ < 0) return 0;
  auto* out = static_cast<uint8_t*>(bytes);
  if (readPosition_ < readCount_) {
    const int take = std::min(max, readCount_ - readPosition_);
    std::memcpy(out, readBuffer_ + readPosition_, static_cast<size_t>(take));
    readPosition_ += take;
    NotifyRead(out, take);
    return take;
  }
  ssize_t got;
  do {
    got = ::read(info_->fd_, out, static_cast<size_t>(max));
  } while (got < 0 && errno == EINTR);
  if (got > 0) {
    NotifyRead(out, static_cast<int>(got));
    return static_cast<int>(got);
  }
  // End of file on a terminal is a hang-up; the device is looked for again.
  if (got == 0 || errno != EAGAIN) info_->MarkLost();
  return 0;
}

void KSerialPort::AddWaits(KWaitSet& set) const {
  if (!info_) return;
  if (info_->fd_ < 0) {
    if (const int64_t due = info_->RecoverDueMs(); due > 0) set.DueAt(due);
    return;
  }
  short events = CanRead() ? POLLIN : 0;
  // Output the device did not take at once goes on when it has room.
  if (CanWrite() && !IsRefreshRunning() && info_->WritePending()) events |= POLLOUT;
  if (readPosition_ < readCount_) set.DueNow();
  set.Add(info_->fd_, events);
}

void KSerialPort::PurgeInput() {
  readCount_ = readPosition_ = 0;
  if (info_ && info_->fd_ >= 0) ::tcflush(info_->fd_, TCIFLUSH);
}

void KSerialPort::AwaitWriteRoom(int accepted) {
  if (!IsWritePending()) return;
  const int timeoutMs = WriteTimeout();
  // Bounded by the time-out, so a device that never drains cannot hold the
  // main thread.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (timeoutMs > 0 && std::chrono::steady_clock::now() < deadline) {
    SleepOneMs();
    if (!IsWritePending()) return;
  }
  throw KXStream(kErrorTransmitBusy, accepted);
}

void KSerialPort::Write(const void* bytes, int count) {
  if (!CanWrite() || !info_ || info_->fd_ < 0) throw KXStream(kErrorTransmit, 0);
  const auto* in = static_cast<const uint8_t*>(bytes);
  if (output_.empty()) {
    AwaitWriteRoom(0);
    RawWrite(in, count);
    NotifyWrite(bytes, count);
    return;
  }
  int accepted = 0;
  while (accepted < count) {
    AwaitWriteRoom(accepted);
    const int take = std::min(count - accepted, OutputSize() - outputCount_);
    std::memcpy(output_.data() + outputCount_, in + accepted, static_cast<size_t>(take));
    outputCount_ += take;
    accepted += take;
    if (outputCount_ == OutputSize()) FlushOutput();
  }
  NotifyWrite(bytes, count);
}

void KSerialPort::FlushOutput() {
  // A block already handed over belongs to the refresh thread until it took it.
  if (!CanWrite() || !info_ || handOver_.load(std::memory_order_acquire)) return;
  if (outputCount_ == 0) return;
  if (!IsRefreshRunning() || OnRefreshThread()) {
    const int count = outputCount_;
    outputCount_ = 0;
    RawWrite(output_.data(), count);
  } else {
    handOver_.store(true, std::memory_order_release);
  }
}

bool KSerialPort::IsWritePending() {
  if (IsRefreshRunning() && !OnRefreshThread()) return handOver_.load(std::memory_order_acquire);
  return info_ && info_->PumpWrite();
}

void KSerialPort::RawWrite(const uint8_t* bytes, int count) {
  if (!info_ || !info_->StartWrite(bytes, count)) throw KXStream(kErrorTransmit, 0);
}

void KSerialPort::RefreshTick() {
  try {
    if (handOver_.load(std::memory_order_acquire)) {
      std::copy(output_.begin(), output_.begin() + outputCount_, refreshBuffer_.begin());
      refreshCount_ = outputCount_;
      outputCount_ = 0;
      handOver_.store(false, std::memory_order_release);
    }
    if (!IsWritePending() && refreshCount_ > 0) RawWrite(refreshBuffer_.data(), refreshCount_);
  } catch (const KX&) {
    // The next tick tries again; nobody on this thread could be told.
  }
}

bool KSerialPort::SetRefreshPeriod(int periodMs) {
  refresh_.Stop();
  // A block handed over but not taken is the main thread's again.
  handOver_.store(false);
  if (periodMs <= 0) return true;
  if (!info_ || info_->fd_ < 0) return false;
  if (refreshBuffer_.size() < output_.size()) refreshBuffer_.resize(output_.size());
  if (refresh_.Start(periodMs, KThread::kPriorityAboveNormal, kRefreshStackBytes) !=
      KThread::kPaused) {
    return false;
  }
  return refresh_.Resume();
}
