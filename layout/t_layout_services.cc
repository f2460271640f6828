#include "layout/t_layout_services.h"

#include <algorithm>

#include "base/k_file.h"
#include "config/k_r_group.h"
#include "layout/t_bitmap_object.h"
#include "layout/t_layout.h"
#include "layout/t_text_object.h"
#include "layout/t_video_display_object.h"
#include "ports/k_periodic_task.h"
#include "sources/t_sources.h"

TLayoutServices& TLayoutServices::Get() {
  static TLayoutServices services;
  return services;
}

TLayoutServices::TLayoutServices() = default;

TLayoutServices::~TLayoutServices() = default;

void TLayoutServices::ReadSettings(KRGroup& root, const KString& programPath) {
  const auto text = [&root](std::u16string_view path, KString& out) {
    if (root.LookupString(path) != nullptr) out = root.LookupText(path);
  };
  text(u"\\Strings\\Layout\\DefaultName", defaultName_);
  autoResize_ = root.LookupInt(u"\\Layout\\AutoResize", 0);
  text(u"\\Strings\\Layout\\Object\\Info\\Static", info_.staticText);
  text(u"\\Strings\\Layout\\Object\\Info\\Dynamic", info_.dynamicText);
  text(u"\\Strings\\Layout\\Object\\Info\\Trigger", info_.trigger);
  text(u"\\Strings\\Layout\\Object\\Info\\Override", info_.override_);
  text(u"\\Strings\\Layout\\Object\\Info\\Text", info_.text);
  text(u"\\Strings\\Layout\\Object\\Info\\Bitmap", info_.bitmap);
  text(u"\\Strings\\Layout\\Object\\Info\\VidDsp", info_.videoDisplay);
  minAnimDelayMs_ = root.LookupInt(u"\\Display\\MinAnimDelay", kDefaultMinAnimDelayMs);
  settings_ = &root;
  lastUsedPath_ = programPath;
  KFile program(programPath);
  program.Directory(programDirectory_);
}

void TLayoutServices::Reset() {
  prototypes_.DeleteAll();
  lastUsedPath_.Clear();
  programDirectory_.Clear();
  settings_ = nullptr;
  minAnimDelayMs_ = kDefaultMinAnimDelayMs;
  untitledCounter_ = 0;
  defaultName_ = KString(u"Untitled");
  autoResize_ = 0;
  restoring_ = false;
  info_ = InfoTexts();
  ConnectSources(nullptr);
  saveDialog_ = nullptr;
  waitCursor_ = nullptr;
  displaySize_ = nullptr;
  redraw_ = nullptr;
  closing_ = nullptr;
  clock_ = nullptr;
}

TLayoutObject* TLayoutServices::Prototype(int kind) {
  if (prototypes_.IsEmpty()) {
    prototypes_.Append(new TTextObject);
    prototypes_.Append(new TBitmapObject);
    prototypes_.Append(new TVideoDisplayObject);
  }
  if (kind < 0 || kind >= prototypes_.Count()) return nullptr;
  return static_cast<TLayoutObject*>(prototypes_.At(kind));
}

TLayoutObject* TLayoutServices::FindPrototype(const KString& name) {
  for (int kind = 0; kind < kKindCount; ++kind) {
    TLayoutObject* prototype = Prototype(kind);
    if (prototype && prototype->ClassName() == name) return prototype;
  }
  return nullptr;
}

void TLayoutServices::ConnectSources(TSources* sources) {
  if (sources == sources_) return;
  for (TLayout* layout : layouts_) {
    if (sources_) sources_->RemoveConsumer(layout);
    if (sources) sources->AddConsumer(layout);
  }
  sources_ = sources;
}

void TLayoutServices::Register(TLayout* layout) {
  layouts_.push_back(layout);
  if (sources_) sources_->AddConsumer(layout);
}

void TLayoutServices::Unregister(TLayout* layout) {
  if (sources_) sources_->RemoveConsumer(layout);
  layouts_.erase(std::remove(layouts_.begin(), layouts_.end(), layout), layouts_.end());
}

uint32_t TLayoutServices::Now() const {
  if (clock_) return clock_();
  return static_cast<uint32_t>(KPeriodicTask::TickCount());
}
