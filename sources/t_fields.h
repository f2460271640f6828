#pragma once

#include <string_view>

#include "base/k_list.h"
#include "base/k_string.h"
#include "sources/t_field.h"
#include "sources/t_packet_buffer.h"

class TFieldsOwner;
class TFieldStringProcessor;

// One packet definition of a source script: the header to hunt for, the
// body length or trailer that ends a packet, and the text fields the body
// is cut into. Fed one character at a time by its source.
class TFields : public KListItem {
 public:
  static constexpr int kNameCapacity = 31;

  // `bufferSize` is the fixed capacity of the packet buffer (at least 0).
  TFields(TFieldsOwner* source, TFieldStringProcessor& processor, int bufferSize);

  KString ClassName() const override { return KString::MakeView(u"TFields"); }

  TFieldsOwner* Source() const { return source_; }
  const KString& Name() const { return name_; }
  void SetName(const KString& name) { name_ = name; }
  TField& Header() { return header_; }
  const TField& Header() const { return header_; }
  TField& Trailer() { return trailer_; }
  const TField& Trailer() const { return trailer_; }
  // -1 when packets end with the trailer.
  int BodyLength() const { return bodyLength_; }
  void SetBodyLength(int length) { bodyLength_ = length; }
  bool InPacket() const { return inPacket_; }
  const TPacketBuffer& Buffer() const { return buffer_; }

  const KList& Fields() const { return fields_; }
  TField& AddField(const KString& name);
  // The first text field with exactly this name (case counts), or null.
  TField* FindField(std::u16string_view name) const;

  // Advances the packet cutter by one received character. The common header
  // hunt (a plain header, no process string) is inline: it runs for every
  // character of every definition.
  void Feed(char16_t ch) {
    if (!inPacket_) {
      const int headerLength = header_.Length();
      if (headerLength > 0 && headerLength < buffer_.Capacity() && header_.Process().IsEmpty()) {
        // Hunting with room to spare the buffer never fills, so a header can
        // only match in a window after every character foreign to it: such
        // a character empties the buffer at once.
        if (!header_.NameMayHold(ch)) {
          buffer_.Clear();
          return;
        }
        if (buffer_.Length() >= headerLength) {
          buffer_.TrimLeft(buffer_.Length() - (headerLength - 1));
        }
        buffer_.Append(ch);
        if (buffer_.Length() == headerLength) CheckHeader();
        return;
      }
    } else if (bodyLength_ < 0 && !buffer_.IsFull() && trailer_.Length() > 0 &&
               trailer_.Process().IsEmpty() && !trailer_.NameMayHold(ch)) {
      // A character foreign to the trailer cannot end the packet.
      buffer_.Append(ch);
      return;
    }
    FeedCharacter(ch);
  }
  // The quick hunt of the definitions saw this plain header arrive.
  void EnterPacket(std::u16string_view header);
  // Body characters that cannot end the packet, with room for them: inside a
  // packet, before the body length and without the trailer's last character.
  void AppendBody(const char16_t* chars, int count) { buffer_.Append(chars, count); }

 private:
  void FeedCharacter(char16_t ch);
  // The buffer holds header-length characters: enter the packet on a match.
  void CheckHeader();
  void Enter();
  void CompletePacket();
  // Only a source with a debug client wants the events.
  void WriteEvent(std::u16string_view words) {
    if (source_) WriteEventText(words);
  }
  void WriteEventText(std::u16string_view words);

  TFieldsOwner* source_;
  KString31 name_;
  TField header_;
  TField trailer_;
  int bodyLength_ = -1;
  bool inPacket_ = false;
  TPacketBuffer buffer_;
  KList fields_;
  TFieldStringProcessor& processor_;
};
