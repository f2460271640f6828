#include "ports/k_serial_port_info.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "config/k_r_group.h"
#include "config/k_r_string.h"
#include "ports/k_periodic_task.h"
#include "ports/k_port_config.h"
#include "ports/k_serial_line.h"
#include "ports/k_serial_port.h"

namespace {

// Past this the search stops even when every number opens, so a settings
// tree cannot keep it going for ever.
constexpr int kLastNumber = 9999;
constexpr int kAlwaysTried = 128;
constexpr int kRecoverIntervalMs = 500;

KList& PortList() {
  static KList list;
  return list;
}

KString NumberedKey(const char16_t* group, int number) {
  KString key(std::u16string_view{group});
  key.AppendInt(number);
  return key;
}

}  // namespace

KSerialPortInfo::~KSerialPortInfo() {
  CloseDevice();
}

KList& KSerialPortInfo::Ports() {
  return PortList();
}

KSerialPortInfo* KSerialPortInfo::Find(int number) {
  for (auto* info : PortList().Items<KSerialPortInfo>()) {
    if (info->number_ == number) return info;
  }
  return nullptr;
}

void KSerialPortInfo::Clear() {
  PortList().DeleteAll();
}

std::string KSerialPortInfo::DefaultDevice(int number) {
  return "/dev/ttyS" + std::to_string(number - 1);
}

int KSerialPortInfo::SubtypeOfDevice(const std::string& path) {
  const auto kindOf = [](const std::string& device) {
    const size_t slash = device.rfind('/');
    const std::string name = slash == std::string::npos ? device : device.substr(slash + 1);
    if (name.rfind("ttyS", 0) == 0) return 1;
    if (name.rfind("ttyACM", 0) == 0) return 6;
    return 0;
  };
  // The name as configured first, then what a link such as
  // /dev/serial/by-id/... stands for.
  if (const int kind = kindOf(path); kind != 0) return kind;
  int kind = 0;
  if (char* real = realpath(path.c_str(), nullptr)) {
    kind = kindOf(real);
    free(real);
  }
  return kind;
}

bool KSerialPortInfo::MaskKeeps(int32_t typeMask, int subtype) {
  const int bit = subtype >= 0 && subtype <= 29 ? subtype : 30;
  return (static_cast<uint32_t>(typeMask) >> bit) & 1u;
}

bool KSerialPortInfo::DefaultTypeText(int subtype, KString& text) {
  const char16_t* found = nullptr;
  switch (subtype) {
    case 0:
      found = u"(Unknown)";
      break;
    case 1:
      found = u"(Serial Port)";
      break;
    case 2:
      found = u"(Parallel Port)";
      break;
    case 3:
      found = u"(RS422)";
      break;
    case 4:
      found = u"(RS423)";
      break;
    case 5:
      found = u"(RS449)";
      break;
    case 6:
      found = u"(Modem)";
      break;
    case 33:
      found = u"(Fax)";
      break;
    case 34:
      found = u"(Scanner)";
      break;
    case 256:
      found = u"(Network Bridge)";
      break;
    case 257:
      found = u"(LAT)";
      break;
    case 258:
      found = u"(TCP)";
      break;
    case 259:
      found = u"(X25)";
      break;
    default:
      return false;
  }
  text = std::u16string_view{found};
  return true;
}

KSerialPortInfo::Enumeration KSerialPortInfo::Enumeration::FromSettings(KRGroup& root) {
  Enumeration settings;
  settings.typeMask = root.LookupInt(u"\\SerialPort\\TypeMask", -1);
  if (KRString* local = root.LookupString(u"\\Strings\\SerialPort\\PortLocal")) {
    settings.portLocal = local->Value();
  }
  KRGroup* tree = &root;
  settings.typeText = [tree](int subtype, KString& text) {
    KRString* node = tree->LookupString(NumberedKey(u"\\Strings\\SerialPort\\Types\\", subtype));
    if (!node) return false;
    text = node->Value();
    return true;
  };
  settings.device = [tree](int number) {
    KRString* node = tree->LookupString(NumberedKey(u"\\SerialPort\\Devices\\", number));
    if (!node || node->Value().IsEmpty()) return DefaultDevice(number);
    return node->Value().ToUtf8();
  };
  return settings;
}

int KSerialPortInfo::OpenExclusive(const std::string& path) {
  if (path.empty()) return -1;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  // flock keeps out every cooperating program, TIOCEXCL the rest.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return -1;
  }
  ::ioctl(fd, TIOCEXCL);
  return fd;
}

void KSerialPortInfo::CloseExclusive(int fd) {
  if (fd < 0) return;
  ::ioctl(fd, TIOCNXCL);
  ::close(fd);
}

int KSerialPortInfo::Enumerate(const Enumeration& settings) {
  Clear();
  for (int number = 1; number <= kLastNumber; ++number) {
    std::string path = settings.device ? settings.device(number) : DefaultDevice(number);
    const int fd = OpenExclusive(path);
    if (fd < 0) {
      if (number >= kAlwaysTried) break;
      continue;
    }
    auto* info = new KSerialPortInfo(number, std::move(path));
    KString label = settings.portLocal;
    label.AppendInt(number);
    termios line{};
    if (::tcgetattr(fd, &line) == 0) {
      info->subtype_ = SubtypeOfDevice(info->device_);
      KString text;
      const bool named = settings.typeText ? settings.typeText(info->subtype_, text)
                                           : DefaultTypeText(info->subtype_, text);
      label.Append(u' ');
      if (named) {
        label.Append(text);
      } else {
        label.Append(u'(');
        label.AppendInt(info->subtype_);
        label.Append(u')');
      }
    }
    info->label_ = label;
    CloseExclusive(fd);
    if (MaskKeeps(settings.typeMask, info->subtype_)) {
      PortList().Append(info);
    } else {
      delete info;
    }
  }
  return PortList().Count();
}

int KSerialPortInfo::EnumerateAtStartUp(KRGroup* settings, bool noSerialPort) {
  if (noSerialPort) {
    Clear();
    return 0;
  }
  return settings ? Enumerate(Enumeration::FromSettings(*settings)) : Enumerate(Enumeration{});
}

bool KSerialPortInfo::OpenDevice() {
  if (fd_ >= 0) return true;
  fd_ = OpenExclusive(device_);
  lost_ = false;
  return fd_ >= 0;
}

void KSerialPortInfo::CloseDevice() {
  CloseExclusive(fd_);
  fd_ = -1;
  lost_ = false;
  resumeRefresh_ = false;
  dtrOn_ = rtsOn_ = -1;
  line_ = Line{};
  pending_.clear();
  pendingOffset_ = 0;
}

bool KSerialPortInfo::PumpWrite() {
  if (pendingOffset_ >= pending_.size() || fd_ < 0) {
    pending_.clear();
    pendingOffset_ = 0;
    return false;
  }
  const ssize_t done =
      ::write(fd_, pending_.data() + pendingOffset_, pending_.size() - pendingOffset_);
  if (done > 0) {
    pendingOffset_ += static_cast<size_t>(done);
  } else if (done < 0 && errno != EAGAIN && errno != EINTR) {
    // The device refuses; what is left can never go.
    pending_.clear();
    pendingOffset_ = 0;
    return false;
  }
  if (pendingOffset_ >= pending_.size()) {
    pending_.clear();
    pendingOffset_ = 0;
    return false;
  }
  return true;
}

bool KSerialPortInfo::StartWrite(const uint8_t* bytes, int count) {
  if (fd_ < 0) return false;
  if (count <= 0) return true;
  if (WritePending()) {
    pending_.insert(pending_.end(), bytes, bytes + count);
    PumpWrite();
    return true;
  }
  ssize_t done = ::write(fd_, bytes, static_cast<size_t>(count));
  if (done < 0) {
    if (errno != EAGAIN && errno != EINTR) return false;
    done = 0;
  }
  if (done < count) {
    pending_.assign(bytes + done, bytes + count);
    pendingOffset_ = 0;
  }
  return true;
}

void KSerialPortInfo::MarkLost() {
  if (fd_ < 0) return;
  // The refresh thread writes to the descriptor; it must be out of the way.
  if (writer_ && writer_->IsRefreshRunning()) {
    writer_->refresh_.Pause(true);
    resumeRefresh_ = true;
  }
  CloseExclusive(fd_);
  fd_ = -1;
  lost_ = true;
  lostRetryAtMs_ = KPeriodicTask::TickCount();
  pending_.clear();
  pendingOffset_ = 0;
}

bool KSerialPortInfo::TryRecover() {
  if (!lost_) return fd_ >= 0;
  const int64_t now = KPeriodicTask::TickCount();
  if (now < lostRetryAtMs_) return false;
  lostRetryAtMs_ = now + kRecoverIntervalMs;
  const int fd = OpenExclusive(device_);
  if (fd < 0) return false;
  fd_ = fd;
  lost_ = false;
  if (line_.set) {
    KSerialLine::Configure(fd_, line_.baud, KPortConfig::DataBitsOfCode(line_.dataBitsCode),
                           line_.parityCode, line_.stopBitsCode);
    if (!(usageMask_ & KSerialPort::kAccessDTR)) {
      KSerialLine::SetModemLine(fd_, KSerialLine::DTRBit(), true);
    }
    if (!(usageMask_ & KSerialPort::kAccessRTS)) {
      KSerialLine::SetModemLine(fd_, KSerialLine::RTSBit(), true);
    }
  }
  if (writer_ && resumeRefresh_) writer_->refresh_.Resume();
  resumeRefresh_ = false;
  return true;
}

bool KSerialPortInfo::CheckAlive() {
  if (fd_ >= 0 && !lost_) {
    pollfd probe{fd_, 0, 0};
    if (::poll(&probe, 1, 0) > 0 && (probe.revents & (POLLHUP | POLLERR | POLLNVAL))) MarkLost();
  }
  if (lost_) TryRecover();
  return fd_ >= 0;
}
