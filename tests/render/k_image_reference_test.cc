// The readers against other programs on this machine: files made by
// ImageMagick, libjpeg-turbo's cjpeg and giflib, decoded by us and by those
// programs' own decoders, compared pixel for pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/k_buffered_file.h"
#include "base/k_memory_stream.h"
#include "render/k_bitmap.h"
#include "render/k_bitmaps.h"
#include "render/k_jpeg_codec.h"
#include "tests/base/temp_dir.h"
#include "tests/render/image_test_support.h"

namespace {

using image_test::HasTool;
using image_test::PixelOf;
using image_test::Pnm;
using image_test::Rgb;
using image_test::RunTool;

#define REQUIRE_TOOLS(...)                         \
  for (const char* tool : {__VA_ARGS__}) {         \
    if (!HasTool(tool)) {                          \
      GTEST_SKIP() << tool << " is not installed"; \
    }                                              \
  }

class ImageReference : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_.Path() + "/" + name; }

  // A test picture as a PPM file for the other programs to encode.
  std::string Picture(const std::string& name, int width, int height, uint32_t seed) {
    image_test::WritePpm(Path(name), width, height, image_test::TestPicture(width, height, seed));
    return Path(name);
  }

  std::unique_ptr<KBitmaps> Load(const std::string& name,
                                 uint32_t format = KBitmap::kDisplayFormat) {
    auto frames = std::make_unique<KBitmaps>(format);
    KBufferedFile file(KString(Path(name)), 4096);
    file.Open(KFile::kRead, KFile::kOpenExisting);
    frames->Load(file);
    return frames;
  }

  Pnm Reference(const std::string& name) {
    Pnm pnm;
    EXPECT_TRUE(image_test::ReadPnm(Path(name), pnm)) << name;
    return pnm;
  }

  // Largest channel difference; sizes must match.
  static int MaxDifference(const KBitmap& bitmap, const Pnm& reference) {
    EXPECT_EQ(bitmap.Width(), reference.width);
    EXPECT_EQ(bitmap.Height(), reference.height);
    if (bitmap.Width() != reference.width || bitmap.Height() != reference.height) return 256;
    int worst = 0;
    for (int y = 0; y < reference.height; ++y) {
      for (int x = 0; x < reference.width; ++x) {
        const Rgb ours = PixelOf(bitmap, x, y), theirs = reference.At(x, y);
        worst = std::max({worst, std::abs(ours.red - theirs.red),
                          std::abs(ours.green - theirs.green), std::abs(ours.blue - theirs.blue)});
      }
    }
    return worst;
  }

  static double MeanDifference(const KBitmap& a, const KBitmap& b) {
    double sum = 0;
    for (int y = 0; y < a.Height(); ++y) {
      for (int x = 0; x < a.Width(); ++x) {
        const Rgb p = PixelOf(a, x, y), q = PixelOf(b, x, y);
        sum += std::abs(p.red - q.red) + std::abs(p.green - q.green) + std::abs(p.blue - q.blue);
      }
    }
    return sum / (3.0 * a.Width() * a.Height());
  }

  // Coalesced frames of ImageMagick, transparent parts on black, are what
  // our frames hold with the default black background.
  void ExpectFramesMatch(const KBitmaps& frames, const std::string& gif, int count) {
    ASSERT_TRUE(RunTool("convert " + Path(gif) + " -coalesce -background black -alpha remove " +
                        Path(gif + "_%d.ppm")));
    ASSERT_EQ(frames.Count(), count);
    for (int i = 0; i < count; ++i) {
      EXPECT_EQ(MaxDifference(*frames.At(i), Reference(gif + "_" + std::to_string(i) + ".ppm")), 0)
          << gif << " frame " << i;
    }
  }

  TempDir dir_;
};

TEST_F(ImageReference, TargaFromImageMagick) {
  REQUIRE_TOOLS("convert");
  const std::string source = Picture("t.ppm", 37, 23, 1);
  // ImageMagick keeps a Targa's rows as stored and records the origin
  // beside them; -auto-orient applies it, which makes it a reference.
  const struct {
    const char* name;
    const char* options;
    int depth;
    int descriptor;
  } cases[] = {
      {"bottom-left.tga", "-orient BottomLeft", 24, 0},
      {"top-left.tga", "-orient TopLeft", 24, 32},
      {"top-right.tga", "-orient TopRight", 24, 48},
      {"bottom-right.tga", "-orient BottomRight", 24, 16},
      {"alpha.tga", "-alpha opaque", 32, 0},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(RunTool("convert " + source + " " + c.options + " -compress none " + Path(c.name)));
    const std::vector<uint8_t> header = image_test::ReadFile(Path(c.name));
    ASSERT_GE(header.size(), 18u);
    EXPECT_EQ(header[16], c.depth) << c.name;
    EXPECT_EQ(header[17] & 0x30, c.descriptor) << c.name;
    ASSERT_TRUE(RunTool(std::string("convert ") + Path(c.name) +
                        " -auto-orient -alpha off -depth 8 " + Path("ref.ppm")));
    const auto frames = Load(c.name);
    ASSERT_EQ(frames->Count(), 1);
    EXPECT_EQ(MaxDifference(*frames->First(), Reference("ref.ppm")), 0) << c.name;
  }
}

TEST_F(ImageReference, JpegFromCjpegMatchesDjpeg) {
  REQUIRE_TOOLS("cjpeg", "djpeg");
  // Odd sizes leave partial blocks at the right and bottom edges.
  const std::string source = Picture("j.ppm", 61, 45, 2);
  const char* variants[] = {
      "",           "-quality 20", "-quality 100", "-progressive", "-sample 1x1", "-sample 2x1",
      "-restart 1", "-optimize",   "-arithmetic",  "-grayscale"};
  int index = 0;
  for (const char* options : variants) {
    const std::string name = "v" + std::to_string(index++) + ".jpg";
    ASSERT_TRUE(RunTool(std::string("cjpeg ") + options + " -outfile " + Path(name) + " " + source))
        << options;
    ASSERT_TRUE(RunTool("djpeg -pnm -outfile " + Path("ref.pnm") + " " + Path(name)));
    const auto frames = Load(name);
    ASSERT_EQ(frames->Count(), 1);
    EXPECT_LE(MaxDifference(*frames->First(), Reference("ref.pnm")), 1) << options;
  }
  // A grey file into a grey bitmap.
  ASSERT_TRUE(RunTool("djpeg -pnm -outfile " + Path("grey.pgm") + " " + Path("v9.jpg")));
  const auto grey = Load("v9.jpg", KBitmap::kDepth8);
  EXPECT_LE(MaxDifference(*grey->First(), Reference("grey.pgm")), 1);
}

TEST_F(ImageReference, JpegWeWriteDecodesTheSameInDjpeg) {
  REQUIRE_TOOLS("convert", "djpeg");
  const std::string source = Picture("w.ppm", 50, 34, 3);
  ASSERT_TRUE(RunTool("convert " + source + " -compress none " + Path("w.tga")));
  const auto picture = Load("w.tga");
  double lowQualityLoss = 0;
  for (const int quality : {-1, 30, 95}) {
    picture->First()->SetJpegQuality(quality);
    {
      KBufferedFile out(KString(Path("ours.jpg")), 4096);
      out.Open(KFile::kWrite, KFile::kOpenOrCreate);
      out.SetSize(0);
      picture->First()->Save(out);
      out.Flush();
    }
    ASSERT_TRUE(RunTool("djpeg -pnm -outfile " + Path("ours.ppm") + " " + Path("ours.jpg")));
    const auto back = Load("ours.jpg");
    EXPECT_LE(MaxDifference(*back->First(), Reference("ours.ppm")), 1) << quality;
    // Noise in every channel loses much at any quality with the default
    // chroma subsampling, but less the higher the quality.
    const double loss = MeanDifference(*back->First(), *picture->First());
    if (quality == 30) lowQualityLoss = loss;
    if (quality == 95) {
      EXPECT_LT(loss, lowQualityLoss);
    }
  }
}

TEST_F(ImageReference, AnimatedGifFromImageMagickWithEveryDisposal) {
  REQUIRE_TOOLS("convert");
  Picture("f0.ppm", 40, 30, 4);
  Picture("f1.ppm", 12, 9, 5);
  Picture("f2.ppm", 10, 6, 6);
  Picture("f3.ppm", 8, 8, 7);
  // A frame with transparent parts.
  ASSERT_TRUE(
      RunTool("convert -size 10x6 xc:none -fill blue -draw 'rectangle 2,1 6,4' " + Path("f4.png")));
  const std::string frames = Path("f0.ppm") + " -dispose previous -page +5+4 " + Path("f1.ppm") +
                             " -dispose background -page +10+2 " + Path("f2.ppm") +
                             " -dispose none -page +20+15 " + Path("f3.ppm") +
                             " -dispose none -page +3+3 " + Path("f4.png") +
                             " -dispose previous -page +25+1 " + Path("f1.ppm") +
                             " -dispose none -page +1+18 " + Path("f2.ppm");
  for (const char* interlace : {"None", "Line"}) {
    const std::string gif = std::string("anim-") + interlace + ".gif";
    ASSERT_TRUE(RunTool("convert -delay 7 -dispose none " + frames + " -interlace " + interlace +
                        " -loop 3 " + Path(gif)));
    const auto decoded = Load(gif);
    // The count as the file stores it (ImageMagick writes one less than asked).
    const std::vector<uint8_t> bytes = image_test::ReadFile(Path(gif));
    const std::string text(bytes.begin(), bytes.end());
    const size_t netscape = text.find("NETSCAPE2.0");
    ASSERT_NE(netscape, std::string::npos);
    EXPECT_EQ(decoded->LoopCount(), bytes[netscape + 13] | bytes[netscape + 14] << 8);
    EXPECT_GT(decoded->LoopCount(), 0);
    for (const KBitmap* frame : *decoded) EXPECT_EQ(frame->Delay(), 70);
    ExpectFramesMatch(*decoded, gif, 7);
  }
}

TEST_F(ImageReference, FullPaletteGifMatchesImageMagickAndGiflib) {
  REQUIRE_TOOLS("convert", "gif2rgb");
  // Noise over 256 colours drives the code table to 12 bits and clears.
  const std::string source = Picture("n.ppm", 203, 151, 8);
  ASSERT_TRUE(RunTool("convert " + source + " -colors 256 " + Path("n.gif")));
  const auto decoded = Load("n.gif");
  ASSERT_EQ(decoded->Count(), 1);
  ASSERT_TRUE(RunTool("convert " + Path("n.gif") + " " + Path("n-ref.ppm")));
  EXPECT_EQ(MaxDifference(*decoded->First(), Reference("n-ref.ppm")), 0);

  ASSERT_TRUE(RunTool("gif2rgb -1 -o " + Path("n.rgb") + " " + Path("n.gif")));
  const std::vector<uint8_t> rgb = image_test::ReadFile(Path("n.rgb"));
  ASSERT_EQ(rgb.size(), 203u * 151u * 3u);
  int mismatches = 0;
  for (int y = 0; y < 151; ++y) {
    for (int x = 0; x < 203; ++x) {
      const uint8_t* p = &rgb[(static_cast<size_t>(y) * 203 + x) * 3];
      if (PixelOf(*decoded->First(), x, y) != Rgb{p[0], p[1], p[2]}) ++mismatches;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST_F(ImageReference, GifWeBuildDecodesAlikeInImageMagick) {
  REQUIRE_TOOLS("convert");
  // Our own encoder's long runs and full tables, read by both decoders.
  std::vector<Rgb> colours(256);
  for (int i = 0; i < 256; ++i) {
    colours[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i * 7),
                  static_cast<uint8_t>(255 - i)};
  }
  const int width = 120, height = 90;
  std::vector<uint8_t> indices(static_cast<size_t>(width) * height);
  uint32_t seed = 9;
  for (size_t i = 0; i < indices.size(); ++i) {
    seed = seed * 1103515245u + 12345u;
    indices[i] = (i / 1500) % 2 ? static_cast<uint8_t>(seed >> 16) : static_cast<uint8_t>(i / 400);
  }
  image_test::WriteFile(
      Path("ours.gif"),
      image_test::GifBuilder(width, height, colours).Image(0, 0, width, height, indices).Finish());
  ASSERT_TRUE(RunTool("convert " + Path("ours.gif") + " " + Path("ours.ppm")));
  const auto decoded = Load("ours.gif");
  EXPECT_EQ(MaxDifference(*decoded->First(), Reference("ours.ppm")), 0);
}

}  // namespace
