#pragma once

#include <cstdint>
#include <string_view>

#include "base/k_char_scan.h"
#include "base/k_list.h"
#include "base/k_string.h"

class TFields;
class TFieldStringProcessor;

// One field of a packet definition; also the definition's header and
// trailer, whose name is the text to match.
class TField : public KListItem {
 public:
  explicit TField(TFields* fields) : fields_(fields) {}

  KString ClassName() const override { return KString::MakeView(u"TField"); }

  TFields* Fields() const { return fields_; }
  const KString& Name() const { return name_; }
  void SetName(const KString& name);
  // False when `ch` is certainly not in the name: the cutter's quick test
  // whether a character can take part in a header or trailer match.
  bool NameMayHold(char16_t ch) const { return ((nameMask_ >> (ch & 63)) & 1) != 0; }
  // -1 when the field has no fixed length.
  int Length() const { return length_; }
  void SetLength(int length) { length_ = length; }
  const KString& Stop() const { return stop_; }
  void SetStop(const KString& stop) {
    stop_ = stop;
    stopChar_ = stop_.Length() == 1 ? stop_.At(0) : -1;
  }
  const KString& Process() const { return process_; }
  void SetProcess(const KString& process) { process_ = process; }
  // Whether the last extraction found the field complete.
  bool Matched() const { return matched_; }
  const KString& Value() const { return value_; }

  // Takes the field from `text` at `pos`, moving `pos` past what it consumed.
  // A matched field with a process string is reworked by `processor`, its
  // result held to `maxLength` characters. The usual field, ended by one
  // stop character, is inline: every packet cuts several.
  void Extract(std::u16string_view text, int& pos, TFieldStringProcessor& processor,
               int maxLength) {
    if (stopChar_ < 0 || length_ >= 0 || pos < 0 || static_cast<size_t>(pos) > text.size()) {
      ExtractSlowly(text, pos, processor, maxLength);
      return;
    }
    const auto from = static_cast<size_t>(pos);
    const auto stop = static_cast<char16_t>(stopChar_);
    const size_t found = KCharScan::FindAnyOf<1>(text.data(), from, text.size(), &stop);
    value_.Assign(text.substr(from, found - from));
    matched_ = found < text.size();
    if (!matched_) {
      pos = static_cast<int>(text.size());
      return;
    }
    pos = static_cast<int>(found) + 1;
    if (!process_.IsEmpty()) Reprocess(processor, maxLength);
  }
  // Sets the outcome directly (the cutter's fast header and trailer match).
  void SetMatch(std::u16string_view value);

 private:
  void ExtractSlowly(std::u16string_view text, int& pos, TFieldStringProcessor& processor,
                     int maxLength);
  void Reprocess(TFieldStringProcessor& processor, int maxLength);

  TFields* fields_;
  KString name_;
  uint64_t nameMask_ = 0;
  int length_ = -1;
  KString stop_;
  int stopChar_ = -1;  // the stop when it is one character
  bool matched_ = false;
  KString process_;
  KString value_;
};
