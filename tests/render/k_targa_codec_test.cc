#include "render/k_targa_codec.h"

#include <gtest/gtest.h>

#include "base/k_buffered_file.h"
#include "base/k_memory_stream.h"
#include "base/k_x.h"
#include "tests/base/temp_dir.h"
#include "tests/render/image_test_support.h"

namespace {

using image_test::PixelOf;
using image_test::Rgb;
using image_test::TargaHeader;

int ReadCode(const std::vector<uint8_t>& file, KBitmap& bitmap) {
  KMemoryStream stream(file);
  try {
    KTargaCodec::Read(bitmap, stream);
  } catch (const KX& e) {
    return e.Code();
  }
  return 0;
}

// A 3 x 2 picture whose pixel (x, y) is red x*80, green y*100, blue 7.
std::vector<uint8_t> Picture24(int descriptor) {
  std::vector<uint8_t> file = TargaHeader(2, 3, 2, 24, descriptor);
  for (int i = 0; i < 2; ++i) {
    const int y = (descriptor & 32) ? i : 1 - i;
    for (int j = 0; j < 3; ++j) {
      const int x = (descriptor & 16) ? 2 - j : j;
      file.insert(file.end(), {7, static_cast<uint8_t>(y * 100), static_cast<uint8_t>(x * 80)});
    }
  }
  return file;
}

TEST(KTargaCodec, EveryRowAndColumnOrderGivesTheSamePicture) {
  for (const int descriptor : {0, 16, 32, 48}) {
    KBitmap bitmap;
    ASSERT_EQ(ReadCode(Picture24(descriptor), bitmap), 0) << descriptor;
    ASSERT_EQ(bitmap.Width(), 3);
    ASSERT_EQ(bitmap.Height(), 2);
    EXPECT_EQ(bitmap.Format(), KBitmap::kDisplayFormat);
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 3; ++x) {
        EXPECT_EQ(PixelOf(bitmap, x, y),
                  (Rgb{static_cast<uint8_t>(x * 80), static_cast<uint8_t>(y * 100), 7}))
            << descriptor << " " << x << "," << y;
      }
    }
  }
}

TEST(KTargaCodec, SixteenAndThirtyTwoBitPixels) {
  std::vector<uint8_t> file = TargaHeader(2, 3, 1, 16, 32);
  for (const int word : {0x7FFF, 0x0000, 0x7C00 | 0x0010}) image_test::PutWord(file, word);
  KBitmap bitmap;
  ASSERT_EQ(ReadCode(file, bitmap), 0);
  EXPECT_EQ(PixelOf(bitmap, 0, 0), (Rgb{255, 255, 255}));
  EXPECT_EQ(PixelOf(bitmap, 1, 0), (Rgb{0, 0, 0}));
  EXPECT_EQ(PixelOf(bitmap, 2, 0), (Rgb{255, 0, 132}));  // 5 bits widened: c | c >> 5

  // Depth 15 is read as the same word; 32 ignores its fourth byte.
  file[16] = 15;
  KBitmap fifteen;
  ASSERT_EQ(ReadCode(file, fifteen), 0);
  EXPECT_EQ(PixelOf(fifteen, 0, 0), (Rgb{255, 255, 255}));

  std::vector<uint8_t> deep = TargaHeader(2, 1, 1, 32, 0);
  deep.insert(deep.end(), {1, 2, 3, 0xEE});
  KBitmap thirty;
  ASSERT_EQ(ReadCode(deep, thirty), 0);
  EXPECT_EQ(PixelOf(thirty, 0, 0), (Rgb{3, 2, 1}));
}

TEST(KTargaCodec, TheBitmapKeepsItsOwnFormat) {
  KBitmap grey(KBitmap::kDepth8);
  ASSERT_EQ(ReadCode(Picture24(32), grey), 0);
  EXPECT_EQ(grey.Row(1)[2], (160 + 100 + 7) / 3);
  KBitmap words(KBitmap::kDepth16 | KBitmap::kAlign4);
  ASSERT_EQ(ReadCode(Picture24(32), words), 0);
  EXPECT_EQ(PixelOf(words, 2, 1), (Rgb{160, 96, 0}));
}

TEST(KTargaCodec, IdFieldAndColourMapAreSkipped) {
  std::vector<uint8_t> file = TargaHeader(2, 1, 1, 24, 0, 3, 1, 2, 24);
  file.insert(file.end(), {'i', 'd', '!'});
  file.insert(file.end(), 6, 0xCC);  // two 3-byte map entries
  file.insert(file.end(), {9, 8, 7});
  KBitmap bitmap;
  ASSERT_EQ(ReadCode(file, bitmap), 0);
  EXPECT_EQ(PixelOf(bitmap, 0, 0), (Rgb{7, 8, 9}));
}

TEST(KTargaCodec, RejectsWhatItCannotRead) {
  KBitmap bitmap;
  std::vector<uint8_t> rle = Picture24(0);
  rle[2] = 10;
  EXPECT_EQ(ReadCode(rle, bitmap), 3009);
  std::vector<uint8_t> mapped = Picture24(0);
  mapped[2] = 1;
  EXPECT_EQ(ReadCode(mapped, bitmap), 3009);
  std::vector<uint8_t> eight = Picture24(0);
  eight[16] = 8;
  EXPECT_EQ(ReadCode(eight, bitmap), 3009);

  // Sizes are checked before anything is allocated for them.
  EXPECT_EQ(ReadCode(TargaHeader(2, 16385, 1, 24, 0), bitmap), 3010);
  EXPECT_EQ(ReadCode(TargaHeader(2, 16384, 16384, 32, 0), bitmap), 3004);
  EXPECT_FALSE(bitmap.HasPixels());
  std::vector<uint8_t> shortFile = Picture24(0);
  shortFile.pop_back();
  EXPECT_EQ(ReadCode(shortFile, bitmap), 3004);
  EXPECT_EQ(ReadCode({0, 0, 2}, bitmap), 3004);
  // A colour map that claims more than the file holds.
  EXPECT_EQ(ReadCode(TargaHeader(2, 1, 1, 24, 0, 0, 1, 0xFFFF, 32), bitmap), 3004);
}

TEST(KTargaCodec, ReadErrorOnAFileFreesTheStorage) {
  TempDir dir;
  std::vector<uint8_t> file = Picture24(0);
  file.resize(file.size() - 4);
  image_test::WriteFile(dir.Path() + "/cut.tga", file);
  KBufferedFile in(dir.File("cut.tga"), 4096);
  in.Open(KFile::kRead, KFile::kOpenExisting);
  KBitmap bitmap;
  EXPECT_THROW(KTargaCodec::Read(bitmap, in), KXStream);
  EXPECT_FALSE(bitmap.HasPixels());
}

TEST(KTargaCodec, WriterRoundTripsAtEveryDepth) {
  for (const uint32_t depth : {KBitmap::kDepth16, KBitmap::kDepth24, KBitmap::kDepth32}) {
    KBitmap picture(5, 3, depth | KBitmap::kAlign4);
    ASSERT_TRUE(picture.Allocate());
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 5; ++x) {
        picture.SetPixel(x, y, static_cast<uint8_t>(x * 50), static_cast<uint8_t>(y * 120), 200);
      }
    }
    KMemoryStream out;
    KTargaCodec::Write(picture, out);
    const std::vector<uint8_t>& bytes = out.Bytes();
    ASSERT_EQ(bytes.size(), 18u + 15u * picture.BytesPerPixel());  // rows without padding
    EXPECT_EQ(bytes[2], 2);
    EXPECT_EQ(bytes[16], picture.BytesPerPixel() * 8);
    EXPECT_EQ(bytes[17], 32);

    KMemoryStream in(bytes);
    KBitmap back(depth | KBitmap::kAlign4);
    KTargaCodec::Read(back, in);
    for (int y = 0; y < 3; ++y) {
      for (int x = 0; x < 5; ++x) EXPECT_EQ(PixelOf(back, x, y), PixelOf(picture, x, y)) << depth;
    }
  }
}

TEST(KTargaCodec, WriterTakesRowsFromTheCaller) {
  KBitmap shape(2, 2, KBitmap::kDepth24);
  const uint8_t row[6] = {1, 2, 3, 4, 5, 6};
  KMemoryStream out;
  KTargaCodec::Write(shape, out, [&](int) { return row; });
  ASSERT_EQ(out.Bytes().size(), 18u + 12u);
  EXPECT_EQ(out.Bytes()[18 + 9], 4);

  try {
    KTargaCodec::Write(shape, out);
    FAIL();
  } catch (const KX& e) {
    EXPECT_EQ(e.Code(), 2000);
  }
}

}  // namespace
