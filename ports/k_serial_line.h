#pragma once

// Line settings of a terminal device, kept apart so that the kernel's own
// termios header (needed for any baud rate) never meets the C library's.
struct termios;

namespace KSerialLine {

// Changes `line` to raw transfer with the given byte size, parity and stop
// bits; false for what no UART does. Configure applies the result.
bool Compose(termios& line, int dataBits, int parityCode, int stopBitsCode);

// Sets raw transfer with no flow control, the given byte size, parity
// (0 none, 1 odd, 2 even, 3 mark, 4 space) and stop bits (0 one, 1 one and
// a half, 2 two), reading without waiting. False when the device refuses or
// cannot do it (4 data bits, 1.5 stop bits beside more than 5 data bits).
bool Configure(int fd, int baud, int dataBits, int parityCode, int stopBitsCode);

// Any positive rate the device takes, standard or not.
bool SetBaud(int fd, int baud);

// Modem lines; false when the device has none (a pseudo-terminal).
bool SetModemLine(int fd, int line, bool on);
bool GetModemLines(int fd, int& bits);

// Bits for SetModemLine and GetModemLines.
int DTRBit();
int RTSBit();
int CTSBit();
int DSRBit();

}  // namespace KSerialLine
