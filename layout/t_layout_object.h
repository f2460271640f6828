#pragma once

#include <cstdint>
#include <memory>

#include "base/k_list.h"
#include "base/k_rect.h"
#include "base/k_string.h"
#include "layout/k_message_object.h"

class KStream;
class TDisplay;
class TField;
class TFields;
class TLayout;
class TObjectDialog;
class TObjectDialogFactory;
class TObjectEditor;
class TObjectEditorWindow;
class TTrigger;

// Everything placed on a layout: its rectangle, whether it is fed by a
// packet field (dynamic) or fixed (static), the field and sources it takes
// values from, and the trigger that decides whether it is shown.
class TLayoutObject : public KMessageObject, public KListItem {
 public:
  enum Flags : uint32_t {
    kDynamic = 1,
    kLocalOverride = 2,
    kSelected = 4,
    kStretchShift = 3,
    kStretchMask = 3u << kStretchShift,
  };
  enum Stretch : int { kStretchNone = 0, kStretchOn = 1, kStretchKeepAspect = 3 };
  static constexpr int32_t kVersion = 0x30006;
  static constexpr int32_t kOldestVersion = 0x30004;
  static constexpr int kMinSide = 10;
  static constexpr int kMaxSources = 32;
  // Texts and dynamic file names are formatted into a buffer of this size.
  static constexpr int kFormatLength = 4096;

  TLayoutObject();
  ~TLayoutObject() override;

  // KMessageObject
  KMessageObject* FindById(int32_t id) override;
  void OnMessage(LayoutMessage& message) override;

  KString ClassName() const override { return KString::MakeView(u"TLayoutObject"); }
  // A new object of the same class, with that parent and id, copied from this one.
  virtual std::unique_ptr<TLayoutObject> Clone(TLayout* parent, int32_t id) const = 0;
  // The id is not copied; a pending trigger is dropped.
  virtual void CopyFrom(const TLayoutObject& other);
  virtual void CreateEditorWindow(TObjectEditor& editor);
  virtual std::unique_ptr<TObjectDialog> CreatePropertiesDialog(TObjectDialogFactory& factory);
  // The label of the object's box; false for a static object.
  virtual bool FieldLabel(KString& out) const;
  virtual void Info(KString& out) const;
  virtual void TypeInfo(KString& /*out*/) const {}
  virtual bool SetPosition(int x, int y);
  virtual bool SetSize(int width, int height);
  virtual void SetLiveResize(bool /*on*/) {}
  virtual bool SetStretch(int mode);
  virtual bool CanStretch() const { return false; }
  virtual bool SetDynamic(bool on);
  virtual bool SetField(const KString& name);
  virtual void UpdateTriggerState();
  // The display's periodic tick, after the triggers were evaluated: what
  // moves by itself (animations) takes its next step.
  virtual void Tick() {}
  // Milliseconds from `now` until Tick has a step to take (0: at once), or
  // -1 when nothing moves; lets the event loop sleep until then.
  virtual int MillisecondsToNextStep(uint32_t /*now*/) const { return -1; }
  virtual void ClearValue();
  // `definitionIndex` numbers the packet's definition among all sources (-1
  // when unknown).
  virtual void OnPacket(const TFields& packet, int definitionIndex);
  virtual void SetValue(const TField* /*field*/) {}
  virtual void Draw(TDisplay& /*display*/) {}
  void Store(KStream& stream) const override;
  void Load(KStream& stream) override;
  virtual void Rescale(const KPoint& from, const KPoint& to);

  bool SetLocalOverride(bool on);
  bool SetSelected(bool on);
  bool SetSourceMode(int mode);
  // Indexes outside 0 to 31 change nothing.
  bool SetSourceSelected(int index, bool on);
  bool IsSourceSelected(int index) const;
  bool SetTrigger(const KString& name);
  bool SetTriggerTime(int milliseconds);
  void OnTrigger(const TTrigger& trigger);
  bool IsVisible() const { return visible_ != 0; }

  TLayout* Layout() const;
  uint32_t Flags() const { return flags_; }
  bool IsDynamic() const { return (flags_ & kDynamic) != 0; }
  bool HasLocalOverride() const { return (flags_ & kLocalOverride) != 0; }
  bool IsSelected() const { return (flags_ & kSelected) != 0; }
  int StretchMode() const { return static_cast<int>((flags_ & kStretchMask) >> kStretchShift); }
  TObjectEditorWindow* EditorWindow() const { return editorWindow_; }
  // The editor forgets a box it deletes.
  void SetEditorWindow(TObjectEditorWindow* window) { editorWindow_ = window; }
  KPoint Position() const { return position_; }
  KPoint Size() const { return size_; }
  KRect Rect() const;
  int SourceMode() const { return sourceMode_; }
  uint32_t SourceMask() const { return sourceMask_; }
  const KString& FieldName() const { return fieldName_; }
  const KString& TriggerName() const { return triggerName_; }
  int TriggerTime() const { return triggerTime_; }
  uint32_t TriggerDeadline() const { return triggerDeadline_; }

  // Formats `format` with `value` as its single string argument: every "%s"
  // is the value, "%%" is "%", any other conversion stays as written. The
  // result lives in one buffer of kFormatLength characters shared by all
  // objects, cut at its end, valid until the next call.
  static const KString& FormatValue(const KString& format, const KString& value);

 protected:
  // Sends change message 4 from this object.
  void Changed();
  // Asks the display, through the layout, to redraw this object.
  void RequestRedraw();
  // Only `area` (layout coordinates) of the object changed.
  void RequestRedraw(const KRect& area);
  // The common record sets fields without messages: loading is not an edit.
  void SetFlagsRaw(uint32_t flags) { flags_ = flags; }
  void SetSizeRaw(int width, int height);
  void SetFieldRaw(const KString& name) { fieldName_ = name; }

 private:
  bool Accepts(int definitionIndex) const;
  bool SetFlag(uint32_t flag, bool on);

  uint32_t flags_ = 0;
  TObjectEditorWindow* editorWindow_ = nullptr;
  KPoint position_{10, 10};
  KPoint size_{150, 50};
  int32_t sourceMode_ = 0;
  uint32_t sourceMask_ = 0;
  KString fieldName_;
  uint8_t visible_ = 1;
  KString15 triggerName_;
  int32_t triggerTime_ = 0;
  uint32_t triggerDeadline_ = 0;
};
