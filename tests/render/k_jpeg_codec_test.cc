#include "render/k_jpeg_codec.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "base/k_memory_stream.h"
#include "base/k_x.h"
#include "tests/render/image_test_support.h"

namespace {

using image_test::PixelOf;
using image_test::Rgb;

std::unique_ptr<KBitmap> MakePicture(uint32_t format, int width, int height) {
  auto made = std::make_unique<KBitmap>(width, height, format);
  KBitmap& picture = *made;
  EXPECT_TRUE(picture.Allocate());
  // Smooth gradients, which JPEG keeps within a few levels.
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      picture.SetPixel(x, y, static_cast<uint8_t>(x * 255 / width),
                       static_cast<uint8_t>(y * 255 / height), static_cast<uint8_t>(128 + (x - y)));
    }
  }
  return made;
}

// Mean absolute difference over every channel of every pixel.
double MeanError(const KBitmap& a, const KBitmap& b) {
  double sum = 0;
  for (int y = 0; y < a.Height(); ++y) {
    for (int x = 0; x < a.Width(); ++x) {
      const Rgb p = PixelOf(a, x, y), q = PixelOf(b, x, y);
      sum += std::abs(p.red - q.red) + std::abs(p.green - q.green) + std::abs(p.blue - q.blue);
    }
  }
  return sum / (3.0 * a.Width() * a.Height());
}

int ReadCode(const std::vector<uint8_t>& file, KBitmap& bitmap) {
  KMemoryStream stream(file);
  try {
    KJpegCodec::Read(bitmap, stream);
  } catch (const KX& e) {
    return e.Code();
  }
  return 0;
}

TEST(KJpegCodec, RoundTripAtEveryDepthKeepsChannelOrder) {
  for (const uint32_t depth :
       {KBitmap::kDepth8, KBitmap::kDepth16, KBitmap::kDepth24, KBitmap::kDepth32}) {
    const uint32_t format = depth | KBitmap::kAlign4;
    const auto made = MakePicture(format, 37, 21);
    const KBitmap& picture = *made;
    KMemoryStream out;
    KJpegCodec::Write(picture, out);
    KBitmap back(format);
    KMemoryStream in(out.Bytes());
    KJpegCodec::Read(back, in);
    ASSERT_EQ(back.Width(), 37);
    ASSERT_EQ(back.Height(), 21);
    EXPECT_LT(MeanError(picture, back), 6.0) << depth;
    if (depth == KBitmap::kDepth32) {
      EXPECT_EQ(back.Row(3)[4 * 5 + 3], 0);
    }
  }
  // A strongly red picture stays red: the byte order is blue first on both sides.
  KBitmap red(16, 16, KBitmap::kDisplayFormat);
  ASSERT_TRUE(red.Allocate());
  red.Fill(250, 10, 10);
  KMemoryStream out;
  KJpegCodec::Write(red, out);
  KBitmap back;
  KMemoryStream in(out.Bytes());
  KJpegCodec::Read(back, in);
  const Rgb c = PixelOf(back, 8, 8);
  EXPECT_GT(c.red, 240);
  EXPECT_LT(c.blue, 20);
}

TEST(KJpegCodec, GreyBitmapsWriteOneComponent) {
  const auto grey = MakePicture(KBitmap::kDepth8, 16, 16);
  KMemoryStream out;
  KJpegCodec::Write(*grey, out);
  // The frame header (SOF0) names one component.
  const std::vector<uint8_t>& bytes = out.Bytes();
  bool found = false;
  for (size_t i = 0; i + 9 < bytes.size(); ++i) {
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0) {
      EXPECT_EQ(bytes[i + 9], 1);
      found = true;
      break;
    }
  }
  EXPECT_TRUE(found);
}

TEST(KJpegCodec, QualityChangesTheSize) {
  const auto made = MakePicture(KBitmap::kDisplayFormat, 64, 64);
  KBitmap& picture = *made;
  KMemoryStream library;
  KJpegCodec::Write(picture, library);
  picture.SetJpegQuality(5);
  KMemoryStream low;
  KJpegCodec::Write(picture, low);
  picture.SetJpegQuality(100);
  KMemoryStream high;
  KJpegCodec::Write(picture, high);
  EXPECT_LT(low.Bytes().size(), library.Bytes().size());
  EXPECT_LT(library.Bytes().size(), high.Bytes().size());
}

TEST(KJpegCodec, FailuresBecomeNumberedErrors) {
  const auto made = MakePicture(KBitmap::kDisplayFormat, 40, 40);
  const KBitmap& picture = *made;
  KMemoryStream out;
  KJpegCodec::Write(picture, out);
  std::vector<uint8_t> good = out.Bytes();

  KBitmap bitmap;
  EXPECT_EQ(ReadCode({}, bitmap), 3004);
  EXPECT_EQ(ReadCode({'n', 'o', 't', ' ', 'j', 'p', 'e', 'g'}, bitmap), 3004);
  std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(good.size() / 2));
  EXPECT_EQ(ReadCode(cut, bitmap), 3004);

  // A frame header announcing 16385 columns: refused before allocating.
  std::vector<uint8_t> wide = good;
  for (size_t i = 0; i + 8 < wide.size(); ++i) {
    if (wide[i] == 0xFF && wide[i + 1] == 0xC0) {
      wide[i + 7] = 0x40;
      wide[i + 8] = 0x01;
      break;
    }
  }
  EXPECT_EQ(ReadCode(wide, bitmap), 3010);

  uint8_t external[3 * 8] = {};
  KBitmap fixed(external, 8, 1, KBitmap::kDepth24);
  EXPECT_EQ(ReadCode(good, fixed), 2001);

  // A stream that refuses writes: the library's write error is 3005.
  class Refusing : public KStream {
  } refusing;
  try {
    KJpegCodec::Write(picture, refusing);
    FAIL();
  } catch (const KX& e) {
    EXPECT_EQ(e.Code(), 3005);
  }
  KBitmap none(4, 4, KBitmap::kDisplayFormat);
  try {
    KJpegCodec::Write(none, out);
    FAIL();
  } catch (const KX& e) {
    EXPECT_EQ(e.Code(), 2000);
  }
}

TEST(KJpegCodec, WriterTakesRowsFromTheCaller) {
  KBitmap shape(8, 8, KBitmap::kDisplayFormat);
  std::vector<uint8_t> row(shape.RowStride());
  for (int x = 0; x < 8; ++x) {
    row[x * 3] = 0;
    row[x * 3 + 1] = 0;
    row[x * 3 + 2] = 255;  // red
  }
  KMemoryStream out;
  KJpegCodec::Write(shape, out, [&](int) { return row.data(); });
  KBitmap back;
  KMemoryStream in(out.Bytes());
  KJpegCodec::Read(back, in);
  EXPECT_GT(PixelOf(back, 4, 4).red, 240);
}

}  // namespace
