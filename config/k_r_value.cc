#include "config/k_r_value.h"

#include "base/k_stream.h"
#include "config/k_r_text.h"

bool KRValue::MatchesName(std::u16string_view text) const {
  const auto length = static_cast<size_t>(Name().Length());
  if (text.size() < length || !NameEquals(text)) return false;
  if (text.size() == length) return true;
  const char16_t next = text[length];
  return !KRText::IsNameStart(next) && next != u'\\';
}

KRNode::Step KRValue::WalkStep(std::u16string_view& text, int* result, Mode mode) {
  if (MatchesName(text)) text.remove_prefix(static_cast<size_t>(Name().Length()));
  if (mode == Mode::kApply && !text.empty() && text.front() == u':') {
    ApplyAfterColon(text, result);
  }
  return Step::kDone;
}

bool KRValue::ParseAttributes(std::u16string_view& text) {
  const std::u16string_view attributes = text.substr(0, text.find(u'='));
  const bool accepted = TypeName().EqualsNoCase(KRText::Trim(KRText::Field(attributes, 0)));
  std::u16string_view mark = KRText::Trim(KRText::Field(attributes, 1));
  int32_t value = 0;
  if (KRText::ReadInt(mark, value)) SetMark(value);
  ParseLimits(attributes);
  text.remove_prefix(attributes.size());
  return accepted;
}

void KRValue::FormatAttributes(KString& out) const {
  out.Append(TypeName());
  out.Append(u',');
  out.AppendInt(Mark());
  FormatLimits(out);
}

void KRValue::WriteOwnLine(KStream& stream, const KString& path) const {
  KString line(path);
  line.Append(Name());
  line.Append(u':');
  FormatAttributes(line);
  line.Append(u'=');
  FormatValue(line);
  WriteLine(stream, line);
}
