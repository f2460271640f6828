// telvane-cli vdisplay: runs a video display command stream on a board of a
// given size and writes what the display would show after the last
// "LayoutFlush". On the command line DC2 is written ^R and DC4 ^T (their
// control-key names), ^^ is a caret; raw DC2 and DC4 bytes work as well.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/k_string.h"
#include "base/k_utf8.h"
#include "config/k_default_settings.h"
#include "config/k_registry.h"
#include "layout/k_video_display.h"
#include "layout/t_layout_services.h"
#include "render/k_3d_fonts.h"
#include "tools/telvane-cli/cli_png.h"
#include "tools/telvane-cli/cli_settings.h"
#include "tools/telvane-cli/command_registry.h"

namespace {

struct Options {
  std::string commands;
  std::string size = "640x480";
  int rotate = 0;
  std::string home;
  std::string profile;
  std::vector<std::string> fontFiles;
  std::string out;
} options;

int Fail(const std::string& message) {
  std::cerr << "telvane-cli vdisplay: " << message << "\n";
  return 1;
}

// ^R is DC2, ^T is DC4, ^^ a caret; any other caret stays as written.
std::u16string Unescape(const std::u16string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t next = i + 1 < text.size() ? text[i + 1] : u'\0';
    if (text[i] == u'^' && (next == u'R' || next == u'T' || next == u'^')) {
      out += next == u'R' ? KVideoDisplay::kStart : next == u'T' ? KVideoDisplay::kEnd : u'^';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

int Run() {
  int width = 0;
  int height = 0;
  char tail = 0;
  if (std::sscanf(options.size.c_str(), "%dx%d%c", &width, &height, &tail) != 2 || width < 1 ||
      height < 1 || width > KVideoDisplay::kMaxSide || height > KVideoDisplay::kMaxSide) {
    return Fail("--size wants WxH with sides of 1 to 16384, not " + options.size);
  }
  std::string stream = options.commands;
  if (stream == "-") {
    stream.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  }
  KRegistry registry(KDefaultSettings::Table());
  if (!CliLoadProfile(registry, options.profile, "vdisplay")) return 1;
  for (const std::string& file : options.fontFiles) {
    if (!K3DFonts::AddFontFile(file)) return Fail("cannot use font file " + file);
  }
  std::string home = options.home;
  if (home.empty()) {
    const char* environment = std::getenv("TELVANE_HOME");
    home = environment != nullptr ? environment : ".";
  }
  K3DFonts fonts(&registry, KString(std::string_view(home)));
  // Pictures named without a folder are read from the home.
  TLayoutServices& services = TLayoutServices::Get();
  services.ReadSettings(registry, KString(std::string_view(home + "/telvane")));
  // The services keep the settings tree, which ends with this run.
  struct Forget {
    ~Forget() { TLayoutServices::Get().Reset(); }
  } forget;

  KVideoDisplay display;
  display.SetCanvas(width, height, options.rotate);
  if (!display.Feed(KString(Unescape(KUtf8::ToUtf16(stream))))) {
    return Fail("no canvas of " + options.size);
  }
  const bool flushed = display.TakeFlush();
  const uint32_t* shown = display.ShownPixels();
  if (shown == nullptr) return Fail("no memory for a canvas of " + options.size);
  std::string error;
  if (!CliWritePng(options.out, display.CanvasWidth(), display.CanvasHeight(), shown, error)) {
    return Fail(error);
  }
  std::cout << nlohmann::ordered_json{{"out", options.out},
                                      {"width", display.CanvasWidth()},
                                      {"height", display.CanvasHeight()},
                                      {"columns", display.Columns()},
                                      {"rows", display.Rows()},
                                      {"flushed", flushed}}
                   .dump()
            << "\n";
  return 0;
}

CLI::App* Add(CLI::App& app) {
  options = Options{};
  auto* sub = app.add_subcommand(
      "vdisplay", "Run a video display command stream and write what a flush shows to PNG");
  sub->add_option("COMMANDS", options.commands,
                  "the command stream, ^R for DC2 and ^T for DC4 (^^ a caret), or - for stdin")
      ->required();
  sub->add_option("--size", options.size, "board size WxH (default 640x480)");
  sub->add_option("--rotate", options.rotate, "0 none, 1 left, 2 right")->check(CLI::Range(0, 2));
  sub->add_option("--home", options.home,
                  "folder of the sport fonts and of pictures named without a folder "
                  "(default $TELVANE_HOME, else .)");
  sub->add_option("--profile", options.profile, "settings file applied over the defaults");
  sub->add_option("--font-file", options.fontFiles, "make one more font file known (repeatable)");
  sub->add_option("--out", options.out, "PNG file to write")->required();
  return sub;
}

static CliRegistration registration{{"vdisplay", Add, Run}};

}  // namespace
