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
void TakeNumber(const KString& text, int& target) {
  size_t pos = 0;
  int32_t value = 0;
  if (KNumber::ParseInt(text.View(), pos, value)) target = value;
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
  const KString lineEnd(u"\n");
  for (;;) {
    KString line;
    // The end of the data and a failed read both end the script; what was
    // read before stays.
    const int stop = stream.ReadUntil(line, lineEnd);
    if (stop < 0 && line.IsEmpty()) break;
    ReadLine(definitions, source, current, line);
    if (stop < 0) break;
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
    ReadLine(definitions, source, current, KString(text.substr(start, stop - start)));
    start = stop + 1;
  }
}
