#include "sources/t_field_string_processor.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace {

bool IsDigit(char16_t ch) {
  return ch >= u'0' && ch <= u'9';
}

// Decimal digits at `at`, saturated so that a wire-borne "%99999999999s"
// cannot overflow; `at` moves past them.
int64_t ReadDecimal(std::u16string_view text, size_t& at) {
  int64_t value = 0;
  while (at < text.size() && IsDigit(text[at])) {
    value = std::min<int64_t>(value * 10 + (text[at] - u'0'), KString::kMaxLength);
    ++at;
  }
  return value;
}

}  // namespace

TFieldStringProcessor::TFieldStringProcessor() {
  scratch_.Reserve(127);
}

void TFieldStringProcessor::Escape(KString& text, int maxLength) {
  scratch_.Assign(text.View());
  Run(scratch_.View(), text, maxLength);
}

void TFieldStringProcessor::Process(const KString& process, KString& value, int maxLength) {
  Format(process.View(), value.View(), scratch_, maxLength);
  Run(scratch_.View(), value, maxLength);
}

void TFieldStringProcessor::Format(std::u16string_view process, std::u16string_view value,
                                   KString& out, int maxLength) {
  out.Clear();
  const int limit = std::max(0, std::min(maxLength, out.MaxLength()));
  auto room = [&]() -> int64_t { return limit - out.Length(); };
  size_t taken = 0;
  size_t i = 0;
  while (i < process.size()) {
    const char16_t ch = process[i];
    if (ch != u'%') {
      size_t end = process.find(u'%', i);
      if (end == std::u16string_view::npos) end = process.size();
      const auto count = std::min<int64_t>(static_cast<int64_t>(end - i), room());
      if (count > 0) out.Append(process.substr(i, static_cast<size_t>(count)));
      i = end;
      continue;
    }
    ++i;
    if (i < process.size() && process[i] == u'%') {
      if (room() > 0) out.Append(u'%');
      ++i;
      continue;
    }
    bool leftAlign = false;
    if (i < process.size() && process[i] == u'-') {
      leftAlign = true;
      ++i;
    }
    const int64_t width = ReadDecimal(process, i);
    int64_t precision = -1;
    if (i < process.size() && process[i] == u'.') {
      ++i;
      precision = ReadDecimal(process, i);
    }
    if (i >= process.size()) break;  // a sequence cut off by the end produces nothing
    const char16_t conversion = process[i++];
    if (conversion != u's') continue;

    const auto rest = static_cast<int64_t>(value.size() - taken);
    int64_t d = std::max(rest, width);
    if (precision >= 0) d = std::min(d, precision);
    const int64_t pieceLength = std::min(rest, d);
    const int64_t pad = std::max<int64_t>(d - pieceLength, 0);
    const std::u16string_view piece =
        value.substr(taken, static_cast<size_t>(std::max<int64_t>(pieceLength, 0)));
    taken += piece.size();
    auto blanks = [&](int64_t count) {
      for (count = std::min(count, room()); count > 0; --count) out.Append(u' ');
    };
    if (!leftAlign) blanks(pad);
    const int64_t fits = std::min(room(), static_cast<int64_t>(piece.size()));
    if (fits > 0) out.Append(piece.substr(0, static_cast<size_t>(fits)));
    if (leftAlign) blanks(pad);
  }
}

bool TFieldStringProcessor::ProcedureHook(int procedure, KString& text, int at, int count) {
  if (procedure != 0) return false;
  int end = std::min(at + count, text.Length());
  int trailing = 0;
  while (end - trailing > at && text.At(end - trailing - 1) == u' ') ++trailing;
  text.Delete(end - trailing, trailing);
  end -= trailing;
  int leading = 0;
  while (at + leading < end && text.At(at + leading) == u' ') ++leading;
  text.Delete(at, leading);
  return true;
}
