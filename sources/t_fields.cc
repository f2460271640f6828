#include "sources/t_fields.h"

#include <algorithm>

#include "sources/t_debug_events.h"
#include "sources/t_field_string_processor.h"
#include "sources/t_fields_owner.h"

TFields::TFields(TFieldsOwner* source, TFieldStringProcessor& processor, int bufferSize)
    : source_(source),
      header_(this),
      trailer_(this),
      buffer_(std::max(bufferSize, 0)),
      processor_(processor) {}

TField& TFields::AddField(const KString& name) {
  auto* field = new TField(this);
  field->SetName(name);
  fields_.Append(field);
  return *field;
}

TField* TFields::FindField(std::u16string_view name) const {
  for (TField* field : fields_.Items<TField>()) {
    if (field->Name().View() == name) return field;
  }
  return nullptr;
}

void TFields::CheckHeader() {
  bool found = false;
  if (header_.Process().IsEmpty()) {
    // Without a process string extraction is a plain comparison.
    found = buffer_.View() == header_.Name().View();
    if (found) header_.SetMatch(buffer_.View());
  } else {
    int pos = 0;
    header_.Extract(buffer_.View(), pos, processor_, buffer_.Capacity());
    found = header_.Matched() && header_.Value() == header_.Name();
  }
  if (found) Enter();
}

void TFields::EnterPacket(std::u16string_view header) {
  header_.SetMatch(header);
  Enter();
}

void TFields::Enter() {
  inPacket_ = true;
  buffer_.Clear();
  WriteEvent(u"HDR");
}

void TFields::FeedCharacter(char16_t ch) {
  if (buffer_.IsFull()) {
    // A body that outgrew the buffer is dropped and the hunt starts over.
    buffer_.Clear();
    inPacket_ = false;
  }
  if (!inPacket_) {
    const int headerLength = header_.Length();
    if (buffer_.Length() >= headerLength) {
      // Any length below 1 keeps nothing (and -2147483648 - 1 is no number).
      buffer_.TrimLeft(buffer_.Length() - (headerLength > 0 ? headerLength - 1 : 0));
    }
    buffer_.Append(ch);
    if (buffer_.Length() == headerLength) CheckHeader();
    return;
  }
  buffer_.Append(ch);
  if (bodyLength_ >= 0) {
    if (buffer_.Length() >= bodyLength_) CompletePacket();
    return;
  }
  const int trailerLength = trailer_.Length();
  if (trailerLength < 0 || buffer_.Length() < trailerLength) return;
  if (trailer_.Process().IsEmpty() && trailerLength > 0 &&
      ch != trailer_.Name().At(trailerLength - 1)) {
    return;
  }
  const std::u16string_view tail =
      buffer_.View().substr(static_cast<size_t>(buffer_.Length() - trailerLength));
  bool found = false;
  if (trailer_.Process().IsEmpty()) {
    found = tail == trailer_.Name().View();
    if (found) trailer_.SetMatch(tail);
  } else {
    int pos = 0;
    trailer_.Extract(tail, pos, processor_, buffer_.Capacity());
    found = trailer_.Matched() && trailer_.Value() == trailer_.Name();
  }
  if (!found) return;
  buffer_.Truncate(buffer_.Length() - trailerLength);
  CompletePacket();
}

void TFields::CompletePacket() {
  int pos = 0;
  bool anyMatched = false;
  const std::u16string_view body = buffer_.View();
  for (TField* field : fields_.Items<TField>()) {
    field->Extract(body, pos, processor_, buffer_.Capacity());
    anyMatched = anyMatched || field->Matched();
  }
  if (anyMatched && source_) source_->PacketComplete(*this);
  buffer_.Clear();
  inPacket_ = false;
  WriteEvent(anyMatched ? std::u16string_view(u"BDY TRL") : std::u16string_view(u"TRL"));
}

void TFields::WriteEventText(std::u16string_view words) {
  TDebugEvents* events = source_->DebugEvents();
  if (!events) return;
  KString text(u"{");
  text.Append(source_->SourceName());
  text.Append(u' ');
  text.Append(name_);
  text.Append(u' ');
  text.Append(words);
  text.Append(u'}');
  events->WriteEvent(text);
}
