// telvane-cli fnt: make sport font files from an outline font, and show
// what a sport font file holds.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "render/k_3d_fonts.h"
#include "render/k_3d_sport_font_maker.h"
#include "render/k_3d_sport_size.h"
#include "render/k_3d_system_font.h"
#include "tools/telvane-cli/command_registry.h"

namespace {

using json = nlohmann::ordered_json;

struct Options {
  std::string font;
  std::string file;
  std::string out;
  int size = 0;
  bool text = false;
  CLI::App* make = nullptr;
  CLI::App* dump = nullptr;
} options;

void Print(const json& line) {
  std::cout << line.dump(-1, ' ', false, json::error_handler_t::replace) << '\n';
}

int Make() {
  K3DFonts fonts;
  auto* font = new K3DSystemFont(KString("fnt"), options.font);
  fonts.Append(font);
  if (!font->HasCharacter(u' ')) {
    std::cerr << "telvane-cli fnt: not a usable outline font (or no space glyph): " << options.font
              << "\n";
    return 1;
  }
  std::vector<uint8_t> bytes;
  std::string error;
  if (!K3DSportFontMaker::Make(*font, options.size, bytes, error)) {
    std::cerr << "telvane-cli fnt: " << error << "\n";
    return 1;
  }
  std::ofstream out(options.out, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::cerr << "telvane-cli fnt: cannot write " << options.out << "\n";
    return 1;
  }
  K3DSportSize check;
  const int glyphs = check.Parse(bytes.data(), bytes.size());
  Print({{"out", options.out},
         {"size", check.SpaceHeight()},
         {"glyphs", glyphs},
         {"bytes", bytes.size()}});
  return 0;
}

int Dump() {
  std::ifstream in(options.file, std::ios::binary);
  if (!in) {
    std::cerr << "telvane-cli fnt: cannot read " << options.file << "\n";
    return 1;
  }
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>()};
  K3DSportSize size;
  const int glyphs = size.Parse(bytes.data(), bytes.size());
  if (!options.text) {
    Print({{"file", options.file}, {"size", size.SpaceHeight()}, {"glyphs", glyphs}});
  } else {
    std::cout << options.file << ": size " << size.SpaceHeight() << ", " << glyphs << " glyphs\n";
  }
  for (const auto* glyph : size.Glyphs().Items<K3DSportGlyph>()) {
    std::vector<std::string> rows;
    for (int y = 0; y < glyph->Height(); ++y) {
      std::string row;
      for (int x = 0; x < glyph->Width(); ++x) {
        const int ink = glyph->InkAt(x, y);
        row += ink == 0 ? '.' : static_cast<char>('0' + ink);
      }
      rows.push_back(std::move(row));
    }
    const int code = glyph->Key();
    if (!options.text) {
      KString ch;
      ch.Append(static_cast<char16_t>(code));
      Print({{"code", code},
             {"char", ch.ToUtf8()},
             {"width", glyph->Width()},
             {"height", glyph->Height()},
             {"rows", rows}});
    } else {
      std::cout << "code " << code << " " << glyph->Width() << "x" << glyph->Height() << "\n";
      for (const std::string& row : rows) std::cout << row << "\n";
    }
  }
  return 0;
}

int Run() {
  if (options.make && options.make->parsed()) return Make();
  if (options.dump && options.dump->parsed()) return Dump();
  std::cerr << "telvane-cli fnt: choose make or dump\n";
  return 1;
}

CLI::App* Add(CLI::App& app) {
  options = Options{};
  CLI::App* sub = app.add_subcommand("fnt", "Make and show sport font files (*.fnt)");
  sub->require_subcommand(1);
  options.make = sub->add_subcommand("make", "Draw an outline font into a sport font file");
  options.make->add_option("font", options.font, "outline font file (.ttf, .otf)")->required();
  options.make->add_option("--size", options.size, "glyph height in pixels (10 to 999)")
      ->required();
  options.make->add_option("--out", options.out, "the *.fnt file to write")->required();
  options.dump = sub->add_subcommand("dump", "Print the glyphs of a sport font file");
  options.dump->add_option("file", options.file, "the *.fnt file")->required();
  options.dump->add_flag("--text", options.text, "plain text instead of JSON lines");
  return sub;
}

static CliRegistration registration{{"fnt", Add, Run}};

}  // namespace
