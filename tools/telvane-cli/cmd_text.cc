// telvane-cli text: draw one text through the display's font code onto a
// plain canvas and write it as PNG, to look at glyphs and compare them.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/k_string.h"
#include "config/k_default_settings.h"
#include "config/k_r_int.h"
#include "config/k_registry.h"
#include "render/k_3d_font_info.h"
#include "render/k_3d_fonts.h"
#include "render/k_color_table.h"
#include "tools/telvane-cli/cli_png.h"
#include "tools/telvane-cli/cli_settings.h"
#include "tools/telvane-cli/command_registry.h"

namespace {

using json = nlohmann::ordered_json;

struct Options {
  std::string text;
  std::string font;
  std::string out;
  std::string home;
  std::string profile;
  std::vector<std::string> fontFiles;
  int size = 34;
  int width = 100;
  std::optional<int> shrink;
  std::string face = "1";
  std::string border = "4";
  std::string shadow = "4";
  std::string background = "0";
  std::string canvas;
  std::optional<int> mode;
  std::optional<int> enable;
  std::optional<int> bgLight;
  int available = 0;
  int margin = 8;
} options;

// A palette index 0 to 10, or #RRGGBB for a direct colour.
bool ReadColor(const std::string& text, KColor& color) {
  if (text.size() == 7 && text[0] == '#') {
    char* end = nullptr;
    const unsigned long rgb = std::strtoul(text.c_str() + 1, &end, 16);
    if (*end != '\0') return false;
    color = KColor{KColor::kDirect | static_cast<uint32_t>(rgb)};
    return true;
  }
  if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  const int index = std::stoi(text);
  if (index > 10) return false;
  color = KColor::Palette(index);
  return true;
}

struct Canvas {
  int width = 0;
  int height = 0;
  int left = 0;
  int top = 0;
  std::vector<uint32_t> pixels;
  int blocks = 0;
};

bool CopyBlock(const uint32_t* pixels, const KRect& rect, void* user) {
  auto& canvas = *static_cast<Canvas*>(user);
  ++canvas.blocks;
  for (int y = 0; y < rect.Height(); ++y) {
    const int cy = canvas.top + rect.top + y;
    if (cy < 0 || cy >= canvas.height) continue;
    for (int x = 0; x < rect.Width(); ++x) {
      const int cx = canvas.left + rect.left + x;
      const uint32_t pixel = pixels[y * rect.Width() + x];
      if (cx < 0 || cx >= canvas.width || pixel == KColorTable::kTransparentPixel) continue;
      canvas.pixels[static_cast<size_t>(cy) * canvas.width + cx] = pixel;
    }
  }
  return true;
}

int Fail(const std::string& message) {
  std::cerr << "telvane-cli text: " << message << "\n";
  return 1;
}

int Run() {
  KRegistry registry(KDefaultSettings::Table());
  if (!CliLoadProfile(registry, options.profile, "text")) return 1;
  if (options.enable) {
    if (KRInt* node = registry.LookupInt(u"\\Display\\AntiAlias\\Enable"))
      node->SetValue(*options.enable);
  }
  if (options.bgLight) {
    if (KRInt* node = registry.LookupInt(u"\\Display\\AntiAlias\\BGLight"))
      node->SetValue(*options.bgLight);
  }
  for (const std::string& file : options.fontFiles) {
    if (!K3DFonts::AddFontFile(file)) return Fail("cannot use font file " + file);
  }
  std::string home = options.home;
  if (home.empty()) {
    const char* environment = std::getenv("TELVANE_HOME");
    home = environment != nullptr ? environment : ".";
  }
  K3DFonts fonts(&registry, KString(std::string_view(home)));
  const KString fontName{std::string_view(options.font)};
  if (fonts.Find(fontName) == nullptr) return Fail("no font named \"" + options.font + "\"");

  K3DFontInfo info;
  info.SetFont(fontName);
  info.SetSize(options.size);
  if (info.Size() != std::clamp(options.size, K3DFontInfo::kMinSize, K3DFontInfo::kMaxSize))
    return Fail("the font has no size " + std::to_string(options.size));
  info.SetWidth(options.width);
  if (options.shrink) {
    info.SetShrinkToFit(true);
    info.SetShrinkLimit(*options.shrink);
  }
  KColor face;
  KColor border;
  KColor shadow;
  KColor background;
  if (!ReadColor(options.face, face) || !ReadColor(options.border, border) ||
      !ReadColor(options.shadow, shadow) || !ReadColor(options.background, background)) {
    return Fail("a colour is a palette index 0 to 10 or #RRGGBB");
  }
  info.SetFaceColor(face);
  info.SetBorderColor(border);
  info.SetShadowColor(shadow);
  info.SetBackgroundColor(background);
  if (options.mode) info.SetTextModeOverride(*options.mode);

  KString text{std::string_view(options.text)};
  int width = options.available > 0 ? options.available : 1 << 20;
  if (!fonts.Fit(text, info, width)) return Fail("the text does not fit or has no glyphs");
  K3DSize size;
  fonts.Measure(text, info, size);

  Canvas canvas;
  canvas.left = canvas.top = std::max(0, options.margin);
  canvas.width = std::max(width, size.width) + 2 * canvas.left;
  canvas.height = std::max(size.height, info.Size()) + 2 * canvas.top;
  KColor fill = background;
  if (!options.canvas.empty() && !ReadColor(options.canvas, fill))
    return Fail("a colour is a palette index 0 to 10 or #RRGGBB");
  const uint32_t fillPixel = fill.IsTransparent() ? 0x202020u : KColorTable::Pixel(fill);
  canvas.pixels.assign(static_cast<size_t>(canvas.width) * canvas.height, fillPixel);
  if (!fonts.Draw(text, info, CopyBlock, &canvas)) return Fail("nothing was drawn");

  std::string error;
  if (!CliWritePng(options.out, canvas.width, canvas.height, canvas.pixels.data(), error))
    return Fail(error);
  std::cout << json{{"out", options.out},      {"text", text.ToUtf8()},
                    {"width", width},          {"height", size.height},
                    {"blocks", canvas.blocks}, {"charWidth", info.CharWidthCache()}}
                   .dump(-1, ' ', false, json::error_handler_t::replace)
            << '\n';
  return 0;
}

CLI::App* Add(CLI::App& app) {
  options = Options{};
  CLI::App* sub = app.add_subcommand("text", "Draw a text as 3D text into a PNG file");
  sub->add_option("text", options.text, "the text (UTF-8)")->required();
  sub->add_option("--out", options.out, "the PNG file to write")->required();
  sub->add_option("--font", options.font, "font family; empty for the sport font");
  sub->add_option("--size", options.size, "text height in pixels");
  sub->add_option("--width", options.width, "character width in percent (1 to 200)");
  sub->add_option("--shrink", options.shrink,
                  "shrink to fit the --available width, down to this percent of the width");
  sub->add_option("--available", options.available, "pixels available (fits the text into them)");
  sub->add_option("--face", options.face, "face colour: palette index 0 to 10 or #RRGGBB");
  sub->add_option("--border", options.border, "border colour");
  sub->add_option("--shadow", options.shadow, "shadow colour");
  sub->add_option("--background", options.background, "glyph background colour");
  sub->add_option("--canvas", options.canvas, "colour around and behind the text");
  sub->add_option("--mode", options.mode,
                  "0 character by character, 1 automatic, 2 the whole string as one block");
  sub->add_option("--enable", options.enable, "\\Display\\AntiAlias\\Enable");
  sub->add_option("--bglight", options.bgLight, "\\Display\\AntiAlias\\BGLight");
  sub->add_option("--font-file", options.fontFiles, "make one more font file known (repeatable)");
  sub->add_option("--home", options.home,
                  "folder with the sport fonts (*.fnt); default $TELVANE_HOME, else .");
  sub->add_option("--profile", options.profile, "settings file applied over the defaults");
  sub->add_option("--margin", options.margin, "canvas pixels around the text");
  return sub;
}

static CliRegistration registration{{"text", Add, Run}};

}  // namespace
