#include "layout/t_video_display_object.h"

#include "base/k_stream.h"
#include "base/k_x.h"
#include "layout/layout_message.h"
#include "layout/t_layout.h"
#include "layout/t_layout_services.h"
#include "layout/t_object_dialog_factory.h"
#include "render/k_bitmap.h"
#include "render/t_display.h"
#include "sources/t_field.h"

TVideoDisplayObject::TVideoDisplayObject() {
  SetFlagsRaw(Flags() | kDynamic);
  SetFieldRaw(KString(u"Video Display Data"));
}

TVideoDisplayObject::~TVideoDisplayObject() = default;

void TVideoDisplayObject::RecreateCanvas() {
  if (!display_.SetCanvas(Size().x, Size().y, rotation_)) display_.Release();
}

void TVideoDisplayObject::OnMessage(LayoutMessage& message) {
  if (message.Kind() == LayoutMessage::kStateReplacing) {
    display_.Release();
  } else if (message.Kind() == LayoutMessage::kStateReplaced) {
    RecreateCanvas();
  }
  TLayoutObject::OnMessage(message);
}

bool TVideoDisplayObject::SetSize(int width, int height) {
  if (!TLayoutObject::SetSize(width, height)) return false;
  if (!liveResize_) RecreateCanvas();
  return true;
}

void TVideoDisplayObject::SetLiveResize(bool on) {
  liveResize_ = on;
  if (!on) RecreateCanvas();
}

void TVideoDisplayObject::SetValue(const TField* field) {
  if (field == nullptr) return;
  display_.Feed(field->Value());
  if (display_.TakeFlush()) RequestRedraw();
}

void TVideoDisplayObject::Draw(TDisplay& display) {
  const uint32_t* pixels = IsVisible() && display_.HasCanvas() ? display_.ShownPixels() : nullptr;
  if (pixels == nullptr) {
    display.DrawBitmap(Rect(), nullptr, -1);
    return;
  }
  // The canvas is shown as it is stored: a rotated board appears turned.
  const KBitmap canvas(const_cast<uint32_t*>(pixels), display_.CanvasWidth(),
                       display_.CanvasHeight(), KBitmap::kDepth32 | KBitmap::kAlign1);
  display.DrawBitmap(Rect(), &canvas, blackTransparent_ ? 0 : -1);
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
  display_.Release();
  if (Layout() != nullptr) RecreateCanvas();
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
  RecreateCanvas();
  RequestRedraw();
  Changed();
  return true;
}

bool TVideoDisplayObject::SetBlackTransparent(bool on) {
  if (blackTransparent_ == on) return false;
  blackTransparent_ = on;
  RequestRedraw();
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
  RecreateCanvas();
}
