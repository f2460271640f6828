#include "tools/telvane-cli/cli_port.h"

#include <csignal>

#include "base/k_stream_menu.h"
#include "config/k_default_settings.h"
#include "ports/k_port_menus.h"
#include "ports/k_port_settings.h"
#include "ports/k_serial_port_info.h"
#include "ports/k_socket.h"
#include "ports/k_tcp_socket.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void OnStopSignal(int /*signal*/) {
  stopRequested = 1;
}

}  // namespace

bool CliStopRequested() {
  return stopRequested != 0;
}

void CliWatchStopSignals() {
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
  std::signal(SIGPIPE, SIG_IGN);
}

CliPort::CliPort(const std::string& spec, const std::vector<std::string>& devices)
    : settings_(KDefaultSettings::Table()) {
  for (const std::string& device : devices) {
    const size_t equals = device.find('=');
    if (equals == std::string::npos) continue;
    const std::string line =
        "SerialPort\\Devices\\" + device.substr(0, equals) + ":String=" + device.substr(equals + 1);
    settings_.Apply(KString(line));
  }
  KSerialPortInfo::EnumerateAtStartUp(&settings_, false);
  KSocket::StartNetwork();
  KPortMenus::BuildDebugMenu(menu_, KPortSettings::FromSettings(settings_));
  const KString text(spec);
  if (KStreamMenu::KindOf(text) == 0) return;
  stream_ = menu_.Make(text, nullptr);
  // A replayed feed keeps its timing only when small writes leave at once.
  if (auto* tcp = dynamic_cast<KTCPSocket*>(stream_.get())) tcp->SetNoDelay(true);
  valid_ = stream_->Accepts(KStreamMenu::KindOf(text)) && stream_->SetSpec(text);
}

CliPort::~CliPort() {
  if (stream_) stream_->Close();
  stream_.reset();
  KSerialPortInfo::Clear();
  KSocket::StopNetwork();
}
