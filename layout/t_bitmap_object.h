#pragma once

#include <cstdint>
#include <memory>

#include "base/k_date_time.h"
#include "base/k_string.h"
#include "layout/t_layout_object.h"

class KBitmap;
class KBitmaps;

// A picture on a layout: a fixed file, or a file named by the value of a
// packet field through a pattern such as "%s.tga". Pictures with several
// frames play at an adjustable speed; a stretched picture is scaled to the
// object's rectangle once, when it is loaded or the size settles.
class TBitmapObject : public TLayoutObject {
 public:
  static constexpr int32_t kVersion = 0x3000C;
  static constexpr int32_t kOldestVersion = 0x30008;
  // Below this no frame is shown, whatever the settings say.
  static constexpr int kFloorFrameDelayMs = 10;
  static constexpr int kFileBufferBytes = 4096;

  TBitmapObject();
  ~TBitmapObject() override;

  KString ClassName() const override { return KString::MakeView(u"TBitmapObject"); }
  std::unique_ptr<TLayoutObject> Clone(TLayout* parent, int32_t id) const override;
  void CopyFrom(const TLayoutObject& other) override;
  std::unique_ptr<TObjectDialog> CreatePropertiesDialog(TObjectDialogFactory& factory) override;
  void OnMessage(LayoutMessage& message) override;
  // The field name of a dynamic object, the file of a static one.
  bool FieldLabel(KString& out) const override;
  void TypeInfo(KString& out) const override;
  bool SetSize(int width, int height) override;
  void SetLiveResize(bool on) override;
  bool SetStretch(int mode) override;
  bool CanStretch() const override { return true; }
  bool SetDynamic(bool on) override;
  void Tick() override { AnimationStep(); }
  int MillisecondsToNextStep(uint32_t now) const override;
  void SetValue(const TField* field) override;
  void Draw(TDisplay& display) override;
  void Store(KStream& stream) const override;
  void Load(KStream& stream) override;

  // Refused for a dynamic object, whose file comes from its value. The same
  // name again reloads only a file rewritten since.
  bool SetFile(const KString& file);
  bool SetPattern(const KString& pattern);
  bool SetDirectory(const KString& directory);
  bool SetBlackTransparent(bool on);
  // Percent; negative plays backwards, 0 counts as 1.
  bool SetSpeed(int percent);

  const KString& File() const { return file_; }
  const KString& Pattern() const { return pattern_; }
  const KString& Value() const { return value_; }
  const KString& Directory() const { return directory_; }
  bool BlackTransparent() const { return blackTransparent_; }
  int Speed() const { return speed_; }
  const KDateTime& FileTime() const { return fileTime_; }
  // What is shown now (null: nothing), and the frames it belongs to.
  const KBitmap* CurrentFrame() const { return currentFrame_; }
  const KBitmaps* Frames() const { return bitmaps_.get(); }
  int CurrentFrameIndex() const;
  KPoint NaturalSize() const { return KPoint{naturalWidth_, naturalHeight_}; }
  uint32_t NextFrameTime() const { return nextFrameTime_; }
  int LoopsDone() const { return loopsDone_; }
  // The full path the file is read from.
  KString PicturePath() const;

  // One flag for all bitmap objects: set while the editor drags a size, so
  // that the picture is scaled once, when the drag ends.
  static bool LiveResize() { return liveResize_; }

 private:
  bool Stretches() const { return StretchMode() != kStretchNone; }
  bool Backwards() const { return speed_ < 0; }
  // Visible, with several frames to show and loops left to play.
  bool Animating() const;
  // A dynamic object's file is its pattern formatted with its value; true
  // when that loaded or dropped a picture.
  bool RebuildDynamicFile();
  // Reads the file when forced, when it was rewritten, or when a stretched
  // picture no longer matches the object's size. True when a picture was
  // loaded or dropped.
  bool LoadPicture(bool force);
  void FreePicture();
  // The size the object takes for a wanted one (aspect ratio, natural size).
  KPoint RuleSize(int width, int height) const;
  void ReapplySize() { SetSize(Size().x, Size().y); }
  // As ReapplySize for copies and loading, which are no edits.
  void ReapplySizeQuietly();
  void AnimationStep();
  void ResetAnimation();

  KString file_;
  KDateTime fileTime_;
  KString pattern_ = KString(u"%s.tga");
  KString value_;
  KBitmap* currentFrame_ = nullptr;
  std::unique_ptr<KBitmaps> bitmaps_;
  int32_t naturalWidth_ = 0;
  int32_t naturalHeight_ = 0;
  uint32_t nextFrameTime_ = 0;
  int32_t loopsDone_ = 0;
  KString directory_;
  bool blackTransparent_ = true;
  int32_t speed_ = 100;

  static inline bool liveResize_ = false;
};
