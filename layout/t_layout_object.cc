#include "layout/t_layout_object.h"

#include <algorithm>
#include <limits>

#include "base/k_record.h"
#include "base/k_stream.h"
#include "base/k_x.h"
#include "layout/t_layout.h"
#include "layout/t_layout_services.h"
#include "layout/t_object_dialog_factory.h"
#include "layout/t_object_editor.h"
#include "layout/t_object_editor_window.h"
#include "layout/t_trigger.h"
#include "sources/t_field.h"
#include "sources/t_fields.h"

namespace {

int32_t ScaleCoordinate(int32_t value, int32_t to, int32_t from) {
  const int64_t scaled = int64_t{value} * to / from;
  return static_cast<int32_t>(std::clamp<int64_t>(scaled, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

}  // namespace

TLayoutObject::TLayoutObject() = default;

TLayoutObject::~TLayoutObject() = default;

KMessageObject* TLayoutObject::FindById(int32_t id) {
  return KMessageObject::FindById(id);
}

void TLayoutObject::OnMessage(LayoutMessage& message) {
  if (message.Kind() == LayoutMessage::kObjectChanged && message.sender == this && editorWindow_)
    editorWindow_->Refresh();
}

void TLayoutObject::CopyFrom(const TLayoutObject& other) {
  if (&other == this) return;
  flags_ = other.flags_;
  position_ = other.position_;
  size_ = other.size_;
  sourceMode_ = other.sourceMode_;
  sourceMask_ = other.sourceMask_;
  fieldName_ = other.fieldName_;
  triggerName_ = other.triggerName_;
  triggerTime_ = other.triggerTime_;
  triggerDeadline_ = 0;
}

void TLayoutObject::CreateEditorWindow(TObjectEditor& editor) {
  editorWindow_ = editor.NewObjectWindow(*this, editorWindow_);
}

std::unique_ptr<TObjectDialog> TLayoutObject::CreatePropertiesDialog(
    TObjectDialogFactory& factory) {
  return factory.Basic(*this);
}

bool TLayoutObject::FieldLabel(KString& out) const {
  if (!IsDynamic()) return false;
  out.Append(fieldName_);
  return true;
}

void TLayoutObject::Info(KString& out) const {
  const TLayoutServices::InfoTexts& texts = TLayoutServices::Get().Info();
  out.Append(IsDynamic() ? texts.dynamicText : texts.staticText);
  out.Append(u" | ");
  TypeInfo(out);
  if (!triggerName_.IsEmpty()) {
    out.Append(u" | ");
    out.Append(texts.trigger);
    out.Append(u" \"");
    out.Append(triggerName_);
    out.Append(u'"');
  }
  if (HasLocalOverride()) {
    out.Append(u" | ");
    out.Append(texts.override_);
  }
}

bool TLayoutObject::SetPosition(int x, int y) {
  if (position_.x == x && position_.y == y) return false;
  position_ = KPoint{x, y};
  Changed();
  return true;
}

bool TLayoutObject::SetSize(int width, int height) {
  width = std::max(width, kMinSide);
  height = std::max(height, kMinSide);
  if (size_.x == width && size_.y == height) return false;
  size_ = KPoint{width, height};
  Changed();
  return true;
}

void TLayoutObject::SetSizeRaw(int width, int height) {
  size_ = KPoint{std::max(width, kMinSide), std::max(height, kMinSide)};
}

bool TLayoutObject::SetStretch(int mode) {
  if (!CanStretch()) return false;
  const uint32_t flags =
      (flags_ & ~kStretchMask) | ((static_cast<uint32_t>(mode) & 3u) << kStretchShift);
  if (flags == flags_) return false;
  flags_ = flags;
  Changed();
  return true;
}

bool TLayoutObject::SetFlag(uint32_t flag, bool on) {
  const uint32_t flags = on ? (flags_ | flag) : (flags_ & ~flag);
  if (flags == flags_) return false;
  flags_ = flags;
  Changed();
  return true;
}

bool TLayoutObject::SetDynamic(bool on) {
  return SetFlag(kDynamic, on);
}

bool TLayoutObject::SetLocalOverride(bool on) {
  return SetFlag(kLocalOverride, on);
}

bool TLayoutObject::SetSelected(bool on) {
  return SetFlag(kSelected, on);
}

bool TLayoutObject::SetField(const KString& name) {
  if (fieldName_ == name) return false;
  fieldName_ = name;
  Changed();
  return true;
}

bool TLayoutObject::SetSourceMode(int mode) {
  if (sourceMode_ == mode) return false;
  sourceMode_ = mode;
  Changed();
  return true;
}

bool TLayoutObject::SetSourceSelected(int index, bool on) {
  if (index < 0 || index >= kMaxSources) return false;
  const uint32_t bit = 1u << index;
  const uint32_t mask = on ? (sourceMask_ | bit) : (sourceMask_ & ~bit);
  if (mask == sourceMask_) return false;
  sourceMask_ = mask;
  Changed();
  return true;
}

bool TLayoutObject::IsSourceSelected(int index) const {
  return index >= 0 && index < kMaxSources && ((sourceMask_ >> index) & 1u) != 0;
}

bool TLayoutObject::SetTrigger(const KString& name) {
  const KString15 cut(name);
  if (triggerName_ == cut) return false;
  triggerName_ = cut;
  triggerDeadline_ = 0;
  UpdateTriggerState();
  Changed();
  return true;
}

bool TLayoutObject::SetTriggerTime(int milliseconds) {
  if (triggerTime_ == milliseconds) return false;
  triggerTime_ = milliseconds;
  triggerDeadline_ = 0;
  UpdateTriggerState();
  Changed();
  return true;
}

void TLayoutObject::OnTrigger(const TTrigger& trigger) {
  if (triggerName_.IsEmpty() || !triggerName_.EqualsNoCase(trigger.Name().View())) return;
  const bool on = trigger.Action() == TTrigger::kOn ||
                  (trigger.Action() == TTrigger::kToggle && triggerDeadline_ == 0);
  if (on && triggerTime_ > 0) {
    triggerDeadline_ = TLayoutServices::Get().Now() + static_cast<uint32_t>(triggerTime_);
    if (triggerDeadline_ == 0) triggerDeadline_ = 1;
  } else {
    triggerDeadline_ = on ? 1 : 0;
  }
  UpdateTriggerState();
}

void TLayoutObject::UpdateTriggerState() {
  bool visible = true;
  if (!triggerName_.IsEmpty()) {
    // The tick count wraps every 49 days; the difference stays right across it.
    if (triggerTime_ > 0 && triggerDeadline_ != 0 &&
        static_cast<int32_t>(TLayoutServices::Get().Now() - triggerDeadline_) >= 0) {
      triggerDeadline_ = 0;
    }
    visible = triggerDeadline_ != 0;
  }
  if (visible == IsVisible()) return;
  visible_ = visible ? 1 : 0;
  RequestRedraw();
}

void TLayoutObject::ClearValue() {
  if (IsDynamic()) SetValue(nullptr);
}

bool TLayoutObject::Accepts(int definitionIndex) const {
  const bool inRange = definitionIndex >= 0 && definitionIndex < kMaxSources;
  if (HasLocalOverride()) {
    if (sourceMode_ == 0) return true;
    return sourceMode_ == 1 && inRange && IsSourceSelected(definitionIndex);
  }
  const TLayout* layout = Layout();
  if (!layout) return false;
  if (layout->SourceMode() == 0) return true;
  return layout->SourceMode() == 1 && inRange && layout->IsSourceSelected(definitionIndex);
}

void TLayoutObject::OnPacket(const TFields& packet, int definitionIndex) {
  if (!IsDynamic() || !Accepts(definitionIndex)) return;
  if (const TField* field = packet.FindField(fieldName_.View())) SetValue(field);
}

void TLayoutObject::Store(KStream& stream) const {
  stream.WriteInt32(kVersion);
  stream.WriteInt32(Id());
  stream.WriteInt32(static_cast<int32_t>(flags_));
  KRecord::StorePoint(stream, position_);
  KRecord::StorePoint(stream, size_);
  stream.WriteInt32(0);  // the legacy dynamic word; the flags say it now
  KRecord::StoreString(stream, fieldName_);
  stream.WriteInt32(sourceMode_);
  stream.WriteInt32(static_cast<int32_t>(sourceMask_));
  KRecord::StoreString(stream, triggerName_);
  stream.WriteInt32(triggerTime_);
}

void TLayoutObject::Load(KStream& stream) {
  const int32_t version = stream.ReadInt32();
  if (version < kOldestVersion || version > kVersion) throw KXPersistent(KErrors::kFileVersion);
  SetId(stream.ReadInt32());
  flags_ = static_cast<uint32_t>(stream.ReadInt32());
  position_ = KRecord::LoadPoint(stream);
  const KPoint size = KRecord::LoadPoint(stream);
  SetSizeRaw(size.x, size.y);
  const int32_t legacyDynamic = stream.ReadInt32();
  KRecord::LoadString(stream, fieldName_);
  if (version == 0x30004) {
    flags_ = legacyDynamic != 0 ? (flags_ | kDynamic) : (flags_ & ~kDynamic);
    return;
  }
  sourceMode_ = stream.ReadInt32();
  sourceMask_ = static_cast<uint32_t>(stream.ReadInt32());
  if (version == 0x30005) return;
  KRecord::LoadString(stream, triggerName_);
  triggerTime_ = stream.ReadInt32();
  triggerDeadline_ = 0;
  UpdateTriggerState();
}

void TLayoutObject::Rescale(const KPoint& from, const KPoint& to) {
  if (from.x <= 0 || from.y <= 0) return;
  SetPosition(ScaleCoordinate(position_.x, to.x, from.x),
              ScaleCoordinate(position_.y, to.y, from.y));
  SetSize(ScaleCoordinate(size_.x, to.x, from.x), ScaleCoordinate(size_.y, to.y, from.y));
}

TLayout* TLayoutObject::Layout() const {
  return dynamic_cast<TLayout*>(Parent());
}

KRect TLayoutObject::Rect() const {
  // Computed in 64 bits: a damaged file may place an object at the edge of
  // the coordinate range.
  const auto edge = [](int32_t start, int32_t length) {
    return static_cast<int32_t>(
        std::min<int64_t>(int64_t{start} + length - 1, std::numeric_limits<int32_t>::max()));
  };
  return KRect{position_.x, position_.y, edge(position_.x, size_.x), edge(position_.y, size_.y)};
}

void TLayoutObject::Changed() {
  Notify(LayoutMessage::kObjectChanged);
}

void TLayoutObject::RequestRedraw() {
  if (TLayout* layout = Layout()) layout->RedrawObject(*this);
}

void TLayoutObject::RequestRedraw(const KRect& area) {
  if (TLayout* layout = Layout()) layout->RedrawObject(*this, area);
}

const KString& TLayoutObject::FormatValue(const KString& format, const KString& value) {
  static KStringN<kFormatLength> buffer;
  buffer.Clear();
  const int length = format.Length();
  for (int i = 0; i < length && buffer.Length() < kFormatLength; ++i) {
    const char16_t ch = format.At(i);
    if (ch == u'%' && i + 1 < length) {
      const char16_t next = format.At(i + 1);
      if (next == u's') {
        buffer.Append(value);
        ++i;
        continue;
      }
      if (next == u'%') {
        buffer.Append(u'%');
        ++i;
        continue;
      }
    }
    buffer.Append(ch);
  }
  return buffer;
}
