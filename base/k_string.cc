#include "base/k_string.h"

#include <algorithm>
#include <cstring>
#include <ostream>

#include "base/k_utf8.h"

KString::KString(const char* utf8) : KString(std::string_view(utf8 ? utf8 : "")) {}

KString::KString(std::string_view utf8) {
  AppendUtf8(utf8);
}

KString::KString(std::u16string_view text) {
  Assign(text);
}

KString::KString(char16_t* buffer, int capacity)
    : buffer_(buffer), capacity_(capacity), growth_(Growth::Fixed) {}

KString::KString(const KString& other) {
  Assign(other.View());
}

KString::KString(KString&& other) noexcept {
  if (other.growth_ == Growth::Growable) {
    std::swap(buffer_, other.buffer_);
    std::swap(start_, other.start_);
    std::swap(end_, other.end_);
    std::swap(capacity_, other.capacity_);
  } else {
    // A view's text may die before this string does; a fixed buffer belongs
    // to the other object. Either way the characters are copied.
    Assign(other.View());
  }
}

KString& KString::operator=(const KString& other) {
  if (this != &other) Assign(other.View());
  return *this;
}

KString& KString::operator=(KString&& other) noexcept {
  if (this == &other) return *this;
  if (growth_ == Growth::Growable && other.growth_ == Growth::Growable) {
    std::swap(buffer_, other.buffer_);
    std::swap(start_, other.start_);
    std::swap(end_, other.end_);
    std::swap(capacity_, other.capacity_);
    other.Clear();
  } else {
    Assign(other.View());
  }
  return *this;
}

KString& KString::operator=(std::u16string_view text) {
  Assign(text);
  return *this;
}

KString& KString::operator=(const char* utf8) {
  if (growth_ == Growth::View) return *this;
  Clear();
  AppendUtf8(utf8 ? utf8 : "");
  return *this;
}

KString::~KString() {
  Release();
}

void KString::Release() {
  if (growth_ == Growth::Growable) delete[] buffer_;
  buffer_ = nullptr;
  capacity_ = 0;
  start_ = end_ = 0;
}

KString KString::MakeView(std::u16string_view text) {
  KString view;
  view.growth_ = Growth::View;
  // The view never writes through this pointer.
  view.buffer_ =
      const_cast<char16_t*>(text.data());  // NOLINT(cppcoreguidelines-pro-type-const-cast)
  const auto length = static_cast<int>(std::min<size_t>(text.size(), kMaxLength));
  view.capacity_ = length;
  view.end_ = length;
  return view;
}

KString KString::FromLatin1(std::string_view bytes) {
  KString out;
  out.Reserve(static_cast<int>(std::min<size_t>(bytes.size(), kMaxLength)));
  for (const char byte : bytes) out.Append(static_cast<char16_t>(static_cast<uint8_t>(byte)));
  return out;
}

bool KString::MakeRoom(int length) {
  if (growth_ == Growth::View) return false;
  if (length <= capacity_ - start_) return true;
  if (length <= capacity_) {
    // Room exists once the text moves back to the front of the buffer.
    std::memmove(buffer_, buffer_ + start_, sizeof(char16_t) * static_cast<size_t>(Length()));
    end_ -= start_;
    start_ = 0;
    return true;
  }
  if (growth_ == Growth::Fixed) return false;
  const int64_t doubled = static_cast<int64_t>(capacity_) * 2;
  const int newCapacity =
      static_cast<int>(std::min<int64_t>(kMaxLength, std::max<int64_t>(length, doubled)));
  if (newCapacity < length) return false;
  auto* fresh = new char16_t[static_cast<size_t>(newCapacity)];
  const int count = Length();
  if (count > 0)
    std::memcpy(fresh, buffer_ + start_, sizeof(char16_t) * static_cast<size_t>(count));
  delete[] buffer_;
  buffer_ = fresh;
  capacity_ = newCapacity;
  start_ = 0;
  end_ = count;
  return true;
}

bool KString::Reserve(int length) {
  if (length < 0 || length > MaxLength()) return false;
  return MakeRoom(length);
}

void KString::SetAt(int index, char16_t ch) {
  if (growth_ == Growth::View || index < 0 || index >= Length()) return;
  buffer_[start_ + index] = ch;
}

std::string KString::ToUtf8() const {
  return KUtf8::FromUtf16(View());
}

std::string KString::ToLatin1() const {
  std::string out;
  out.reserve(static_cast<size_t>(Length()));
  for (const char16_t ch : View()) out += static_cast<char>(ch & 0xFF);
  return out;
}

int KString::AssignSlowly(std::u16string_view text) {
  if (growth_ == Growth::View) return 0;
  // The source may lie inside this buffer.
  if (buffer_ && text.data() >= buffer_ && text.data() < buffer_ + capacity_) {
    std::u16string copy(text);
    Clear();
    return Append(copy);
  }
  Clear();
  return Append(text);
}

int KString::AppendSlowly(char16_t ch) {
  if (Length() >= MaxLength() || !MakeRoom(Length() + 1)) return 0;
  buffer_[end_++] = ch;
  return 1;
}

int KString::AppendSlowly(std::u16string_view text) {
  if (growth_ == Growth::View || text.empty()) return 0;
  if (buffer_ && text.data() >= buffer_ && text.data() < buffer_ + capacity_) {
    std::u16string copy(text);
    return Append(copy);
  }
  const int room = MaxLength() - Length();
  const int count = static_cast<int>(std::min<size_t>(text.size(), static_cast<size_t>(room)));
  if (count <= 0) return 0;
  int wanted = Length() + count;
  if (!MakeRoom(wanted)) {
    if (growth_ != Growth::Fixed) return 0;
    wanted = capacity_;
    MakeRoom(wanted);
  }
  const int stored = wanted - Length();
  std::memcpy(buffer_ + end_, text.data(), sizeof(char16_t) * static_cast<size_t>(stored));
  end_ += stored;
  return stored;
}

int KString::AppendUtf8(std::string_view utf8) {
  return Append(KUtf8::ToUtf16(utf8));
}

int KString::AppendInt(int64_t value) {
  const std::string digits = std::to_string(value);
  return AppendUtf8(digits);
}

int KString::Insert(int index, std::u16string_view text) {
  if (growth_ == Growth::View || text.empty()) return 0;
  if (!IsOutside(text.data())) {
    const std::u16string copy(text);
    return Insert(index, copy);
  }
  const int length = Length();
  index = std::clamp(index, 0, length);
  // What does not fit is cut from the end: the tail before the new text.
  const int room = MaxLength() - index;
  const int stored = static_cast<int>(std::min<size_t>(text.size(), static_cast<size_t>(room)));
  const int kept = std::min(length - index, room - stored);
  if (stored <= 0 || !MakeRoom(index + stored + kept)) return 0;
  char16_t* const at = buffer_ + start_ + index;
  if (kept > 0) std::memmove(at + stored, at, sizeof(char16_t) * static_cast<size_t>(kept));
  CopyChars(at, text.data(), static_cast<size_t>(stored));
  end_ = start_ + index + stored + kept;
  return stored;
}

void KString::Delete(int index, int count) {
  if (growth_ == Growth::View || count <= 0 || index < 0 || index >= Length()) return;
  count = std::min(count, Length() - index);
  if (index == 0) {
    start_ += count;
    if (start_ == end_) start_ = end_ = 0;
    return;
  }
  std::memmove(buffer_ + start_ + index, buffer_ + start_ + index + count,
               sizeof(char16_t) * static_cast<size_t>(Length() - index - count));
  end_ -= count;
}

void KString::Truncate(int length) {
  if (growth_ == Growth::View || length < 0 || length >= Length()) return;
  end_ = start_ + length;
}

KString KString::Mid(int index, int count) const {
  if (index < 0) {
    count += index;
    index = 0;
  }
  if (count <= 0 || index >= Length()) return {};
  count = std::min(count, Length() - index);
  return KString(View().substr(static_cast<size_t>(index), static_cast<size_t>(count)));
}

int KString::Find(char16_t ch, int from) const {
  for (int i = std::max(from, 0); i < Length(); ++i) {
    if (buffer_[start_ + i] == ch) return i;
  }
  return -1;
}

int KString::Find(std::u16string_view text, int from) const {
  if (from < 0) from = 0;
  if (from > Length()) return -1;
  const size_t at = View().find(text, static_cast<size_t>(from));
  return at == std::u16string_view::npos ? -1 : static_cast<int>(at);
}

int KString::FindLast(char16_t ch) const {
  for (int i = Length() - 1; i >= 0; --i) {
    if (buffer_[start_ + i] == ch) return i;
  }
  return -1;
}

bool KString::StartsWith(std::u16string_view text, bool ignoreCase) const {
  if (text.size() > static_cast<size_t>(Length())) return false;
  return KString::MakeView(View().substr(0, text.size())).Compare(text, ignoreCase) == 0;
}

char16_t KString::FoldCase(char16_t ch) {
  if (ch < 0x80) return (ch >= u'A' && ch <= u'Z') ? static_cast<char16_t>(ch + 32) : ch;
  if (ch >= 0xC0 && ch <= 0xDE && ch != 0xD7) return static_cast<char16_t>(ch + 32);
  if (ch >= 0x100 && ch <= 0x17F) {
    // Latin Extended-A pairs even/odd, except the odd-first run 0x139..0x148
    // and 0x179..0x17E.
    if ((ch >= 0x139 && ch <= 0x148) || (ch >= 0x179 && ch <= 0x17E)) {
      return (ch & 1) ? static_cast<char16_t>(ch + 1) : ch;
    }
    if (ch == 0x130 || ch == 0x131 || ch == 0x138 || ch == 0x149 || ch == 0x17F) return ch;
    return (ch & 1) ? ch : static_cast<char16_t>(ch + 1);
  }
  if (ch >= 0x391 && ch <= 0x3AB && ch != 0x3A2) return static_cast<char16_t>(ch + 32);
  if (ch >= 0x410 && ch <= 0x42F) return static_cast<char16_t>(ch + 32);
  if (ch >= 0x400 && ch <= 0x40F) return static_cast<char16_t>(ch + 80);
  return ch;
}

char16_t KString::ToUpper(char16_t ch) {
  if (ch < 0x80) return (ch >= u'a' && ch <= u'z') ? static_cast<char16_t>(ch - 32) : ch;
  if (ch >= 0xE0 && ch <= 0xFE && ch != 0xF7) return static_cast<char16_t>(ch - 32);
  if (ch >= 0x100 && ch <= 0x17F) {
    if ((ch >= 0x139 && ch <= 0x148) || (ch >= 0x179 && ch <= 0x17E)) {
      return (ch & 1) ? ch : static_cast<char16_t>(ch - 1);
    }
    if (ch == 0x130 || ch == 0x131 || ch == 0x138 || ch == 0x149 || ch == 0x17F) return ch;
    return (ch & 1) ? static_cast<char16_t>(ch - 1) : ch;
  }
  if (ch >= 0x3B1 && ch <= 0x3CB && ch != 0x3C2) return static_cast<char16_t>(ch - 32);
  if (ch >= 0x430 && ch <= 0x44F) return static_cast<char16_t>(ch - 32);
  if (ch >= 0x450 && ch <= 0x45F) return static_cast<char16_t>(ch - 80);
  return ch;
}

int KString::Compare(std::u16string_view other, bool ignoreCase) const {
  const std::u16string_view mine = View();
  const size_t common = std::min(mine.size(), other.size());
  for (size_t i = 0; i < common; ++i) {
    char16_t a = mine[i];
    char16_t b = other[i];
    if (ignoreCase) {
      a = FoldCase(a);
      b = FoldCase(b);
    }
    if (a != b) return a < b ? -1 : 1;
  }
  if (mine.size() == other.size()) return 0;
  return mine.size() < other.size() ? -1 : 1;
}

std::ostream& operator<<(std::ostream& out, const KString& text) {
  return out << text.ToUtf8();
}
