#include "layout/t_text_object.h"

#include <algorithm>

#include "base/k_record.h"
#include "base/k_stream.h"
#include "base/k_x.h"
#include "layout/t_layout.h"
#include "layout/t_layout_services.h"
#include "layout/t_object_dialog_factory.h"
#include "render/t_display.h"
#include "sources/t_field.h"

TTextObject::TTextObject() {
  SetFlagsRaw(Flags() | kDynamic);
}

std::unique_ptr<TLayoutObject> TTextObject::Clone(TLayout* parent, int32_t id) const {
  auto copy = std::make_unique<TTextObject>();
  copy->SetParent(parent);
  copy->SetId(id);
  copy->CopyFrom(*this);
  return copy;
}

void TTextObject::CopyFrom(const TLayoutObject& other) {
  TLayoutObject::CopyFrom(other);
  const auto* text = dynamic_cast<const TTextObject*>(&other);
  if (!text || text == this) return;
  font_ = text->font_;
  justification_ = text->justification_;
  lines_ = text->lines_;
  lineSpacing_ = text->lineSpacing_;
  text_ = text->text_;
  value_ = text->value_;
}

std::unique_ptr<TObjectDialog> TTextObject::CreatePropertiesDialog(TObjectDialogFactory& factory) {
  return factory.Text(*this);
}

bool TTextObject::FieldLabel(KString& out) const {
  out.Append(IsDynamic() ? FieldName() : text_);
  return true;
}

void TTextObject::TypeInfo(KString& out) const {
  out.Append(TLayoutServices::Get().Info().text);
}

bool TTextObject::SetSize(int width, int /*height*/) {
  const int64_t size = font_.Size();
  const int64_t spacing = std::max<int64_t>(lineSpacing_, -size);
  const int64_t height = size * lines_ + spacing * (lines_ - 1);
  return TLayoutObject::SetSize(width, static_cast<int>(std::min<int64_t>(height, INT32_MAX)));
}

void TTextObject::SetValue(const TField* field) {
  if (field)
    value_ = field->Value();
  else
    value_.Clear();
  RequestRedraw();
}

void TTextObject::Draw(TDisplay& display) {
  display.DrawTextBlock(font_, Rect(), DisplayText(), justification_, lines_);
}

const KString& TTextObject::DisplayText() const {
  static const KString kNothing;
  return IsVisible() ? FormatValue(text_, value_) : FormatValue(kNothing, kNothing);
}

void TTextObject::Rescale(const KPoint& from, const KPoint& to) {
  if (from.y > 0) {
    const int before = font_.Size();
    font_.SetSize(static_cast<int>(int64_t{before} * to.y / from.y));
    if (font_.Size() != before) Changed();
  }
  TLayoutObject::Rescale(from, to);
}

bool TTextObject::SetFont(const K3DFontInfo& font) {
  if (font_ == font) return false;
  font_ = font;
  ApplyHeight();
  Changed();
  return true;
}

bool TTextObject::SetJustification(int justification) {
  if (justification_ == justification) return false;
  justification_ = justification;
  Changed();
  return true;
}

bool TTextObject::SetLines(int lines) {
  lines = std::clamp(lines, 1, kMaxLines);
  if (lines_ == lines) return false;
  lines_ = lines;
  ApplyHeight();
  Changed();
  return true;
}

bool TTextObject::SetLineSpacing(int pixels) {
  if (lineSpacing_ == pixels) return false;
  lineSpacing_ = pixels;
  ApplyHeight();
  Changed();
  return true;
}

bool TTextObject::SetText(const KString& text) {
  if (text_ == text) return false;
  text_ = text;
  Changed();
  return true;
}

void TTextObject::Store(KStream& stream) const {
  TLayoutObject::Store(stream);
  stream.WriteInt32(kVersion);
  font_.Store(stream);
  stream.WriteInt32(justification_);
  KRecord::StoreString(stream, text_);
  KRecord::StoreString(stream, value_);
  stream.WriteInt32(lines_);
  stream.WriteInt32(lineSpacing_);
}

void TTextObject::Load(KStream& stream) {
  TLayoutObject::Load(stream);
  const int32_t version = stream.ReadInt32();
  if (version < kOldestVersion || version > kVersion) throw KXPersistent(KErrors::kFileVersion);
  font_.Load(stream);
  justification_ = stream.ReadInt32();
  KRecord::LoadString(stream, text_);
  KRecord::LoadString(stream, value_);
  if (version < kVersion) return;
  lines_ = std::clamp(stream.ReadInt32(), 1, kMaxLines);
  lineSpacing_ = stream.ReadInt32();
}
