#pragma once

#include <string>
#include <utility>
#include <vector>

#include "sources/t_command_line_collector.h"
#include "sources/t_debug_events.h"
#include "sources/t_fields.h"
#include "sources/t_fields_owner.h"
#include "sources/t_packet_definitions.h"

// A source stand-in that records what its definitions deliver, the events
// they write and the command lines between packets.
class RecordingSource : public TFieldsOwner, public TDebugEvents {
 public:
  struct Field {
    std::string name;
    std::string value;
    bool matched;
  };
  struct Packet {
    std::string definition;
    std::vector<Field> fields;
    std::string Value(const std::string& fieldName) const {
      for (const Field& field : fields) {
        if (field.name == fieldName) return field.value;
      }
      return "<none>";
    }
  };

  KString SourceName() const override { return name; }
  TDebugEvents* DebugEvents() override { return debugActive ? this : nullptr; }
  void PacketComplete(TFields& definition) override {
    Packet packet{definition.Name().ToUtf8(), {}};
    for (TField* field : definition.Fields().Items<TField>()) {
      packet.fields.push_back({field->Name().ToUtf8(), field->Value().ToUtf8(), field->Matched()});
    }
    packets.push_back(std::move(packet));
  }
  void WriteEvent(const KString& text) override { events.push_back(text.ToUtf8()); }

  // The polling pass's treatment of what arrives.
  void Feed(std::u16string_view text) {
    while (!text.empty()) {
      bool completed = false;
      text.remove_prefix(definitions.Feed(text, collector, completed));
      if (completed) commands.push_back(collector.PreviousCommand().ToUtf8());
    }
  }
  // The same one character at a time.
  void FeedEach(std::u16string_view text) {
    for (const char16_t ch : text) {
      if (definitions.Feed(ch)) {
        collector.Reset();
      } else {
        KString command;
        if (collector.Feed(ch, command)) commands.push_back(command.ToUtf8());
      }
    }
  }
  void Feed(std::string_view latin1) { Feed(KString::FromLatin1(latin1).View()); }

  KString name = KString(u"Timer");
  bool debugActive = false;
  TPacketDefinitions definitions;
  TCommandLineCollector collector;
  std::vector<Packet> packets;
  std::vector<std::string> events;
  std::vector<std::string> commands;
};
