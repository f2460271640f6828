// telvane-cli time: parse and format time values the way the dialogs do.
#include <cstdint>
#include <iostream>
#include <string>

#include <nlohmann/json.hpp>

#include "base/k_buffered_file.h"
#include "base/k_x.h"
#include "config/k_default_settings.h"
#include "config/k_registry.h"
#include "sources/k_time_separators.h"
#include "sources/k_time_value.h"
#include "tools/telvane-cli/cli_settings.h"
#include "tools/telvane-cli/command_registry.h"

namespace {

using json = nlohmann::ordered_json;

struct Options {
  std::string text;
  int32_t milliseconds = 0;
  std::string resolution = "1/10";
  std::string profile;
  CLI::App* parse = nullptr;
  CLI::App* format = nullptr;
} options;

void Print(const json& line) {
  std::cout << line.dump(-1, ' ', false, json::error_handler_t::replace) << '\n';
}

// A unit name, a fraction of a second from the unit table, or a count of ticks.
bool ReadResolution(const std::string& text, int64_t& ticks) {
  static const struct {
    const char* name;
    int64_t ticks;
  } kUnits[] = {{"tick", KTimeValue::kTick},
                {"1/10000", KTimeValue::kTenThousandth},
                {"1/1000", KTimeValue::kMillisecond},
                {"ms", KTimeValue::kMillisecond},
                {"1/100", KTimeValue::kHundredth},
                {"1/20", KTimeValue::kTwentieth},
                {"1/10", KTimeValue::kTenth},
                {"1/5", KTimeValue::kFifth},
                {"s", KTimeValue::kSecond},
                {"second", KTimeValue::kSecond},
                {"minute", KTimeValue::kMinute},
                {"hour", KTimeValue::kHour},
                {"day", KTimeValue::kDay}};
  for (const auto& unit : kUnits) {
    if (text == unit.name) {
      ticks = unit.ticks;
      return true;
    }
  }
  if (text.empty() || text.size() > 15 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  ticks = std::stoll(text);
  return ticks > 0 && ticks <= KTimeValue::kMax;
}

int Run() {
  KRegistry registry(KDefaultSettings::Table());
  if (!CliLoadProfile(registry, options.profile, "time")) return 1;
  const KTimeSeparators separators = KTimeSeparators::FromRegistry(registry);

  if (options.parse && options.parse->parsed()) {
    const KString text(options.text);
    KTimeValue time;
    size_t used = 0;
    if (!KTimeValue::Parse(text.View(), time, separators, &used)) {
      std::cerr << "telvane-cli time: not a time: " << options.text << "\n";
      return 1;
    }
    json line = {{"text", options.text},
                 {"value", time.Value()},
                 {"resolution", time.Resolution()},
                 {"mode", time.Mode()},
                 {"used", used},
                 {"formatted", time.Format(time.Resolution(), separators).ToUtf8()}};
    int32_t ms = 0;
    line["ms"] = KTimeValue::FieldToMilliseconds(text.View(), ms, separators) ? json(ms) : json();
    Print(line);
    return 0;
  }
  if (options.format && options.format->parsed()) {
    int64_t resolution = 0;
    if (!ReadResolution(options.resolution, resolution)) {
      std::cerr
          << "telvane-cli time: unknown resolution " << options.resolution
          << " (tick, 1/10000, 1/1000, 1/100, 1/20, 1/10, 1/5, s, minute, hour, day, or ticks)\n";
      return 1;
    }
    const KTimeValue time(int64_t{options.milliseconds} * KTimeValue::kMillisecond,
                          KTimeValue::kMillisecond);
    Print(
        {{"ms", options.milliseconds},
         {"value", time.Value()},
         {"resolution", resolution},
         {"text",
          KTimeValue::MillisecondsToField(options.milliseconds, resolution, separators).ToUtf8()}});
    return 0;
  }
  std::cerr << "telvane-cli time: choose parse or format\n";
  return 1;
}

CLI::App* Add(CLI::App& app) {
  options = Options{};  // the tool may be run more than once in one process
  CLI::App* sub = app.add_subcommand("time", "Parse and format time values");
  sub->add_option("--profile", options.profile, "settings file whose \\Strings\\Time\\ applies");
  sub->require_subcommand(1);
  options.parse = sub->add_subcommand("parse", "Read a time text such as 1:02:03.45");
  options.parse->add_option("text", options.text, "the time text")->required();
  options.format = sub->add_subcommand("format", "Show whole milliseconds as a time text");
  options.format->add_option("--ms", options.milliseconds, "milliseconds")->required();
  options.format->add_option("--resolution", options.resolution,
                             "display resolution: tick, 1/10000, 1/1000, 1/100, 1/20, 1/10, "
                             "1/5, s, minute, hour, day, or a count of ticks (1/80000 s)");
  return sub;
}

static CliRegistration registration{{"time", Add, Run}};

}  // namespace
