#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "base/k_color.h"
#include "base/k_rect.h"
#include "base/k_string.h"
#include "render/k_display_surface.h"
#include "render/t_display_content.h"
#include "render/t_display_geometry.h"

class K3DFontInfo;
class KBitmap;
class KRGroup;

// The display pipeline: which layout is shown and when it changes, redraws
// rendered band by band through a fixed-size cache and copied to every
// screen, the drawing primitives objects call while a band is drawn, and
// the scrolling of the display. Drawing happens only in Redraw, RedrawObject,
// DrawRegion and the scroll step of Tick, all on the main thread.
class TDisplay {
 public:
  // Pixel value that a key never matches: every pixel is copied.
  static constexpr uint32_t kNoKey = 0xFFFFFFFFu;
  static constexpr uint32_t kTransparent = 0xFF000000u;
  static constexpr int kMinCacheBytes = 262144;
  static constexpr int kMaxCacheBytes = 268435456;

  struct Clock {
    // Milliseconds, wrapping.
    std::function<uint32_t()> tickMs;
    // The stopwatch in 10 µs units, wrapping.
    std::function<uint32_t()> stamp10us;
    static Clock Monotonic();
  };

  // The cache size is read from the settings now; `settings` and `surface`
  // must outlive the display.
  TDisplay(KRGroup& settings, KDisplaySurface& surface, Clock clock = Clock::Monotonic());
  TDisplay(const TDisplay&) = delete;
  TDisplay& operator=(const TDisplay&) = delete;
  ~TDisplay();

  // The display of the run (the first one made), or null.
  static TDisplay* Instance() { return instance_; }

  const TDisplayGeometry& Geometry() const { return geometry_; }
  // After the surface changed size.
  void ClientResized();

  // Shows `content` (or nothing) now (delay < 0) or after `delayMs`.
  void SetLayout(TDisplayContent* content, int delayMs);
  TDisplayContent* Layout() const { return layout_; }
  void Refresh();
  void Redraw();
  // A change of an object of `owner` in `rect`; ignored for other layouts.
  void RedrawObject(const TDisplayContent* owner, const KRect& rect);
  void Tick();
  void DrawRegion(const KRect& rect, int screen);

  // Drawing primitives, active only while a band is drawn. Rectangles are
  // in layout coordinates. `format`: 32 or -32 (words 0x00RRGGBB), 24 (blue
  // first, rows padded to 4 bytes), -24 (unpadded).
  void DrawPixels(const KRect& dest, const void* pixels, int format, const KRect& clip,
                  uint32_t key);
  // A bitmap centred in `rect` and cut to it; key -1 draws it opaque, key 0
  // leaves its pure black pixels out.
  void DrawBitmap(const KRect& rect, const KBitmap* bitmap, int key);
  // `text` with `info` on at most `lines` lines of `rect`, broken at spaces;
  // justification 0 left, 1 centre, 2 right.
  void DrawTextBlock(const K3DFontInfo& info, const KRect& rect, const KString& text,
                     int justification, int lines);
  bool IsDrawing() const { return drawing_; }
  const KRect& Band() const { return band_; }

  // The corner logo: 176 × 52 pixels of format 24, or empty for none.
  void SetLogo(std::vector<uint8_t> pixels24);

  KColor Background() const { return background_; }
  int CacheBytes() const { return static_cast<int>(cache_.size() * sizeof(uint32_t)); }
  int ScrollOffset() const { return scrollOffset_; }
  bool RedrawPending() const { return deadline_ != 0; }
  // False when the idle loop should not sleep after this pass.
  bool SleepAfterPass() const { return sleepAfterPass_; }
  // Milliseconds until a deadline or scroll step is due (0 = now), or -1
  // when nothing is scheduled, so the event loop can sleep until then.
  int MillisecondsToNextWork() const;

 private:
  enum Direction { kLeft = 2, kRight = 3, kUp = 4, kDown = 5 };

  void ResetScroll();
  void DrawLayout(KRect rect, KPoint offset);
  void CopyBandToScreens(const KRect& band);
  void CopyBand(const KRect& band);
  void ScrollStep();
  void MovePixels(Direction direction, int step);
  void CirculateEdge(Direction direction);
  void TickerStep(bool forward, int step);
  void DrawColumns(int first, int last, int screen);
  // Settings read once for a whole redraw or scroll step.
  class Frozen {
   public:
    explicit Frozen(TDisplay& display) : display_(display) { display_.geometry_.Freeze(); }
    ~Frozen() { display_.geometry_.Thaw(); }
    Frozen(const Frozen&) = delete;
    Frozen& operator=(const Frozen&) = delete;

   private:
    TDisplay& display_;
  };

  KRGroup& settings_;
  KDisplaySurface& surface_;
  Clock clock_;
  TDisplayGeometry geometry_;
  TDisplaySetting scrollMode_;
  TDisplaySetting scrollStart_;
  TDisplaySetting scrollDelay_;
  TDisplaySetting scrollReset_;
  TDisplaySetting scrollStep_;
  TDisplaySetting optimize_;
  TDisplayContent* layout_ = nullptr;
  KColor background_ = KColor::Palette(7);
  uint32_t deadline_ = 0;
  bool sleepAfterPass_ = true;

  std::vector<uint32_t> cache_;
  KRect band_;
  int bandRotation_ = 0;
  int bandScreen_ = -1;
  bool drawing_ = false;
  bool bandScrolling_ = false;
  std::vector<uint8_t> logo_;
  std::vector<uint32_t> edge_;

  bool scrollStarted_ = false;
  bool scrollResetPending_ = false;
  int scrollOffset_ = 0;
  uint32_t scrollStamp_ = 0;

  static inline TDisplay* instance_ = nullptr;
};
