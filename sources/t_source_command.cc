#include "sources/t_source_command.h"

#include <cstdint>

namespace {

char16_t Lower(char16_t ch) {
  return ch >= u'A' && ch <= u'Z' ? ch + (u'a' - u'A') : ch;
}

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// Splits at `separator` outside double quotes; a piece wholly enclosed in
// quotes loses them, quotes inside a piece stay for the next split.
std::vector<KString> Split(std::u16string_view text, char16_t separator, size_t maxPieces) {
  std::vector<KString> pieces;
  KString piece;
  bool quoted = false;
  for (size_t i = 0; i <= text.size(); ++i) {
    const bool end = i == text.size();
    const char16_t ch = end ? 0 : text[i];
    if (!end && ch == u'"') quoted = !quoted;
    if (end || (ch == separator && !quoted)) {
      const int length = piece.Length();
      if (length >= 2 && piece.At(0) == u'"' && piece.At(length - 1) == u'"') {
        piece = piece.Mid(1, length - 2);
      }
      pieces.push_back(piece);
      if (pieces.size() >= maxPieces) break;
      piece.Clear();
      continue;
    }
    piece.Append(ch);
  }
  return pieces;
}

}  // namespace

std::vector<KString> TSourceCommand::SplitItems(std::u16string_view line) {
  std::vector<KString> items = Split(line, u';', SIZE_MAX);
  if (items.size() == 1 && items[0].IsEmpty()) items.clear();
  return items;
}

KString TSourceCommand::FirstField(std::u16string_view value) {
  std::vector<KString> fields = Split(value, u',', 1);
  return fields.empty() ? KString() : fields[0];
}

bool TSourceCommand::ReadDecimal(std::u16string_view text, int& value) {
  size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-')) {
    negative = text[pos] == u'-';
    ++pos;
  }
  if (pos >= text.size() || text[pos] < u'0' || text[pos] > u'9') return false;
  // Wraps at 32 bits like every other number the program reads.
  uint32_t result = 0;
  for (; pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9'; ++pos) {
    result = result * 10u + static_cast<uint32_t>(text[pos] - u'0');
  }
  if (negative) result = 0u - result;
  value = static_cast<int32_t>(result);
  return true;
}

TSourceCommand::TSourceCommand(std::u16string_view line) : items_(SplitItems(line)) {
  Field(u"Command", command_);
  const std::u16string_view command = command_.View();
  if (EqualsIgnoreCase(command, u"LayoutDraw")) {
    kind_ = kLayoutDraw;
    hasName_ = Field(u"Name", name_);
    hasWindow_ = Number(u"Window", window_);
    hasDelay_ = Number(u"Delay", delay_);
    if (!hasDelay_) delay_ = -1;
    int clear = 0;
    if (Number(u"Clear", clear) && (clear == kClearIfHidden || clear == kClearAlways)) {
      clear_ = static_cast<Clear>(clear);
    }
  } else if (EqualsIgnoreCase(command, u"Trigger")) {
    KString name;
    if (!Field(u"Name", name) || name.IsEmpty()) return;
    kind_ = kTrigger;
    hasName_ = true;
    name_ = name.Mid(0, kTriggerNameCapacity);
    KString action;
    if (Field(u"Action", action)) {
      if (EqualsIgnoreCase(action.View(), u"Off")) action_ = kActionOff;
      if (EqualsIgnoreCase(action.View(), u"Toggle")) action_ = kActionToggle;
    }
  }
}

bool TSourceCommand::Value(std::u16string_view key, KString& value) const {
  for (const KString& item : items_) {
    const std::u16string_view text = item.View();
    if (text.size() > key.size() && text[key.size()] == u'=' &&
        EqualsIgnoreCase(text.substr(0, key.size()), key)) {
      value.Assign(text.substr(key.size() + 1));
      return true;
    }
  }
  return false;
}

bool TSourceCommand::Field(std::u16string_view key, KString& field) const {
  KString value;
  if (!Value(key, value)) return false;
  field = FirstField(value.View());
  return true;
}

bool TSourceCommand::Number(std::u16string_view key, int& value) const {
  KString field;
  return Field(key, field) && ReadDecimal(field.View(), value);
}
