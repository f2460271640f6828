#include "layout/t_layout.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

#include <algorithm>
#include <limits>
#include <new>
#include <string>

#include "base/k_buffered_file.h"
#include "base/k_memory_stream.h"
#include "base/k_record.h"
#include "base/k_x.h"
#include "layout/t_layout_object.h"
#include "layout/t_layout_services.h"
#include "layout/t_trigger.h"
#include "layout/t_wait_cursor_scope.h"
#include "sources/t_definition_index.h"

namespace {

constexpr int kErrorMemory = 2001;
constexpr int kErrorCancelled = 1004;

TLayoutObject* AsObject(KListItem* item) {
  return static_cast<TLayoutObject*>(item);
}

int32_t ClampToInt32(int64_t value) {
  return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

bool WriteAll(int fd, const uint8_t* bytes, size_t count) {
  while (count > 0) {
    const ssize_t put = ::write(fd, bytes, count);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    bytes += put;
    count -= static_cast<size_t>(put);
  }
  return true;
}

}  // namespace

TLayout::TLayout() : state_(std::make_unique<TLayoutState>()) {
  TLayoutServices::Get().Register(this);
}

TLayout::~TLayout() {
  TLayoutServices& services = TLayoutServices::Get();
  services.Closing(*this);
  services.Unregister(this);
}

KMessageObject* TLayout::FindById(int32_t id) {
  for (KListItem* item : state_->objects.Items()) {
    if (KMessageObject* found = AsObject(item)->FindById(id)) return found;
  }
  return nullptr;
}

void TLayout::OnMessage(LayoutMessage& message) {
  if (message.code & LayoutMessage::kBeginUpdate) ++updateDepth_;
  // A close without an open must not leave the layout deaf for good.
  if ((message.code & LayoutMessage::kEndUpdate) && updateDepth_ > 0) --updateDepth_;
  if (updateDepth_ > 0 || message.Kind() == 0) return;
  lastChange_ = TLayoutServices::Get().Now();
  if (!(message.code & LayoutMessage::kNotModified)) modified_ = true;
  if (!(message.code & LayoutMessage::kNoSnapshot)) snapshotPending_ = true;
  for (KListItem* item : state_->objects.Items()) AsObject(item)->OnMessage(message);
}

void TLayout::PacketComplete(TSource& /*source*/, TFields& definition) {
  TSources* sources = TLayoutServices::Get().Sources();
  OnPacket(definition, sources ? sources->Definitions().IndexOf(definition) : -1);
}

bool TLayout::SetBackground(KColor color) {
  if (state_->background == color) return false;
  state_->background = color;
  ContentChanged();
  return true;
}

bool TLayout::SetSourceMode(int mode) {
  if (state_->sourceMode == mode) return false;
  state_->sourceMode = mode;
  ContentChanged();
  return true;
}

bool TLayout::SetSourceSelected(int index, bool on) {
  if (index < 0 || index >= kMaxSources) return false;
  const uint32_t bit = 1u << index;
  const uint32_t mask = on ? (state_->sourceMask | bit) : (state_->sourceMask & ~bit);
  if (mask == state_->sourceMask) return false;
  state_->sourceMask = mask;
  ContentChanged();
  return true;
}

bool TLayout::IsSourceSelected(int index) const {
  return index >= 0 && index < kMaxSources && ((state_->sourceMask >> index) & 1u) != 0;
}

TLayoutObject* TLayout::NewObject(int kind) {
  const TLayoutObject* prototype = TLayoutServices::Get().Prototype(kind);
  return prototype ? AddObject(*prototype) : nullptr;
}

TLayoutObject* TLayout::AddObject(const TLayoutObject& prototype) {
  TLayoutObject* object = prototype.Clone(this, NextId()).release();
  state_->objects.Append(object);
  ContentChanged();
  return object;
}

bool TLayout::DeleteObject(TLayoutObject* object) {
  if (!object || object->List() != &state_->objects) return false;
  delete object;
  ContentChanged();
  return true;
}

void TLayout::MoveToBack(TLayoutObject* object) {
  if (!object || object->List() != &state_->objects || state_->objects.First() == object) return;
  state_->objects.Prepend(object);
  ContentChanged();
}

void TLayout::MoveToFront(TLayoutObject* object) {
  if (!object || object->List() != &state_->objects || state_->objects.Last() == object) return;
  state_->objects.Append(object);
  ContentChanged();
}

TLayoutObject* TLayout::NextObject(const TLayoutObject* previous) const {
  if (!previous) return AsObject(state_->objects.First());
  if (previous->List() != &state_->objects) return nullptr;
  return AsObject(previous->Next());
}

void TLayout::OnPacket(const TFields& packet, int definitionIndex) {
  for (KListItem* item : state_->objects.Items()) AsObject(item)->OnPacket(packet, definitionIndex);
}

void TLayout::OnTrigger(const TTrigger& trigger) {
  for (KListItem* item : state_->objects.Items()) AsObject(item)->OnTrigger(trigger);
}

void TLayout::ExpireTriggers() {
  for (KListItem* item : state_->objects.Items()) AsObject(item)->UpdateTriggerState();
}

void TLayout::ClearValues() {
  for (KListItem* item : state_->objects.Items()) AsObject(item)->ClearValue();
}

void TLayout::TickObjects() {
  ExpireTriggers();
  for (KListItem* item : state_->objects.Items()) AsObject(item)->Tick();
}

int TLayout::MillisecondsToNextTick() const {
  const uint32_t now = TLayoutServices::Get().Now();
  int next = -1;
  for (KListItem* item : state_->objects.Items()) {
    const TLayoutObject* object = AsObject(item);
    const int step = object->MillisecondsToNextStep(now);
    if (step >= 0) next = next < 0 ? step : std::min(next, step);
    // 0 is no trigger and 1 an untimed one; only timed ones expire.
    if (object->TriggerTime() <= 0 || object->TriggerDeadline() <= 1) continue;
    const int left =
        std::max(0, static_cast<int>(static_cast<int32_t>(object->TriggerDeadline() - now)));
    next = next < 0 ? left : std::min(next, left);
  }
  return next;
}

void TLayout::KeyTrigger(const KString& name) {
  OnTrigger(TTrigger(name, TTrigger::kToggle));
}

void TLayout::Draw(TDisplay& display, const KRect& area) {
  for (KListItem* item : state_->objects.Items()) {
    TLayoutObject* object = AsObject(item);
    if (!object->Rect().Intersect(area).IsEmpty()) object->Draw(display);
  }
}

bool TLayout::Rescale(const KPoint& from, const KPoint& to) {
  for (const int32_t side : {from.x, from.y, to.x, to.y}) {
    if (side < 1 || side > kMaxScale) return false;
  }
  for (KListItem* item : state_->objects.Items()) AsObject(item)->Rescale(from, to);
  return true;
}

void TLayout::RedrawObject(TLayoutObject& object) {
  RedrawObject(object, object.Rect());
}

void TLayout::RedrawObject(TLayoutObject& object, const KRect& area) {
  if (loading_) return;
  TLayoutServices::Get().Redraw(*this, object, area);
}

std::unique_ptr<TLayoutState> TLayout::Snapshot() const {
  auto copy = std::make_unique<TLayoutState>();
  copy->background = state_->background;
  copy->sourceMode = state_->sourceMode;
  copy->sourceMask = state_->sourceMask;
  for (const KListItem* item : state_->objects.Items()) {
    const auto* object = static_cast<const TLayoutObject*>(item);
    copy->objects.Append(object->Clone(const_cast<TLayout*>(this), object->Id()).release());
  }
  return copy;
}

std::unique_ptr<TLayoutState> TLayout::ReplaceState(std::unique_ptr<TLayoutState> state) {
  if (!state) return nullptr;
  TWaitCursorScope wait;
  Notify(LayoutMessage::kStateReplacing);
  state_.swap(state);
  Notify(LayoutMessage::kStateReplaced);
  return state;
}

bool TLayout::ContentBounds(KRect& out) const {
  KRect bounds{std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max(),
               std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::min()};
  bool counted = false;
  for (const KListItem* item : state_->objects.Items()) {
    const KRect rect = static_cast<const TLayoutObject*>(item)->Rect();
    if (rect.right < 0 || rect.bottom < 0) continue;
    bounds.left = std::min(bounds.left, rect.left);
    bounds.top = std::min(bounds.top, rect.top);
    bounds.right = std::max(bounds.right, rect.right);
    bounds.bottom = std::max(bounds.bottom, rect.bottom);
    counted = true;
  }
  if (!counted) return false;
  bounds.left = std::max(bounds.left, 0);
  bounds.top = std::max(bounds.top, 0);
  out = bounds;
  return bounds.right >= bounds.left && bounds.bottom >= bounds.top;
}

bool TLayout::DesignSize(KPoint& out) const {
  KRect bounds;
  if (!ContentBounds(bounds)) return false;
  // The margin before the content is assumed after it too.
  const int64_t right = int64_t{bounds.right} + bounds.left;
  const int64_t bottom = int64_t{bounds.bottom} + bounds.top;
  out = KPoint{ClampToInt32(right + 1), ClampToInt32(bottom + 1)};
  return true;
}

bool TLayout::AutoResize() {
  KPoint design;
  KPoint display;
  if (!DesignSize(design) || !TLayoutServices::Get().GetDisplaySize(display)) return false;
  return Rescale(design, display);
}

int TLayout::MakeUntitled() {
  if (!state_) return kErrorMemory;
  TLayoutServices& services = TLayoutServices::Get();
  KFile file(services.LastUsedPath());
  file.SetExtension(KString(u"tln"));
  do {
    KString name = services.DefaultName();
    name.Append(u' ');
    name.AppendInt(services.NextUntitledNumber());
    file.SetName(name, true);
  } while (file.Exists());
  file_.SetPath(file.Path());
  untitled_ = true;
  return 0;
}

int TLayout::Load(KFile& file, int flags) {
  if (!state_) return kErrorMemory;
  {
    TWaitCursorScope wait;
    try {
      KBufferedFile in(file.Path(), 4096);
      in.Open(KFile::kRead, KFile::kOpenExisting);
      if (flags & kLoadContent) {
        const int code = LoadContent(in);
        if (code != 0) return code;
      }
      in.Close();
    } catch (const KX& error) {
      return error.Code();
    }
    file_.SetPath(file.Path());
  }
  const TLayoutServices& services = TLayoutServices::Get();
  const int mode = services.AutoResizeMode();
  if (((mode & 1) && services.Restoring()) || ((mode & 2) && !services.Restoring())) AutoResize();
  return 0;
}

int TLayout::Save(int flags) {
  if (!(flags & kSave)) return 0;
  if (!state_) return kErrorMemory;
  TLayoutServices& services = TLayoutServices::Get();
  KFile target;
  target.CopyPathFrom(file_);
  if (untitled_ || (flags & kSaveAs)) {
    const TLayoutServices::SaveDialog& dialog = services.GetSaveDialog();
    KString chosen = target.Path();
    if (!dialog || !dialog(chosen)) return kErrorCancelled;
    target.SetPath(chosen);
    target.SetExtension(KString(u"tln"));
    services.SetLastUsedPath(target.Path());
  }
  return SaveTo(target.Path());
}

int TLayout::SaveTo(const KString& path) {
  if (!state_) return kErrorMemory;
  TWaitCursorScope wait;
  try {
    WriteFile(path);
  } catch (const KX& error) {
    return error.Code();
  }
  file_.SetPath(path);
  untitled_ = false;
  return 0;
}

// The new file is written beside the old one and renamed over it, so a
// failure or a crash half-way leaves the previous layout intact.
void TLayout::WriteFile(const KString& path) const {
  KMemoryStream record;
  StoreContent(record);

  const std::string target = path.ToUtf8();
  if (target.empty()) throw KXStream(KErrors::kFileOpen, 0);
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && (S_ISDIR(existing.st_mode) || ::access(target.c_str(), W_OK) != 0))
    throw KXStream(KErrors::kFileOpen, 0);

  std::string temporary = target + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) throw KXStream(KErrors::kFileOpen, 0);
  mode_t mode = 0;
  if (exists) {
    mode = existing.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  const std::vector<uint8_t>& bytes = record.Bytes();
  const bool written =
      ::fchmod(fd, mode) == 0 && WriteAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(temporary.c_str(), target.c_str()) != 0) {
    ::unlink(temporary.c_str());
    throw KXStream(KErrors::kFileWrite, 0);
  }
  // The rename itself reaches the disk with the directory.
  const size_t slash = target.find_last_of('/');
  const std::string directory = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
}

void TLayout::StoreContent(KStream& stream) const {
  stream.WriteInt32(kVersion);
  stream.WriteInt32(Id());
  stream.WriteInt32(reserved_);
  KRecord::StoreMixedList(stream, state_->objects);
  KRecord::StoreColor(stream, state_->background);
  stream.WriteInt32(state_->sourceMode);
  stream.WriteInt32(static_cast<int32_t>(state_->sourceMask));
}

void TLayout::ReadRecord(KStream& stream, TLayoutState& state, int32_t& counter, int32_t& reserved,
                         int32_t& version) {
  version = stream.ReadInt32();
  if (version < kOldestVersion || version > kVersion) throw KXPersistent(KErrors::kFileVersion);
  counter = stream.ReadInt32();
  reserved = stream.ReadInt32();
  TLayoutServices& services = TLayoutServices::Get();
  KRecord::LoadList(state.objects, stream,
                    KRecord::NamedFactory([&](const KString& name) -> KListItem* {
                      const TLayoutObject* prototype = services.FindPrototype(name);
                      return prototype ? prototype->Clone(this, -1).release() : nullptr;
                    }));
  if (version == 0x30003) return;
  state.background = KRecord::LoadColor(stream);
  if (version == 0x30004) return;
  state.sourceMode = stream.ReadInt32();
  state.sourceMask = static_cast<uint32_t>(stream.ReadInt32());
}

int TLayout::LoadContent(KStream& stream) {
  std::unique_ptr<TLayoutState> state;
  int32_t counter = 0;
  int32_t reserved = 0;
  int32_t version = 0;
  loading_ = true;
  try {
    state = std::make_unique<TLayoutState>();
    ReadRecord(stream, *state, counter, reserved, version);
  } catch (const KX& error) {
    loading_ = false;
    return error.Code();
  } catch (const std::bad_alloc&) {
    loading_ = false;
    return kErrorMemory;
  }
  loading_ = false;
  state_.swap(state);
  SetId(counter);
  reserved_ = reserved;
  loadedVersion_ = version;
  return 0;
}
