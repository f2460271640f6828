#pragma once

#include <memory>
#include <vector>

#include "base/k_list.h"
#include "base/k_stream.h"
#include "base/k_string.h"
#include "sources/t_command_line_collector.h"
#include "sources/t_debug_events.h"
#include "sources/t_fields_owner.h"
#include "sources/t_packet_definitions.h"

class KRGroup;
class KWaitSet;
class KRInt;
class KRString;
class TSources;

// One configured input of timing data: its settings subgroup, its port and
// the packet definitions of its script. Reads on the main thread only.
class TSource : public TFieldsOwner, public TDebugEvents {
 public:
  TSource(TSources& owner, int index);
  ~TSource() override;

  // Takes the subgroup's settings, loads the script and opens the port.
  // False when a setting is missing or the script cannot be read; the
  // caller then destroys the source.
  bool Configure(KRGroup& subgroup);

  KString SourceName() const override;
  TDebugEvents* DebugEvents() override;
  void PacketComplete(TFields& definition) override;
  void WriteEvent(const KString& text) override;

  // One pass may take this many characters and this much time from the
  // port; what is left waits for the next pass, so a flood on one source
  // never holds up the loop.
  static constexpr int kPassChars = 64 * 1024;
  static constexpr int kPassMs = 20;

  // Reads the waiting characters, within the pass budget; see the .cc.
  void Poll(bool debugActive);
  // What the loop sleeps on for this source: its port, or "now" while
  // characters read last pass still wait.
  void CollectWaits(KWaitSet& set) const;

  // 0 when the port is open, -1 otherwise.
  int PortOpen() const { return port_ && port_->IsOpen() ? 0 : -1; }
  KStream* Port() const { return port_.get(); }
  int Index() const { return index_; }
  const KRString* SerialPortSetting() const { return serialPort_; }
  const KString& ScriptName() const { return script_; }
  TPacketDefinitions& Definitions() { return definitions_; }
  const TPacketDefinitions& Definitions() const { return definitions_; }
  const TCommandLineCollector& Collector() const { return collector_; }

 private:
  bool LoadScript();
  void ApplyCharMode();
  void SetPort(const KString& spec);
  bool SerialPortChanged(KRString& node, const KString& value);
  void Unwatch();

  TSources& owner_;
  KRString* name_ = nullptr;
  KRString* scriptSetting_ = nullptr;
  KRInt* charMode_ = nullptr;
  KRString* serialPort_ = nullptr;
  KString script_;
  KString spec_;
  std::unique_ptr<KStream> port_;
  TPacketDefinitions definitions_;
  TCommandLineCollector collector_;
  int index_;
  // Characters read from the port but left for the next pass (a command
  // line ended the pass in the middle of a block).
  std::vector<char16_t> held_;
  size_t heldAt_ = 0;
};
