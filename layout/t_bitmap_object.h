#pragma once

#include <cstdint>
#include <memory>

#include "base/k_string.h"
#include "layout/t_layout_object.h"

// A picture on a layout: a fixed file, or a file named by the value of a
// packet field through a pattern such as "%s.tga".
// FIXME: the picture itself (loading, scaling, animation, drawing) arrives
// with the image decoders; this holds what the layout file stores.
class TBitmapObject : public TLayoutObject {
 public:
  static constexpr int32_t kVersion = 0x3000C;
  static constexpr int32_t kOldestVersion = 0x30008;

  TBitmapObject() = default;

  KString ClassName() const override { return KString::MakeView(u"TBitmapObject"); }
  std::unique_ptr<TLayoutObject> Clone(TLayout* parent, int32_t id) const override;
  void CopyFrom(const TLayoutObject& other) override;
  std::unique_ptr<TObjectDialog> CreatePropertiesDialog(TObjectDialogFactory& factory) override;
  // The field name of a dynamic object, the file of a static one.
  bool FieldLabel(KString& out) const override;
  void TypeInfo(KString& out) const override;
  bool CanStretch() const override { return true; }
  bool SetDynamic(bool on) override;
  void SetValue(const TField* field) override;
  void Store(KStream& stream) const override;
  void Load(KStream& stream) override;

  // Refused for a dynamic object, whose file comes from its value.
  bool SetFile(const KString& file);
  bool SetPattern(const KString& pattern);
  bool SetDirectory(const KString& directory);
  bool SetBlackTransparent(bool on);
  bool SetSpeed(int percent);

  const KString& File() const { return file_; }
  const KString& Pattern() const { return pattern_; }
  const KString& Value() const { return value_; }
  const KString& Directory() const { return directory_; }
  bool BlackTransparent() const { return blackTransparent_; }
  int Speed() const { return speed_; }

 private:
  // A dynamic object's file is its pattern formatted with its value.
  void RebuildDynamicFile();

  KString file_;
  KString pattern_ = KString(u"%s.tga");
  KString value_;
  KString directory_;
  bool blackTransparent_ = true;
  int32_t speed_ = 100;
};
