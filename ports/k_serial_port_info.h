#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/k_list.h"
#include "base/k_string.h"

class KRGroup;
class KSerialPort;

// One COM port found at start-up. The records live in one program-wide list,
// in the order found; the device belongs to the record and stays open while
// any stream uses the port (one reader and one writer may share it).
class KSerialPortInfo : public KListItem {
 public:
  // Where the enumeration takes its settings from; the defaults are the
  // catalogue's.
  struct Enumeration {
    int32_t typeMask = -1;
    KString portLocal = KString(u"COM");
    // The text of a provider subtype, false when there is none.
    std::function<bool(int subtype, KString& text)> typeText;
    // The device of COM n: "/dev/ttyS<n-1>" unless this names another one.
    std::function<std::string(int number)> device;
    // Reads \SerialPort\TypeMask and the groups \SerialPort\Devices\ and
    // \Strings\SerialPort\ from `root`, which must outlive the enumeration call.
    static Enumeration FromSettings(KRGroup& root);
  };

  KSerialPortInfo(int number, std::string device) : number_(number), device_(std::move(device)) {}
  ~KSerialPortInfo() override;
  KString ClassName() const override { return KString::MakeView(u"KSerialPortInfo"); }

  int Number() const { return number_; }
  const KString31& Label() const { return label_; }
  int Subtype() const { return subtype_; }
  int UsageMask() const { return usageMask_; }
  const std::string& Device() const { return device_; }
  bool IsDeviceOpen() const { return fd_ >= 0; }

  // Fills the program-wide list (emptied first) and returns how many ports
  // it holds. COM numbers are tried from 1; below 128 a missing port does
  // not end the search, from 128 on the first missing one does.
  static int Enumerate(const Enumeration& settings);
  // Start-up: nothing at all when the command line asked for -noserialport.
  static int EnumerateAtStartUp(KRGroup* settings, bool noSerialPort);
  static KList& Ports();
  static KSerialPortInfo* Find(int number);
  // Ports must be closed before the list goes.
  static void Clear();

  // 1 for ttyS devices, 6 for ttyACM, 0 for any other terminal; a link
  // counts by its own name first, then by its target.
  static int SubtypeOfDevice(const std::string& path);
  static std::string DefaultDevice(int number);
  // Subtype 0..29 is its own bit of the type mask; everything else bit 30.
  static bool MaskKeeps(int32_t typeMask, int subtype);
  static bool DefaultTypeText(int subtype, KString& text);

  // An open descriptor on `path`, read-write, non-blocking, held exclusively
  // (flock and TIOCEXCL); -1 when it does not open or is taken.
  static int OpenExclusive(const std::string& path);
  static void CloseExclusive(int fd);

 private:
  friend class KSerialPort;

  // Line settings last written, so a device that comes back gets them again.
  struct Line {
    bool set = false;
    int baud = 9600;
    int dataBitsCode = 0;
    int parityCode = 0;
    int stopBitsCode = 0;
  };

  bool OpenDevice();
  void CloseDevice();
  // Pushes what an earlier write left over; true while bytes remain.
  bool PumpWrite();
  // Starts a write; what the device does not take at once waits in the
  // record. False when the device refused.
  bool StartWrite(const uint8_t* bytes, int count);
  bool WritePending() const { return pendingOffset_ < pending_.size(); }
  // The device hung up (the other side of a pseudo-terminal closed, an
  // adapter was pulled): give the descriptor up and try again later.
  void MarkLost();
  bool TryRecover();
  // Main thread: notices a hang-up and brings a returned device back. True
  // while the device is open.
  bool CheckAlive();
  // When a lost device is next looked for (monotonic ms); 0 when not lost.
  int64_t RecoverDueMs() const { return lost_ ? lostRetryAtMs_ : 0; }

  int number_;
  std::string device_;
  KString31 label_;
  int subtype_ = -1;
  int usageMask_ = 0;
  int fd_ = -1;
  bool lost_ = false;
  int64_t lostRetryAtMs_ = 0;
  Line line_;
  int dtrOn_ = -1;  // last state the program set, -1 none
  int rtsOn_ = -1;
  KSerialPort* writer_ = nullptr;
  bool resumeRefresh_ = false;
  std::vector<uint8_t> pending_;
  size_t pendingOffset_ = 0;
};
