#include "layout/t_bitmap_object.h"

#include "base/k_record.h"
#include "base/k_stream.h"
#include "base/k_x.h"
#include "layout/t_layout.h"
#include "layout/t_layout_services.h"
#include "layout/t_object_dialog_factory.h"
#include "sources/t_field.h"

std::unique_ptr<TLayoutObject> TBitmapObject::Clone(TLayout* parent, int32_t id) const {
  auto copy = std::make_unique<TBitmapObject>();
  copy->SetParent(parent);
  copy->SetId(id);
  copy->CopyFrom(*this);
  return copy;
}

void TBitmapObject::CopyFrom(const TLayoutObject& other) {
  TLayoutObject::CopyFrom(other);
  const auto* bitmap = dynamic_cast<const TBitmapObject*>(&other);
  if (!bitmap || bitmap == this) return;
  file_ = bitmap->file_;
  pattern_ = bitmap->pattern_;
  value_ = bitmap->value_;
  directory_ = bitmap->directory_;
  blackTransparent_ = bitmap->blackTransparent_;
  speed_ = bitmap->speed_;
}

std::unique_ptr<TObjectDialog> TBitmapObject::CreatePropertiesDialog(
    TObjectDialogFactory& factory) {
  return factory.Bitmap(*this);
}

bool TBitmapObject::FieldLabel(KString& out) const {
  out.Append(IsDynamic() ? FieldName() : file_);
  return true;
}

void TBitmapObject::TypeInfo(KString& out) const {
  out.Append(TLayoutServices::Get().Info().bitmap);
}

bool TBitmapObject::SetDynamic(bool on) {
  if (!TLayoutObject::SetDynamic(on)) return false;
  RebuildDynamicFile();
  return true;
}

void TBitmapObject::SetValue(const TField* field) {
  if (field)
    value_ = field->Value();
  else
    value_.Clear();
  const KString before = file_;
  RebuildDynamicFile();
  // Until pictures load, a new file name stands for a picture loaded or dropped.
  if (!(file_ == before)) RequestRedraw();
}

void TBitmapObject::RebuildDynamicFile() {
  if (!IsDynamic()) return;
  file_ = FormatValue(pattern_, value_);
}

bool TBitmapObject::SetFile(const KString& file) {
  if (IsDynamic() || file_ == file) return false;
  file_ = file;
  Changed();
  return true;
}

bool TBitmapObject::SetPattern(const KString& pattern) {
  if (pattern_ == pattern) return false;
  pattern_ = pattern;
  RebuildDynamicFile();
  Changed();
  return true;
}

bool TBitmapObject::SetDirectory(const KString& directory) {
  if (directory_ == directory) return false;
  directory_ = directory;
  Changed();
  return true;
}

bool TBitmapObject::SetBlackTransparent(bool on) {
  if (blackTransparent_ == on) return false;
  blackTransparent_ = on;
  Changed();
  return true;
}

bool TBitmapObject::SetSpeed(int percent) {
  if (speed_ == percent) return false;
  speed_ = percent;
  Changed();
  return true;
}

void TBitmapObject::Store(KStream& stream) const {
  TLayoutObject::Store(stream);
  stream.WriteInt32(kVersion);
  KRecord::StoreString(stream, file_);
  KRecord::StoreString(stream, pattern_);
  KRecord::StoreString(stream, value_);
  stream.WriteInt32(blackTransparent_ ? 1 : 0);
  KRecord::StoreString(stream, directory_);
  stream.WriteInt32(speed_);
}

void TBitmapObject::Load(KStream& stream) {
  TLayoutObject::Load(stream);
  const int32_t version = stream.ReadInt32();
  if (version < kOldestVersion || version > kVersion) throw KXPersistent(KErrors::kFileVersion);
  KRecord::LoadString(stream, file_);
  if (version >= 0x30009) {
    KRecord::LoadString(stream, pattern_);
    KRecord::LoadString(stream, value_);
  }
  if (version >= 0x3000A) blackTransparent_ = stream.ReadInt32() != 0;
  if (version >= 0x3000B) KRecord::LoadString(stream, directory_);
  if (version >= 0x3000C) speed_ = stream.ReadInt32();
}
