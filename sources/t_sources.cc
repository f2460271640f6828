#include "sources/t_sources.h"

#include <string>

#include "base/k_file.h"
#include "base/k_file_info.h"
#include "base/k_number.h"
#include "base/k_x.h"
#include "config/k_r_group.h"
#include "config/k_r_int.h"
#include "config/k_r_string.h"
#include "ports/k_port_config.h"
#include "ports/k_port_menus.h"
#include "ports/k_port_settings.h"
#include "sources/t_script_settings.h"

namespace {

void AddString(KRGroup& group, std::u16string_view name, const KString& value) {
  KRNode* node = group.NewChildValue(u"String");
  if (!node) return;
  node->SetName(name);
  static_cast<KRString*>(node)->Assign(value);
  group.Append(node);
}

void AddInt(KRGroup& group, std::u16string_view name, int32_t value) {
  KRNode* node = group.NewChildValue(u"Int");
  if (!node) return;
  node->SetName(name);
  static_cast<KRInt*>(node)->Assign(value);
  group.Append(node);
}

KRGroup* MakeGroup(KRGroup& root, std::u16string_view path) {
  if (KRGroup* group = root.LookupGroup(path)) return group;
  KString line(path);
  line.Append(u":=");
  KRNode* node = root.Apply(line);
  return node && node->IsGroup() ? static_cast<KRGroup*>(node) : nullptr;
}

}  // namespace

TSources::TSources(KRGroup& root, const KString& home, TFieldStringProcessor& processor)
    : root_(root),
      home_(home),
      processor_(processor),
      packetBufferSize_(TScriptSettings::FromRegistry(root).packetBufferSize) {}

TSources::~TSources() {
  index_.Clear();
  // In list order: each stops watching its settings and closes its port.
  for (std::unique_ptr<TSource>& source : sources_) source.reset();
  sources_.clear();
  if (debug_) debug_->Unwatch();
  debug_.reset();
}

KRGroup* TSources::SourcesGroup() const {
  return root_.LookupGroup(u"\\Sources\\");
}

bool TSources::SubgroupNumber(const KRNode& node, int& number) {
  int32_t value = 0;
  if (!node.IsGroup() || !KNumber::ParseWholeInt(node.Name().View(), value)) return false;
  number = value;
  return true;
}

void TSources::Prepare(bool firstRun) {
  if (KRGroup* scripts = MakeGroup(root_, u"\\Sources\\Scripts\\")) {
    scripts->SetSaved(false);
    scripts->Clear();
    KString pattern(home_);
    if (!pattern.IsEmpty() && pattern.At(pattern.Length() - 1) != u'/') pattern.Append(u'/');
    pattern.Append(u"*.rss");
    const KFile patternFile(pattern);
    KFileInfo info;
    int position = 0;
    while (info.Next(patternFile)) {
      AddString(*scripts, KString(std::to_string(++position).c_str()).View(), info.Name());
    }
  }
  if (firstRun) {
    if (KRGroup* group = NewSourceGroup()) {
      group->LookupString(u"Script")->Assign(KString(u"Chronvale.rss"));
      group->LookupString(u"SerialPort")->Assign(KString(u"1,9600,8,N,1.0"));
    }
  }
  if (menu_.Count() == 0) KPortMenus::BuildSourceMenu(menu_, KPortSettings::FromSettings(root_));
}

KRGroup* TSources::NewSourceGroup() {
  KRGroup* sources = MakeGroup(root_, u"\\Sources\\");
  if (!sources) return nullptr;
  int largest = 0;
  for (KRNode* node : sources->Children().Items<KRNode>()) {
    int number = 0;
    if (SubgroupNumber(*node, number) && number > largest) largest = number;
  }
  KString path(u"\\Sources\\");
  path.Append(KString(std::to_string(largest + 1).c_str()));
  path.Append(u'\\');
  KRGroup* group = MakeGroup(root_, path.View());
  if (!group) return nullptr;
  AddString(*group, u"Name", root_.LookupText(u"\\Strings\\Sources\\DefaultName"));
  AddString(*group, u"Script", KString());
  AddString(*group, u"SerialPort", KString(u"0,9600,8,N,1.0"));
  AddInt(*group, u"CharMode", 0);
  return group;
}

void TSources::Create() {
  if (menu_.Count() == 0) KPortMenus::BuildSourceMenu(menu_, KPortSettings::FromSettings(root_));
  if (KRGroup* sources = SourcesGroup()) {
    for (KRNode* node : sources->Children().Items<KRNode>()) {
      int number = 0;
      if (!SubgroupNumber(*node, number)) continue;
      auto source = std::make_unique<TSource>(*this, Count());
      if (!source->Configure(*static_cast<KRGroup*>(node))) continue;
      index_.Add(source->Definitions());
      sources_.push_back(std::move(source));
    }
  }
  debug_ = std::make_unique<KDebugPort>(KPortSettings::FromSettings(root_));
  try {
    debug_->Watch(root_);
  } catch (const KX&) {
    // A debug port that cannot open stays off until its setting changes.
  }
}

void TSources::Poll() {
  debugActive_ = debug_ && debug_->BeginPass();
  for (std::unique_ptr<TSource>& source : sources_) source->Poll(debugActive_);
  if (debug_) debug_->EndPass();
}

void TSources::CollectWaits(KWaitSet& set) const {
  for (const std::unique_ptr<TSource>& source : sources_) source->CollectWaits(set);
  if (debug_) debug_->CollectWaits(set);
}

void TSources::AddConsumer(PacketConsumer* consumer) {
  if (!consumer) return;
  for (PacketConsumer* known : consumers_) {
    if (known == consumer) return;
  }
  consumers_.push_back(consumer);
}

void TSources::RemoveConsumer(PacketConsumer* consumer) {
  for (auto it = consumers_.begin(); it != consumers_.end(); ++it) {
    if (*it == consumer) {
      consumers_.erase(it);
      return;
    }
  }
}

void TSources::Deliver(TSource& source, TFields& definition) {
  // A copy, so that a consumer may unregister itself while it is called.
  const std::vector<PacketConsumer*> consumers = consumers_;
  for (PacketConsumer* consumer : consumers) consumer->PacketComplete(source, definition);
}

void TSources::Execute(TSource& source, const KString& line) {
  if (sink_) sink_(source, line);
}

void TSources::TakePort(int port, const KRString* except) {
  KRGroup* sources = SourcesGroup();
  if (!sources) return;
  for (KRNode* node : sources->Children().Items<KRNode>()) {
    int number = 0;
    if (!SubgroupNumber(*node, number)) continue;
    KRString* setting = static_cast<KRGroup*>(node)->LookupString(u"SerialPort");
    if (!setting || setting == except) continue;
    const KString& spec = setting->Value();
    if (KPortConfig::PortNumber(spec) != port) continue;
    setting->SetValue(
        KPortConfig::FormatSerial(0, KPortConfig::Baud(spec), KPortConfig::DataBits(spec),
                                  KPortConfig::Parity(spec), KPortConfig::StopBits(spec)));
  }
}

TSource* TSources::At(int index) const {
  return index >= 0 && index < Count() ? sources_[static_cast<size_t>(index)].get() : nullptr;
}

int TSources::Index(const TSource& source) const {
  for (int i = 0; i < Count(); ++i) {
    if (sources_[static_cast<size_t>(i)].get() == &source) return i;
  }
  return -1;
}

int TSources::SubgroupCount() const {
  KRGroup* sources = SourcesGroup();
  if (!sources) return 0;
  int count = 0;
  for (KRNode* node : sources->Children().Items<KRNode>()) {
    int number = 0;
    if (SubgroupNumber(*node, number)) ++count;
  }
  return count;
}

KRGroup* TSources::Subgroup(int n) const {
  KRGroup* sources = SourcesGroup();
  if (!sources || n < 0) return nullptr;
  for (KRNode* node : sources->Children().Items<KRNode>()) {
    int number = 0;
    if (SubgroupNumber(*node, number) && n-- == 0) return static_cast<KRGroup*>(node);
  }
  return nullptr;
}

TSource* TSources::FindBySetting(const KRString* serialPort) const {
  if (!serialPort) return nullptr;
  for (const std::unique_ptr<TSource>& source : sources_) {
    if (source->SerialPortSetting() == serialPort) return source.get();
  }
  return nullptr;
}

KString TSources::Status(const KRGroup& subgroup) const {
  auto text = [this](std::u16string_view key) {
    KString path(u"\\Strings\\Options\\Source\\");
    path.Append(key);
    return KString(root_.LookupText(path));
  };
  // Lookups change nothing; the interface is not const only for the walk.
  KRString* setting = const_cast<KRGroup&>(subgroup).LookupString(u"SerialPort");
  TSource* source = FindBySetting(setting);
  if (!setting || !source) return text(u"NotLoaded");
  if (KPortConfig::PortNumber(setting->Value()) == 0) return text(u"NotRunning");
  if (source->PortOpen() == 0) return text(u"Running");
  return text(u"NotConnected");
}
