// telvane-cli ports: the serial ports this machine offers, enumerated as the
// program does at start-up, with their labels.
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/k_number.h"
#include "config/k_default_settings.h"
#include "config/k_registry.h"
#include "ports/k_serial_port_info.h"
#include "tools/telvane-cli/command_registry.h"

namespace {

using nlohmann::json;

struct Options {
  std::vector<std::string> devices;
  std::string typeMask;
  bool noSerialPort = false;
} options;

CLI::App* Add(CLI::App& app) {
  options = Options{};
  auto* sub = app.add_subcommand("ports", "List the serial ports with their labels");
  sub->add_option("--device", options.devices, "COM port device, N=PATH (repeatable)");
  sub->add_option("--type-mask", options.typeMask, "Provider subtypes to keep (default -1: all)");
  sub->add_flag("--noserialport", options.noSerialPort, "Enumerate nothing, as -noserialport");
  return sub;
}

int Run() {
  KRegistry settings(KDefaultSettings::Table());
  for (const std::string& device : options.devices) {
    const size_t equals = device.find('=');
    int32_t number = 0;
    if (equals == std::string::npos || equals + 1 >= device.size() ||
        !KNumber::ParseWholeInt(KString(device.substr(0, equals)).View(), number) || number <= 0) {
      std::cerr << "telvane-cli ports: --device wants N=PATH with N above 0, not " << device
                << "\n";
      return 2;
    }
    KString line(u"SerialPort\\Devices\\");
    line.AppendInt(number);
    line.Append(std::u16string_view(u":String="));
    line.AppendUtf8(device.substr(equals + 1));
    if (!settings.Apply(line)) {
      std::cerr << "telvane-cli ports: cannot use " << device << "\n";
      return 2;
    }
  }
  if (!options.typeMask.empty()) {
    int32_t mask = 0;
    if (!KNumber::ParseWholeInt(KString(options.typeMask).View(), mask)) {
      std::cerr << "telvane-cli ports: --type-mask wants a number, not " << options.typeMask
                << "\n";
      return 2;
    }
    KString line(u"SerialPort\\TypeMask:Int=");
    line.AppendInt(mask);
    settings.Apply(line);
  }
  KSerialPortInfo::EnumerateAtStartUp(&settings, options.noSerialPort);
  for (auto* info : KSerialPortInfo::Ports().Items<KSerialPortInfo>()) {
    json line{{"port", info->Number()},
              {"label", info->Label().ToUtf8()},
              {"subtype", info->Subtype()},
              {"device", info->Device()}};
    std::cout << line.dump(-1, ' ', false, json::error_handler_t::replace) << '\n';
  }
  KSerialPortInfo::Clear();
  return 0;
}

static CliRegistration registration{{"ports", Add, Run}};

}  // namespace
