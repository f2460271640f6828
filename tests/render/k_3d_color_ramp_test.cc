#include "render/k_3d_color_ramp.h"

#include <gtest/gtest.h>

namespace {

constexpr KColor kWhite = KColor::Palette(1);
constexpr KColor kBlack = KColor::Palette(4);
constexpr KColor kRed = KColor::Palette(5);
constexpr KColor kNone = KColor::Palette(0);

uint32_t Grey(int v) {
  return static_cast<uint32_t>(v) * 0x010101u;
}

TEST(K3DColorRamp, ThresholdFromTheEnableSetting) {
  EXPECT_EQ(K3DColorRamp::ThresholdOf(75), 64);
  EXPECT_EQ(K3DColorRamp::ThresholdOf(-75), 64);
  EXPECT_EQ(K3DColorRamp::ThresholdOf(0), 255);  // only full coverage is ink: hard edges
  EXPECT_EQ(K3DColorRamp::ThresholdOf(100), 1);
  EXPECT_EQ(K3DColorRamp::ThresholdOf(1000), 1);
  EXPECT_EQ(K3DColorRamp::ThresholdOf(std::nullopt), 64);
  // No overflow for absurd values from a hand-edited profile.
  EXPECT_EQ(K3DColorRamp::ThresholdOf(INT32_MIN + 1), 1);
}

TEST(K3DColorRamp, WithoutBorderBGLightChoosesBlackOrWhite) {
  K3DColorRamp ramp;
  // White is not darker than 128: blends to black.
  ramp.Build(kWhite, kNone, 75, 128);
  EXPECT_EQ(ramp[255], 0x00FFFFFFu);
  EXPECT_EQ(ramp[128], Grey(128));
  EXPECT_EQ(ramp[64], Grey(64));
  // Dark blue with every channel below BGLight blends to white.
  ramp.Build(KColor::Rgb(0, 0, 128), kNone, 75, 129);
  EXPECT_EQ(ramp[255], 0x00000080u);
  EXPECT_EQ(ramp[128], 0x007F7FC0u);  // 255 - 128*255/255, 255 - 128*127/255
  // A channel equal to BGLight is not below it.
  ramp.Build(KColor::Rgb(0, 0, 128), kNone, 75, 128);
  EXPECT_EQ(ramp[128], 0x00000040u);
  // 256 always blends to white, 0 always to black, -1 not at all.
  ramp.Build(kWhite, kNone, 75, 256);
  EXPECT_EQ(ramp[200], 0x00FFFFFFu);  // face as bright as white: nothing to blend
  ramp.Build(KColor::Rgb(10, 10, 10), kNone, 75, 0);
  EXPECT_EQ(ramp[127], Grey(4));
  ramp.Build(KColor::Rgb(0, 0, 128), kNone, 75, -1);
  for (int level = 64; level < 256; ++level) ASSERT_EQ(ramp[level], 0x00000080u) << level;
}

TEST(K3DColorRamp, EnableDecidesBlendingAgainstColouredBorders) {
  K3DColorRamp ramp;
  ramp.Build(kWhite, kRed, 75, 128);
  for (int level = 64; level < 256; ++level) ASSERT_EQ(ramp[level], 0x00FFFFFFu) << level;
  // Negative: against red too. DK 255 caps the blend at level 255*255/765 = 85.
  ramp.Build(kWhite, kRed, -75, 128);
  EXPECT_EQ(ramp.Threshold(), 64);
  EXPECT_EQ(ramp[200], Grey(200));
  EXPECT_EQ(ramp[86], Grey(86));
  EXPECT_EQ(ramp[85], Grey(86));
  EXPECT_EQ(ramp[64], Grey(86));
  // Without the setting the face blends as with a negative value.
  ramp.Build(kWhite, kRed, std::nullopt, 128);
  EXPECT_EQ(ramp[200], Grey(200));
  // Enable 0: a single level is ink.
  ramp.Build(kWhite, kBlack, 0, 128);
  EXPECT_EQ(ramp.Threshold(), 255);
  EXPECT_EQ(ramp[255], 0x00FFFFFFu);
}

TEST(K3DColorRamp, BlendsStopAtTheBorderBrightness) {
  K3DColorRamp ramp;
  // Black face, grey 128 border: blend from white down to level 127, then flat.
  ramp.Build(kBlack, KColor::Rgb(128, 128, 128), 75, 128);
  EXPECT_EQ(ramp[255], 0u);
  EXPECT_EQ(ramp[200], Grey(55));
  EXPECT_EQ(ramp[128], Grey(127));
  EXPECT_EQ(ramp[127], Grey(127));
  EXPECT_EQ(ramp[64], Grey(127));
  // Light grey border: the cap lies below the threshold, so every level blends.
  ramp.Build(kBlack, KColor::Palette(2), 75, 128);
  EXPECT_EQ(ramp[64], Grey(191));
  // White face on a white border: no blending.
  ramp.Build(kWhite, KColor::Rgb(255, 255, 255), 75, 128);
  EXPECT_EQ(ramp[64], 0x00FFFFFFu);
  // White face, grey border: blend from black above level 128, flat below.
  ramp.Build(kWhite, KColor::Palette(3), 75, 128);
  EXPECT_EQ(ramp[129], Grey(129));
  EXPECT_EQ(ramp[100], Grey(129));
  // Equal brightness of differing colours does not blend either.
  ramp.Build(KColor::Rgb(255, 0, 0), KColor::Rgb(0, 0, 255), -75, 128);
  EXPECT_EQ(ramp[100], 0x00FF0000u);
}

TEST(K3DColorRamp, TransparentFace) {
  K3DColorRamp ramp;
  ramp.Build(kNone, kBlack, 75, 128);
  for (int level = 64; level < 256; ++level) ASSERT_EQ(ramp[level], 0xFF000000u) << level;
}

}  // namespace
