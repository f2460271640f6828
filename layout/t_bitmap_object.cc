#include "layout/t_bitmap_object.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <new>

#include "base/k_buffered_file.h"
#include "base/k_file.h"
#include "base/k_record.h"
#include "base/k_stream.h"
#include "base/k_x.h"
#include "layout/layout_message.h"
#include "layout/t_layout.h"
#include "layout/t_layout_services.h"
#include "layout/t_object_dialog_factory.h"
#include "render/k_bitmap.h"
#include "render/k_bitmaps.h"
#include "render/t_display.h"
#include "sources/t_field.h"

namespace {

// side × numerator / denominator, kept inside the int range.
int ScaleSide(int side, int numerator, int denominator) {
  const int64_t scaled = int64_t{side} * numerator / denominator;
  return static_cast<int>(std::clamp<int64_t>(scaled, std::numeric_limits<int>::min(),
                                              std::numeric_limits<int>::max()));
}

}  // namespace

TBitmapObject::TBitmapObject() = default;

TBitmapObject::~TBitmapObject() = default;

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
  fileTime_ = KDateTime{};
  FreePicture();
  if (Layout() == nullptr) return;
  LoadPicture(true);
  ReapplySizeQuietly();
}

std::unique_ptr<TObjectDialog> TBitmapObject::CreatePropertiesDialog(
    TObjectDialogFactory& factory) {
  return factory.Bitmap(*this);
}

void TBitmapObject::OnMessage(LayoutMessage& message) {
  // Undo swaps whole states: the pictures of the outgoing one are dropped
  // and those of the incoming one read afresh.
  if (message.Kind() == LayoutMessage::kStateReplacing) {
    FreePicture();
  } else if (message.Kind() == LayoutMessage::kStateReplaced) {
    LoadPicture(true);
    ReapplySizeQuietly();
  }
  TLayoutObject::OnMessage(message);
}

bool TBitmapObject::FieldLabel(KString& out) const {
  out.Append(IsDynamic() ? FieldName() : file_);
  return true;
}

void TBitmapObject::TypeInfo(KString& out) const {
  out.Append(TLayoutServices::Get().Info().bitmap);
}

KPoint TBitmapObject::RuleSize(int width, int height) const {
  if (StretchMode() == kStretchKeepAspect && naturalWidth_ > 0 && naturalHeight_ > 0) {
    if (liveResize_ || width != Size().x || height == Size().y) {
      height = ScaleSide(width, naturalHeight_, naturalWidth_);
    } else {
      width = ScaleSide(height, naturalWidth_, naturalHeight_);
    }
  } else if (!Stretches() && !IsDynamic() && currentFrame_ != nullptr) {
    width = currentFrame_->Width();
    height = currentFrame_->Height();
  }
  return KPoint{width, height};
}

bool TBitmapObject::SetSize(int width, int height) {
  const KPoint size = RuleSize(width, height);
  if (!TLayoutObject::SetSize(size.x, size.y)) return false;
  if (Stretches() && !liveResize_) LoadPicture(false);
  return true;
}

void TBitmapObject::ReapplySizeQuietly() {
  const KPoint before = Size();
  const KPoint size = RuleSize(before.x, before.y);
  SetSizeRaw(size.x, size.y);
  if (!(Size() == before) && Stretches() && !liveResize_) LoadPicture(false);
}

void TBitmapObject::SetLiveResize(bool on) {
  liveResize_ = on;
  if (!on && Stretches()) LoadPicture(false);
}

bool TBitmapObject::SetStretch(int mode) {
  if (!TLayoutObject::SetStretch(mode)) return false;
  if (Stretches()) {
    ReapplySize();
    LoadPicture(false);
  } else {
    LoadPicture(true);
    ReapplySize();
  }
  RequestRedraw();
  return true;
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
  if (RebuildDynamicFile()) RequestRedraw();
}

bool TBitmapObject::RebuildDynamicFile() {
  if (!IsDynamic()) return false;
  const KString& name = FormatValue(pattern_, value_);
  const bool renamed = !(file_ == name);
  if (renamed) file_ = name;
  const bool loaded = LoadPicture(renamed);
  ReapplySize();
  return loaded;
}

KString TBitmapObject::PicturePath() const {
  KString name = file_;
  KFile::NormalizeSeparators(name);
  if (KFile::IsAbsolutePath(name)) return name;
  KString path =
      IsDynamic() && !directory_.IsEmpty() ? directory_ : TLayoutServices::Get().ProgramDirectory();
  KFile::NormalizeSeparators(path);
  if (!path.IsEmpty() && path.Last() != u'/') path.Append(u'/');
  path.Append(name);
  return path;
}

bool TBitmapObject::LoadPicture(bool force) {
  const KString path = PicturePath();
  const KDateTime time = file_.IsEmpty() ? KDateTime{} : KFile(path).LastWriteTime();
  if (!force && time == fileTime_) {
    // A stretched picture is scaled for one size; another size reads it again.
    const bool resized =
        Stretches() && currentFrame_ != nullptr &&
        (currentFrame_->Width() != Size().x || currentFrame_->Height() != Size().y);
    if (!resized) return false;
  }
  fileTime_ = time;
  FreePicture();
  if (file_.IsEmpty()) return true;
  try {
    auto frames = std::make_unique<KBitmaps>(KBitmap::kDisplayFormat, KBitmap::kHeap,
                                             TLayoutServices::Get().Settings());
    KBufferedFile in(path, kFileBufferBytes);
    in.Open(KFile::kRead, KFile::kOpenExisting);
    frames->Load(in);
    in.Close();
    const KBitmap* first = frames->First();
    if (first == nullptr || !first->HasPixels()) return true;
    naturalWidth_ = first->Width();
    naturalHeight_ = first->Height();
    if (Stretches() && (Size().x != naturalWidth_ || Size().y != naturalHeight_)) {
      // A size the scaler refuses (above 16384) shows the picture unscaled.
      if (auto scaled = frames->Scaled(Size().x, Size().y)) frames = std::move(scaled);
    }
    bitmaps_ = std::move(frames);
    currentFrame_ = Backwards() ? bitmaps_->Last() : bitmaps_->First();
  } catch (const KX&) {
    // A missing or damaged file shows nothing, without a message.
    FreePicture();
  } catch (const std::bad_alloc&) {
    FreePicture();
  }
  return true;
}

void TBitmapObject::FreePicture() {
  currentFrame_ = nullptr;
  bitmaps_.reset();
  naturalWidth_ = 0;
  naturalHeight_ = 0;
  nextFrameTime_ = 0;
  loopsDone_ = 0;
}

int TBitmapObject::CurrentFrameIndex() const {
  if (!bitmaps_ || currentFrame_ == nullptr) return -1;
  return bitmaps_->Frames().IndexOf(currentFrame_);
}

void TBitmapObject::ResetAnimation() {
  nextFrameTime_ = 0;
  loopsDone_ = 0;
  if (bitmaps_) currentFrame_ = Backwards() ? bitmaps_->Last() : bitmaps_->First();
}

bool TBitmapObject::Animating() const {
  if (!IsVisible() || !bitmaps_ || bitmaps_->Count() < 2 || currentFrame_ == nullptr) return false;
  const int limit = bitmaps_->LoopCount();
  return limit <= 0 || loopsDone_ < limit;
}

int TBitmapObject::MillisecondsToNextStep(uint32_t now) const {
  if (!IsVisible() || !bitmaps_ || bitmaps_->Count() < 2 || currentFrame_ == nullptr) {
    // A hidden animation waits for one tick to start it over.
    const KBitmap* start =
        bitmaps_ ? (Backwards() ? bitmaps_->Last() : bitmaps_->First()) : nullptr;
    const bool reset = nextFrameTime_ == 0 && loopsDone_ == 0 && currentFrame_ == start;
    return reset ? -1 : 0;
  }
  if (!Animating()) return -1;
  // Unscheduled, the next tick schedules the frame.
  if (nextFrameTime_ == 0) return 0;
  return std::max(0, static_cast<int>(static_cast<int32_t>(nextFrameTime_ - now)));
}

void TBitmapObject::AnimationStep() {
  if (!IsVisible() || !bitmaps_ || bitmaps_->Count() < 2 || currentFrame_ == nullptr) {
    ResetAnimation();
    return;
  }
  const int limit = bitmaps_->LoopCount();
  if (limit > 0 && loopsDone_ >= limit) return;
  const TLayoutServices& services = TLayoutServices::Get();
  const uint32_t now = services.Now();
  if (nextFrameTime_ == 0) {
    const int64_t speed = speed_ == 0 ? 1 : std::abs(int64_t{speed_});
    int64_t delay = int64_t{currentFrame_->Delay()} * 100 / speed;
    delay = std::max<int64_t>({delay, services.MinAnimDelayMs(), kFloorFrameDelayMs});
    delay = std::min<int64_t>(delay, std::numeric_limits<int32_t>::max());
    nextFrameTime_ = now + static_cast<uint32_t>(delay);
    if (nextFrameTime_ == 0) nextFrameTime_ = 1;
    return;
  }
  // The tick count wraps; the difference stays right across it.
  if (static_cast<int32_t>(now - nextFrameTime_) < 0) return;
  nextFrameTime_ = 0;
  auto* next =
      static_cast<KBitmap*>(Backwards() ? currentFrame_->Previous() : currentFrame_->Next());
  if (next == nullptr) {
    ++loopsDone_;
    if (limit <= 0 || loopsDone_ < limit) next = Backwards() ? bitmaps_->Last() : bitmaps_->First();
  }
  if (next == nullptr || next == currentFrame_) return;
  currentFrame_ = next;
  RequestRedraw();
}

void TBitmapObject::Draw(TDisplay& display) {
  display.DrawBitmap(Rect(), IsVisible() ? currentFrame_ : nullptr, blackTransparent_ ? 0 : -1);
}

bool TBitmapObject::SetFile(const KString& file) {
  if (IsDynamic()) return false;
  const bool renamed = !(file_ == file);
  if (renamed) file_ = file;
  const bool loaded = LoadPicture(renamed);
  ReapplySize();
  if (loaded) RequestRedraw();
  if (!renamed) return false;
  Changed();
  return true;
}

bool TBitmapObject::SetPattern(const KString& pattern) {
  if (pattern_ == pattern) return false;
  pattern_ = pattern;
  if (RebuildDynamicFile()) RequestRedraw();
  Changed();
  return true;
}

bool TBitmapObject::SetDirectory(const KString& directory) {
  if (directory_ == directory) return false;
  directory_ = directory;
  LoadPicture(true);
  ReapplySize();
  RequestRedraw();
  Changed();
  return true;
}

bool TBitmapObject::SetBlackTransparent(bool on) {
  if (blackTransparent_ == on) return false;
  blackTransparent_ = on;
  RequestRedraw();
  Changed();
  return true;
}

bool TBitmapObject::SetSpeed(int percent) {
  if (speed_ == percent) return false;
  speed_ = percent;
  nextFrameTime_ = 0;
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
  LoadPicture(true);
  ReapplySizeQuietly();
}
