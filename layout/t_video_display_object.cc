#include "layout/t_video_display_object.h"

#include "base/k_stream.h"
#include "base/k_x.h"
#include "layout/t_layout.h"
#include "layout/t_layout_services.h"
#include "layout/t_object_dialog_factory.h"

TVideoDisplayObject::TVideoDisplayObject() {
  SetFlagsRaw(Flags() | kDynamic);
  SetFieldRaw(KString(u"Video Display Data"));
}

std::unique_ptr<TLayoutObject> TVideoDisplayObject::Clone(TLayout* parent, int32_t id) const {
  auto copy = std::make_unique<TVideoDisplayObject>();
  copy->SetParent(parent);
  copy->SetId(id);
  copy->CopyFrom(*this);
  return copy;
}

void TVideoDisplayObject::CopyFrom(const TLayoutObject& other) {
  TLayoutObject::CopyFrom(other);
  const auto* display = dynamic_cast<const TVideoDisplayObject*>(&other);
  if (!display || display == this) return;
  rotation_ = display->rotation_;
  blackTransparent_ = display->blackTransparent_;
}

std::unique_ptr<TObjectDialog> TVideoDisplayObject::CreatePropertiesDialog(
    TObjectDialogFactory& factory) {
  return factory.VideoDisplay(*this);
}

void TVideoDisplayObject::TypeInfo(KString& out) const {
  out.Append(TLayoutServices::Get().Info().videoDisplay);
}

bool TVideoDisplayObject::SetRotation(int rotation) {
  if (rotation_ == rotation) return false;
  rotation_ = rotation;
  Changed();
  return true;
}

bool TVideoDisplayObject::SetBlackTransparent(bool on) {
  if (blackTransparent_ == on) return false;
  blackTransparent_ = on;
  Changed();
  return true;
}

void TVideoDisplayObject::Store(KStream& stream) const {
  TLayoutObject::Store(stream);
  stream.WriteInt32(kVersion);
  stream.WriteInt32(rotation_);
  stream.WriteInt32(blackTransparent_ ? 1 : 0);
}

void TVideoDisplayObject::Load(KStream& stream) {
  TLayoutObject::Load(stream);
  if (stream.ReadInt32() != kVersion) throw KXPersistent(KErrors::kFileVersion);
  rotation_ = stream.ReadInt32();
  blackTransparent_ = stream.ReadInt32() != 0;
}
