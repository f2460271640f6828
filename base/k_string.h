#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>

// Text of 16-bit characters. Three forms share one interface:
//  - growable: owns its buffer and grows to max(needed, 2 * capacity);
//  - fixed: writes into a buffer it does not own and silently cuts what does
//    not fit (the KStringN family below);
//  - constant view: wraps existing text and ignores every change.
// The text lies between a start and an end offset inside the buffer, so
// removing characters at the front costs nothing.
// Reading outside the text gives 0 and writing there does nothing, which lets
// parsers look ahead without bounds checks.
class KString {
 public:
  enum class Growth : uint8_t { Growable, Fixed, View };
  static constexpr int kMaxLength = 0x7FFFFFFE;

  KString() = default;
  KString(const char* utf8);       // NOLINT(google-explicit-constructor): literals read naturally
  KString(std::string_view utf8);  // NOLINT(google-explicit-constructor)
  KString(std::u16string_view text);  // NOLINT(google-explicit-constructor)
  KString(const KString& other);
  KString(KString&& other) noexcept;
  KString& operator=(const KString& other);
  KString& operator=(KString&& other) noexcept;
  KString& operator=(std::u16string_view text);
  KString& operator=(const char* utf8);
  virtual ~KString();

  // A read-only view of text owned elsewhere; it must outlive the view.
  static KString MakeView(std::u16string_view text);
  static KString FromLatin1(std::string_view bytes);

  Growth GrowthMode() const { return growth_; }
  int Length() const { return end_ - start_; }
  bool IsEmpty() const { return end_ == start_; }
  int Capacity() const { return capacity_; }
  // The longest text this string can ever hold.
  int MaxLength() const { return growth_ == Growth::Growable ? kMaxLength : capacity_; }

  char16_t At(int index) const {
    return index >= 0 && index < Length() ? buffer_[start_ + index] : char16_t{0};
  }
  char16_t operator[](int index) const { return At(index); }
  char16_t Last() const { return At(Length() - 1); }
  void SetAt(int index, char16_t ch);

  const char16_t* Data() const { return buffer_ ? buffer_ + start_ : u""; }
  std::u16string_view View() const { return {Data(), static_cast<size_t>(Length())}; }
  std::u16string ToU16() const { return std::u16string(View()); }
  std::string ToUtf8() const;
  // Each character's low byte; for texts known to be 8-bit.
  std::string ToLatin1() const;

  // Every change returns the number of characters actually stored, which is
  // less than asked when a fixed string is full.
  void Clear() {
    if (growth_ != Growth::View) start_ = end_ = 0;
  }
  // The common cases, text that fits the buffer as it stands, are inline:
  // packet cutting assigns and appends short pieces for every field.
  int Assign(std::u16string_view text) {
    if (growth_ != Growth::View && text.size() <= static_cast<size_t>(capacity_) &&
        IsOutside(text.data())) {
      start_ = 0;
      end_ = static_cast<int>(text.size());
      Copy(buffer_, text);
      return end_;
    }
    return AssignSlowly(text);
  }
  int Append(char16_t ch) {
    if (growth_ != Growth::View && end_ < capacity_) {
      buffer_[end_++] = ch;
      return 1;
    }
    return AppendSlowly(ch);
  }
  int Append(std::u16string_view text) {
    if (growth_ != Growth::View && text.size() <= static_cast<size_t>(capacity_ - end_) &&
        IsOutside(text.data())) {
      Copy(buffer_ + end_, text);
      end_ += static_cast<int>(text.size());
      return static_cast<int>(text.size());
    }
    return AppendSlowly(text);
  }
  int Append(const KString& text) { return Append(text.View()); }
  int AppendUtf8(std::string_view utf8);
  int AppendInt(int64_t value);
  int Insert(int index, std::u16string_view text);
  void Delete(int index, int count);
  void Truncate(int length);
  void TrimLeft(int count) { Delete(0, count); }
  // Grows toward `length` without changing the text; false when it cannot.
  bool Reserve(int length);

  KString Mid(int index, int count = kMaxLength) const;
  KString Left(int count) const { return Mid(0, count); }
  int Find(char16_t ch, int from = 0) const;
  int Find(std::u16string_view text, int from = 0) const;
  int FindLast(char16_t ch) const;
  bool Contains(char16_t ch) const { return Find(ch) >= 0; }
  bool StartsWith(std::u16string_view text, bool ignoreCase = false) const;

  int Compare(std::u16string_view other, bool ignoreCase = false) const;
  bool Equals(std::u16string_view other, bool ignoreCase = false) const {
    return Compare(other, ignoreCase) == 0;
  }
  bool EqualsNoCase(std::u16string_view other) const { return Compare(other, true) == 0; }
  friend bool operator==(const KString& a, const KString& b) { return a.View() == b.View(); }
  friend bool operator==(const KString& a, std::u16string_view b) { return a.View() == b; }
  friend bool operator<(const KString& a, const KString& b) { return a.View() < b.View(); }

  // Simple case mapping over ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic,
  // enough for the names and keys the program compares.
  static char16_t FoldCase(char16_t ch);
  static char16_t ToUpper(char16_t ch);

  const char16_t* begin() const { return Data(); }
  const char16_t* end() const { return Data() + Length(); }

  // Copies `count` characters between buffers that do not overlap. Fields
  // and packet bodies are mostly a few dozen characters long, where a call
  // to memcpy costs more than the copy: those move as overlapping blocks.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
// Inlined with a constant count, the branches for other counts draw these.
#pragma GCC diagnostic ignored "-Warray-bounds"
#pragma GCC diagnostic ignored "-Wstringop-overread"
#endif
  static void CopyChars(char16_t* to, const char16_t* from, size_t count) {
    struct Block16 {
      uint64_t low;
      uint64_t high;
    };
    // The first and the last block of `length` characters from `start`,
    // which cover them all when `length` is from one block to two.
    auto copyEnds = [&](auto block, size_t start, size_t length) {
      constexpr size_t kChars = sizeof(block) / sizeof(char16_t);
      decltype(block) first;
      decltype(block) last;
      std::memcpy(&first, from + start, sizeof block);
      std::memcpy(&last, from + start + length - kChars, sizeof block);
      std::memcpy(to + start, &first, sizeof block);
      std::memcpy(to + start + length - kChars, &last, sizeof block);
    };
    if (count > 32) {
      std::memcpy(to, from, sizeof(char16_t) * count);
    } else if (count > 16) {
      copyEnds(Block16{}, 0, 16);
      copyEnds(Block16{}, count - 16, 16);
    } else if (count >= 8) {
      copyEnds(Block16{}, 0, count);
    } else if (count >= 4) {
      copyEnds(uint64_t{}, 0, count);
    } else if (count >= 2) {
      copyEnds(uint32_t{}, 0, count);
    } else if (count == 1) {
      *to = *from;
    }
  }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

 protected:
  // A fixed string over a caller's buffer of `capacity` characters.
  KString(char16_t* buffer, int capacity);

 private:
  bool MakeRoom(int length);
  void Release();

  int AssignSlowly(std::u16string_view text);
  int AppendSlowly(char16_t ch);
  int AppendSlowly(std::u16string_view text);
  bool IsOutside(const char16_t* at) const {
    return std::less<>{}(at, buffer_) || !std::less<>{}(at, buffer_ + capacity_);
  }
  static void Copy(char16_t* to, std::u16string_view text) {
    CopyChars(to, text.data(), text.size());
  }

  char16_t* buffer_ = nullptr;
  int start_ = 0;
  int end_ = 0;
  int capacity_ = 0;
  Growth growth_ = Growth::Growable;
};

std::ostream& operator<<(std::ostream& out, const KString& text);

// Fixed strings with an inline buffer of N characters.
template <int N>
class KStringN : public KString {
 public:
  KStringN() : KString(storage_, N) {}
  KStringN(const KStringN& other) : KString(storage_, N) { Assign(other.View()); }
  KStringN(const KString& other) : KString(storage_, N) { Assign(other.View()); }  // NOLINT
  KStringN(std::u16string_view text) : KString(storage_, N) { Assign(text); }      // NOLINT
  KStringN(const char* utf8) : KString(storage_, N) { AppendUtf8(utf8); }          // NOLINT
  KStringN& operator=(const KStringN& other) {
    if (this != &other) Assign(other.View());
    return *this;
  }
  KStringN& operator=(const KString& other) {
    if (this != &other) Assign(other.View());
    return *this;
  }
  KStringN& operator=(std::u16string_view text) {
    Assign(text);
    return *this;
  }
  KStringN& operator=(const char* utf8) {
    Clear();
    AppendUtf8(utf8);
    return *this;
  }

 private:
  char16_t storage_[N] = {};
};

using KString15 = KStringN<15>;
using KString31 = KStringN<31>;
using KString63 = KStringN<63>;
using KString127 = KStringN<127>;
using KString255 = KStringN<255>;
using KString511 = KStringN<511>;
