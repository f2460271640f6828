#pragma once

#include <cstdint>
#include <memory>

#include "base/k_string.h"
#include "layout/k_video_display.h"
#include "layout/t_layout_object.h"

// A programmable character-grid board: its field carries a command stream,
// which its KVideoDisplay draws on a canvas of the object's size; the
// display shows the canvas as it stood at the last "LayoutFlush".
class TVideoDisplayObject : public TLayoutObject {
 public:
  static constexpr int32_t kVersion = 0x30009;
  enum Rotation : int { kRotationOff = 0, kRotationLeft = 1, kRotationRight = 2 };

  TVideoDisplayObject();
  ~TVideoDisplayObject() override;

  KString ClassName() const override { return KString::MakeView(u"TVideoDisplayObject"); }
  std::unique_ptr<TLayoutObject> Clone(TLayout* parent, int32_t id) const override;
  void CopyFrom(const TLayoutObject& other) override;
  std::unique_ptr<TObjectDialog> CreatePropertiesDialog(TObjectDialogFactory& factory) override;
  void OnMessage(LayoutMessage& message) override;
  void TypeInfo(KString& out) const override;
  bool SetSize(int width, int height) override;
  void SetLiveResize(bool on) override;
  // Every character of the field goes to the interpreter; a flush redraws.
  void SetValue(const TField* field) override;
  void Draw(TDisplay& display) override;
  void Store(KStream& stream) const override;
  void Load(KStream& stream) override;

  bool SetRotation(int rotation);
  bool SetBlackTransparent(bool on);
  int Rotation() const { return rotation_; }
  bool BlackTransparent() const { return blackTransparent_; }
  KVideoDisplay& Display() { return display_; }
  const KVideoDisplay& Display() const { return display_; }

  // One flag for all video display objects: set while the editor drags a
  // size, so that the canvas is made again once, when the drag ends.
  static bool LiveResize() { return liveResize_; }

 private:
  // A new empty canvas of the object's size and rotation; none when that
  // size cannot be had.
  void RecreateCanvas();

  KVideoDisplay display_;
  static inline bool liveResize_ = false;
  int32_t rotation_ = kRotationOff;
  bool blackTransparent_ = false;
};
