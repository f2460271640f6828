#include "render/t_display.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "config/k_r_group.h"
#include "ports/k_log.h"
#include "render/k_3d_font_info.h"
#include "render/k_3d_fonts.h"
#include "render/k_bitmap.h"
#include "render/k_color_table.h"

namespace {

int32_t Since(uint32_t now, uint32_t then) {
  return static_cast<int32_t>(now - then);
}

KRect Shifted(const KRect& rect, int dx) {
  return KRect{rect.left + dx, rect.top, rect.right + dx, rect.bottom};
}

}  // namespace

TDisplay::Clock TDisplay::Clock::Monotonic() {
  auto micros = [] {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  };
  return Clock{[micros] { return static_cast<uint32_t>(micros() / 1000); },
               [micros] { return static_cast<uint32_t>(micros() / 10); }};
}

TDisplay::TDisplay(KRGroup& settings, KDisplaySurface& surface, Clock clock)
    : settings_(settings),
      surface_(surface),
      clock_(std::move(clock)),
      geometry_(settings),
      scrollMode_(settings, u"\\Display\\Scroll\\Mode", 0),
      scrollStart_(settings, u"\\Display\\Scroll\\Start", 500),
      scrollDelay_(settings, u"\\Display\\Scroll\\Delay", 34),
      scrollReset_(settings, u"\\Display\\Scroll\\Reset", 0),
      scrollStep_(settings, u"\\Display\\Scroll\\Step", 1),
      optimize_(settings, u"\\Display\\Optimize", 0) {
  if (instance_ == nullptr) instance_ = this;
  int64_t bytes = settings_.LookupInt(u"\\Display\\CacheSize", 1048576);
  if (bytes <= kMinCacheBytes) bytes = kMinCacheBytes;
  if (bytes > kMaxCacheBytes - 1) bytes = kMaxCacheBytes;
  try {
    cache_.resize(static_cast<size_t>(bytes) / sizeof(uint32_t));
  } catch (const std::bad_alloc&) {
    // Without a cache nothing is ever drawn; the window keeps what it shows.
    cache_.clear();
  }
  geometry_.SetClientRect(surface_.ClientRect());
  scrollStamp_ = clock_.stamp10us();
}

TDisplay::~TDisplay() {
  if (instance_ == this) instance_ = nullptr;
}

void TDisplay::ClientResized() {
  geometry_.SetClientRect(surface_.ClientRect());
}

void TDisplay::SetLogo(std::vector<uint8_t> pixels24) {
  const size_t expected = static_cast<size_t>(TDisplayGeometry::kLogoWidth) * 3 *
                          static_cast<size_t>(TDisplayGeometry::kLogoHeight);
  logo_ = pixels24.size() == expected ? std::move(pixels24) : std::vector<uint8_t>{};
}

void TDisplay::SetLayout(TDisplayContent* content, int delayMs) {
  if (content == layout_) return;
  layout_ = content;
  ResetScroll();
  if (delayMs < 0) {
    Refresh();
    return;
  }
  if (layout_ != nullptr) background_ = layout_->DisplayBackground();
  deadline_ = clock_.tickMs() + static_cast<uint32_t>(delayMs);
  if (deadline_ == 0) deadline_ = 1;  // 0 means none pending
}

void TDisplay::ResetScroll() {
  const int mode = scrollMode_.Value();
  if (mode == 0) {
    scrollStarted_ = false;
    scrollResetPending_ = false;
    scrollOffset_ = 0;
    return;
  }
  const bool pixelRotation =
      scrollReset_.Value() == 1 && mode >= 2 && mode <= 5 && scrollStep_.Value() == 1;
  const int full = geometry_.LogicalRect().Width();
  if (pixelRotation || full < 1) {
    scrollOffset_ = 0;
  } else {
    scrollOffset_ %= full;
    if (scrollOffset_ < 0) scrollOffset_ += full;
  }
}

void TDisplay::Refresh() {
  ResetScroll();
  if (layout_ != nullptr) background_ = layout_->DisplayBackground();
  surface_.RequestRepaint();
}

void TDisplay::Redraw() {
  deadline_ = 0;
  if (scrollResetPending_) {
    scrollResetPending_ = false;
    scrollStarted_ = false;
    scrollOffset_ = 0;
  }
  DrawRegion(geometry_.ScreenRect(), -1);
}

void TDisplay::RedrawObject(const TDisplayContent* owner, const KRect& rect) {
  if (owner == nullptr || owner != layout_) return;
  if (deadline_ != 0 || scrollResetPending_) {
    Redraw();
  } else {
    DrawRegion(rect, -1);
  }
}

void TDisplay::Tick() {
  sleepAfterPass_ = (optimize_.Value() & 1) == 0;
  if (deadline_ != 0 && Since(clock_.tickMs(), deadline_) >= 0) Redraw();
  ScrollStep();
}

int TDisplay::MillisecondsToNextWork() const {
  int next = -1;
  if (deadline_ != 0) next = std::max(0, static_cast<int>(Since(deadline_, clock_.tickMs())));
  if (scrollMode_.Value() != 0) {
    const int periodMs = scrollStarted_ ? scrollDelay_.Value() : scrollStart_.Value();
    const int64_t elapsed = Since(clock_.stamp10us(), scrollStamp_);
    const int64_t left = std::max<int64_t>(0, (int64_t{periodMs} * 100 - elapsed + 99) / 100);
    next = next < 0 ? static_cast<int>(left) : std::min(next, static_cast<int>(left));
  }
  return next;
}

void TDisplay::DrawRegion(const KRect& rect, int screen) {
  if (cache_.empty()) return;
  geometry_.SetClientRect(surface_.ClientRect());
  const Frozen frozen(*this);
  drawing_ = true;
  bandRotation_ = geometry_.Rotation();
  bandScreen_ = screen;
  const KRect area = rect.Intersect(geometry_.ScreenRect());
  KPoint offset;
  bandScrolling_ = scrollMode_.Value() != 0;
  if (bandScrolling_) {
    if (scrollReset_.Value() == 1 && !scrollResetPending_) {
      scrollStamp_ = clock_.stamp10us();
    }
    offset = KPoint{scrollOffset_, 0};
  }
  DrawLayout(area, offset);
  drawing_ = false;
}

void TDisplay::DrawLayout(KRect rect, KPoint offset) {
  while (!rect.IsEmpty()) {
    const int64_t rowBytes = int64_t{4} * rect.Width();
    const int rows = static_cast<int>(
        std::min<int64_t>(static_cast<int64_t>(cache_.size()) * 4 / rowBytes, rect.Height()));
    if (rows < 1) {
      KLog::Log(KString(u"TZDisplayWindow::DrawLayout: rows <= 0"), KLog::kError);
      return;
    }
    band_ = KRect{rect.left, rect.top, rect.right, rect.top + rows - 1};
    std::fill_n(cache_.begin(), static_cast<size_t>(band_.Width()) * static_cast<size_t>(rows),
                KColorTable::Pixel(background_));
    if (layout_ != nullptr) layout_->DrawBand(*this, band_);
    if (!logo_.empty() && geometry_.ShowsLogo()) {
      const KRect logo = geometry_.LogoRect();
      DrawPixels(logo, logo_.data(), 24, logo, kNoKey);
    }
    CopyBandToScreens(KRect{band_.left + offset.x, band_.top + offset.y, band_.right + offset.x,
                            band_.bottom + offset.y});
    rect.top += rows;
  }
}

void TDisplay::CopyBandToScreens(const KRect& band) {
  const KRect full = geometry_.LogicalRect();
  const int fullWidth = full.Width();
  const int count = geometry_.ScreenCount();
  const bool scrolling = bandScrolling_;
  KRect at = band;
  for (int i = 0; i < count; ++i) {
    if (bandScreen_ == -1 || bandScreen_ == i) {
      if (scrolling) {
        if (full.right >= at.left) CopyBand(at);
        if (full.right < at.right) CopyBand(Shifted(at, -fullWidth));
      } else {
        CopyBand(at);
      }
    }
    if (i < count - 1) {
      at = Shifted(at, geometry_.ScreenWidth(i));
      if (at.left > full.right) at = Shifted(at, -fullWidth);
    }
  }
}

void TDisplay::CopyBand(const KRect& band) {
  surface_.CopyBlock(geometry_.ToPhysical(band), cache_.data());
}

void TDisplay::DrawPixels(const KRect& dest, const void* pixels, int format, const KRect& clip,
                          uint32_t key) {
  if (!drawing_ || pixels == nullptr) return;
  if (format != 32 && format != -32 && format != 24 && format != -24) return;
  const KRect target = clip.Intersect(dest).Intersect(band_);
  if (target.IsEmpty()) return;
  const int height = band_.Height();
  const int width = band_.Width();
  // Where (x, y) of the band lies in the cache, for the rotation it is filled in.
  auto index = [&](int x, int y) -> size_t {
    switch (bandRotation_) {
      case 1:
        return static_cast<size_t>(height) * (band_.right - x) + (y - band_.top);
      case 2:
        return static_cast<size_t>(height) * (x - band_.left) + (band_.bottom - y);
      default:
        return static_cast<size_t>(width) * (y - band_.top) + (x - band_.left);
    }
  };
  const size_t destWidth = static_cast<size_t>(dest.Width());
  if (format == 32 || format == -32) {
    const auto* words = static_cast<const uint32_t*>(pixels);
    const size_t count = static_cast<size_t>(target.Width());
    for (int y = target.top; y <= target.bottom; ++y) {
      const uint32_t* row =
          words + destWidth * (y - dest.top) + static_cast<size_t>(target.left - dest.left);
      if (bandRotation_ == 0) {
        uint32_t* out = &cache_[index(target.left, y)];
        // Branch-free, so the compiler turns it into vector blends.
        for (size_t i = 0; i < count; ++i) out[i] = row[i] != key ? row[i] : out[i];
      } else {
        for (size_t i = 0; i < count; ++i) {
          if (row[i] != key) cache_[index(target.left + static_cast<int>(i), y)] = row[i];
        }
      }
    }
    return;
  }
  const auto* bytes = static_cast<const uint8_t*>(pixels);
  const size_t rowBytes = format == 24 ? (destWidth * 3 + 3) & ~size_t{3} : destWidth * 3;
  for (int y = target.top; y <= target.bottom; ++y) {
    const uint8_t* row = bytes + rowBytes * (y - dest.top);
    for (int x = target.left; x <= target.right; ++x) {
      const uint8_t* p = row + size_t{3} * (x - dest.left);
      const uint32_t value = p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
      if (value == key) continue;
      // Blue-first bytes: the pixel is 0x00RRGGBB, the same number.
      cache_[index(x, y)] = value;
    }
  }
}

void TDisplay::DrawBitmap(const KRect& rect, const KBitmap* bitmap, int key) {
  if (bitmap == nullptr || !bitmap->HasPixels()) return;
  const uint32_t format = bitmap->Format();
  const uint32_t depth = format & KBitmap::kDepthMask;
  const uint32_t align = format & KBitmap::kAlignMask;
  int pixelFormat = 0;
  if (depth == KBitmap::kDepth32) {
    pixelFormat = 32;
  } else if (depth == KBitmap::kDepth24 && align == KBitmap::kAlign4) {
    pixelFormat = 24;
  } else if (depth == KBitmap::kDepth24 && align == KBitmap::kAlign1) {
    pixelFormat = -24;
  } else {
    return;  // the display draws only what the pipeline formats describe
  }
  // Truncating toward zero centres a larger bitmap and crops it evenly.
  const KRect dest = KRect::FromSize(rect.left + (rect.Width() - bitmap->Width()) / 2,
                                     rect.top + (rect.Height() - bitmap->Height()) / 2,
                                     bitmap->Width(), bitmap->Height());
  DrawPixels(dest, bitmap->Pixels(), pixelFormat, rect,
             key == -1 ? kNoKey : static_cast<uint32_t>(key));
}

namespace {

struct GlyphPlacement {
  TDisplay* display;
  int left;
  int top;
};

bool PlaceGlyph(const uint32_t* pixels, const KRect& block, void* user) {
  const auto* at = static_cast<const GlyphPlacement*>(user);
  const KRect rect{at->left + block.left, at->top + block.top, at->left + block.right,
                   at->top + block.bottom};
  // Blocks are clipped to the band only, never to the object's rectangle.
  at->display->DrawPixels(rect, pixels, 32, rect, TDisplay::kTransparent);
  return true;
}

}  // namespace

void TDisplay::DrawTextBlock(const K3DFontInfo& info, const KRect& rect, const KString& text,
                             int justification, int lines) {
  K3DFonts* fonts = K3DFonts::Instance();
  if (lines <= 0 || fonts == nullptr || !drawing_) return;
  const int size = info.Size();
  const int available = rect.Width();
  int spacing = rect.Height() - lines * size;
  if (lines > 2) spacing /= lines - 1;
  int top = rect.top;
  int consumed = 0;
  for (int i = 0; i < lines && consumed < text.Length(); ++i) {
    KString line = text.Mid(consumed);
    K3DFontInfo fitted = info;
    int width = available;
    if (!fonts->Fit(line, fitted, width, nullptr) || line.IsEmpty()) return;
    int consume = line.Length();
    const bool cut = consumed + line.Length() < text.Length();
    if (i < lines - 1 && cut) {
      if (text.At(consumed + line.Length()) == u' ') {
        ++consume;
      } else if (const int space = line.FindLast(u' '); space >= 0) {
        line.Truncate(space);
        fitted = info;
        width = available;
        if (!fonts->Fit(line, fitted, width, nullptr) || line.Length() != space) return;
        consume = space + 1;
      }
    }
    int offset = 0;
    if (justification == 1) offset = (available - width) / 2;
    if (justification == 2) offset = available - width;
    GlyphPlacement at{this, rect.left + std::max(offset, 0), top};
    if (!fonts->Draw(line, fitted, PlaceGlyph, &at, nullptr)) return;
    consumed += consume;
    top += size + spacing;
  }
}

void TDisplay::ScrollStep() {
  const int mode = scrollMode_.Value();
  if (mode == 0) return;
  const int32_t period = (scrollStarted_ ? scrollDelay_.Value() : scrollStart_.Value()) * 100;
  const uint32_t now = clock_.stamp10us();
  const int32_t elapsed = Since(now, scrollStamp_);
  if (elapsed >= 0 && elapsed < period) return;
  const bool exact = (optimize_.Value() & 2) != 0;
  if (exact && scrollStarted_ && elapsed >= period && elapsed < 2 * static_cast<int64_t>(period)) {
    scrollStamp_ += static_cast<uint32_t>(period);
  } else {
    scrollStamp_ = now;
  }
  const bool reset = scrollReset_.Value() == 1;
  if (reset) scrollResetPending_ = true;
  scrollStarted_ = true;

  geometry_.SetClientRect(surface_.ClientRect());
  const Frozen frozen(*this);
  const int screenWidth = geometry_.ScreenRect().Width();
  const int stepSetting = scrollStep_.Value();
  if (reset && mode >= 2 && mode <= 5 && stepSetting == 1) {
    scrollOffset_ = 0;
    const auto direction = static_cast<Direction>(mode);
    // The leading line is kept before the move, so the content circulates
    // instead of losing one line per step.
    CirculateEdge(direction);
    return;
  }
  static constexpr Direction kByRotation[] = {kLeft, kDown, kUp};
  Direction direction = kByRotation[geometry_.Rotation()];
  const bool forward = stepSetting >= 0;
  int64_t step = stepSetting;
  if (!forward) {
    static constexpr Direction kReverse[] = {kLeft, kLeft, kRight, kLeft, kDown, kUp};
    direction = kReverse[direction];
    step = -step;
  }
  step = std::max<int64_t>(std::min<int64_t>(step, screenWidth / 2), 1);
  MovePixels(direction, static_cast<int>(step));
  TickerStep(forward, static_cast<int>(step));
}

void TDisplay::MovePixels(Direction direction, int step) {
  const KRect c = surface_.ClientRect();
  KRect from = c;
  KPoint to{c.left, c.top};
  switch (direction) {
    case kLeft:
      from.left += step;
      break;
    case kRight:
      from.right -= step;
      to.x += step;
      break;
    case kUp:
      from.top += step;
      break;
    case kDown:
      from.bottom -= step;
      to.y += step;
      break;
  }
  if (!surface_.CopyRegion(from, to)) {
    KLog::Log(KString(u"KZWindowObjectLeech::DrawRegionCopy: RegionCopy failed"), KLog::kError);
  }
}

void TDisplay::CirculateEdge(Direction direction) {
  const KRect c = surface_.ClientRect();
  if (c.IsEmpty()) return;
  KRect leading = c;
  KRect trailing = c;
  switch (direction) {
    case kLeft:
      leading.right = c.left;
      trailing.left = c.right;
      break;
    case kRight:
      leading.left = c.right;
      trailing.right = c.left;
      break;
    case kUp:
      leading.bottom = c.top;
      trailing.top = c.bottom;
      break;
    case kDown:
      leading.top = c.bottom;
      trailing.bottom = c.top;
      break;
  }
  edge_.resize(static_cast<size_t>(leading.Width()) * static_cast<size_t>(leading.Height()));
  const bool kept = surface_.ReadBlock(leading, edge_.data());
  MovePixels(direction, 1);
  if (kept) surface_.CopyBlock(trailing, edge_.data());
}

void TDisplay::DrawColumns(int first, int last, int screen) {
  const KRect screenRect = geometry_.ScreenRect();
  DrawRegion(KRect{first, screenRect.top, last, screenRect.bottom}, screen);
}

void TDisplay::TickerStep(bool forward, int step) {
  const int full = geometry_.LogicalRect().Width();
  const int count = geometry_.ScreenCount();
  const KRect screenRect = geometry_.ScreenRect();
  const int screenWidth = screenRect.Width();
  if (full < 1) return;
  scrollOffset_ += forward ? -step : step;
  if (scrollOffset_ < 0) {
    scrollOffset_ += full;
  } else if (scrollOffset_ >= full) {
    scrollOffset_ -= full;
  }
  if (scrollOffset_ < 0 || scrollOffset_ >= full) scrollOffset_ = 0;

  int k = 0;
  int c = 0;
  int a = scrollOffset_;
  for (int i = 0; i < count; ++i) {
    const int width = geometry_.ScreenWidth(i);
    if (forward ? a + width >= full : a + width > full) {
      k = i;
      c = forward ? full - a - 1 : full - a;
      break;
    }
    a += width;
  }
  if (forward) {
    // The exposed strip is the window's last `step` columns.
    if (step <= c + 1) {
      DrawColumns(c - step + 1, c, k);
      return;
    }
    DrawColumns(screenRect.left, c, k);
    if (count > 1) {
      k = (k + count - 1) % count;
      if (geometry_.ScreenWidth(k) < screenWidth) ++step;
    }
    DrawColumns(screenRect.right - (step - c - 1) + 1, screenRect.right, k);
    return;
  }
  // Reverse: the exposed strip is the window's first `step` columns.
  if (step <= screenWidth - c) {
    DrawColumns(c, c + step - 1, k);
    return;
  }
  DrawColumns(c, screenRect.right, k);
  if (count > 1) {
    if (geometry_.ScreenWidth(k) < screenWidth) ++step;
    k = (k + 1) % count;
  }
  DrawColumns(screenRect.left, screenRect.left + step - (screenWidth - c) - 1, k);
}
