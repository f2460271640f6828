#pragma once

// Builders for small image files and readers of what the reference programs
// write, shared by the image tests.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "render/k_bitmap.h"

namespace image_test {

struct Rgb {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline Rgb PixelOf(const KBitmap& bitmap, int x, int y) {
  Rgb c;
  bitmap.GetPixel(x, y, c.red, c.green, c.blue);
  return c;
}

inline void PutWord(std::vector<uint8_t>& out, int value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

// A Targa header; the pixels follow as the caller appends them.
inline std::vector<uint8_t> TargaHeader(int type, int width, int height, int depth, int descriptor,
                                        int idLength = 0, int mapType = 0, int mapLength = 0,
                                        int mapBits = 0) {
  std::vector<uint8_t> out = {static_cast<uint8_t>(idLength), static_cast<uint8_t>(mapType),
                              static_cast<uint8_t>(type)};
  PutWord(out, 0);
  PutWord(out, mapLength);
  out.push_back(static_cast<uint8_t>(mapBits));
  PutWord(out, 0);
  PutWord(out, 0);
  PutWord(out, width);
  PutWord(out, height);
  out.push_back(static_cast<uint8_t>(depth));
  out.push_back(static_cast<uint8_t>(descriptor));
  return out;
}

// GIF LZW as encoders write it: a clear code first, the width growing with
// the table and a clear code whenever the table is full.
inline void LzwEncode(std::vector<uint8_t>& out, const std::vector<uint8_t>& indices, int minimum) {
  const int clear = 1 << minimum;
  std::vector<uint8_t> data;
  uint32_t bits = 0;
  int bitCount = 0;
  int width = minimum + 1;
  const auto emit = [&](int code) {
    bits |= static_cast<uint32_t>(code) << bitCount;
    bitCount += width;
    while (bitCount >= 8) {
      data.push_back(static_cast<uint8_t>(bits));
      bits >>= 8;
      bitCount -= 8;
    }
  };
  std::map<std::pair<int, int>, int> table;
  int next = clear + 2;
  emit(clear);
  const auto added = [&](bool add, int prefix, int pixel) {
    if (next < 4096) {
      if (add) table[{prefix, pixel}] = next;
      if (next == (1 << width) && width < 12) ++width;
      ++next;
    } else {
      emit(clear);
      table.clear();
      next = clear + 2;
      width = minimum + 1;
    }
  };
  if (!indices.empty()) {
    int prefix = indices[0];
    for (size_t i = 1; i < indices.size(); ++i) {
      const int pixel = indices[i];
      const auto found = table.find({prefix, pixel});
      if (found != table.end()) {
        prefix = found->second;
        continue;
      }
      emit(prefix);
      added(true, prefix, pixel);
      prefix = pixel;
    }
    emit(prefix);
    added(false, 0, 0);
  }
  emit(clear + 1);
  if (bitCount > 0) data.push_back(static_cast<uint8_t>(bits));
  out.push_back(static_cast<uint8_t>(minimum));
  for (size_t at = 0; at < data.size(); at += 255) {
    const size_t n = std::min<size_t>(255, data.size() - at);
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), data.begin() + static_cast<long>(at),
               data.begin() + static_cast<long>(at + n));
  }
  out.push_back(0);
}

class GifBuilder {
 public:
  GifBuilder(int width, int height, const std::vector<Rgb>& global = {}, int background = 0) {
    bytes_ = {'G', 'I', 'F', '8', '9', 'a'};
    PutWord(bytes_, width);
    PutWord(bytes_, height);
    bytes_.push_back(global.empty() ? 0 : static_cast<uint8_t>(0x80 | TableBits(global)));
    bytes_.push_back(static_cast<uint8_t>(background));
    bytes_.push_back(0);
    AppendTable(global);
  }

  GifBuilder& Control(int disposal, int delayHundredths, int transparent = -1) {
    bytes_.insert(bytes_.end(), {'!', 0xF9, 4});
    bytes_.push_back(static_cast<uint8_t>(disposal << 2 | (transparent >= 0 ? 1 : 0)));
    PutWord(bytes_, delayHundredths);
    bytes_.push_back(static_cast<uint8_t>(transparent >= 0 ? transparent : 0));
    bytes_.push_back(0);
    return *this;
  }

  GifBuilder& Loop(int count) {
    bytes_.insert(bytes_.end(), {'!', 0xFF, 11});
    for (const char c : std::string("NETSCAPE2.0")) bytes_.push_back(static_cast<uint8_t>(c));
    bytes_.insert(bytes_.end(), {3, 1});
    PutWord(bytes_, count);
    bytes_.push_back(0);
    return *this;
  }

  GifBuilder& Comment(const std::string& text) {
    bytes_.insert(bytes_.end(), {'!', 0xFE, static_cast<uint8_t>(text.size())});
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    bytes_.push_back(0);
    return *this;
  }

  // `indices` in file order: for an interlaced image, row by row of the passes.
  GifBuilder& Image(int left, int top, int width, int height, const std::vector<uint8_t>& indices,
                    const std::vector<Rgb>& local = {}, bool interlaced = false, int minimum = 8) {
    bytes_.push_back(',');
    PutWord(bytes_, left);
    PutWord(bytes_, top);
    PutWord(bytes_, width);
    PutWord(bytes_, height);
    int flags = interlaced ? 0x40 : 0;
    if (!local.empty()) flags |= 0x80 | TableBits(local);
    bytes_.push_back(static_cast<uint8_t>(flags));
    AppendTable(local);
    LzwEncode(bytes_, indices, minimum);
    return *this;
  }

  GifBuilder& Raw(const std::vector<uint8_t>& bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
  }

  std::vector<uint8_t> Finish() {
    bytes_.push_back(';');
    return bytes_;
  }

 private:
  static int TableBits(const std::vector<Rgb>& table) {
    int bits = 0;
    while ((2 << bits) < static_cast<int>(table.size())) ++bits;
    return bits;
  }
  void AppendTable(const std::vector<Rgb>& table) {
    if (table.empty()) return;
    const size_t entries = size_t{2} << TableBits(table);
    for (size_t i = 0; i < entries; ++i) {
      const Rgb c = i < table.size() ? table[i] : Rgb{};
      bytes_.insert(bytes_.end(), {c.red, c.green, c.blue});
    }
  }

  std::vector<uint8_t> bytes_;
};

// File order of an interlaced image's rows.
inline std::vector<int> InterlacedRows(int height) {
  std::vector<int> rows;
  const int start[4] = {0, 4, 2, 1};
  const int step[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass) {
    for (int y = start[pass]; y < height; y += step[pass]) rows.push_back(y);
  }
  return rows;
}

// Pseudo-random but smooth enough for JPEG to keep: gradients with noise.
inline std::vector<Rgb> TestPicture(int width, int height, uint32_t seed) {
  std::vector<Rgb> pixels(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int noise = static_cast<int>(seed >> 28);
      pixels[static_cast<size_t>(y) * width + x] = {
          static_cast<uint8_t>((x * 255 / std::max(1, width - 1) + noise) & 0xFF),
          static_cast<uint8_t>((y * 255 / std::max(1, height - 1)) ^ noise),
          static_cast<uint8_t>(((x + y) * 3 + noise * 7) & 0xFF)};
    }
  }
  return pixels;
}

// A binary PNM picture (P6, or P5 grey, maxval 255) as RGB pixels.
struct Pnm {
  int width = 0;
  int height = 0;
  std::vector<Rgb> pixels;
  Rgb At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

inline std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline bool ReadPnm(const std::string& path, Pnm& pnm) {
  const std::vector<uint8_t> bytes = ReadFile(path);
  size_t at = 0;
  const auto token = [&]() {
    std::string text;
    while (at < bytes.size()) {
      const char c = static_cast<char>(bytes[at]);
      if (c == '#') {
        while (at < bytes.size() && bytes[at] != '\n') ++at;
      } else if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
        ++at;
        if (!text.empty()) return text;
      } else {
        text += c;
        ++at;
      }
    }
    return text;
  };
  const std::string magic = token();
  if (magic != "P6" && magic != "P5") return false;
  pnm.width = std::atoi(token().c_str());
  pnm.height = std::atoi(token().c_str());
  if (std::atoi(token().c_str()) != 255) return false;
  const size_t channels = magic == "P6" ? 3 : 1;
  const size_t count = static_cast<size_t>(pnm.width) * pnm.height;
  if (bytes.size() < at + count * channels) return false;
  pnm.pixels.resize(count);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* p = &bytes[at + i * channels];
    pnm.pixels[i] = channels == 3 ? Rgb{p[0], p[1], p[2]} : Rgb{p[0], p[0], p[0]};
  }
  return true;
}

inline void WritePpm(const std::string& path, int width, int height, const std::vector<Rgb>& px) {
  std::vector<uint8_t> out;
  const std::string head =
      "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  out.assign(head.begin(), head.end());
  for (const Rgb& c : px) out.insert(out.end(), {c.red, c.green, c.blue});
  WriteFile(path, out);
}

// Whether a program is on the PATH.
inline bool HasTool(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t colon = dirs.find(':', start);
    const std::string dir = dirs.substr(start, colon == std::string::npos ? colon : colon - start);
    if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0) return true;
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return false;
}

inline bool RunTool(const std::string& command) {
  return std::system((command + " 2>/dev/null").c_str()) == 0;
}

}  // namespace image_test
