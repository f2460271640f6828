#include "sources/t_field.h"

#include "sources/t_field_string_processor.h"

void TField::SetName(const KString& name) {
  name_ = name;
  nameMask_ = 0;
  for (const char16_t ch : name_) nameMask_ |= uint64_t{1} << (ch & 63);
}

void TField::ExtractSlowly(std::u16string_view text, int& pos, TFieldStringProcessor& processor,
                           int maxLength) {
  matched_ = false;
  if (pos < 0) pos = 0;
  const int size = static_cast<int>(text.size());
  const int remaining = pos < size ? size - pos : 0;
  if (length_ >= 0) {
    if (remaining < length_) {
      // Too short: the rest is used up, and the value stays empty.
      value_.Clear();
      pos = size;
      return;
    }
    value_.Assign(text.substr(static_cast<size_t>(pos), static_cast<size_t>(length_)));
    pos += length_;
    matched_ = true;
  } else if (!stop_.IsEmpty()) {
    const std::u16string_view rest = text.substr(static_cast<size_t>(size - remaining));
    const size_t found = rest.find(stop_.View());
    if (found == std::u16string_view::npos) {
      value_.Assign(rest);
      pos = size;
      return;
    }
    value_.Assign(rest.substr(0, found));
    pos += static_cast<int>(found) + stop_.Length();
    matched_ = true;
  } else {
    value_.Clear();
    return;
  }
  if (!process_.IsEmpty()) Reprocess(processor, maxLength);
}

void TField::Reprocess(TFieldStringProcessor& processor, int maxLength) {
  processor.Process(process_, value_, maxLength);
}

void TField::SetMatch(std::u16string_view value) {
  value_.Assign(value);
  matched_ = true;
}
