#pragma once

#include <cstdint>

#include "base/k_string.h"

// The port specification text that configures every port: comma-separated
// tokens, the first choosing the kind ("1,9600,8,N,1.0" is COM1; -1 TCP
// connect, -2 TCP listen, -3 UDP; 0 or no number: no port). Each reader takes
// one token by position and falls back to its default when the token is
// missing or unreadable. Tokens are taken as they stand; only the parity
// token has its blanks ignored.
namespace KPortConfig {

inline constexpr int kKindNone = 0;
inline constexpr int kKindTCPConnect = -1;
inline constexpr int kKindTCPListen = -2;
inline constexpr int kKindUDP = -3;

// Line codes, equal to the values the settings and dialogs use.
enum DataBitsCode : int { kDataBits8 = 0, kDataBits7, kDataBits6, kDataBits5, kDataBits4 };
enum ParityCode : int { kParityNone = 0, kParityOdd, kParityEven, kParityMark, kParitySpace };
enum StopBitsCode : int { kStopBits1 = 0, kStopBits15, kStopBits2 };

inline constexpr int kDefaultBaud = 9600;
inline constexpr uint32_t kAddressAny = 0;
inline constexpr uint32_t kAddressNone = 0xFFFFFFFFu;  // also the broadcast address

// The token at `index` (0-based); false when the text has fewer tokens.
bool Token(const KString& spec, int index, KString& out);
bool HasToken(const KString& spec, int index);

// Token 0: the COM port number or the kind; 0 when missing or not a number.
int PortNumber(const KString& spec);
// Token 1: any positive integer, else 9600.
int Baud(const KString& spec);
// Token 2: 4 to 8 bits as their code; anything else 8 bits.
int DataBits(const KString& spec);
// Token 3: N, O, E, M or S in either case, blanks around it ignored (the
// first letter decides); else N.
int Parity(const KString& spec);
// Token 4: the decimal number 1, 1.5 or 2; anything else one stop bit.
int StopBits(const KString& spec);
// Token 5 as written (0 or negative is off; a negative value is a period
// kept while switched off); 0 when missing or unreadable.
int RefreshMs(const KString& spec);
// Token 1 as an IPv4 address in host byte order: empty 0.0.0.0, unreadable
// 255.255.255.255.
uint32_t IPAddress(const KString& spec);
// Token 2 taken modulo 65536; 0 when unreadable.
uint16_t IPPort(const KString& spec);

// What a socket opens on, stricter than the readers above: token 1 as a
// dotted address or a host name ("localhost") resolved to its first IPv4
// address, `whenEmpty` when the token is empty or missing; false (with the
// reason in `error`) when it names nothing.
bool ResolveIPAddress(const KString& spec, uint32_t whenEmpty, uint32_t& address, KString& error);
// Token 2 as a number 1 to 65535; false (with the reason) otherwise, so a
// typing error never becomes some other port.
bool ReadIPPort(const KString& spec, uint16_t& port, KString& error);
inline constexpr uint32_t kAddressLoopback = 0x7F000001u;
// 255.255.255.255 or an address ending in .255: datagrams to it are broadcast.
bool IsBroadcast(uint32_t address);

int DataBitsOfCode(int code);
// "1.0", "1.5" or "2.0".
const char16_t* StopBitsText(int code);
char16_t ParityLetter(int code);

// "port,baud,bits,parity,stop" and ",refresh" when the period is not 0.
KString FormatSerial(int port, int baud, int dataBitsCode, int parityCode, int stopBitsCode,
                     int refreshMs = 0);
// "kind,a.b.c.d,port" with the port unsigned.
KString FormatNetwork(int kind, uint32_t address, uint16_t port);
KString FormatAddress(uint32_t address);

}  // namespace KPortConfig
