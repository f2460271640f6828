#pragma once

#include <cstdint>
#include <memory>

#include "base/k_string.h"
#include "layout/t_layout_object.h"

// A programmable character-grid board: its field carries a command stream.
// FIXME: the command interpreter and its canvas arrive with their issue;
// this holds what the layout file stores.
class TVideoDisplayObject : public TLayoutObject {
 public:
  static constexpr int32_t kVersion = 0x30009;
  enum Rotation : int { kRotationOff = 0, kRotationLeft = 1, kRotationRight = 2 };

  TVideoDisplayObject();

  KString ClassName() const override { return KString::MakeView(u"TVideoDisplayObject"); }
  std::unique_ptr<TLayoutObject> Clone(TLayout* parent, int32_t id) const override;
  void CopyFrom(const TLayoutObject& other) override;
  std::unique_ptr<TObjectDialog> CreatePropertiesDialog(TObjectDialogFactory& factory) override;
  void TypeInfo(KString& out) const override;
  void Store(KStream& stream) const override;
  void Load(KStream& stream) override;

  bool SetRotation(int rotation);
  bool SetBlackTransparent(bool on);
  int Rotation() const { return rotation_; }
  bool BlackTransparent() const { return blackTransparent_; }

 private:
  int32_t rotation_ = kRotationOff;
  bool blackTransparent_ = false;
};
