// Rates outside the termios table go through termios2 and BOTHER, which only
// the kernel's header declares; it cannot share a file with <termios.h>.
#include <asm/ioctls.h>
#include <asm/termbits.h>

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept;

namespace KSerialLine {

bool SetOtherBaud(int fd, int baud);

bool SetOtherBaud(int fd, int baud) {
  termios2 line{};
  if (ioctl(fd, TCGETS2, &line) != 0) return false;
  line.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  line.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  line.c_ispeed = static_cast<speed_t>(baud);
  line.c_ospeed = static_cast<speed_t>(baud);
  if (ioctl(fd, TCSETS2, &line) != 0) return false;
  termios2 check{};
  return ioctl(fd, TCGETS2, &check) == 0 && check.c_ospeed == static_cast<speed_t>(baud);
}

}  // namespace KSerialLine
