#include "base/k_record.h"

#include <algorithm>

#include "base/k_x.h"

namespace KRecord {

void StoreString(KStream& stream, const KString& text) {
  stream.WriteInt32(kStringTag);
  stream.WriteInt32(text.Length());
  for (const char16_t ch : text) stream.WriteUInt16(ch);
}

void LoadString(KStream& stream, KString& text) {
  const int32_t tag = stream.ReadInt32();
  const bool wide = (tag & kWideFlag) != 0;
  if ((tag & ~kWideFlag) != kStringVersion) throw KXPersistent(KErrors::kFileVersion);
  const int32_t length = stream.ReadInt32();
  if (length < 0) throw KXPersistent(KErrors::kFileContents);
  text.Clear();
  const int keep = std::min(length, text.MaxLength());
  // Read in blocks so that a damaged length costs no more memory than the
  // data really holds.
  constexpr int kBlock = 4096;
  uint8_t block[kBlock * 2];
  const int width = wide ? 2 : 1;
  int done = 0;
  while (done < length) {
    const int units = std::min(kBlock, length - done);
    int got = units;
    KXStream failure(0);
    bool failed = false;
    try {
      stream.Read(block, units * width);
    } catch (const KXStream& error) {
      got = error.Count() / width;
      failure = error;
      failed = true;
    }
    for (int i = 0; i < got && done + i < keep; ++i) {
      const uint8_t* unit = block + static_cast<size_t>(i) * static_cast<size_t>(width);
      const char16_t ch = !wide                ? static_cast<char16_t>(unit[0])
                          : stream.SwapBytes() ? static_cast<char16_t>((unit[0] << 8) | unit[1])
                                               : static_cast<char16_t>((unit[1] << 8) | unit[0]);
      text.Append(ch);
    }
    if (failed) throw failure;
    done += units;
  }
}

void StoreColor(KStream& stream, KColor color) {
  stream.WriteInt32(kColorTag);
  stream.WriteInt32(static_cast<int32_t>(color.value));
}

KColor LoadColor(KStream& stream) {
  const int32_t tag = stream.ReadInt32();
  if (tag != kColorTag && tag != kColorTagOld) throw KXPersistent(KErrors::kFileVersion);
  return KColor{static_cast<uint32_t>(stream.ReadInt32())};
}

void StorePoint(KStream& stream, const KPoint& point) {
  stream.WriteInt32(point.x);
  stream.WriteInt32(point.y);
}

KPoint LoadPoint(KStream& stream) {
  KPoint point;
  point.x = stream.ReadInt32();
  point.y = stream.ReadInt32();
  return point;
}

void StoreRect(KStream& stream, const KRect& rect) {
  stream.WriteInt32(rect.left);
  stream.WriteInt32(rect.top);
  stream.WriteInt32(rect.right);
  stream.WriteInt32(rect.bottom);
}

KRect LoadRect(KStream& stream) {
  KRect rect;
  rect.left = stream.ReadInt32();
  rect.top = stream.ReadInt32();
  rect.right = stream.ReadInt32();
  rect.bottom = stream.ReadInt32();
  return rect;
}

void StoreDateTime(KStream& stream, const KDateTime& when) {
  stream.WriteInt32(kDateTimeTag);
  for (const int32_t field : {when.year, when.month, when.day, when.dayOfWeek, when.hour,
                              when.minute, when.second, when.millisecond}) {
    stream.WriteInt32(field);
  }
}

KDateTime LoadDateTime(KStream& stream) {
  if (stream.ReadInt32() != kDateTimeTag) throw KXPersistent(KErrors::kFileVersion);
  KDateTime when;
  for (int32_t* field : {&when.year, &when.month, &when.day, &when.dayOfWeek, &when.hour,
                         &when.minute, &when.second, &when.millisecond}) {
    *field = stream.ReadInt32();
  }
  return when;
}

void StoreList(KStream& stream, const KList& list) {
  stream.WriteInt32(kListTag);
  stream.WriteInt32(list.Count());
  for (const KListItem* item : list.Items()) item->Store(stream);
}

void StoreMixedList(KStream& stream, const KList& list) {
  stream.WriteInt32(kListTag);
  stream.WriteInt32(list.Count());
  for (const KListItem* item : list.Items()) {
    StoreString(stream, item->ClassName());
    item->Store(stream);
  }
}

namespace {

int32_t ReadListHeader(KList& list, KStream& stream) {
  list.DeleteAll();
  if (stream.ReadInt32() != kListTag) throw KXPersistent(KErrors::kFileVersion);
  return stream.ReadInt32();
}

}  // namespace

void LoadList(KList& list, KStream& stream, const Factory& factory) {
  const int32_t count = ReadListHeader(list, stream);
  for (int32_t i = 0; i < count; ++i) {
    KListItem* item = factory();
    if (!item) throw KXPersistent(KErrors::kFileContents);
    list.Append(item);
    item->Load(stream);
  }
}

void LoadList(KList& list, KStream& stream, const NamedFactory& factory) {
  const int32_t count = ReadListHeader(list, stream);
  for (int32_t i = 0; i < count; ++i) {
    KString63 className;
    LoadString(stream, className);
    KListItem* item = factory(className);
    if (!item) throw KXPersistent(KErrors::kFileContents);
    list.Append(item);
    item->Load(stream);
  }
}

}  // namespace KRecord
