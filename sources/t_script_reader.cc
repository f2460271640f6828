#include "sources/t_script_reader.h"

#include <algorithm>
#include <cstdint>

#include "base/k_number.h"
#include "base/k_x.h"
#include "sources/t_field_string_processor.h"
#include "sources/t_fields.h"
#include "sources/t_packet_definitions.h"

namespace {

bool IsBlank(char16_t ch) {
  return ch == u' ' || ch == u'\t';
}

// The value after `keyword` when the token starts with it in any case.
bool TakeKeyword(const KString& token, std::u16string_view keyword, KString& value) {
  if (!token.StartsWith(keyword, true)) return false;
  value = token.Mid(static_cast<int>(keyword.size()));
  return true;
}

// A number that does not parse leaves the target as it was.
// A number as the script writes it (sign, "0x" hexadecimal, leading "0"
// octal); one that does not fit 32 bits does not parse, so "2147483648"
// never wraps round to a negative length.
void TakeNumber(const KString& text, int& target) {
  size_t pos = 0;
  int32_t value = 0;
  if (!KNumber::ParseInt(text.View(), pos, value)) return;
  const std::u16string_view view = text.View();
  size_t at = 0;
  bool negative = false;
  if (at < view.size() && (view[at] == u'-' || view[at] == u'+')) negative = view[at++] == u'-';
  uint64_t base = 10;
  if (at < view.size() && view[at] == u'0') {
    base = 8;
    if (at + 1 < view.size() && (view[at + 1] == u'x' || view[at + 1] == u'X') && pos > at + 1) {
      base = 16;
      at += 2;
    }
  }
  uint64_t magnitude = 0;
  for (; at < pos; ++at) {
    const char16_t ch = view[at];
    const uint64_t digit = ch <= u'9' ? ch - u'0' : (ch | 0x20) - u'a' + 10;
    magnitude = magnitude * base + digit;
    if (magnitude > (uint64_t{1} << 31)) return;
  }
  if (!negative && magnitude > 0x7FFFFFFFu) return;
  target = value;
}

}  // namespace

TScriptReader::TScriptReader(TFieldStringProcessor& processor, int packetBufferSize)
    : processor_(processor), packetBufferSize_(packetBufferSize) {}

std::vector<KString255> TScriptReader::SplitTokens(std::u16string_view line) {
  std::vector<KString255> tokens;
  const size_t size = line.size();
  size_t start = 0;
  for (;;) {
    size_t first = start;
    while (first < size && IsBlank(line[first])) ++first;
    if (first < size && line[first] == u'"') {
      // The content ends at the first quote followed only by blanks up to a
      // comma or the end; without one it runs to the end of the line.
      std::u16string_view content = line.substr(first + 1);
      size_t next = size;
      for (size_t quote = first + 1; quote < size; ++quote) {
        if (line[quote] != u'"') continue;
        size_t after = quote + 1;
        while (after < size && IsBlank(line[after])) ++after;
        if (after == size || line[after] == u',') {
          content = line.substr(first + 1, quote - first - 1);
          next = after;
          break;
        }
      }
      tokens.emplace_back(content);
      if (next >= size) break;
      start = next + 1;
      continue;
    }
    const size_t comma = line.find(u',', start);
    tokens.emplace_back(
        line.substr(start, comma == std::u16string_view::npos ? size - start : comma - start));
    if (comma == std::u16string_view::npos) break;
    start = comma + 1;
  }
  return tokens;
}

void TScriptReader::ReadAttributeLine(TFields& fields, std::u16string_view line) {
  const std::vector<KString255> tokens = SplitTokens(line);
  if (tokens.empty()) return;
  KString value;
  TField* field = nullptr;
  const KString& first = tokens.front();
  if (TakeKeyword(first, u"bodylength=", value)) {
    int length = fields.BodyLength();
    TakeNumber(value, length);
    fields.SetBodyLength(length);
    return;
  }
  if (TakeKeyword(first, u"header=", value)) {
    processor_.Escape(value, std::max(packetBufferSize_, kTokenCapacity));
    field = &fields.Header();
    field->SetName(value);
  } else if (TakeKeyword(first, u"trailer=", value)) {
    processor_.Escape(value, std::max(packetBufferSize_, kTokenCapacity));
    field = &fields.Trailer();
    field->SetName(value);
  } else if (TakeKeyword(first, u"textfield=", value)) {
    if (fields.Fields().Count() >= kMaxFields) return;
    field = &fields.AddField(value);
  } else {
    return;
  }
  for (size_t i = 1; i < tokens.size(); ++i) {
    const KString& token = tokens[i];
    if (TakeKeyword(token, u"length=", value)) {
      int length = field->Length();
      TakeNumber(value, length);
      field->SetLength(length);
    } else if (TakeKeyword(token, u"process=", value)) {
      field->SetProcess(value);
    } else if (TakeKeyword(token, u"stop=", value)) {
      processor_.Escape(value, std::max(packetBufferSize_, kTokenCapacity));
      field->SetStop(value);
    }
  }
}

void TScriptReader::ReadLine(TPacketDefinitions& definitions, TFieldsOwner* source,
                             TFields*& current, const KString& line) {
  if (line.StartsWith(u";;")) {
    if (definitions.Count() >= kMaxDefinitions) {
      // Its attribute lines must not land on the last accepted definition.
      current = nullptr;
      return;
    }
    current = new TFields(source, processor_, packetBufferSize_);
    current->SetName(line.Mid(2));
    definitions.List().Append(current);
  } else if (line.StartsWith(u";")) {
    // A comment.
  } else if (!line.IsEmpty() && current) {
    ReadAttributeLine(*current, line.View());
  }
}

bool TScriptReader::Load(TPacketDefinitions& definitions, TFieldsOwner* source, KStream& stream) {
  definitions.Clear();
  if (!stream.IsOpen()) return false;
  TFields* current = nullptr;
  KString line;
  for (;;) {
    line.Clear();
    // The end of the data and a failed read both end the script; what was
    // read before stays.
    bool ended = false;
    for (;;) {
      char16_t ch = 0;
      try {
        ch = stream.ReadChar();
      } catch (const KX&) {
        ended = true;
        break;
      }
      if (ch == u'\n') break;
      if (line.Length() < kMaxLineLength) line.Append(ch);
    }
    if (ended && line.IsEmpty()) break;
    ReadLine(definitions, source, current, line);
    if (ended) break;
  }
  return true;
}

void TScriptReader::LoadText(TPacketDefinitions& definitions, TFieldsOwner* source,
                             std::u16string_view text) {
  definitions.Clear();
  TFields* current = nullptr;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find(u'\n', start);
    const size_t stop = end == std::u16string_view::npos ? text.size() : end;
    const size_t length = std::min(stop - start, static_cast<size_t>(kMaxLineLength));
    ReadLine(definitions, source, current, KString(text.substr(start, length)));
    start = stop + 1;
  }
}
