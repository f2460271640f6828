// The stored form of layouts: the bytes written, every accepted version,
// and damaged input.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/k_memory_stream.h"
#include "base/k_record.h"
#include "base/k_x.h"
#include "layout/t_bitmap_object.h"
#include "layout/t_layout.h"
#include "layout/t_text_object.h"
#include "layout/t_trigger.h"
#include "layout/t_video_display_object.h"
#include "tests/layout/layout_fixture.h"

namespace {

// Builds records field by field, for versions the writer no longer makes.
class Bytes {
 public:
  Bytes& Int(int32_t value) {
    stream_.WriteInt32(value);
    return *this;
  }
  Bytes& Str(const char* text) {
    KRecord::StoreString(stream_, KString(text));
    return *this;
  }
  Bytes& Str8(const char* text) {
    stream_.WriteInt32(0x10005);
    stream_.WriteInt32(static_cast<int32_t>(std::strlen(text)));
    for (const char* at = text; *at; ++at) stream_.WriteByte(static_cast<uint8_t>(*at));
    return *this;
  }
  Bytes& Color(uint32_t value, int32_t tag = 0x1000A) {
    return Int(tag).Int(static_cast<int32_t>(value));
  }
  // A common record of the given version for an object at (1, 2), 30 x 40.
  Bytes& Common(int32_t version, int32_t id, int32_t flags, int32_t legacyDynamic,
                const char* field) {
    Int(version).Int(id).Int(flags).Int(1).Int(2).Int(30).Int(40).Int(legacyDynamic).Str(field);
    return *this;
  }
  Bytes& Font() {
    Int(0x1000F).Int(20).Color(1).Color(4).Color(4).Str("").Color(0).Int(0).Int(50).Int(100);
    return *this;
  }
  std::vector<uint8_t> Data() const { return stream_.Bytes(); }

 private:
  KMemoryStream stream_;
};

int Load(TLayout& layout, const std::vector<uint8_t>& bytes) {
  KMemoryStream stream(bytes);
  return layout.LoadContent(stream);
}

std::vector<uint8_t> Store(const TLayout& layout) {
  KMemoryStream stream;
  layout.StoreContent(stream);
  return stream.Bytes();
}

// A layout with every kind of object and every stored property set away
// from its default.
void Fill(TLayout& layout) {
  layout.SetBackground(KColor::Rgb(0x12, 0x34, 0x56));
  layout.SetSourceMode(1);
  layout.SetSourceSelected(0, true);
  layout.SetSourceSelected(31, true);
  layout.SetReservedWord(77);

  auto* text = static_cast<TTextObject*>(layout.NewObject(TLayoutServices::kText));
  K3DFontInfo font;
  font.SetFont(KString(u"Liberation Sans"));
  font.SetSize(48);
  font.SetWidth(80);
  font.SetShrinkToFit(true);
  font.SetShrinkLimit(30);
  font.SetFaceColor(KColor::Palette(10));
  font.SetBorderColor(KColor::Rgb(1, 2, 3));
  font.SetShadowColor(KColor::Palette(0));
  font.SetBackgroundColor(KColor::Palette(5));
  text->SetFont(font);
  text->SetJustification(TTextObject::kCentre);
  text->SetLines(2);
  text->SetLineSpacing(-4);
  text->SetText(KString(u"Lane %s \u00e9\u4e2d"));
  text->SetTrigger(KString(u"Results"));
  text->SetTriggerTime(2500);
  text->SetLocalOverride(true);
  text->SetSourceMode(1);
  text->SetSourceSelected(5, true);
  text->SetField(KString(u"Lane"));
  text->SetPosition(-20, 300);

  auto* bitmap = static_cast<TBitmapObject*>(layout.NewObject(TLayoutServices::kBitmap));
  bitmap->SetFile(KString(u"logo.tga"));
  bitmap->SetStretch(TLayoutObject::kStretchKeepAspect);
  bitmap->SetDynamic(true);
  bitmap->SetField(KString(u"Flag"));
  bitmap->SetPattern(KString(u"flags/%s.gif"));
  bitmap->SetDirectory(KString(u"/srv/pictures"));
  bitmap->SetBlackTransparent(false);
  bitmap->SetSpeed(-150);
  bitmap->SetSelected(true);
  bitmap->SetSize(640, 12);

  auto* video = static_cast<TVideoDisplayObject*>(layout.NewObject(TLayoutServices::kVideoDisplay));
  video->SetRotation(TVideoDisplayObject::kRotationRight);
  video->SetBlackTransparent(true);
  video->SetPosition(0, 0);
  layout.DeleteObject(layout.NewObject(TLayoutServices::kText));  // the counter runs ahead
}

using LayoutFormatTest = LayoutTest;

TEST_F(LayoutFormatTest, AnEmptyLayoutIsNineWords) {
  TLayout layout;
  const std::vector<uint8_t> bytes = Store(layout);
  ASSERT_EQ(bytes.size(), 36u);
  const std::vector<int32_t> expected = {0x30005, 0, 0, 0x10007, 0, 0x1000A, 7, 0, 0};
  std::vector<int32_t> words(9);
  std::memcpy(words.data(), bytes.data(), 36);
  EXPECT_EQ(words, expected);
}

TEST_F(LayoutFormatTest, EveryKindRoundTripsByteForByte) {
  TLayout layout;
  Fill(layout);
  const std::vector<uint8_t> first = Store(layout);
  TLayout reloaded;
  ASSERT_EQ(Load(reloaded, first), 0);
  EXPECT_EQ(reloaded.LoadedVersion(), 0x30005);
  EXPECT_EQ(Store(reloaded), first);

  EXPECT_EQ(reloaded.IdCounter(), 4);
  EXPECT_EQ(reloaded.ReservedWord(), 77);
  EXPECT_EQ(reloaded.Background(), KColor::Rgb(0x12, 0x34, 0x56));
  EXPECT_EQ(reloaded.SourceMask(), 0x80000001u);
  ASSERT_EQ(reloaded.ObjectCount(), 3);
  auto* text = static_cast<TTextObject*>(reloaded.NextObject(nullptr));
  EXPECT_EQ(text->Font().Font(), KString(u"Liberation Sans"));
  EXPECT_EQ(text->Text(), KString(u"Lane %s \u00e9\u4e2d"));
  EXPECT_EQ(text->TriggerName(), KString(u"Results"));
  // A stored trigger starts hidden.
  EXPECT_FALSE(text->IsVisible());
  // Ids after loading do not collide with stored ones.
  EXPECT_EQ(reloaded.NewObject(TLayoutServices::kText)->Id(), 5);
}

TEST_F(LayoutFormatTest, StringsAreWrittenWide) {
  TLayout layout;
  layout.NewObject(TLayoutServices::kText);
  const std::vector<uint8_t> bytes = Store(layout);
  // The class name follows the list header, with the 16-bit string tag.
  int32_t words[3];
  std::memcpy(words, bytes.data() + 20, sizeof words);
  EXPECT_EQ(words[0], 0x10010005);
  EXPECT_EQ(words[1], 11);
  EXPECT_EQ(bytes[28], 'T');
  EXPECT_EQ(bytes[29], 0);
}

TEST_F(LayoutFormatTest, Version33HasNoBackgroundOrSources) {
  TLayout layout;
  layout.SetBackground(KColor::Palette(2));
  const auto bytes = Bytes()
                         .Int(0x30003)
                         .Int(5)
                         .Int(0)
                         .Int(0x10007)
                         .Int(1)
                         .Str("TTextObject")
                         .Common(0x30004, 5, 0, 1, "Time")
                         .Int(0x30007)
                         .Font()
                         .Int(2)
                         .Str("%s")
                         .Str("12.3")
                         .Data();
  ASSERT_EQ(Load(layout, bytes), 0);
  EXPECT_EQ(layout.LoadedVersion(), 0x30003);
  EXPECT_EQ(layout.Background(), KColor::Palette(7));
  EXPECT_EQ(layout.SourceMode(), 0);
  auto* text = static_cast<TTextObject*>(layout.FindById(5));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->Value(), KString(u"12.3"));
  EXPECT_EQ(text->Font().Size(), 20);
  EXPECT_EQ(text->Lines(), 1);
  EXPECT_EQ(text->Position(), (KPoint{1, 2}));
}

TEST_F(LayoutFormatTest, Version34ReadsTheBackgroundUnderEitherTag) {
  for (const int32_t tag : {0x1000A, 0x30006}) {
    TLayout layout;
    const auto bytes =
        Bytes().Int(0x30004).Int(0).Int(0).Int(0x10007).Int(0).Color(3, tag).Int(1).Data();
    ASSERT_EQ(Load(layout, bytes), 0) << tag;
    EXPECT_EQ(layout.Background(), KColor::Palette(3));
    EXPECT_EQ(layout.SourceMode(), 0);  // the trailing word is not read
  }
}

TEST_F(LayoutFormatTest, TheLegacyDynamicWordDecidesIn34Only) {
  const auto layoutWith = [](int32_t version, int32_t flags, int32_t word) {
    Bytes bytes;
    bytes.Int(0x30005).Int(1).Int(0).Int(0x10007).Int(1).Str("TVideoDisplayObject");
    bytes.Common(version, 1, flags, word, "Data");
    if (version >= 0x30005) bytes.Int(0).Int(0);
    if (version >= 0x30006) bytes.Str("").Int(0);
    bytes.Int(0x30009).Int(0).Int(0).Color(7).Int(0).Int(0);
    return bytes.Data();
  };
  const auto dynamic = [&](int32_t version, int32_t flags, int32_t word) {
    TLayout layout;
    EXPECT_EQ(Load(layout, layoutWith(version, flags, word)), 0);
    return layout.NextObject(nullptr)->IsDynamic();
  };
  EXPECT_TRUE(dynamic(0x30004, 0, 1));
  EXPECT_FALSE(dynamic(0x30004, 1, 0));
  EXPECT_FALSE(dynamic(0x30005, 0, 1));
  EXPECT_TRUE(dynamic(0x30006, 1, 0));
}

TEST_F(LayoutFormatTest, OldBitmapRecordsKeepTheirDefaults) {
  TLayout layout;
  const auto bytes = Bytes()
                         .Int(0x30005)
                         .Int(1)
                         .Int(0)
                         .Int(0x10007)
                         .Int(1)
                         .Str8("TBitmapObject")
                         .Common(0x30006, 1, 0, 0, "")
                         .Int(0)
                         .Int(0)
                         .Str8("F1")
                         .Int(0)
                         .Int(0x30008)
                         .Str8("logo.tga")
                         .Color(7)
                         .Int(0)
                         .Int(0)
                         .Data();
  ASSERT_EQ(Load(layout, bytes), 0);
  auto* bitmap = static_cast<TBitmapObject*>(layout.NextObject(nullptr));
  EXPECT_EQ(bitmap->File(), KString(u"logo.tga"));
  EXPECT_EQ(bitmap->Pattern(), KString(u"%s.tga"));
  EXPECT_TRUE(bitmap->Directory().IsEmpty());
  EXPECT_TRUE(bitmap->BlackTransparent());
  EXPECT_EQ(bitmap->Speed(), 100);
  EXPECT_EQ(bitmap->TriggerName(), KString(u"F1"));
  EXPECT_FALSE(bitmap->IsVisible());
}

// One object entry with its kind record version changed.
std::vector<uint8_t> WithKindVersion(const char* className, int32_t version) {
  Bytes bytes;
  bytes.Int(0x30005).Int(1).Int(0).Int(0x10007).Int(1).Str(className);
  bytes.Common(0x30006, 1, 0, 0, "").Int(0).Int(0).Str("").Int(0);
  bytes.Int(version);
  // Enough of any kind record to be read if the version were accepted.
  bytes.Font().Int(0).Str("").Str("").Int(1).Int(0).Int(0).Int(0).Int(0).Int(0);
  bytes.Color(7).Int(0).Int(0);
  return bytes.Data();
}

TEST_F(LayoutFormatTest, VersionsOutsideTheirRangesAreRefused) {
  for (const int32_t version : {0x30002, 0x30006, 0x40005, -1}) {
    TLayout layout;
    EXPECT_EQ(Load(layout, Bytes().Int(version).Int(0).Int(0).Int(0x10007).Int(0).Data()), 3009);
  }
  TLayout layout;
  EXPECT_EQ(Load(layout, Bytes().Int(0x30005).Int(0).Int(0).Int(0x10008).Int(0).Data()), 3009);
  for (const int32_t version : {0x30008, 0x3000A, 0x30010})
    EXPECT_EQ(Load(layout, WithKindVersion("TVideoDisplayObject", version)), 3009) << version;
  EXPECT_EQ(Load(layout, WithKindVersion("TVideoDisplayObject", 0x30009)), 0);
  EXPECT_EQ(Load(layout, WithKindVersion("TTextObject", 0x30006)), 3009);
  EXPECT_EQ(Load(layout, WithKindVersion("TTextObject", 0x30009)), 3009);
  EXPECT_EQ(Load(layout, WithKindVersion("TBitmapObject", 0x30007)), 3009);
  EXPECT_EQ(Load(layout, WithKindVersion("TBitmapObject", 0x3000D)), 3009);
  // Common records before 3.4 or after 3.6.
  for (const int32_t version : {0x30003, 0x30007}) {
    const auto bytes = Bytes()
                           .Int(0x30005)
                           .Int(1)
                           .Int(0)
                           .Int(0x10007)
                           .Int(1)
                           .Str("TTextObject")
                           .Common(version, 1, 0, 0, "")
                           .Int(0)
                           .Int(0)
                           .Str("")
                           .Int(0)
                           .Data();
    EXPECT_EQ(Load(layout, bytes), 3009);
  }
}

TEST_F(LayoutFormatTest, UnknownClassesStopTheLoadWithoutAnObject) {
  TLayout layout;
  layout.NewObject(TLayoutServices::kText);
  for (const char* name : {"TLayoutObject", "ttextobject", "TTextObjectX", ""}) {
    const auto bytes = Bytes()
                           .Int(0x30005)
                           .Int(9)
                           .Int(0)
                           .Int(0x10007)
                           .Int(1)
                           .Str(name)
                           .Common(0x30006, 1, 0, 0, "")
                           .Data();
    EXPECT_EQ(Load(layout, bytes), 3010) << name;
    // The layout in use is untouched.
    EXPECT_EQ(layout.ObjectCount(), 1);
    EXPECT_EQ(layout.IdCounter(), 1);
  }
}

TEST_F(LayoutFormatTest, LongNamesAreCutAndFullyConsumed) {
  TLayout layout;
  const std::string longTrigger(300, 'x');
  const auto bytes = Bytes()
                         .Int(0x30005)
                         .Int(1)
                         .Int(0)
                         .Int(0x10007)
                         .Int(1)
                         .Str("TTextObject")
                         .Common(0x30006, 1, 0, 0, "")
                         .Int(0)
                         .Int(0)
                         .Str(longTrigger.c_str())
                         .Int(0)
                         .Int(0x30008)
                         .Font()
                         .Int(0)
                         .Str("%s")
                         .Str("")
                         .Int(1)
                         .Int(0)
                         .Color(2)
                         .Int(0)
                         .Int(0)
                         .Data();
  ASSERT_EQ(Load(layout, bytes), 0);
  EXPECT_EQ(layout.NextObject(nullptr)->TriggerName().Length(), 15);
  EXPECT_EQ(layout.Background(), KColor::Palette(2));
}

TEST_F(LayoutFormatTest, EveryTruncationFailsCleanlyAndKeepsTheLayout) {
  TLayout full;
  Fill(full);
  const std::vector<uint8_t> bytes = Store(full);
  TLayout layout;
  layout.NewObject(TLayoutServices::kVideoDisplay)->SetPosition(3, 4);
  const std::vector<uint8_t> before = Store(layout);
  redraws.clear();
  for (size_t size = 0; size < bytes.size(); ++size) {
    const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(size));
    ASSERT_EQ(Load(layout, cut), 3004) << size;
  }
  EXPECT_EQ(Store(layout), before);
  // Objects of a state that is never used ask for no redraws.
  EXPECT_TRUE(redraws.empty());
}

}  // namespace
