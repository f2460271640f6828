#pragma once

#include <memory>

#include "base/k_list.h"
#include "base/k_stream.h"
#include "base/k_string.h"
#include "sources/t_command_line_collector.h"
#include "sources/t_debug_events.h"
#include "sources/t_fields_owner.h"
#include "sources/t_packet_definitions.h"

class KRGroup;
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

  // Reads every waiting character; see the .cc.
  void Poll(bool debugActive);

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
  KString command_;
  int index_;
};
