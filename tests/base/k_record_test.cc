#include "base/k_record.h"

#include <gtest/gtest.h>

#include <string>

#include "base/k_memory_stream.h"
#include "base/k_x.h"

namespace {

class Lane : public KListItem {
 public:
  KString ClassName() const override { return KString::MakeView(u"Lane"); }
  void Load(KStream& stream) override {
    number = stream.ReadInt32();
    KRecord::LoadString(stream, name);
  }
  void Store(KStream& stream) const override {
    stream.WriteInt32(number);
    KRecord::StoreString(stream, name);
  }
  int number = 0;
  KString31 name;
};

class Split : public Lane {
 public:
  KString ClassName() const override { return KString::MakeView(u"Split"); }
};

int PersistentCode(const std::function<void()>& action) {
  try {
    action();
  } catch (const KXPersistent& error) {
    return error.Code();
  } catch (const KX& error) {
    return -error.Code();
  }
  return 0;
}

KMemoryStream Bytes(std::string_view bytes) {
  return KMemoryStream(bytes.data(), bytes.size());
}

}  // namespace

TEST(KRecordString, RoundTripsWithItsTagAndSixteenBitCharacters) {
  KMemoryStream stream;
  KRecord::StoreString(stream, KString(u"Z\u00FCrich"));
  EXPECT_EQ(std::string(stream.Bytes().begin(), stream.Bytes().begin() + 8),
            std::string("\x05\x00\x01\x10\x06\x00\x00\x00", 8));
  KString back;
  KRecord::LoadString(stream, back);
  EXPECT_EQ(back.View(), u"Z\u00FCrich");
  EXPECT_EQ(stream.Remaining(), 0u);
}

TEST(KRecordString, EightBitRecordsLoadAndOtherVersionsFail) {
  auto narrow =
      Bytes(std::string("\x05\x00\x01\x00\x03\x00\x00\x00"
                        "abc",
                        11));
  KString text;
  KRecord::LoadString(narrow, text);
  EXPECT_EQ(text.ToUtf8(), "abc");

  auto future = Bytes(std::string("\x05\x00\x02\x10\x00\x00\x00\x00", 8));
  EXPECT_EQ(PersistentCode([&] { KRecord::LoadString(future, text); }), KErrors::kFileVersion);
}

TEST(KRecordString, AFixedStringKeepsItsCapacityAndConsumesTheWholeRecord) {
  KMemoryStream stream;
  KRecord::StoreString(stream, KString(std::u16string(300, u'q')));
  stream.WriteInt32(0x12345678);
  KString255 fixed;
  KRecord::LoadString(stream, fixed);
  EXPECT_EQ(fixed.Length(), 255);
  EXPECT_EQ(stream.ReadInt32(), 0x12345678);
}

TEST(KRecordString, DamagedLengthsFailWithoutHugeAllocations) {
  // Claims two billion characters but holds three: the end of data ends it.
  auto lying =
      Bytes(std::string("\x05\x00\x01\x10\xFF\xFF\xFF\x7F"
                        "a\0b\0c\0",
                        14));
  KString text;
  EXPECT_EQ(PersistentCode([&] { KRecord::LoadString(lying, text); }), -KErrors::kFileRead);
  EXPECT_EQ(text.ToUtf8(), "abc");  // what was read stays
  EXPECT_LT(text.Capacity(), 1 << 16);

  auto negative = Bytes(std::string("\x05\x00\x01\x10\xFF\xFF\xFF\xFF", 8));
  EXPECT_EQ(PersistentCode([&] { KRecord::LoadString(negative, text); }), KErrors::kFileContents);
}

TEST(KRecordValues, ColoursPointsRectanglesAndDatesRoundTrip) {
  KMemoryStream stream;
  stream.SetSwapBytes(true);  // the big-endian form must round-trip as well
  KRecord::StoreColor(stream, KColor::Rgb(0x12, 0x34, 0x56));
  KRecord::StorePoint(stream, KPoint{-5, 7});
  KRecord::StoreRect(stream, KRect{1, 2, 640, 480});
  const KDateTime when{2025, 3, 28, 1, 12, 30, 45, 999};
  KRecord::StoreDateTime(stream, when);
  EXPECT_EQ(KRecord::LoadColor(stream).value, 0x80123456u);
  EXPECT_EQ(KRecord::LoadPoint(stream), (KPoint{-5, 7}));
  EXPECT_EQ(KRecord::LoadRect(stream), (KRect{1, 2, 640, 480}));
  EXPECT_EQ(KRecord::LoadDateTime(stream), when);

  auto old = Bytes(std::string("\x06\x00\x03\x00\x05\x00\x00\x00", 8));
  EXPECT_EQ(KRecord::LoadColor(old).PaletteIndex(), 5);
  auto wrong = Bytes(std::string("\x0B\x00\x01\x00\x05\x00\x00\x00", 8));
  EXPECT_EQ(PersistentCode([&] { KRecord::LoadColor(wrong); }), KErrors::kFileVersion);
  auto badDate = Bytes(std::string("\x07\x00\x01\x00", 4));
  EXPECT_EQ(PersistentCode([&] { KRecord::LoadDateTime(badDate); }), KErrors::kFileVersion);
}

TEST(KRecordList, OneClassListsRoundTripAndReplaceWhatWasThere) {
  KList lanes;
  for (int i = 1; i <= 3; ++i) {
    auto* lane = new Lane;
    lane->number = i;
    lane->name = "Lane";
    lane->name.AppendInt(i);
    lanes.Append(lane);
  }
  KMemoryStream stream;
  KRecord::StoreList(stream, lanes);
  KList loaded;
  loaded.Append(new Lane);  // deleted by the load
  KRecord::LoadList(loaded, stream, KRecord::Factory([] { return new Lane; }));
  ASSERT_EQ(loaded.Count(), 3);
  EXPECT_EQ(static_cast<Lane*>(loaded.Last())->number, 3);
  EXPECT_EQ(static_cast<Lane*>(loaded.Last())->name.ToUtf8(), "Lane3");
}

TEST(KRecordList, ZeroAndNegativeCountsLoadAsEmptyLists) {
  for (const char* count : {"\x00\x00\x00\x00", "\xFF\xFF\xFF\xFF", "\x00\x00\x00\x80"}) {
    std::string bytes("\x07\x00\x01\x00", 4);
    bytes.append(count, 4);
    auto stream = Bytes(bytes);
    KList list;
    list.Append(new Lane);
    int made = 0;
    KRecord::LoadList(list, stream, KRecord::Factory([&] {
                        ++made;
                        return new Lane;
                      }));
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(made, 0);
  }
  auto wrongTag = Bytes(std::string("\x08\x00\x01\x00\x00\x00\x00\x00", 8));
  KList list;
  EXPECT_EQ(PersistentCode([&] {
              KRecord::LoadList(list, wrongTag, KRecord::Factory([] { return new Lane; }));
            }),
            KErrors::kFileVersion);
}

TEST(KRecordList, MixedListsStoreClassNamesAndRefuseUnknownOnes) {
  KList items;
  items.Append(new Lane);
  items.Append(new Split);
  static_cast<Lane*>(items.Last())->number = 9;
  KMemoryStream stream;
  KRecord::StoreMixedList(stream, items);
  const std::vector<uint8_t> stored = stream.Bytes();

  KRecord::NamedFactory factory = [](const KString& name) -> KListItem* {
    if (name == KString(u"Lane")) return new Lane;
    if (name == KString(u"Split")) return new Split;
    return nullptr;
  };
  KList loaded;
  KRecord::LoadList(loaded, stream, factory);
  ASSERT_EQ(loaded.Count(), 2);
  EXPECT_EQ(loaded.Last()->ClassName().ToUtf8(), "Split");
  EXPECT_EQ(static_cast<Lane*>(loaded.Last())->number, 9);

  KMemoryStream again(stored);
  KList partial;
  KRecord::NamedFactory onlyLanes = [](const KString& name) -> KListItem* {
    return name == KString(u"Lane") ? new Lane : nullptr;
  };
  EXPECT_EQ(PersistentCode([&] { KRecord::LoadList(partial, again, onlyLanes); }),
            KErrors::kFileContents);
  EXPECT_EQ(partial.Count(), 1);  // what loaded before the unknown class stays
}
