#include "tools/telvane-cli/cli_png.h"

#include <png.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr uint32_t kTransparent = 0xFF000000u;

struct FileCloser {
  void operator()(FILE* file) const { std::fclose(file); }
};

}  // namespace

bool CliWritePng(const std::string& path, int width, int height, const uint32_t* pixels,
                 std::string& error, bool keepTransparency) {
  if (width < 1 || height < 1 || pixels == nullptr) {
    error = "nothing to write";
    return false;
  }
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) {
    error = "cannot create " + path;
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    error = "out of memory";
    return false;
  }
  const int channels = keepTransparency ? 4 : 3;
  std::vector<png_byte> row(static_cast<size_t>(width) * channels);
  // libpng reports errors by longjmp; nothing with a destructor is created
  // between here and the end of the writing.
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    error = "cannot write " + path;
    return false;
  }
  png_init_io(png, file.get());
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               keepTransparency ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    const uint32_t* source = pixels + static_cast<size_t>(y) * width;
    png_byte* out = row.data();
    for (int x = 0; x < width; ++x) {
      const uint32_t pixel = source[x];
      const bool transparent = pixel == kTransparent;
      *out++ = transparent ? 0 : static_cast<png_byte>(pixel >> 16);
      *out++ = transparent ? 0 : static_cast<png_byte>(pixel >> 8);
      *out++ = transparent ? 0 : static_cast<png_byte>(pixel);
      if (keepTransparency) *out++ = transparent ? 0 : 255;
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}
