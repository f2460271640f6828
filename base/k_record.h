#pragma once

#include <cstdint>
#include <functional>

#include "base/k_color.h"
#include "base/k_date_time.h"
#include "base/k_list.h"
#include "base/k_rect.h"
#include "base/k_stream.h"
#include "base/k_string.h"

// The stored forms of the common values: tagged, versioned records on the
// data layer of a stream. A tag or version a loader does not accept raises
// KXPersistent 3009; the end of the data raises KXStream 3004, and whatever
// was read before that stays in the object.
namespace KRecord {

inline constexpr int32_t kStringTag = 0x10010005;  // bit 28: 16-bit characters; version 1.5
inline constexpr int32_t kWideFlag = 0x10000000;
inline constexpr int32_t kStringVersion = 0x10005;
inline constexpr int32_t kColorTag = 0x1000A;
inline constexpr int32_t kColorTagOld = 0x30006;
inline constexpr int32_t kDateTimeTag = 0x10008;
inline constexpr int32_t kListTag = 0x10007;
// Class names of mixed lists are read into a string of this many characters.
inline constexpr int kClassNameLength = 63;

void StoreString(KStream& stream, const KString& text);
// A fixed string keeps its capacity and drops the characters beyond it; the
// whole record is consumed either way.
void LoadString(KStream& stream, KString& text);

void StoreColor(KStream& stream, KColor color);
KColor LoadColor(KStream& stream);

void StorePoint(KStream& stream, const KPoint& point);
KPoint LoadPoint(KStream& stream);

void StoreRect(KStream& stream, const KRect& rect);
KRect LoadRect(KStream& stream);

void StoreDateTime(KStream& stream, const KDateTime& when);
KDateTime LoadDateTime(KStream& stream);

// Items of one class: tag, count, each item's Store.
void StoreList(KStream& stream, const KList& list);
// Items of mixed classes: each item's class name before its Store.
void StoreMixedList(KStream& stream, const KList& list);

using Factory = std::function<KListItem*()>;
using NamedFactory = std::function<KListItem*(const KString& className)>;

// Both delete every item of `list` first. A count of 0 or less loads as an
// empty list. The named form ends with KXPersistent 3010 when the factory
// knows no class of the stored name.
void LoadList(KList& list, KStream& stream, const Factory& factory);
void LoadList(KList& list, KStream& stream, const NamedFactory& factory);

}  // namespace KRecord
