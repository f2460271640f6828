#pragma once

#include <cstdint>
#include <memory>

#include "base/k_string.h"
#include "layout/t_layout_object.h"
#include "render/k_3d_font_info.h"

// A text on a layout: fixed, or with the value of a packet field put in
// place of "%s". Its height follows from the font size and the lines.
class TTextObject : public TLayoutObject {
 public:
  static constexpr int32_t kVersion = 0x30008;
  static constexpr int32_t kOldestVersion = 0x30007;
  static constexpr int kMaxLines = 25;
  enum Justification : int { kLeft = 0, kCentre = 1, kRight = 2 };

  TTextObject();

  KString ClassName() const override { return KString::MakeView(u"TTextObject"); }
  std::unique_ptr<TLayoutObject> Clone(TLayout* parent, int32_t id) const override;
  void CopyFrom(const TLayoutObject& other) override;
  std::unique_ptr<TObjectDialog> CreatePropertiesDialog(TObjectDialogFactory& factory) override;
  // The field name of a dynamic object, the text of a static one.
  bool FieldLabel(KString& out) const override;
  void TypeInfo(KString& out) const override;
  // The height is not asked for: it follows from font size, lines and spacing.
  bool SetSize(int width, int height) override;
  // Redraws only the characters that changed when the new text lines up
  // with the old one (a running clock), else the whole object.
  void SetValue(const TField* field) override;
  void Draw(TDisplay& display) override;
  void Rescale(const KPoint& from, const KPoint& to) override;
  void Store(KStream& stream) const override;
  void Load(KStream& stream) override;

  bool SetFont(const K3DFontInfo& font);
  bool SetJustification(int justification);
  // Clamped to 1 to 25.
  bool SetLines(int lines);
  bool SetLineSpacing(int pixels);
  bool SetText(const KString& text);

  const K3DFontInfo& Font() const { return font_; }
  int Justification() const { return justification_; }
  int Lines() const { return lines_; }
  int LineSpacing() const { return lineSpacing_; }
  const KString& Text() const { return text_; }
  const KString& Value() const { return value_; }
  // What the object shows now: the text formatted with the value, empty
  // while the trigger hides it. Valid until the next format of any object.
  const KString& DisplayText() const;

 private:
  // A display text as fitted into the object, to compare the next one with.
  struct Fitted {
    KString text;
    int available = -1;
    K3DFontInfo font;
    int width = 0;
    int charWidth = -1;
    bool valid = false;
  };
  // The part of the object where `after` differs from `before`; false when
  // the whole object must be redrawn.
  bool ChangedArea(const KString& before, const KString& after, KRect& area) const;
  // Size the object again so the height rule applies.
  void ApplyHeight() { SetSize(Size().x, Size().y); }

  K3DFontInfo font_;
  int32_t justification_ = kLeft;
  int32_t lines_ = 1;
  int32_t lineSpacing_ = 0;
  KString text_ = KString(u"%s");
  KString value_;
  mutable Fitted lastFit_;
};
