#include "render/k_gif_decoder.h"

#include <gtest/gtest.h>

#include "base/k_memory_stream.h"
#include "base/k_x.h"
#include "render/k_bitmaps.h"
#include "tests/render/image_test_support.h"

namespace {

using image_test::GifBuilder;
using image_test::PixelOf;
using image_test::Rgb;

const std::vector<Rgb> kPalette = {{0, 0, 0},     {255, 0, 0}, {0, 255, 0},     {0, 0, 255},
                                   {255, 255, 0}, {9, 9, 9},   {100, 150, 200}, {255, 255, 255}};

int Decode(const std::vector<uint8_t>& file, KBitmaps& frames, bool useBackground = false) {
  KMemoryStream stream(file);
  try {
    KGifDecoder(frames, stream, useBackground).Decode();
  } catch (const KX& e) {
    return e.Code();
  }
  return 0;
}

int DecodeCode(const std::vector<uint8_t>& file) {
  KBitmaps frames;
  return Decode(file, frames);
}

std::vector<uint8_t> Solid(int count, uint8_t index) {
  return std::vector<uint8_t>(count, index);
}

// LZW data with codes of the given widths, packed least significant bit first.
std::vector<uint8_t> Codes(int minimum, const std::vector<std::pair<int, int>>& codes) {
  std::vector<uint8_t> data;
  uint32_t bits = 0;
  int count = 0;
  for (const auto& [code, width] : codes) {
    bits |= static_cast<uint32_t>(code) << count;
    count += width;
    while (count >= 8) {
      data.push_back(static_cast<uint8_t>(bits));
      bits >>= 8;
      count -= 8;
    }
  }
  if (count > 0) data.push_back(static_cast<uint8_t>(bits));
  std::vector<uint8_t> out = {static_cast<uint8_t>(minimum), static_cast<uint8_t>(data.size())};
  out.insert(out.end(), data.begin(), data.end());
  out.push_back(0);
  return out;
}

// An image descriptor without a local table, followed by raw LZW data.
std::vector<uint8_t> RawImage(int width, int height, const std::vector<uint8_t>& lzw) {
  std::vector<uint8_t> out = {','};
  image_test::PutWord(out, 0);
  image_test::PutWord(out, 0);
  image_test::PutWord(out, width);
  image_test::PutWord(out, height);
  out.push_back(0);
  out.insert(out.end(), lzw.begin(), lzw.end());
  return out;
}

TEST(KGifDecoder, ColourTablesGlobalAndLocal) {
  const std::vector<Rgb> local = {{1, 2, 3}, {4, 5, 6}};
  KBitmaps frames;
  ASSERT_EQ(Decode(GifBuilder(4, 1, kPalette)
                       .Image(0, 0, 2, 1, {1, 6})
                       .Image(2, 0, 2, 1, {1, 0}, local, false, 2)
                       .Finish(),
                   frames),
            0);
  ASSERT_EQ(frames.Count(), 1);
  const KBitmap& frame = *frames.First();
  EXPECT_EQ(frame.Width(), 4);
  EXPECT_EQ(frame.Format(), KBitmap::kDisplayFormat);
  EXPECT_EQ(PixelOf(frame, 0, 0), kPalette[1]);
  EXPECT_EQ(PixelOf(frame, 1, 0), kPalette[6]);
  EXPECT_EQ(PixelOf(frame, 2, 0), local[1]);
  EXPECT_EQ(PixelOf(frame, 3, 0), local[0]);
  EXPECT_EQ(frame.Delay(), -1);
  EXPECT_EQ(frames.LoopCount(), -1);
}

TEST(KGifDecoder, ImagesWithoutDelayMergeIntoOneFrame) {
  KBitmaps frames;
  ASSERT_EQ(Decode(GifBuilder(3, 1, kPalette)
                       .Image(0, 0, 1, 1, {1})
                       .Image(1, 0, 1, 1, {2})
                       .Control(0, 0)
                       .Image(2, 0, 1, 1, {3})
                       .Finish(),
                   frames),
            0);
  ASSERT_EQ(frames.Count(), 1);
  EXPECT_EQ(PixelOf(*frames.First(), 0, 0), kPalette[1]);
  EXPECT_EQ(PixelOf(*frames.First(), 2, 0), kPalette[3]);
  EXPECT_EQ(frames.First()->Delay(), 0);
}

TEST(KGifDecoder, DelaysMakeFramesThatStartFromThePreviousOne) {
  KBitmaps frames;
  ASSERT_EQ(Decode(GifBuilder(2, 1, kPalette)
                       .Loop(0xFFFF)
                       .Control(1, 10)
                       .Image(0, 0, 2, 1, {1, 2})
                       .Control(1, 25)
                       .Image(1, 0, 1, 1, {3})
                       .Image(0, 0, 1, 1, {4})  // a frame without delay
                       .Image(1, 0, 1, 1, {5})  // merges into that one
                       .Finish(),
                   frames),
            0);
  ASSERT_EQ(frames.Count(), 3);
  EXPECT_EQ(frames.LoopCount(), 0);
  EXPECT_EQ(frames.At(0)->Delay(), 100);
  EXPECT_EQ(frames.At(1)->Delay(), 250);
  EXPECT_EQ(frames.At(2)->Delay(), -1);
  EXPECT_EQ(PixelOf(*frames.At(0), 1, 0), kPalette[2]);
  EXPECT_EQ(PixelOf(*frames.At(1), 0, 0), kPalette[1]);
  EXPECT_EQ(PixelOf(*frames.At(1), 1, 0), kPalette[3]);
  EXPECT_EQ(PixelOf(*frames.At(2), 0, 0), kPalette[4]);
  EXPECT_EQ(PixelOf(*frames.At(2), 1, 0), kPalette[5]);
}

TEST(KGifDecoder, LoopCount) {
  KBitmaps three;
  ASSERT_EQ(Decode(GifBuilder(1, 1, kPalette).Loop(3).Image(0, 0, 1, 1, {1}).Finish(), three), 0);
  EXPECT_EQ(three.LoopCount(), 3);
  // Another application extension says nothing about loops.
  std::vector<uint8_t> other = {'!', 0xFF, 11,  'X', 'M', 'P', ' ', 'D', 'a',
                                't', 'a',  'X', 'M', 'P', 2,   'a', 'b', 0};
  KBitmaps none;
  ASSERT_EQ(Decode(GifBuilder(1, 1, kPalette).Raw(other).Image(0, 0, 1, 1, {1}).Finish(), none), 0);
  EXPECT_EQ(none.LoopCount(), -1);
}

TEST(KGifDecoder, BackgroundColour) {
  const auto file = GifBuilder(3, 2, kPalette, 6).Image(1, 1, 1, 1, {1}).Finish();
  KBitmaps black;
  ASSERT_EQ(Decode(file, black, false), 0);
  EXPECT_EQ(PixelOf(*black.First(), 0, 0), (Rgb{0, 0, 0}));
  EXPECT_EQ(PixelOf(*black.First(), 2, 1), (Rgb{0, 0, 0}));
  KBitmaps coloured;
  ASSERT_EQ(Decode(file, coloured, true), 0);
  EXPECT_EQ(PixelOf(*coloured.First(), 0, 0), kPalette[6]);
  EXPECT_EQ(PixelOf(*coloured.First(), 1, 1), kPalette[1]);
  // Without a global table the background stays black.
  KBitmaps plain;
  ASSERT_EQ(Decode(GifBuilder(2, 1, {}, 1).Image(0, 0, 1, 1, {0}, kPalette).Finish(), plain, true),
            0);
  EXPECT_EQ(PixelOf(*plain.First(), 1, 0), (Rgb{0, 0, 0}));
}

TEST(KGifDecoder, TransparentIndexKeepsWhatWasThere) {
  KBitmaps frames;
  ASSERT_EQ(Decode(GifBuilder(3, 1, kPalette)
                       .Control(0, 5)
                       .Image(0, 0, 3, 1, {1, 2, 3})
                       .Control(0, 5, 4)
                       .Image(0, 0, 3, 1, {4, 5, 4})
                       .Control(0, 5)  // flags bit 0 clear: index 4 is drawn
                       .Image(0, 0, 1, 1, {4})
                       .Finish(),
                   frames),
            0);
  ASSERT_EQ(frames.Count(), 3);
  EXPECT_EQ(PixelOf(*frames.At(1), 0, 0), kPalette[1]);
  EXPECT_EQ(PixelOf(*frames.At(1), 1, 0), kPalette[5]);
  EXPECT_EQ(PixelOf(*frames.At(1), 2, 0), kPalette[3]);
  EXPECT_EQ(PixelOf(*frames.At(2), 0, 0), kPalette[4]);
}

TEST(KGifDecoder, DisposalMethods) {
  // Frame 1 paints the whole screen red, frame 2 a green square at (1,1)
  // with the method under test, frame 3 one blue pixel at (0,0).
  const auto build = [](int disposal) {
    return GifBuilder(3, 3, kPalette, 6)
        .Control(1, 10)
        .Image(0, 0, 3, 3, Solid(9, 1))
        .Control(disposal, 10)
        .Image(1, 1, 2, 2, Solid(4, 2))
        .Control(1, 10)
        .Image(0, 0, 1, 1, {3})
        .Finish();
  };
  for (const int disposal : {0, 1, 2, 3}) {
    for (const bool useBackground : {false, true}) {
      KBitmaps frames;
      ASSERT_EQ(Decode(build(disposal), frames, useBackground), 0);
      ASSERT_EQ(frames.Count(), 3);
      const KBitmap& last = *frames.At(2);
      EXPECT_EQ(PixelOf(last, 0, 0), kPalette[3]);
      EXPECT_EQ(PixelOf(last, 1, 0), kPalette[1]);
      const Rgb square = PixelOf(last, 2, 2);
      const Rgb background = useBackground ? kPalette[6] : Rgb{0, 0, 0};
      switch (disposal) {
        case 2:
          EXPECT_EQ(square, background) << useBackground;
          break;
        case 3:
          EXPECT_EQ(square, kPalette[1]);
          break;
        default:
          EXPECT_EQ(square, kPalette[2]) << disposal;
      }
      EXPECT_EQ(PixelOf(*frames.At(1), 2, 2), kPalette[2]);
    }
  }
}

TEST(KGifDecoder, RestorePreviousGoesBackToTheStateBeforeThatImage) {
  // Two images in a row ask for "restore previous": each restores the state
  // from before itself, including the first image's own drawing.
  KBitmaps frames;
  ASSERT_EQ(Decode(GifBuilder(2, 1, kPalette)
                       .Control(1, 10)
                       .Image(0, 0, 2, 1, {1, 1})
                       .Control(3, 10)
                       .Image(0, 0, 1, 1, {2})
                       .Control(3, 10)
                       .Image(1, 0, 1, 1, {3})
                       .Control(0, 10)
                       .Image(0, 0, 1, 1, {1})
                       .Finish(),
                   frames),
            0);
  ASSERT_EQ(frames.Count(), 4);
  EXPECT_EQ(PixelOf(*frames.At(1), 0, 0), kPalette[2]);
  EXPECT_EQ(PixelOf(*frames.At(2), 0, 0), kPalette[1]);  // image 2 restored
  EXPECT_EQ(PixelOf(*frames.At(2), 1, 0), kPalette[3]);
  EXPECT_EQ(PixelOf(*frames.At(3), 1, 0), kPalette[1]);  // image 3 restored
}

TEST(KGifDecoder, InterlacedRowsAreMappedThroughThePasses) {
  for (const int height : {1, 2, 3, 5, 8, 9, 13}) {
    std::vector<uint8_t> indices;
    for (const int y : image_test::InterlacedRows(height))
      indices.push_back(static_cast<uint8_t>(y % 8));
    KBitmaps frames;
    ASSERT_EQ(
        Decode(GifBuilder(1, height, kPalette).Image(0, 0, 1, height, indices, {}, true).Finish(),
               frames),
        0);
    for (int y = 0; y < height; ++y)
      EXPECT_EQ(PixelOf(*frames.First(), 0, y), kPalette[y % 8]) << height;
  }
}

TEST(KGifDecoder, LzwTableGrowsToTwelveBitsAndIsCleared) {
  // Noise over 256 colours fills the table many times; one colour over a
  // long row makes strings of growing length (code equal to the next entry).
  std::vector<Rgb> colours(256);
  for (int i = 0; i < 256; ++i)
    colours[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 7};
  const int width = 150, height = 120;
  std::vector<uint8_t> indices(static_cast<size_t>(width) * height);
  uint32_t seed = 5;
  for (size_t i = 0; i < indices.size(); ++i) {
    seed = seed * 1103515245u + 12345u;
    indices[i] = i < 6000 ? static_cast<uint8_t>(seed >> 16) : static_cast<uint8_t>(i / 997 % 3);
  }
  for (const int minimum : {8}) {
    KBitmaps frames;
    ASSERT_EQ(Decode(GifBuilder(width, height, colours)
                         .Image(0, 0, width, height, indices, {}, false, minimum)
                         .Finish(),
                     frames),
              0);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        ASSERT_EQ(PixelOf(*frames.First(), x, y),
                  colours[indices[static_cast<size_t>(y) * width + x]])
            << x << "," << y;
      }
    }
  }
  // The smallest code size with the clear code only at the start.
  KBitmaps small;
  ASSERT_EQ(
      Decode(
          GifBuilder(64, 64, kPalette).Image(0, 0, 64, 64, Solid(4096, 3), {}, false, 2).Finish(),
          small),
      0);
  EXPECT_EQ(PixelOf(*small.First(), 63, 63), kPalette[3]);
}

TEST(KGifDecoder, HandWrittenCodeStreams) {
  // m = 2: clear 4, end 5, first free entry 6, three bits at first.
  // Codes 1, 6 (the entry being made: "1 1"), 6, end: five pixels of 1.
  KBitmaps frames;
  ASSERT_EQ(Decode(GifBuilder(5, 1, kPalette)
                       .Raw(RawImage(5, 1, Codes(2, {{4, 3}, {1, 3}, {6, 3}, {6, 3}, {5, 3}})))
                       .Finish(),
                   frames),
            0);
  for (int x = 0; x < 5; ++x) EXPECT_EQ(PixelOf(*frames.First(), x, 0), kPalette[1]);
  // No leading clear code is needed; fewer pixels than the image holds is fine.
  EXPECT_EQ(
      DecodeCode(
          GifBuilder(5, 1, kPalette).Raw(RawImage(5, 1, Codes(2, {{2, 3}, {5, 3}}))).Finish()),
      0);
  // Entry 7 does not exist yet while 6 waits.
  EXPECT_EQ(DecodeCode(GifBuilder(5, 1, kPalette)
                           .Raw(RawImage(5, 1, Codes(2, {{1, 3}, {7, 3}, {5, 3}})))
                           .Finish()),
            3010);
  // After a clear only the single-pixel codes are defined.
  EXPECT_EQ(
      DecodeCode(
          GifBuilder(5, 1, kPalette).Raw(RawImage(5, 1, Codes(2, {{4, 3}, {6, 3}}))).Finish()),
      3010);
  // Six pixels into an image of five.
  EXPECT_EQ(DecodeCode(GifBuilder(5, 1, kPalette)
                           .Raw(RawImage(5, 1, Codes(2, {{1, 3}, {6, 3}, {7, 3}, {5, 3}})))
                           .Finish()),
            3010);
  // The data end before the end code.
  EXPECT_EQ(DecodeCode(GifBuilder(5, 1, kPalette).Raw(RawImage(5, 1, Codes(2, {{1, 3}}))).Finish()),
            3010);
  // Code sizes outside 2 .. 8.
  EXPECT_EQ(
      DecodeCode(
          GifBuilder(5, 1, kPalette).Raw(RawImage(5, 1, Codes(1, {{2, 2}, {3, 2}}))).Finish()),
      3010);
  EXPECT_EQ(
      DecodeCode(GifBuilder(5, 1, kPalette).Raw(RawImage(5, 1, Codes(9, {{513, 10}}))).Finish()),
      3010);
  // Endless clear codes end with the data, not in a loop.
  std::vector<std::pair<int, int>> clears(2000, {4, 3});
  EXPECT_EQ(DecodeCode(GifBuilder(5, 1, kPalette).Raw(RawImage(5, 1, Codes(2, clears))).Finish()),
            3010);
}

TEST(KGifDecoder, OtherBlocksAreSkipped) {
  KBitmaps frames;
  ASSERT_EQ(Decode(GifBuilder(1, 1, kPalette)
                       .Comment("made by hand")
                       .Raw({'!', 0x01, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 'h', 'i', 0})
                       .Raw({'x', 3, 1, 2, 3, 0})
                       .Image(0, 0, 1, 1, {2})
                       .Finish(),
                   frames),
            0);
  EXPECT_EQ(PixelOf(*frames.First(), 0, 0), kPalette[2]);
}

TEST(KGifDecoder, MalformedFilesRaise3010) {
  const auto good = GifBuilder(4, 4, kPalette).Image(0, 0, 4, 4, Solid(16, 1)).Finish();
  ASSERT_EQ(DecodeCode(good), 0);
  std::vector<uint8_t> notGif = good;
  notGif[0] = 'J';
  EXPECT_EQ(DecodeCode(notGif), 3010);
  // Every cut of a good file is malformed, however short.
  for (size_t n = 0; n < good.size(); ++n) {
    EXPECT_EQ(DecodeCode(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(n))),
              3010)
        << n;
  }
  EXPECT_EQ(DecodeCode(GifBuilder(0, 4, kPalette).Finish()), 3010);
  EXPECT_EQ(DecodeCode(GifBuilder(16385, 1, kPalette).Finish()), 3010);
  EXPECT_EQ(DecodeCode(GifBuilder(4, 4, kPalette).Image(1, 0, 4, 1, Solid(4, 1)).Finish()), 3010);
  EXPECT_EQ(DecodeCode(GifBuilder(4, 4, kPalette).Image(0, 2, 1, 3, Solid(3, 1)).Finish()), 3010);
  EXPECT_EQ(DecodeCode(GifBuilder(4, 4, kPalette).Image(0, 0, 0, 1, {}).Finish()), 3010);
  std::vector<uint8_t> control = GifBuilder(4, 4, kPalette).Control(0, 10).Finish();
  control[13 + 8 * 3 + 2] = 5;  // block size of the graphic control extension
  EXPECT_EQ(DecodeCode(control), 3010);
}

TEST(KGifDecoder, FrameStorageHasALimit) {
  GifBuilder builder(100, 100, kPalette);
  for (int i = 0; i < 5; ++i) builder.Control(0, 1).Image(0, 0, 1, 1, {1});
  const auto file = builder.Finish();
  KBitmaps frames(KBitmap::kDepth8);
  KMemoryStream stream(file);
  try {
    KGifDecoder(frames, stream, false, 35000).Decode();
    FAIL();
  } catch (const KX& e) {
    EXPECT_EQ(e.Code(), 2001);
  }
  // The fourth frame is refused before its storage is made.
  EXPECT_EQ(frames.Count(), 4);
  EXPECT_FALSE(frames.Last()->HasPixels());
  KBitmaps enough(KBitmap::kDepth8);
  KMemoryStream again(file);
  KGifDecoder(enough, again, false, 50000).Decode();
  EXPECT_EQ(enough.Count(), 5);
}

}  // namespace
