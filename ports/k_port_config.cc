#include "ports/k_port_config.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <string>

#include "base/k_number.h"

namespace KPortConfig {

namespace {

bool IntToken(const KString& spec, int index, int32_t& value) {
  KString token;
  return Token(spec, index, token) && KNumber::ParseWholeInt(token.View(), value);
}

bool IsBlank(char16_t ch) {
  return ch == u' ' || ch == u'\t';
}

}  // namespace

bool Token(const KString& spec, int index, KString& out) {
  out.Clear();
  if (index < 0) return false;
  int start = 0;
  for (int i = 0; i < index; ++i) {
    const int comma = spec.Find(u',', start);
    if (comma < 0) return false;
    start = comma + 1;
  }
  int end = spec.Find(u',', start);
  if (end < 0) end = spec.Length();
  out = spec.Mid(start, end - start);
  return true;
}

bool HasToken(const KString& spec, int index) {
  KString ignored;
  return Token(spec, index, ignored);
}

int PortNumber(const KString& spec) {
  int32_t value = 0;
  return IntToken(spec, 0, value) ? value : 0;
}

int Baud(const KString& spec) {
  int32_t value = 0;
  return IntToken(spec, 1, value) && value > 0 ? value : kDefaultBaud;
}

int DataBits(const KString& spec) {
  int32_t value = 0;
  if (!IntToken(spec, 2, value) || value < 4 || value > 8) return kDataBits8;
  return 8 - value;
}

int Parity(const KString& spec) {
  KString token;
  if (!Token(spec, 3, token)) return kParityNone;
  int at = 0;
  while (IsBlank(token.At(at))) ++at;
  // The first letter decides, so "Even" reads as well as "E".
  switch (KString::ToUpper(token.At(at))) {
    case u'O':
      return kParityOdd;
    case u'E':
      return kParityEven;
    case u'M':
      return kParityMark;
    case u'S':
      return kParitySpace;
    default:
      return kParityNone;
  }
}

int StopBits(const KString& spec) {
  KString token;
  if (!Token(spec, 4, token)) return kStopBits1;
  // A plain decimal number: digits, optionally a point and more digits, so
  // that "2", "2.0" and "2.00" agree and "1.5" is told apart.
  const std::string text = token.ToUtf8();
  size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  long whole = 0;
  size_t digits = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 9) {
    whole = whole * 10 + (text[at++] - '0');
    ++digits;
  }
  int tenths = 0;
  bool rest = false;
  size_t fraction = 0;
  if (at < text.size() && text[at] == '.') {
    ++at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
      if (fraction == 0) {
        tenths = text[at] - '0';
      } else if (text[at] != '0') {
        rest = true;
      }
      ++fraction;
      ++at;
    }
  }
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  if (at != text.size() || (digits == 0 && fraction == 0) || rest) return kStopBits1;
  if (whole == 1 && tenths == 5) return kStopBits15;
  if (whole == 2 && tenths == 0) return kStopBits2;
  return kStopBits1;
}

int RefreshMs(const KString& spec) {
  int32_t value = 0;
  return IntToken(spec, 5, value) ? value : 0;
}

uint32_t IPAddress(const KString& spec) {
  KString token;
  if (!Token(spec, 1, token) || token.IsEmpty()) return kAddressAny;
  for (const char16_t ch : token) {
    if (ch == 0 || ch > 0x7E) return kAddressNone;
  }
  in_addr address{};
  if (inet_aton(token.ToUtf8().c_str(), &address) == 0) return kAddressNone;
  return ntohl(address.s_addr);
}

uint16_t IPPort(const KString& spec) {
  int32_t value = 0;
  return IntToken(spec, 2, value) ? static_cast<uint16_t>(static_cast<uint32_t>(value) & 0xFFFF)
                                  : 0;
}

bool ResolveIPAddress(const KString& spec, uint32_t whenEmpty, uint32_t& address, KString& error) {
  KString token;
  if (!Token(spec, 1, token) || token.IsEmpty()) {
    address = whenEmpty;
    return true;
  }
  for (const char16_t ch : token) {
    if (ch <= 0x20 || ch > 0x7E) {
      error = KString(u"the address holds a character no address or host name has");
      return false;
    }
  }
  const std::string text = token.ToUtf8();
  in_addr dotted{};
  if (inet_aton(text.c_str(), &dotted) != 0) {
    address = ntohl(dotted.s_addr);
    return true;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  addrinfo* found = nullptr;
  if (getaddrinfo(text.c_str(), nullptr, &hints, &found) != 0 || !found) {
    error = KString(u"no IPv4 address for host ");
    error.Append(token);
    return false;
  }
  address = ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
  freeaddrinfo(found);
  return true;
}

bool ReadIPPort(const KString& spec, uint16_t& port, KString& error) {
  KString token;
  int32_t value = 0;
  if (!Token(spec, 2, token) || !KNumber::ParseWholeInt(token.View(), value)) {
    error = KString(u"the port is missing or not a number");
    return false;
  }
  if (value < 1 || value > 65535) {
    error = KString(u"the port is outside 1 to 65535");
    return false;
  }
  port = static_cast<uint16_t>(value);
  return true;
}

bool IsBroadcast(uint32_t address) {
  return address != 0 && (address & 0xFF) == 0xFF;
}

int DataBitsOfCode(int code) {
  return code >= 0 && code <= 4 ? 8 - code : 8;
}

const char16_t* StopBitsText(int code) {
  switch (code) {
    case kStopBits15:
      return u"1.5";
    case kStopBits2:
      return u"2.0";
    default:
      return u"1.0";
  }
}

char16_t ParityLetter(int code) {
  switch (code) {
    case kParityOdd:
      return u'O';
    case kParityEven:
      return u'E';
    case kParityMark:
      return u'M';
    case kParitySpace:
      return u'S';
    default:
      return u'N';
  }
}

KString FormatSerial(int port, int baud, int dataBitsCode, int parityCode, int stopBitsCode,
                     int refreshMs) {
  KString out;
  out.AppendInt(port);
  out.Append(u',');
  out.AppendInt(baud);
  out.Append(u',');
  out.AppendInt(DataBitsOfCode(dataBitsCode));
  out.Append(u',');
  out.Append(ParityLetter(parityCode));
  out.Append(u',');
  out.Append(std::u16string_view(StopBitsText(stopBitsCode)));
  if (refreshMs != 0) {
    out.Append(u',');
    out.AppendInt(refreshMs);
  }
  return out;
}

KString FormatAddress(uint32_t address) {
  KString out;
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.AppendInt((address >> shift) & 0xFF);
    if (shift > 0) out.Append(u'.');
  }
  return out;
}

KString FormatNetwork(int kind, uint32_t address, uint16_t port) {
  KString out;
  out.AppendInt(kind);
  out.Append(u',');
  out.Append(FormatAddress(address));
  out.Append(u',');
  out.AppendInt(port);
  return out;
}

}  // namespace KPortConfig
