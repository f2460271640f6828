// Decoding a 1920 x 1080 JPEG, a 1920 x 1080 Targa and a 100-frame
// 640 x 360 GIF through KBitmaps, each against the same file decoded by a
// reference program in the same run: djpeg for the JPEG, ImageMagick for the
// others (each run includes starting the program, about a millisecond).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/k_buffered_file.h"
#include "base/k_x.h"
#include "render/k_bitmaps.h"

namespace {

// The files, made once by the reference programs themselves.
class Files {
 public:
  Files() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "telvane-bench-images-XXXXXX").string();
    dir_ = mkdtemp(pattern.data()) ? pattern : std::string();
    convert_ = access("/usr/bin/convert", X_OK) == 0 ? "/usr/bin/convert" : "convert";
    const std::string picture = Path("picture.ppm");
    WritePicture(picture, 1920, 1080, 0);
    ok_ = Shell("cjpeg -quality 85 -outfile " + Path("picture.jpg") + " " + picture) &&
          Shell(convert_ + " " + picture + " -compress none " + Path("picture.tga"));
    // Moving bars over a few-colour gradient keep the palette small.
    std::string frames;
    for (int i = 0; i < 100; ++i) {
      const std::string frame = Path("frame" + std::to_string(i) + ".ppm");
      WritePicture(frame, 640, 360, i + 1);
      frames += " " + frame;
    }
    ok_ = ok_ && Shell(convert_ + " -delay 4" + frames + " -loop 0 " + Path("anim.gif"));
  }
  ~Files() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  bool Ok() const { return ok_; }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  const std::string& Convert() const { return convert_; }

  static bool Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
  }

 private:
  // Frame 0 is a smooth photo-like picture; later frames are a 64-level
  // gradient with a bar that moves with the frame number.
  static void WritePicture(const std::string& path, int width, int height, int frame) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << width << " " << height << "\n255\n";
    std::vector<char> row(static_cast<size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        char* p = &row[static_cast<size_t>(x) * 3];
        if (frame == 0) {
          p[0] = static_cast<char>(x * 255 / width);
          p[1] = static_cast<char>((y * 255 / height) ^ ((x >> 4) & 15));
          p[2] = static_cast<char>((x + y) / 12);
        } else {
          const bool bar = ((x - frame * 6) & 127) < 24;
          p[0] = static_cast<char>(bar ? 255 : (x / 10) * 4);
          p[1] = static_cast<char>(bar ? 255 : (y / 6) * 4);
          p[2] = static_cast<char>(bar ? 0 : 128);
        }
      }
      out.write(row.data(), static_cast<std::streamsize>(row.size()));
    }
  }

  std::string dir_;
  std::string convert_;
  bool ok_ = false;
};

Files& TheFiles() {
  static Files files;
  return files;
}

void Ours(benchmark::State& state, const std::string& name, int expectedFrames,
          const std::string& family) {
  Files& files = TheFiles();
  if (!files.Ok()) {
    state.SkipWithError("the reference programs could not make the files");
    return;
  }
  for (auto _ : state) {
    KBitmaps frames;
    try {
      KBufferedFile file(KString(files.Path(name)), 4096);
      file.Open(KFile::kRead, KFile::kOpenExisting);
      frames.Load(file);
    } catch (const KX& e) {
      state.SkipWithError(("decoding failed: " + std::to_string(e.Code())).c_str());
      return;
    }
    if (frames.Count() != expectedFrames) {
      state.SkipWithError("wrong number of frames");
      return;
    }
    benchmark::DoNotOptimize(frames.First()->Pixels());
  }
  state.SetLabel("family:" + family);
}

void Reference(benchmark::State& state, const std::string& command, const std::string& family) {
  Files& files = TheFiles();
  if (!files.Ok()) {
    state.SkipWithError("the reference programs could not make the files");
    return;
  }
  for (auto _ : state) {
    if (!Files::Shell(command)) {
      state.SkipWithError("the reference program failed");
      return;
    }
  }
  state.SetLabel("baseline:" + family);
}

void BM_JpegDjpeg(benchmark::State& state) {
  Reference(state, "djpeg -outfile /dev/null " + TheFiles().Path("picture.jpg"), "jpeg1080p");
}
BENCHMARK(BM_JpegDjpeg)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_JpegKBitmaps(benchmark::State& state) {
  Ours(state, "picture.jpg", 1, "jpeg1080p");
}
BENCHMARK(BM_JpegKBitmaps)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TargaImageMagick(benchmark::State& state) {
  Reference(state,
            TheFiles().Convert() + " " + TheFiles().Path("picture.tga") + " null:", "targa1080p");
}
BENCHMARK(BM_TargaImageMagick)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TargaKBitmaps(benchmark::State& state) {
  Ours(state, "picture.tga", 1, "targa1080p");
}
BENCHMARK(BM_TargaKBitmaps)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GifImageMagick(benchmark::State& state) {
  Reference(state,
            TheFiles().Convert() + " " + TheFiles().Path("anim.gif") + " null:", "gif100x360p");
}
BENCHMARK(BM_GifImageMagick)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GifKBitmaps(benchmark::State& state) {
  Ours(state, "anim.gif", 100, "gif100x360p");
}
BENCHMARK(BM_GifKBitmaps)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
