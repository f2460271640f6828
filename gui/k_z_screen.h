#pragma once

#include <vector>

#include "base/k_rect.h"
#include "gui/k_z_window.h"

// A plain top-level output window: no frame, placed on a target rectangle
// of the desktop, at most 16384 pixels each way, optionally kept on top,
// and hiding the pointer while it is over the output.
class KZScreen : public KZWindow {
 public:
  static constexpr int kMaxSize = 16384;

  KZScreen();
  ~KZScreen() override;

  // The desktop's monitors as the platform reports them (full rectangles,
  // inclusive), and the primary display's.
  static std::vector<KRect> PlatformMonitors();
  static KRect PrimaryRect();

  // Applies each rectangle in turn; the last becomes the target.
  void PlaceAt(const std::vector<KRect>& moves, bool coversMainScreen);
  void SetTopmost(bool on);
  const KRect& Target() const { return target_; }
  KRect CurrentRect() const;
  bool CoversMainScreen() const { return coversMainScreen_; }
  bool PointerHidden() const { return pointerHidden_; }

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void HidePointer(bool hide);

  KRect target_;
  bool coversMainScreen_ = false;
  bool topmost_ = false;
  bool pointerHidden_ = false;
};
