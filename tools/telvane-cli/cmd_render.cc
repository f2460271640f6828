// telvane-cli render: draws a layout through the display pipeline onto an
// in-memory window and writes the picture, optionally after feeding a
// captured feed through a source script to the layout.
#include <cstdlib>
#include <iostream>
#include <string>

#include <nlohmann/json.hpp>

#include "base/k_buffered_file.h"
#include "base/k_file.h"
#include "base/k_memory_stream.h"
#include "base/k_x.h"
#include "config/k_default_settings.h"
#include "config/k_r_int.h"
#include "config/k_registry.h"
#include "layout/t_layout.h"
#include "layout/t_layout_services.h"
#include "layout/t_trigger.h"
#include "ports/k_capture_file.h"
#include "render/k_3d_fonts.h"
#include "render/k_memory_surface.h"
#include "render/t_display.h"
#include "render/t_display_logo.h"
#include "sources/t_command_line_collector.h"
#include "sources/t_definition_index.h"
#include "sources/t_field_string_processor.h"
#include "sources/t_fields.h"
#include "sources/t_fields_owner.h"
#include "sources/t_packet_definitions.h"
#include "sources/t_script_reader.h"
#include "sources/t_script_settings.h"
#include "sources/t_source_command.h"
#include "tools/telvane-cli/cli_png.h"
#include "tools/telvane-cli/cli_settings.h"
#include "tools/telvane-cli/command_registry.h"

namespace {

struct Options {
  std::string layout;
  std::string size = "640x480";
  int rotate = 0;
  int screens = 1;
  std::string script;
  std::string feed;
  int64_t atMs = -1;
  std::string home;
  std::string profile;
  std::string out;
} options;

int Fail(const std::string& message) {
  std::cerr << "telvane-cli render: " << message << "\n";
  return 1;
}

// The one source of the run: every packet it completes goes to the layout,
// numbered as a lone source's definitions are.
class FeedSource : public TFieldsOwner {
 public:
  explicit FeedSource(TLayout& layout) : layout_(layout) { index_.Add(definitions); }
  KString SourceName() const override { return KString("Source"); }
  TDebugEvents* DebugEvents() override { return nullptr; }
  void PacketComplete(TFields& definition) override {
    layout_.OnPacket(definition, index_.IndexOf(definition));
  }
  TPacketDefinitions definitions;

 private:
  TLayout& layout_;
  TDefinitionIndex index_;
};

// Trigger commands act on the one layout; LayoutDraw has no other to show.
void RunCommand(TLayout& layout, const KString& line) {
  const TSourceCommand command(line.View());
  if (command.GetKind() != TSourceCommand::kTrigger) return;
  static constexpr int32_t kActions[] = {TTrigger::kOn, TTrigger::kOff, TTrigger::kToggle};
  layout.OnTrigger(TTrigger(command.Name(), kActions[command.TriggerAction()]));
}

bool Feed(TLayout& layout, KRegistry& registry, uint32_t& nowMs, std::string& error) {
  TFieldStringProcessor processor;
  FeedSource source(layout);
  KBufferedFile script(KString(options.script), 4096);
  try {
    script.Open(KFile::kRead, KFile::kOpenExisting);
  } catch (const KX& failure) {
    error = "cannot open script " + options.script + " (" + std::to_string(failure.Code()) + ")";
    return false;
  }
  const TScriptSettings settings = TScriptSettings::FromRegistry(registry);
  TScriptReader(processor, settings.packetBufferSize).Load(source.definitions, &source, script);

  KBufferedFile capture(KString(options.feed), 65536);
  try {
    capture.Open(KFile::kRead, KFile::kOpenExisting);
    KCapture::Reader reader(capture);
    TCommandLineCollector collector;
    KString command;
    KCapture::Chunk chunk;
    while (reader.Next(chunk)) {
      if (options.atMs >= 0 && chunk.atUs > options.atMs * 1000) break;
      nowMs = static_cast<uint32_t>(chunk.atUs / 1000);
      // The demo feeds and most consoles send 8-bit text.
      for (const uint8_t byte : chunk.bytes) {
        const char16_t ch = byte;
        if (source.definitions.Feed(ch)) {
          collector.Reset();
        } else if (collector.Feed(ch, command) && !command.IsEmpty()) {
          RunCommand(layout, command);
        }
      }
    }
  } catch (const KX& failure) {
    error = "cannot read feed " + options.feed + " (" + std::to_string(failure.Code()) + ")";
    return false;
  }
  return true;
}

// The layout services take this run's settings; they must not outlive it.
struct ServicesReset {
  ~ServicesReset() { TLayoutServices::Get().Reset(); }
};

int Run() {
  const ServicesReset reset;
  int width = 0;
  int height = 0;
  char tail = 0;
  if (std::sscanf(options.size.c_str(), "%dx%d%c", &width, &height, &tail) != 2 || width < 1 ||
      height < 1 || width > 16384 || height > 16384) {
    return Fail("--size wants WxH with sides of 1 to 16384, not " + options.size);
  }
  if (options.script.empty() != options.feed.empty()) {
    return Fail("--script and --feed go together");
  }
  KRegistry registry(KDefaultSettings::Table());
  if (!CliLoadProfile(registry, options.profile, "render")) return 1;
  // The picture is a custom window of that size on the desktop.
  registry.LookupInt(u"\\Display\\Monitor")->Assign(-1);
  registry.LookupInt(u"\\Display\\Width")->Assign(width);
  registry.LookupInt(u"\\Display\\Height")->Assign(height);
  registry.LookupInt(u"\\Display\\Rotate")->Assign(options.rotate);
  registry.LookupInt(u"\\Display\\Screens")->Assign(options.screens);

  std::string home = options.home;
  if (home.empty()) {
    const char* environment = std::getenv("TELVANE_HOME");
    home = environment != nullptr ? environment : ".";
  }
  K3DFonts fonts(&registry, KString(std::string_view(home)));
  TLayoutServices& services = TLayoutServices::Get();
  services.ReadSettings(registry, KString(std::string_view(home + "/telvane")));
  uint32_t nowMs = 0;
  services.SetClock([&nowMs] { return nowMs; });

  TLayout layout;
  KFile file(KString(std::string_view(options.layout)));
  if (const int code = layout.Load(file, TLayout::kLoadContent); code != 0) {
    return Fail("cannot load " + options.layout + " (" + std::to_string(code) + ")");
  }
  std::string error;
  if (!options.script.empty() && !Feed(layout, registry, nowMs, error)) return Fail(error);
  if (options.atMs >= 0) nowMs = static_cast<uint32_t>(options.atMs);
  layout.ExpireTriggers();

  KMemorySurface surface(width, height);
  TDisplay display(registry, surface);
  display.SetLogo(TDisplayLogo());
  display.SetLayout(&layout, -1);
  display.Redraw();
  display.SetLayout(nullptr, -1);
  if (!CliWritePng(options.out, surface.Width(), surface.Height(), surface.Pixels(), error)) {
    return Fail(error);
  }
  std::cout << nlohmann::json{{"out", options.out},
                              {"width", width},
                              {"height", height},
                              {"objects", layout.ObjectCount()}}
                   .dump()
            << "\n";
  return 0;
}

CLI::App* Add(CLI::App& app) {
  options = Options{};
  auto* sub = app.add_subcommand("render", "Draw a layout through the display pipeline to PNG");
  sub->add_option("LAYOUT", options.layout, "layout file (*.tln)")->required();
  sub->add_option("--size", options.size, "window size WxH (default 640x480)");
  sub->add_option("--rotate", options.rotate, "0 none, 1 left, 2 right")->check(CLI::Range(0, 2));
  sub->add_option("--screens", options.screens, "side-by-side screens")->check(CLI::Range(1, 64));
  sub->add_option("--script", options.script, "source script (*.rss) for --feed");
  sub->add_option("--feed", options.feed, "captured feed (*.tvcap) played into the layout");
  sub->add_option("--at", options.atMs, "stop the feed at this many milliseconds")
      ->check(CLI::NonNegativeNumber);
  sub->add_option("--home", options.home,
                  "folder with the sport fonts (default $TELVANE_HOME or .)");
  sub->add_option("--profile", options.profile, "settings file applied over the defaults");
  sub->add_option("--out", options.out, "PNG file to write")->required();
  return sub;
}

static CliRegistration registration{{"render", Add, Run}};

}  // namespace
