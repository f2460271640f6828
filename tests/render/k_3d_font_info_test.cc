#include "render/k_3d_font_info.h"

#include <gtest/gtest.h>

#include "base/k_memory_stream.h"
#include "base/k_record.h"
#include "base/k_x.h"
#include "render/k_3d_fonts.h"

namespace {

class FixedSizesFont : public K3DFont {
 public:
  FixedSizesFont(const KString& name, int only, int fallback)
      : K3DFont(name), only_(only), fallback_(fallback) {}
  bool IsValidSize(int size) const override { return size == only_ || size == fallback_; }
  int DefaultSize() const override { return fallback_; }

 private:
  int only_;
  int fallback_;
};

TEST(K3DFontInfo, DefaultsWithoutAFontList) {
  K3DFontInfo info;
  EXPECT_EQ(info.Size(), 34);
  EXPECT_EQ(info.Width(), 100);
  EXPECT_EQ(info.ShrinkLimit(), 50);
  EXPECT_EQ(info.FaceColor(), KColor::Palette(1));
  EXPECT_EQ(info.BorderColor(), KColor::Palette(4));
  EXPECT_EQ(info.ShadowColor(), KColor::Palette(4));
  EXPECT_EQ(info.BackgroundColor(), KColor::Palette(0));
  EXPECT_EQ(info.CharWidthCache(), -1);
}

TEST(K3DFontInfo, SettersClampAndDropTheWidthCache) {
  K3DFontInfo info;
  info.SetCharWidthCache(12);
  info.SetWidth(500);
  EXPECT_EQ(info.Width(), 200);
  EXPECT_EQ(info.CharWidthCache(), -1);
  info.SetWidth(0);
  EXPECT_EQ(info.Width(), 1);
  info.SetShrinkLimit(-3);
  EXPECT_EQ(info.ShrinkLimit(), 0);
  info.SetSize(5);
  EXPECT_EQ(info.Size(), 10);
  info.SetSize(1000);
  EXPECT_EQ(info.Size(), 999);
}

TEST(K3DFontInfo, FontsDecideWhichSizesHold) {
  K3DFonts fonts;
  fonts.Append(new FixedSizesFont("", 40, 83));
  fonts.Append(new FixedSizesFont("Board", 64, 24));
  K3DFontInfo info;
  EXPECT_EQ(info.Size(), 83);
  info.SetSize(40);
  EXPECT_EQ(info.Size(), 40);
  info.SetSize(41);  // rejected: the old size stays
  EXPECT_EQ(info.Size(), 40);
  info.SetFont("Board");  // 40 is not a size of Board
  EXPECT_EQ(info.Size(), 24);
  info.SetFont("Unknown");
  EXPECT_EQ(info.Size(), 24);
}

TEST(K3DFontInfo, EqualityIgnoresTheCacheButNotTheOverrides) {
  K3DFontInfo a;
  K3DFontInfo b;
  b.SetCharWidthCache(7);
  EXPECT_EQ(a, b);
  b.SetShadowSizeOverride(0);
  EXPECT_FALSE(a == b);
  K3DFontInfo c;
  c.SetFont("arial");
  K3DFontInfo d;
  d.SetFont("Arial");
  EXPECT_FALSE(c == d);
}

TEST(K3DFontInfo, StreamFormRoundTripsAndOlderTagsStopEarly) {
  K3DFontInfo info;
  info.SetFont("DejaVu Sans");
  info.SetSize(60);
  info.SetWidth(80);
  info.SetShrinkToFit(true);
  info.SetShrinkLimit(70);
  info.SetFaceColor(KColor::Rgb(1, 2, 3));
  info.SetBackgroundColor(KColor::Palette(7));
  KMemoryStream stream;
  info.Store(stream);
  stream.Rewind();
  K3DFontInfo back;
  back.Load(stream);
  EXPECT_EQ(back, info);

  // A 0x1000B record holds size and three colours only.
  KMemoryStream old;
  old.WriteInt32(0x30005);
  old.WriteInt32(50);
  KRecord::StoreColor(old, KColor::Palette(5));
  KRecord::StoreColor(old, KColor::Palette(6));
  KRecord::StoreColor(old, KColor::Palette(0));
  old.WriteInt32(0x12345678);  // not part of the record
  old.Rewind();
  K3DFontInfo legacy;
  legacy.Load(old);
  EXPECT_EQ(legacy.Size(), 50);
  EXPECT_EQ(legacy.FaceColor(), KColor::Palette(5));
  EXPECT_EQ(legacy.ShadowColor(), KColor::Palette(0));
  EXPECT_EQ(legacy.Width(), 100);
  EXPECT_EQ(old.ReadInt32(), 0x12345678);

  KMemoryStream wrong;
  wrong.WriteInt32(0x10010);
  wrong.Rewind();
  try {
    legacy.Load(wrong);
    FAIL();
  } catch (const KX& x) {
    EXPECT_EQ(x.Code(), 3009);
  }
}

}  // namespace
