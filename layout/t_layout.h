#pragma once

#include <cstdint>
#include <memory>

#include "base/k_color.h"
#include "base/k_file.h"
#include "base/k_rect.h"
#include "layout/k_message_object.h"
#include "layout/t_layout_state.h"
#include "render/t_display_content.h"
#include "sources/t_sources.h"

class KStream;
class TDisplay;
class TFields;
class TLayoutObject;
class TTrigger;

// One screen design: background, the packets it listens to and its objects.
// The root of its objects' message tree: it hands out their ids, takes their
// change messages (modified flag, undo snapshot flag, update brackets) and
// relays packets and triggers to them.
class TLayout : public KMessageObject, public TSources::PacketConsumer, public TDisplayContent {
 public:
  static constexpr int32_t kVersion = 0x30005;
  static constexpr int32_t kOldestVersion = 0x30003;
  static constexpr int kMaxSources = 32;
  static constexpr int kMaxScale = 16384;
  enum SaveFlags : int { kSave = 1, kSaveAs = 2 };
  enum LoadFlags : int { kLoadContent = 1 };

  TLayout();
  ~TLayout() override;

  // KMessageObject: the object with that id (the layout's own id field is
  // its id counter).
  KMessageObject* FindById(int32_t id) override;
  void OnMessage(LayoutMessage& message) override;

  // TSources::PacketConsumer
  void PacketComplete(TSource& source, TFields& definition) override;

  // TDisplayContent: what the display asks of the layout it shows.
  KColor DisplayBackground() const override { return Background(); }
  void DrawBand(TDisplay& display, const KRect& band) override { Draw(display, band); }
  void TickObjects() override;
  int MillisecondsToNextTick() const override;
  void ClearObjectValues() override { ClearValues(); }
  // A key typed on the display toggles the trigger of that name.
  void KeyTrigger(const KString& name) override;

  // Content; each sends message 1 when it changed something.
  bool SetBackground(KColor color);
  bool SetSourceMode(int mode);
  // Indexes outside 0 to 31 change nothing.
  bool SetSourceSelected(int index, bool on);
  bool IsSourceSelected(int index) const;
  KColor Background() const { return state_->background; }
  int SourceMode() const { return state_->sourceMode; }
  uint32_t SourceMask() const { return state_->sourceMask; }

  // A clone of prototype `kind` (TLayoutServices::Kind) in front of all others.
  TLayoutObject* NewObject(int kind);
  TLayoutObject* AddObject(const TLayoutObject& prototype);
  bool DeleteObject(TLayoutObject* object);
  void MoveToBack(TLayoutObject* object);
  void MoveToFront(TLayoutObject* object);
  // Drawing order; the first for null, null after the last.
  TLayoutObject* NextObject(const TLayoutObject* previous) const;
  int ObjectCount() const { return state_->objects.Count(); }
  const KList& Objects() const { return state_->objects; }

  // Relays to every object in drawing order.
  void OnPacket(const TFields& packet, int definitionIndex);
  void OnTrigger(const TTrigger& trigger);
  void ExpireTriggers();
  void ClearValues();
  void Draw(TDisplay& display, const KRect& area);
  // Refused unless all four numbers lie in 1 to 16384.
  bool Rescale(const KPoint& from, const KPoint& to);

  // An object's request to be redrawn, forwarded to the display.
  void RedrawObject(TLayoutObject& object);
  // Only `area` of it changed; an empty area still counts as a change.
  void RedrawObject(TLayoutObject& object, const KRect& area);

  // A copy of the content; each clone keeps its original's id.
  std::unique_ptr<TLayoutState> Snapshot() const;
  // Swaps in `state` between messages 2 and 3 and gives back the old one.
  std::unique_ptr<TLayoutState> ReplaceState(std::unique_ptr<TLayoutState> state);

  bool ContentBounds(KRect& out) const;
  bool DesignSize(KPoint& out) const;
  bool AutoResize();

  int MakeUntitled();
  int Load(KFile& file, int flags);
  int Save(int flags);
  // Writes the layout to `path` (replacing the file whole) and takes that
  // path; the error code or 0.
  int SaveTo(const KString& path);

  // The layout record. LoadContent reads into a fresh state and takes it
  // only when the whole record was read; otherwise the layout is unchanged
  // and the KX code is returned.
  void StoreContent(KStream& stream) const;
  int LoadContent(KStream& stream);
  // The record version of the last successful LoadContent (0 before).
  int32_t LoadedVersion() const { return loadedVersion_; }

  int32_t IdCounter() const { return Id(); }
  int32_t ReservedWord() const { return reserved_; }
  void SetReservedWord(int32_t word) { reserved_ = word; }
  const KFile& File() const { return file_; }
  bool IsUntitled() const { return untitled_; }
  bool IsModified() const { return modified_; }
  void ClearModified() { modified_ = false; }
  bool IsSnapshotPending() const { return snapshotPending_; }
  void ClearSnapshotPending() { snapshotPending_ = false; }
  uint32_t LastChangeTick() const { return lastChange_; }
  int UpdateDepth() const { return updateDepth_; }

 private:
  void ContentChanged() { Notify(LayoutMessage::kContentChanged); }
  void ReadRecord(KStream& stream, TLayoutState& state, int32_t& counter, int32_t& reserved,
                  int32_t& version);
  void WriteFile(const KString& path) const;

  int32_t reserved_ = 0;
  std::unique_ptr<TLayoutState> state_;
  KFile file_;
  bool untitled_ = false;
  uint32_t lastChange_ = 0;
  int updateDepth_ = 0;
  bool modified_ = false;
  bool snapshotPending_ = false;
  // Objects being loaded into a state not yet in use ask for no redraws.
  bool loading_ = false;
  int32_t loadedVersion_ = 0;
};
