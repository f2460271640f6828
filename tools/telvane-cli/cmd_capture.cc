// telvane-cli capture: records what a port receives, with arrival times, so
// a venue's feed can be replayed later without its console.
#include <chrono>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/k_buffered_file.h"
#include "base/k_x.h"
#include "ports/k_capture_file.h"
#include "tools/telvane-cli/cli_port.h"
#include "tools/telvane-cli/command_registry.h"

namespace {

struct Options {
  std::string spec;
  std::string out;
  double seconds = 0;
  std::vector<std::string> devices;
} options;

CLI::App* Add(CLI::App& app) {
  auto* sub = app.add_subcommand("capture", "Record every byte a port receives, with its timing");
  sub->add_option("spec", options.spec, "Port specification, e.g. -2,0.0.0.0,2000")->required();
  sub->add_option("--out", options.out, "Capture file to write")->required();
  sub->add_option("--seconds", options.seconds, "Stop after this long (default: at Ctrl+C)");
  sub->add_option("--device", options.devices, "COM port device, N=PATH (repeatable)");
  return sub;
}

int Run() {
  CliWatchStopSignals();
  CliPort port(options.spec, options.devices);
  if (!port.Valid()) {
    std::cerr << "telvane-cli capture: cannot open port " << options.spec << "\n";
    return 2;
  }
  KBufferedFile file(KString(options.out), 4096);
  try {
    file.Open(KFile::kWrite, KFile::kOpenOrCreate);
    file.SetSize(0);
  } catch (const KX& error) {
    std::cerr << "telvane-cli capture: error " << error.Code() << " creating " << options.out
              << "\n";
    return 1;
  }
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  const auto limit = std::chrono::duration<double>(options.seconds);
  int64_t bytes = 0;
  int64_t chunks = 0;
  try {
    KCapture::Writer writer(file);
    std::vector<uint8_t> block;
    while (!CliStopRequested() && (options.seconds <= 0 || Clock::now() - start < limit)) {
      block.clear();
      if (port.IsOpen()) {
        uint8_t byte = 0;
        try {
          // Everything waiting now is one chunk with one arrival time.
          while (block.size() < static_cast<size_t>(KCapture::kMaxChunkBytes)) {
            port.Stream().Read(&byte, 1);
            block.push_back(byte);
          }
        } catch (const KX&) {
        }
      }
      if (block.empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        continue;
      }
      const auto atUs =
          std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
      writer.Add(atUs, block.data(), static_cast<int>(block.size()));
      // Each chunk reaches the file at once: a capture cut off by a crash
      // still reads back to its last chunk.
      file.Flush();
      bytes += static_cast<int64_t>(block.size());
      ++chunks;
    }
    file.Flush();
    file.Close();
  } catch (const KX& error) {
    std::cerr << "telvane-cli capture: error " << error.Code() << " writing " << options.out
              << "\n";
    return 1;
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::cout << nlohmann::json{{"type", "capture"},
                              {"file", options.out},
                              {"bytes", bytes},
                              {"chunks", chunks},
                              {"seconds", seconds}}
                   .dump()
            << "\n";
  return 0;
}

const CliRegistration registration{{"capture", Add, Run}};

}  // namespace
