// telvane-cli image: decode a Targa, JPEG or GIF file the way the display
// loads it, show its frames and write each one out.
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/k_buffered_file.h"
#include "base/k_x.h"
#include "config/k_default_settings.h"
#include "config/k_registry.h"
#include "render/k_bitmap.h"
#include "render/k_bitmaps.h"
#include "tools/telvane-cli/cli_png.h"
#include "tools/telvane-cli/cli_settings.h"
#include "tools/telvane-cli/command_registry.h"

namespace {

using json = nlohmann::ordered_json;

struct Options {
  std::string file;
  std::string out;
  std::string format = "png";
  std::string profile;
} options;

std::string FrameName(int index) {
  char number[16];
  std::snprintf(number, sizeof number, "-%03d.", index);
  return options.out + number + options.format;
}

bool WriteFrame(const KBitmap& frame, const std::string& path, std::string& error) {
  if (options.format == "png") {
    std::vector<uint32_t> pixels(static_cast<size_t>(frame.Width()) * frame.Height());
    for (int y = 0; y < frame.Height(); ++y) {
      for (int x = 0; x < frame.Width(); ++x) {
        uint8_t red = 0, green = 0, blue = 0;
        frame.GetPixel(x, y, red, green, blue);
        pixels[static_cast<size_t>(y) * frame.Width() + x] =
            static_cast<uint32_t>(red) << 16 | green << 8 | blue;
      }
    }
    return CliWritePng(path, frame.Width(), frame.Height(), pixels.data(), error);
  }
  // Targa and JPEG through the program's own writers, chosen by the name.
  try {
    KBufferedFile file(KString(path), 4096);
    file.Open(KFile::kWrite, KFile::kOpenOrCreate);
    file.SetSize(0);
    frame.Save(file);
    file.Flush();
    return true;
  } catch (const KX& e) {
    error = "cannot write " + path + " (" + std::to_string(e.Code()) + ")";
    return false;
  }
}

int Run() {
  if (options.format != "png" && options.format != "tga" && options.format != "jpg") {
    std::cerr << "telvane-cli image: --format is png, tga or jpg\n";
    return 1;
  }
  KRegistry registry(KDefaultSettings::Table());
  if (!CliLoadProfile(registry, options.profile, "image")) return 1;

  KBitmaps frames(KBitmap::kDisplayFormat, KBitmap::kHeap, &registry);
  try {
    KBufferedFile file(KString(options.file), 4096);
    file.Open(KFile::kRead, KFile::kOpenExisting);
    frames.Load(file);
  } catch (const KX& e) {
    std::cerr << "telvane-cli image: cannot read " << options.file << " (error " << e.Code()
              << ")\n";
    return 1;
  }

  json list = json::array();
  int index = 0;
  for (const KBitmap* frame : frames) {
    json entry = {{"index", index},
                  {"width", frame->Width()},
                  {"height", frame->Height()},
                  {"delay_ms", frame->Delay()}};
    if (!options.out.empty()) {
      const std::string path = FrameName(index);
      std::string error;
      if (!WriteFrame(*frame, path, error)) {
        std::cerr << "telvane-cli image: " << error << "\n";
        return 1;
      }
      entry["file"] = path;
    }
    list.push_back(entry);
    ++index;
  }
  const json result = {{"file", options.file},
                       {"frames", frames.Count()},
                       {"loop_count", frames.LoopCount()},
                       {"frame_list", list}};
  std::cout << result.dump(-1, ' ', false, json::error_handler_t::replace) << '\n';
  return 0;
}

CLI::App* Add(CLI::App& app) {
  options = Options{};
  CLI::App* sub = app.add_subcommand("image", "Decode a Targa, JPEG or GIF file into its frames");
  sub->add_option("file", options.file, "the picture (*.tga, *.jpg, *.gif)")->required();
  sub->add_option("--out", options.out, "write frame i to PREFIX-iii.FORMAT");
  sub->add_option("--format", options.format, "format of the written frames: png, tga or jpg");
  sub->add_option("--profile", options.profile, "settings file (\\Display\\GIFUseBg applies)");
  return sub;
}

static CliRegistration registration{{"image", Add, Run}};

}  // namespace
