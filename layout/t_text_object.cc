#include "layout/t_text_object.h"

#include <algorithm>

#include "base/k_record.h"
#include "base/k_stream.h"
#include "base/k_x.h"
#include "layout/t_layout.h"
#include "layout/t_layout_services.h"
#include "layout/t_object_dialog_factory.h"
#include "render/k_3d_fonts.h"
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
  const KString before = DisplayText();
  if (field)
    value_ = field->Value();
  else
    value_.Clear();
  KRect area;
  if (ChangedArea(before, DisplayText(), area)) {
    RequestRedraw(area);
  } else {
    RequestRedraw();
  }
}

bool TTextObject::ChangedArea(const KString& before, const KString& after, KRect& area) const {
  K3DFonts* fonts = K3DFonts::Instance();
  K3DFont* font = fonts != nullptr ? fonts->Find(font_.Font()) : nullptr;
  if (font == nullptr || lines_ != 1 || before.Length() != after.Length() || before.IsEmpty() ||
      font->UseFullString(before, font_) || font->UseFullString(after, font_)) {
    return false;
  }
  // Both texts must fit whole, to the same width and with the same
  // character width, so that every unchanged block stays where it was.
  const KRect rect = Rect();
  KString now = after;
  K3DFontInfo newInfo = font_;
  int newWidth = rect.Width();
  const bool fits = fonts->Fit(now, newInfo, newWidth, nullptr) && now.Length() == after.Length();
  // The old text was fitted at the last value; fit it again only when that
  // was another text or in another rectangle or font.
  Fitted old = lastFit_;
  if (!(old.text == before && old.available == rect.Width() && old.font == font_)) {
    KString cut = before;
    K3DFontInfo oldInfo = font_;
    old = Fitted{before, rect.Width(), font_, rect.Width(), -1, false};
    old.valid = fonts->Fit(cut, oldInfo, old.width, nullptr) && cut.Length() == before.Length();
    old.charWidth = oldInfo.CharWidthCache();
  }
  lastFit_ = Fitted{after, rect.Width(), font_, newWidth, newInfo.CharWidthCache(), fits};
  // Without shrinking the character width follows from the description
  // alone; with it, both texts must have been fitted at the same width.
  const bool sameCharWidth = !font_.ShrinkToFit() || old.charWidth == newInfo.CharWidthCache();
  if (!fits || !old.valid || old.width != newWidth || !sameCharWidth) return false;
  int first = 0;
  while (first < before.Length() && before.At(first) == after.At(first)) ++first;
  int last = before.Length() - 1;
  while (last >= first && before.At(last) == after.At(last)) --last;
  if (first > last) {
    // Nothing visible changed; an empty area still tells the display that
    // this layout changed (a delayed layout switch ends there).
    area = KRect{rect.left, rect.top, rect.left - 1, rect.top - 1};
    return true;
  }
  const int left = fonts->MeasureWidth(after.Left(first), newInfo);
  int right = left + fonts->MeasureWidth(after.Mid(first, last - first + 1), newInfo);
  // Digits share one width; other characters may have been wider before.
  bool digits = true;
  for (int i = first; i <= last; ++i) {
    digits = digits && before.At(i) >= u'0' && before.At(i) <= u'9' && after.At(i) >= u'0' &&
             after.At(i) <= u'9';
  }
  if (!digits) {
    right =
        std::max(right, left + fonts->MeasureWidth(before.Mid(first, last - first + 1), newInfo));
  }
  int offset = 0;
  if (justification_ == kCentre) offset = (rect.Width() - newWidth) / 2;
  if (justification_ == kRight) offset = rect.Width() - newWidth;
  offset = std::max(offset, 0);
  // Blocks are as tall as the font size and start at the object's top.
  area = KRect{rect.left + offset + left, rect.top, rect.left + offset + right - 1,
               rect.top + std::max(font_.Size(), rect.Height()) - 1};
  return true;
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
