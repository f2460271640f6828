#include "render/t_display_placement.h"

#include <algorithm>

#include "config/k_r_group.h"
#include "config/k_r_int.h"

void KMonitorList::Fill(const KRect& mainScreen, const std::vector<KRect>& monitors) {
  main_ = mainScreen;
  entries_.assign(1, main_);
  for (const KRect& monitor : monitors) {
    if (std::find(entries_.begin(), entries_.end(), monitor) == entries_.end()) {
      entries_.push_back(monitor);
    }
  }
}

const KRect* KMonitorList::At(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return &entries_[static_cast<size_t>(index)];
}

TDisplayPlacement TDisplayPlacement::Compute(KRGroup& settings, const KMonitorList& monitors,
                                             const KRect& current) {
  TDisplayPlacement placement;
  KRInt* monitor = settings.LookupInt(u"\\Display\\Monitor");
  KRInt* left = settings.LookupInt(u"\\Display\\Left");
  KRInt* top = settings.LookupInt(u"\\Display\\Top");
  KRInt* width = settings.LookupInt(u"\\Display\\Width");
  KRInt* height = settings.LookupInt(u"\\Display\\Height");
  KRInt* onTop = settings.LookupInt(u"\\Display\\AlwaysOnTop");
  if (!monitor || !left || !top || !width || !height || !onTop) return placement;
  placement.valid = true;
  const int m = monitor->Value();
  const KRect* entry = monitors.At(m);
  if (entry == nullptr && m > 0) entry = monitors.At(0);
  if (entry != nullptr) {
    placement.target = *entry;
    placement.coversMainScreen = *entry == monitors.MainScreen();
  } else {
    // 64-bit so that absurd settings cut instead of wrapping.
    constexpr int64_t kFar = int64_t{1} << 30;
    const int64_t x = std::clamp<int64_t>(left->Value(), -kFar, kFar);
    const int64_t y = std::clamp<int64_t>(top->Value(), -kFar, kFar);
    const int64_t w = std::clamp<int64_t>(width->Value(), 0, kMaxSize);
    const int64_t h = std::clamp<int64_t>(height->Value(), 0, kMaxSize);
    placement.target = KRect::FromSize(static_cast<int32_t>(x), static_cast<int32_t>(y),
                                       static_cast<int32_t>(w), static_cast<int32_t>(h));
    placement.topmost = onTop->Value() != 0;
  }
  KRect& t = placement.target;
  if (t.Width() > kMaxSize) t.right = t.left + kMaxSize - 1;
  if (t.Height() > kMaxSize) t.bottom = t.top + kMaxSize - 1;
  if (current != t) {
    if (current.Width() == t.Width() && current.Height() == t.Height()) {
      placement.moves.push_back(KRect{t.left, t.top, t.right, t.bottom - 1});
    }
    placement.moves.push_back(t);
  }
  return placement;
}
