#include "render/k_bitmap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "base/k_buffered_file.h"
#include "base/k_memory_stream.h"
#include "base/k_x.h"
#include "config/k_default_settings.h"
#include "config/k_r_int.h"
#include "config/k_registry.h"
#include "render/k_bitmaps.h"
#include "render/k_image_file.h"
#include "tests/base/temp_dir.h"
#include "tests/render/image_test_support.h"

namespace {

using image_test::PixelOf;
using image_test::Rgb;

TEST(KBitmap, FormatGivesDepthBytesAndStride) {
  struct Case {
    uint32_t format;
    int bits;
    int bytes;
    int strideFor5;
  } cases[] = {
      {KBitmap::kDepth8, 8, 1, 5},
      {KBitmap::kDepth8 | KBitmap::kAlign2, 8, 1, 6},
      {KBitmap::kDepth15 | KBitmap::kAlign4, 15, 2, 12},
      {KBitmap::kDepth16 | KBitmap::kAlign1, 16, 2, 10},
      {KBitmap::kDepth24 | KBitmap::kAlign4, 24, 3, 16},
      {KBitmap::kDepth24, 24, 3, 15},
      {KBitmap::kDepth32 | KBitmap::kAlign4, 32, 4, 20},
      {KBitmap::kDepth8 | KBitmap::kDepth24, 0, 0, 0},  // two depths: invalid
      {0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    KBitmap bitmap(5, 3, c.format);
    EXPECT_EQ(bitmap.BitsPerPixel(), c.bits) << c.format;
    EXPECT_EQ(bitmap.BytesPerPixel(), c.bytes) << c.format;
    EXPECT_EQ(bitmap.RowStride(), c.strideFor5) << c.format;
  }
  EXPECT_EQ(KBitmap::kDisplayFormat, 136u);
}

TEST(KBitmap, StorageFollowsTheSizeAndTheNeverShrinkBit) {
  KBitmap bitmap(10, 10, KBitmap::kDepth24);
  EXPECT_FALSE(bitmap.HasPixels());
  EXPECT_EQ(bitmap.Row(0), nullptr);
  ASSERT_TRUE(bitmap.Allocate());
  const uint8_t* first = bitmap.Pixels();
  EXPECT_EQ(bitmap.Row(1) - bitmap.Row(0), 30);
  EXPECT_EQ(bitmap.Row(10), nullptr);
  EXPECT_EQ(bitmap.Row(-1), nullptr);
  ASSERT_TRUE(bitmap.Allocate());
  EXPECT_EQ(bitmap.Pixels(), first);

  KBitmap keeper(10, 10, KBitmap::kDepth24 | KBitmap::kNeverShrink);
  ASSERT_TRUE(keeper.Allocate());
  const uint8_t* block = keeper.Pixels();
  keeper.SetSize(4, 4);
  ASSERT_TRUE(keeper.Allocate());
  EXPECT_EQ(keeper.Pixels(), block);  // the larger block stays
  EXPECT_EQ(keeper.Row(3) - keeper.Row(0), 36);
  EXPECT_EQ(keeper.Row(4), nullptr);
}

TEST(KBitmap, ExternalPixelsAreNeverReallocated) {
  uint8_t pixels[2 * 4] = {};
  KBitmap bitmap(pixels, 2, 2, KBitmap::kDepth16 | KBitmap::kAlign4);
  EXPECT_TRUE(bitmap.IsExternal());
  EXPECT_EQ(bitmap.Row(1), pixels + 4);
  EXPECT_TRUE(bitmap.Resize(2, 2));
  EXPECT_FALSE(bitmap.Resize(3, 2));
  EXPECT_EQ(bitmap.Pixels(), pixels);
  ASSERT_TRUE(bitmap.SetPixel(1, 1, 0xFF, 0, 0));
  EXPECT_EQ(pixels[6] | pixels[7] << 8, 0x1F << 10);

  // A reader that would have to resize them fails with 2001.
  std::vector<uint8_t> file = image_test::TargaHeader(2, 3, 1, 24, 0);
  file.resize(file.size() + 9);
  KMemoryStream stream(file);
  try {
    bitmap.Load(stream);
    FAIL();
  } catch (const KX& e) {
    EXPECT_EQ(e.Code(), 2001);
  }
}

TEST(KBitmap, PixelsAtEveryDepth) {
  for (const uint32_t depth : {KBitmap::kDepth8, KBitmap::kDepth15, KBitmap::kDepth16,
                               KBitmap::kDepth24, KBitmap::kDepth32}) {
    KBitmap bitmap(3, 2, depth | KBitmap::kAlign4);
    ASSERT_TRUE(bitmap.Allocate());
    ASSERT_TRUE(bitmap.SetPixel(2, 1, 200, 100, 51));
    EXPECT_FALSE(bitmap.SetPixel(3, 1, 1, 1, 1));
    EXPECT_FALSE(bitmap.SetPixel(0, -1, 1, 1, 1));
    Rgb c;
    EXPECT_FALSE(bitmap.GetPixel(-1, 0, c.red, c.green, c.blue));
    const Rgb got = PixelOf(bitmap, 2, 1);
    const uint8_t* at = bitmap.Row(1) + 2 * bitmap.BytesPerPixel();
    switch (depth) {
      case KBitmap::kDepth8:
        EXPECT_EQ(at[0], 117);
        EXPECT_EQ(got, (Rgb{117, 117, 117}));
        break;
      case KBitmap::kDepth15:
      case KBitmap::kDepth16:
        EXPECT_EQ(at[0] | at[1] << 8, (200 >> 3) << 10 | (100 >> 3) << 5 | 51 >> 3);
        EXPECT_EQ(got, (Rgb{200, 96, 48}));
        break;
      case KBitmap::kDepth32:
        EXPECT_EQ(at[3], 0);
        [[fallthrough]];
      default:
        EXPECT_EQ(at[0], 51);
        EXPECT_EQ(at[2], 200);
        EXPECT_EQ(got, (Rgb{200, 100, 51}));
    }
  }
  // The 5-5-5 read rule keeps the top five bits: 0x7FFF reads as 248s.
  KBitmap word(1, 1, KBitmap::kDepth16);
  ASSERT_TRUE(word.Allocate());
  word.Row(0)[0] = 0xFF;
  word.Row(0)[1] = 0x7F;
  EXPECT_EQ(PixelOf(word, 0, 0), (Rgb{248, 248, 248}));
}

TEST(KBitmap, FillRectClipsToTheBitmap) {
  KBitmap bitmap(4, 3, KBitmap::kDisplayFormat);
  ASSERT_TRUE(bitmap.Allocate());
  bitmap.Fill(1, 2, 3);
  bitmap.FillRect(KRect{2, -5, 10, 1}, 9, 8, 7);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      const Rgb expected = (x >= 2 && y <= 1) ? Rgb{9, 8, 7} : Rgb{1, 2, 3};
      EXPECT_EQ(PixelOf(bitmap, x, y), expected) << x << "," << y;
    }
  }
  bitmap.FillRect(KRect{3, 0, 2, 2}, 0, 0, 0);  // empty: nothing happens
  EXPECT_EQ(PixelOf(bitmap, 3, 0), (Rgb{9, 8, 7}));
}

TEST(KBitmap, CopyPixelsNeedsTheSameShape) {
  KBitmap a(3, 3, KBitmap::kDisplayFormat), b(3, 3, KBitmap::kDisplayFormat);
  KBitmap narrow(2, 3, KBitmap::kDisplayFormat), deep(3, 3, KBitmap::kDepth32);
  for (KBitmap* bitmap : {&a, &b, &narrow, &deep}) ASSERT_TRUE(bitmap->Allocate());
  a.Fill(5, 6, 7);
  b.Fill(0, 0, 0);
  EXPECT_TRUE(b.CopyPixels(a));
  EXPECT_EQ(PixelOf(b, 2, 2), (Rgb{5, 6, 7}));
  EXPECT_FALSE(narrow.CopyPixels(a));
  EXPECT_FALSE(deep.CopyPixels(a));
}

TEST(KBitmap, ScaleByNearestNeighbourWithinItsLimits) {
  KBitmap source(4, 2, KBitmap::kDisplayFormat);
  ASSERT_TRUE(source.Allocate());
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x)
      source.SetPixel(x, y, static_cast<uint8_t>(x), static_cast<uint8_t>(y), 0);
  }
  source.SetDelay(70);
  source.SetJpegQuality(40);

  auto scaled = source.Scale(3, 5);
  ASSERT_TRUE(scaled);
  EXPECT_EQ(scaled->Format(), source.Format());
  EXPECT_EQ(scaled->Delay(), 70);
  EXPECT_EQ(scaled->JpegQuality(), 40);
  for (int i = 0; i < 5; ++i) {
    for (int j = 0; j < 3; ++j) {
      EXPECT_EQ(PixelOf(*scaled, j, i),
                (Rgb{static_cast<uint8_t>(4 * j / 3), static_cast<uint8_t>(2 * i / 5), 0}));
    }
  }
  auto keepHeight = source.Scale(8, -1);
  ASSERT_TRUE(keepHeight);
  EXPECT_EQ(keepHeight->Height(), 2);

  EXPECT_FALSE(source.Scale(20000, 10));
  EXPECT_FALSE(source.Scale(0, 10));
  EXPECT_FALSE(source.Scale(16385, 1));
  EXPECT_TRUE(source.Scale(16384, 1));
  KBitmap grey(4, 4, KBitmap::kDepth8);
  ASSERT_TRUE(grey.Allocate());
  EXPECT_FALSE(grey.Scale(2, 2));
}

TEST(KBitmap, ExportSourceWritesSizeAndBytes) {
  KBitmap bitmap(5, 4, KBitmap::kDisplayFormat);  // stride 16, 64 bytes
  ASSERT_TRUE(bitmap.Allocate());
  for (int y = 0; y < 4; ++y) {
    for (int i = 0; i < 16; ++i) bitmap.Row(y)[i] = static_cast<uint8_t>(y * 16 + i);
  }
  KMemoryStream out;
  out.SetWriteLineMode(KStream::kLineLF);
  out.SetWriteEncoding(KStream::kEncoding8Bit);
  bitmap.ExportSource(out);
  const std::string text(out.Bytes().begin(), out.Bytes().end());
  std::vector<std::string> lines;
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find('\n', at), text.size());
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], "KPoint bitmapSize(5,4);");
  EXPECT_EQ(lines[1], "byte bitmapBytes[64] = {");
  // Lines end once they pass 69 characters: 14 items of 5 characters.
  EXPECT_EQ(lines[2].size(), 71u);
  EXPECT_EQ(lines[2].substr(0, 11), "\t0x00,0x01,");
  EXPECT_EQ(lines[6], "\t0x38,0x39,0x3a,0x3b,0x3c,0x3d,0x3e,0x3f");
  EXPECT_EQ(lines[7], "};");

  // Rows from the caller instead of the bitmap.
  const uint8_t fixed[16] = {0xAB};
  KMemoryStream other;
  other.SetWriteLineMode(KStream::kLineLF);
  other.SetWriteEncoding(KStream::kEncoding8Bit);
  bitmap.ExportSource(other, [&](int) { return fixed; });
  const std::string replaced(other.Bytes().begin(), other.Bytes().end());
  EXPECT_NE(replaced.find("\t0xab,0x00,"), std::string::npos);

  KBitmap empty(5, 4, KBitmap::kDisplayFormat);
  try {
    empty.ExportSource(other);
    FAIL();
  } catch (const KX& e) {
    EXPECT_EQ(e.Code(), 2000);
  }
}

TEST(KImageFile, TypeByExtension) {
  EXPECT_EQ(KImageFile::TypeOfPath(KString("a/b.JPEG")), KImageFile::kJpeg);
  EXPECT_EQ(KImageFile::TypeOfPath(KString("pic.jpg")), KImageFile::kJpeg);
  EXPECT_EQ(KImageFile::TypeOfPath(KString("pic.Jpe")), KImageFile::kJpeg);
  EXPECT_EQ(KImageFile::TypeOfPath(KString("anim.GiF")), KImageFile::kGif);
  EXPECT_EQ(KImageFile::TypeOfPath(KString("pic.tga")), KImageFile::kTarga);
  EXPECT_EQ(KImageFile::TypeOfPath(KString("pic.bmp")), KImageFile::kTarga);
  EXPECT_EQ(KImageFile::TypeOfPath(KString("pic")), KImageFile::kTarga);
  EXPECT_EQ(KImageFile::TypeOfPath(KString("dir.jpg/pic")), KImageFile::kTarga);
  EXPECT_EQ(KImageFile::TypeOfPath(KString("pic.gifs")), KImageFile::kTarga);
  KMemoryStream memory;
  EXPECT_EQ(KImageFile::TypeOf(memory), KImageFile::kTarga);
}

// Save and load through real files choose the codec by the name.
TEST(KBitmaps, LoadChoosesTheReaderByTheFileName) {
  TempDir dir;
  KBitmap picture(6, 4, KBitmap::kDisplayFormat);
  ASSERT_TRUE(picture.Allocate());
  picture.Fill(200, 30, 90);
  for (const char* name : {"p.tga", "p.JPEG", "p"}) {
    KBufferedFile out(dir.File(name), 4096);
    out.Open(KFile::kWrite, KFile::kOpenOrCreate);
    picture.Save(out);
    out.Flush();
    out.Close();

    KBufferedFile in(dir.File(name), 4096);
    in.Open(KFile::kRead, KFile::kOpenExisting);
    KBitmaps frames;
    frames.Load(in);
    ASSERT_EQ(frames.Count(), 1) << name;
    EXPECT_EQ(frames.LoopCount(), -1);
    const Rgb c = PixelOf(*frames.First(), 3, 2);
    EXPECT_NEAR(c.red, 200, 3) << name;
    EXPECT_NEAR(c.green, 30, 3) << name;
    EXPECT_NEAR(c.blue, 90, 3) << name;
  }
  const std::vector<uint8_t> jpeg = image_test::ReadFile(dir.Path() + "/p.JPEG");
  ASSERT_GE(jpeg.size(), 2u);
  EXPECT_EQ(jpeg[0], 0xFF);
  EXPECT_EQ(jpeg[1], 0xD8);

  // A GIF handed to the single-frame reader is not a Targa either.
  image_test::WriteFile(
      dir.Path() + "/g.gif",
      image_test::GifBuilder(1, 1, {{1, 2, 3}, {4, 5, 6}}).Image(0, 0, 1, 1, {1}).Finish());
  KBufferedFile gif(dir.File("g.gif"), 4096);
  gif.Open(KFile::kRead, KFile::kOpenExisting);
  KBitmap single;
  try {
    single.Load(gif);
    FAIL();
  } catch (const KX& e) {
    EXPECT_EQ(e.Code(), 3009);
  }
  gif.Seek(0, 0);
  KBitmaps frames;
  frames.Load(gif);
  ASSERT_EQ(frames.Count(), 1);
  EXPECT_EQ(PixelOf(*frames.First(), 0, 0), (Rgb{4, 5, 6}));
}

TEST(KBitmaps, ScaledCopiesEveryFrameOrNone) {
  KBitmaps frames(KBitmap::kDisplayFormat);
  frames.SetLoopCount(3);
  for (int i = 0; i < 2; ++i) {
    KBitmap* frame = frames.AppendFrame();
    ASSERT_TRUE(frame->Resize(4, 4));
    frame->Fill(static_cast<uint8_t>(i * 100), 0, 0);
    frame->SetDelay(10 * (i + 1));
  }
  auto scaled = frames.Scaled(2, 8);
  ASSERT_TRUE(scaled);
  EXPECT_EQ(scaled->LoopCount(), 3);
  ASSERT_EQ(scaled->Count(), 2);
  EXPECT_EQ(scaled->At(1)->Width(), 2);
  EXPECT_EQ(scaled->At(1)->Height(), 8);
  EXPECT_EQ(scaled->At(1)->Delay(), 20);
  EXPECT_EQ(PixelOf(*scaled->At(1), 1, 7), (Rgb{100, 0, 0}));

  frames.AppendFrame();  // no pixels: cannot be scaled
  EXPECT_FALSE(frames.Scaled(2, 8));
}

TEST(KBitmaps, BackgroundSettingIsReadAtEachLoad) {
  KRegistry registry(KDefaultSettings::Table());
  const std::vector<uint8_t> gif =
      image_test::GifBuilder(3, 1, {{0, 0, 0}, {10, 20, 30}}, 1).Image(0, 0, 1, 1, {0}).Finish();
  KBitmaps off(KBitmap::kDisplayFormat, KBitmap::kHeap, &registry);
  // A memory stream has no name, so the GIF reader is called through a file.
  TempDir dir;
  image_test::WriteFile(dir.Path() + "/b.gif", gif);
  const auto load = [&](KBitmaps& into) {
    KBufferedFile file(dir.File("b.gif"), 4096);
    file.Open(KFile::kRead, KFile::kOpenExisting);
    into.Load(file);
  };
  load(off);
  EXPECT_EQ(PixelOf(*off.First(), 2, 0), (Rgb{0, 0, 0}));
  registry.LookupInt(u"\\Display\\GIFUseBg")->Assign(1);
  KBitmaps on(KBitmap::kDisplayFormat, KBitmap::kHeap, &registry);
  load(on);
  EXPECT_EQ(PixelOf(*on.First(), 2, 0), (Rgb{10, 20, 30}));
}

}  // namespace
