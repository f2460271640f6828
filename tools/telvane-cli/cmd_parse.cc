// telvane-cli parse: runs a source script over a captured feed the way a
// source does, printing packets, command lines and (with --events) the
// debug events as JSON lines.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/k_buffered_file.h"
#include "base/k_memory_stream.h"
#include "base/k_x.h"
#include "config/k_default_settings.h"
#include "config/k_registry.h"
#include "sources/t_command_line_collector.h"
#include "sources/t_debug_events.h"
#include "sources/t_definition_index.h"
#include "sources/t_field_string_processor.h"
#include "sources/t_fields.h"
#include "sources/t_fields_owner.h"
#include "sources/t_packet_definitions.h"
#include "sources/t_script_reader.h"
#include "sources/t_script_settings.h"
#include "tools/telvane-cli/cli_settings.h"
#include "tools/telvane-cli/command_registry.h"

namespace {

using json = nlohmann::ordered_json;

struct Options {
  std::string script;
  std::string input = "-";
  int charMode = 0;
  bool events = false;
  std::string name = "Source";
  std::string profile;
  int bufferSize = -1;
} options;

void Print(const json& line) {
  std::cout << line.dump(-1, ' ', false, json::error_handler_t::replace) << '\n';
}

// One source with its definitions, printing what a real source would hand
// to the layouts and the debug port.
class CliSource : public TFieldsOwner, public TDebugEvents {
 public:
  KString SourceName() const override { return name; }
  TDebugEvents* DebugEvents() override { return events ? this : nullptr; }
  void PacketComplete(TFields& definition) override {
    json fields = json::array();
    for (TField* field : definition.Fields().Items<TField>()) {
      fields.push_back({{"name", field->Name().ToUtf8()},
                        {"value", field->Value().ToUtf8()},
                        {"matched", field->Matched()}});
    }
    Print({{"type", "packet"},
           {"definition", definition.Name().ToUtf8()},
           {"index", index.IndexOf(definition)},
           {"fields", fields}});
  }
  void WriteEvent(const KString& text) override {
    Print({{"type", "event"}, {"text", text.ToUtf8()}});
  }

  KString name;
  bool events = false;
  TPacketDefinitions definitions;
  TDefinitionIndex index;
};

// The input read as it comes, so a capture of any size (or an endless pipe)
// is parsed in constant memory.
class InputStream : public KStream {
 public:
  explicit InputStream(std::streambuf* buffer) : buffer_(buffer) {}
  bool IsOpen() const override { return buffer_ != nullptr; }
  void Read(void* bytes, int count) override {
    const std::streamsize got = buffer_ ? buffer_->sgetn(static_cast<char*>(bytes), count) : 0;
    if (got < count) throw KXStream(KErrors::kFileRead, static_cast<int32_t>(got));
  }

 private:
  std::streambuf* buffer_;
};

int Run() {
  KRegistry registry(KDefaultSettings::Table());
  if (!CliLoadProfile(registry, options.profile, "parse")) return 1;
  TScriptSettings settings = TScriptSettings::FromRegistry(registry);
  if (options.bufferSize >= 0) {
    settings.packetBufferSize = std::min(options.bufferSize, TScriptSettings::kMaxPacketBufferSize);
  }

  // The program's one processor: registers carry from packet to packet.
  TFieldStringProcessor processor;
  CliSource source;
  source.name = KString(options.name);
  source.events = options.events;
  source.index.Add(source.definitions);

  KBufferedFile script(KString(options.script), 4096);
  try {
    script.Open(KFile::kRead, KFile::kOpenExisting);
  } catch (const KX& error) {
    std::cerr << "telvane-cli parse: cannot open script " << options.script << " (" << error.Code()
              << ")\n";
    return 1;
  }
  TScriptReader(processor, settings.packetBufferSize).Load(source.definitions, &source, script);

  std::ifstream file;
  std::streambuf* input = std::cin.rdbuf();
  if (options.input != "-") {
    std::error_code error;
    if (!std::filesystem::is_directory(options.input, error)) {
      file.open(options.input, std::ios::binary);
    }
    if (!file.is_open()) {
      std::cerr << "telvane-cli parse: cannot read input " << options.input << "\n";
      return 1;
    }
    input = file.rdbuf();
  }
  InputStream feed(input);
  static const int kEncodings[] = {KStream::kEncoding8Bit, KStream::kEncoding16Bit,
                                   KStream::kEncodingMultiByte};
  feed.SetReadEncoding(kEncodings[options.charMode]);
  feed.SetReadLineMode(KStream::kLineNone);

  TCommandLineCollector collector;
  KString command;
  for (;;) {
    char16_t ch = 0;
    try {
      ch = feed.ReadChar();
    } catch (const KX&) {
      break;  // the end of the capture; a partial character there is dropped
    }
    if (source.definitions.Feed(ch)) {
      collector.Reset();
    } else if (collector.Feed(ch, command) && !command.IsEmpty()) {
      Print({{"type", "command"}, {"line", command.ToUtf8()}});
    }
  }
  return 0;
}

CLI::App* Add(CLI::App& app) {
  options = Options{};  // the tool may be run more than once in one process
  CLI::App* sub = app.add_subcommand(
      "parse", "Run a source script over a byte capture; print packets, fields and command lines");
  sub->add_option("script", options.script, "source script (*.rss)")->required();
  sub->add_option("input", options.input, "captured bytes, or - for standard input");
  sub->add_option("--charmode", options.charMode,
                  "code set: 0 single byte, 1 Unicode (two bytes, low first), 2 native (UTF-8)")
      ->check(CLI::Range(0, 2));
  sub->add_flag("--events", options.events, "print the debug events (HDR, BDY, TRL)");
  sub->add_option("--name", options.name, "source name shown in the events");
  sub->add_option("--profile", options.profile,
                  "settings file whose \\Sources\\Fields\\BufferSize applies");
  sub->add_option("--buffer-size", options.bufferSize, "packet buffer capacity in characters")
      ->check(CLI::NonNegativeNumber);
  return sub;
}

static CliRegistration registration{{"parse", Add, Run}};

}  // namespace
