#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "base/k_stream_menu.h"
#include "base/k_string.h"
#include "ports/k_debug_port.h"
#include "sources/t_definition_index.h"
#include "sources/t_source.h"

class KRGroup;
class KWaitSet;
class KRNode;
class KRString;
class TFields;
class TFieldStringProcessor;

// All sources of the program, made once at start-up from \Sources\ and
// polled at every idle tick; owns the source port menu and the debug port.
// Made after the serial-port enumeration and the network start-up; destroyed
// before the settings tree (its sources watch values in it) and before the
// serial-port list is cleared.
class TSources {
 public:
  // Receives a completed packet definition of a source (the layouts).
  class PacketConsumer {
   public:
    virtual ~PacketConsumer() = default;
    virtual void PacketComplete(TSource& source, TFields& definition) = 0;
  };
  // Receives every non-empty command line completed between packets.
  using CommandSink = std::function<void(TSource& source, const KString& line)>;

  // `home` is the program's directory: scripts are found and read there.
  TSources(KRGroup& root, const KString& home, TFieldStringProcessor& processor);
  ~TSources();
  TSources(const TSources&) = delete;
  TSources& operator=(const TSources&) = delete;

  // Start-up, before Create: lists the scripts under \Sources\Scripts\ (never
  // saved), seeds the first-run source and builds the source port menu.
  void Prepare(bool firstRun);
  // A source for every numeric subgroup of \Sources\ that configures; then
  // the debug port from \Sources\DebugPort.
  void Create();
  // One polling pass over every source, then the debug port.
  void Poll();
  // Adds what the main loop must wake up for: every source's port (or
  // "now" while one holds unread characters) and the debug port.
  void CollectWaits(KWaitSet& set) const;

  void SetCommandSink(CommandSink sink) { sink_ = std::move(sink); }
  void AddConsumer(PacketConsumer* consumer);
  void RemoveConsumer(PacketConsumer* consumer);

  int Count() const { return static_cast<int>(sources_.size()); }
  TSource* At(int index) const;
  int Index(const TSource& source) const;
  // Numeric subgroups of \Sources\, counted from 0 in tree order.
  int SubgroupCount() const;
  KRGroup* Subgroup(int n) const;
  // Numbered one above the largest; runs only from the next start.
  KRGroup* NewSourceGroup();
  // "Not Loaded", "Not Running", "Not Connected" or "Running" (the texts of
  // \Strings\Options\Source\).
  KString Status(const KRGroup& subgroup) const;
  TSource* FindBySetting(const KRString* serialPort) const;

  TDefinitionIndex& Definitions() { return index_; }
  KDebugPort* DebugPort() const { return debug_.get(); }
  bool DebugActive() const { return debugActive_; }
  const KStreamMenu& PortMenu() const { return menu_; }
  KRGroup& Root() const { return root_; }
  KRGroup* SourcesGroup() const;
  const KString& Home() const { return home_; }
  TFieldStringProcessor& Processor() const { return processor_; }
  int PacketBufferSize() const { return packetBufferSize_; }

  // Called by the sources.
  void Deliver(TSource& source, TFields& definition);
  void Execute(TSource& source, const KString& line);
  // Puts every other source subgroup naming COM port `port` on port 0.
  void TakePort(int port, const KRString* except);

  // The subgroup name as a source number; false for "Scripts" and the like.
  static bool SubgroupNumber(const KRNode& node, int& number);

 private:
  KRGroup& root_;
  KString home_;
  TFieldStringProcessor& processor_;
  int packetBufferSize_;
  std::vector<std::unique_ptr<TSource>> sources_;
  KStreamMenu menu_;
  bool debugActive_ = false;
  std::unique_ptr<KDebugPort> debug_;
  std::vector<PacketConsumer*> consumers_;
  CommandSink sink_;
  TDefinitionIndex index_;
};
