#include "ports/k_serial_line.h"

#include <sys/ioctl.h>
#include <termios.h>

namespace KSerialLine {

namespace {

speed_t StandardSpeed(int baud) {
  switch (baud) {
    case 50:
      return B50;
    case 75:
      return B75;
    case 110:
      return B110;
    case 134:
      return B134;
    case 150:
      return B150;
    case 200:
      return B200;
    case 300:
      return B300;
    case 600:
      return B600;
    case 1200:
      return B1200;
    case 1800:
      return B1800;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    case 230400:
      return B230400;
    case 460800:
      return B460800;
    case 921600:
      return B921600;
    default:
      return 0;
  }
}

}  // namespace

// In k_serial_baud.cc, which sees only the kernel's header.
bool SetOtherBaud(int fd, int baud);

bool Compose(termios& line, int dataBits, int parityCode, int stopBitsCode) {
  cfmakeraw(&line);
  line.c_iflag &= ~static_cast<tcflag_t>(INPCK | IXON | IXOFF | IXANY | ISTRIP | PARMRK | IGNPAR);
  line.c_cflag |= CLOCAL | CREAD;
  line.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
  switch (dataBits) {
    case 5:
      line.c_cflag |= CS5;
      break;
    case 6:
      line.c_cflag |= CS6;
      break;
    case 7:
      line.c_cflag |= CS7;
      break;
    case 8:
      line.c_cflag |= CS8;
      break;
    default:
      return false;  // no UART driver here sends 4-bit bytes
  }
  switch (parityCode) {
    case 1:
      line.c_cflag |= PARENB | PARODD;
      break;
    case 2:
      line.c_cflag |= PARENB;
      break;
    case 3:
      line.c_cflag |= PARENB | PARODD | CMSPAR;
      break;
    case 4:
      line.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      break;
  }
  // CSTOPB means 1.5 stop bits with 5-bit bytes and 2 otherwise, as on the
  // UARTs; the other pairings do not exist.
  if (stopBitsCode == 1) {
    if (dataBits != 5) return false;
    line.c_cflag |= CSTOPB;
  } else if (stopBitsCode == 2) {
    if (dataBits == 5) return false;
    line.c_cflag |= CSTOPB;
  }
  // Non-blocking descriptor with VMIN 1: an empty read says EAGAIN, a hung
  // up device says end of file.
  line.c_cc[VMIN] = 1;
  line.c_cc[VTIME] = 0;
  return true;
}

bool Configure(int fd, int baud, int dataBits, int parityCode, int stopBitsCode) {
  termios line{};
  if (tcgetattr(fd, &line) != 0 || !Compose(line, dataBits, parityCode, stopBitsCode)) {
    return false;
  }
  const speed_t speed = StandardSpeed(baud);
  if (speed != 0) {
    cfsetispeed(&line, speed);
    cfsetospeed(&line, speed);
  } else {
    cfsetispeed(&line, B38400);
    cfsetospeed(&line, B38400);
  }
  if (tcsetattr(fd, TCSANOW, &line) != 0) return false;
  return speed != 0 || SetOtherBaud(fd, baud);
}

bool SetBaud(int fd, int baud) {
  if (baud <= 0) return false;
  const speed_t speed = StandardSpeed(baud);
  if (speed == 0) return SetOtherBaud(fd, baud);
  termios line{};
  if (tcgetattr(fd, &line) != 0) return false;
  cfsetispeed(&line, speed);
  cfsetospeed(&line, speed);
  return tcsetattr(fd, TCSANOW, &line) == 0;
}

bool SetModemLine(int fd, int bit, bool on) {
  return ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bit) == 0;
}

bool GetModemLines(int fd, int& bits) {
  bits = 0;
  return ioctl(fd, TIOCMGET, &bits) == 0;
}

int DTRBit() {
  return TIOCM_DTR;
}
int RTSBit() {
  return TIOCM_RTS;
}
int CTSBit() {
  return TIOCM_CTS;
}
int DSRBit() {
  return TIOCM_DSR;
}

}  // namespace KSerialLine
