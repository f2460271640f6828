// telvane-cli send: plays a capture (or plain bytes at a fixed rate) to a
// port with its recorded timing, as a timing console would.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/k_memory_stream.h"
#include "base/k_x.h"
#include "ports/k_capture_file.h"
#include "tools/telvane-cli/cli_port.h"
#include "tools/telvane-cli/command_registry.h"

namespace {

struct Options {
  std::string spec;
  std::string file;
  double speed = 1.0;
  double rate = 960;  // bytes per second of a 9600-baud line
  bool loop = false;
  double waitSeconds = 0;
  std::vector<std::string> devices;
} options;

// Playback between a thousand times slower and faster; rates from one byte
// a second to a gigabyte. Outside these the timing arithmetic means nothing.
constexpr double kMinSpeed = 0.001;
constexpr double kMaxSpeed = 1000;
constexpr double kMinRate = 1;
constexpr double kMaxRate = 1e9;

// A finite number within [low, high]; NaN and infinities fail, which the
// usual range checks let through.
CLI::Validator FiniteRange(double low, double high) {
  return CLI::Validator(
      [low, high](std::string& text) -> std::string {
        double value = 0;
        try {
          size_t used = 0;
          value = std::stod(text, &used);
          if (used != text.size()) return "not a number: " + text;
        } catch (const std::exception&) {
          return "not a number: " + text;
        }
        if (!std::isfinite(value) || value < low || value > high) {
          return "must lie between " + std::to_string(low) + " and " + std::to_string(high);
        }
        return {};
      },
      "FINITE in [" + std::to_string(low) + "," + std::to_string(high) + "]");
}

CLI::App* Add(CLI::App& app) {
  options = Options{};  // the tool may be run more than once in one process
  auto* sub = app.add_subcommand("send", "Play a capture or a byte file to a port with its timing");
  sub->add_option("spec", options.spec, "Port specification, e.g. -1,127.0.0.1,2000")->required();
  sub->add_option("file", options.file, "Capture file, or any file of plain bytes")->required();
  sub->add_option("--speed", options.speed, "Playback speed factor (2 = twice as fast)")
      ->check(FiniteRange(kMinSpeed, kMaxSpeed));
  sub->add_option("--rate", options.rate, "Bytes per second for a plain byte file")
      ->check(FiniteRange(kMinRate, kMaxRate));
  sub->add_flag("--loop", options.loop, "Start again at the end until stopped");
  sub->add_option("--wait-seconds", options.waitSeconds,
                  "Give up when the port is not open within this long (default: wait for ever)")
      ->check(FiniteRange(0, 1e9));
  sub->add_option("--device", options.devices, "COM port device, N=PATH (repeatable)");
  return sub;
}

std::vector<KCapture::Chunk> LoadChunks(const std::vector<uint8_t>& bytes, bool& truncated) {
  std::vector<KCapture::Chunk> chunks;
  if (KCapture::Reader::LooksLikeCapture(bytes.data(), bytes.size())) {
    KMemoryStream stream(bytes);
    KCapture::Reader reader(stream);
    KCapture::Chunk chunk;
    while (reader.Next(chunk)) chunks.push_back(chunk);
    truncated = reader.Truncated();
    return chunks;
  }
  // Plain bytes: pieces of 10 ms at the given rate.
  const size_t piece = std::max<size_t>(1, static_cast<size_t>(options.rate / 100));
  for (size_t at = 0; at < bytes.size(); at += piece) {
    KCapture::Chunk chunk;
    chunk.atUs = static_cast<int64_t>(static_cast<double>(at) * 1e6 / options.rate);
    chunk.bytes.assign(
        bytes.begin() + static_cast<std::ptrdiff_t>(at),
        bytes.begin() + static_cast<std::ptrdiff_t>(std::min(at + piece, bytes.size())));
    chunks.push_back(std::move(chunk));
  }
  return chunks;
}

using Clock = std::chrono::steady_clock;

// Sleeps until `due` in short steps, so SIGINT or SIGTERM ends even an hour's
// gap in a capture at once; false when asked to stop.
bool SleepUntil(Clock::time_point due) {
  for (;;) {
    if (CliStopRequested()) return false;
    const auto now = Clock::now();
    if (now >= due) return true;
    std::this_thread::sleep_for(
        std::min<Clock::duration>(due - now, std::chrono::milliseconds(20)));
  }
}

// Waits for a connection (a listener waits for the program to connect).
bool WaitOpen(CliPort& port, Clock::time_point giveUp) {
  while (!port.IsOpen()) {
    if (CliStopRequested() || (options.waitSeconds > 0 && Clock::now() > giveUp)) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

int Run() {
  CliWatchStopSignals();
  std::ifstream in(options.file, std::ios::binary);
  if (!in) {
    std::cerr << "telvane-cli send: cannot read " << options.file << "\n";
    return 1;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  bool truncated = false;
  std::vector<KCapture::Chunk> chunks;
  try {
    chunks = LoadChunks(bytes, truncated);
  } catch (const KX& error) {
    std::cerr << "telvane-cli send: " << options.file << " is a damaged capture (error "
              << error.Code() << ")\n";
    return 1;
  }
  if (truncated) std::cerr << "telvane-cli send: " << options.file << " was cut short\n";

  CliPort port(options.spec, options.devices);
  if (!port.Valid()) {
    std::cerr << "telvane-cli send: cannot open port " << options.spec << "\n";
    return 2;
  }
  const auto giveUp = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                         std::chrono::duration<double>(options.waitSeconds));
  if (!WaitOpen(port, giveUp)) {
    std::cerr << "telvane-cli send: port " << options.spec << " did not open\n";
    return 3;
  }
  int64_t sent = 0;
  int64_t rounds = 0;
  do {
    const Clock::time_point start = Clock::now();
    for (const KCapture::Chunk& chunk : chunks) {
      // Held to a year: a damaged time stamp must not overflow the clock.
      const double offsetUs =
          std::min(static_cast<double>(std::max<int64_t>(chunk.atUs, 0)) / options.speed, 3.2e13);
      const auto due = start + std::chrono::duration_cast<Clock::duration>(
                                   std::chrono::duration<double, std::micro>(offsetUs));
      if (!SleepUntil(due)) break;
      if (chunk.bytes.empty()) continue;
      try {
        port.Stream().Write(chunk.bytes.data(), static_cast<int>(chunk.bytes.size()));
        port.Stream().FlushOutput();
        sent += static_cast<int64_t>(chunk.bytes.size());
      } catch (const KX&) {
        // The peer went away: wait for it to come back and go on from here.
        if (!WaitOpen(port, Clock::now() + std::chrono::hours(24 * 365))) break;
      }
    }
    ++rounds;
  } while (options.loop && !CliStopRequested());
  // Let the last bytes leave, but never hang on a peer that stopped reading.
  const auto drainUntil = Clock::now() + std::chrono::seconds(2);
  while (!port.Stream().IsDrained() && Clock::now() < drainUntil) {
    port.Stream().FlushOutput();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::cout << nlohmann::json{{"type", "send"},
                              {"file", options.file},
                              {"bytes", sent},
                              {"chunks", static_cast<int64_t>(chunks.size())},
                              {"rounds", rounds}}
                   .dump()
            << "\n";
  return 0;
}

const CliRegistration registration{{"send", Add, Run}};

}  // namespace
