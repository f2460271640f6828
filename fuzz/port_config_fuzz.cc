// Port specifications: every token reader, the formatters read back, and
// the port menus making (and trying to open) whatever the text names.
#include <cstdint>
#include <cstdlib>

#include "base/k_stream_menu.h"
#include "base/k_x.h"
#include "ports/k_debug_port.h"
#include "ports/k_port_config.h"
#include "ports/k_port_menus.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  // Bytes as Latin-1 characters, plus pairs as 16-bit ones from the middle on.
  KString spec = KString::FromLatin1(std::string_view(reinterpret_cast<const char*>(data), size));
  if (size > 0 && (data[0] & 1)) {
    for (size_t i = size / 2; i + 1 < size; i += 2) {
      spec.SetAt(static_cast<int>(i), static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
  }

  using namespace KPortConfig;
  const int port = PortNumber(spec);
  const int baud = Baud(spec);
  const int bits = DataBits(spec);
  const int parity = Parity(spec);
  const int stop = StopBits(spec);
  const int refresh = RefreshMs(spec);
  if (baud <= 0 || bits < 0 || bits > 4 || parity < 0 || parity > 4 || stop < 0 || stop > 2) {
    std::abort();
  }
  // What the formatter writes, the readers read back unchanged.
  const KString serial = FormatSerial(port, baud, bits, parity, stop, refresh);
  if (PortNumber(serial) != port || Baud(serial) != baud || DataBits(serial) != bits ||
      Parity(serial) != parity || StopBits(serial) != stop || RefreshMs(serial) != refresh) {
    std::abort();
  }
  const uint32_t address = IPAddress(spec);
  const uint16_t ipPort = IPPort(spec);
  const KString network = FormatNetwork(port, address, ipPort);
  if (IPAddress(network) != address || IPPort(network) != ipPort) std::abort();

  // The network is not started here, so nothing really opens; the menus and
  // the open paths still see the text.
  KStreamMenu menu;
  KPortMenus::BuildSourceMenu(menu, KPortSettings{});
  std::unique_ptr<KStream> stream = menu.Make(spec, nullptr);
  try {
    stream->SetSpec(spec);
    stream->IsOpen();
    stream->Close();
  } catch (const KX&) {
  }
  for (size_t i = 0; i < size && i < 16; ++i) KDebugPort::EchoPiece(data[i]);
  return 0;
}
