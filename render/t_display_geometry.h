#pragma once

#include <optional>

#include "base/k_rect.h"
#include "render/t_display_setting.h"

class KRGroup;

// The display window's layout geometry: rotation, the division into
// screens, the mapping from layout to window pixels and the logo corner.
// Every setting is read live, so a change shows at the next use.
class TDisplayGeometry {
 public:
  static constexpr int kLogoWidth = 176;
  static constexpr int kLogoHeight = 52;

  // `settings` is the root of the settings tree; it must outlive this.
  explicit TDisplayGeometry(KRGroup& settings)
      : rotate_(settings, u"\\Display\\Rotate", 0),
        screens_(settings, u"\\Display\\Screens", 1),
        logoCorner_(settings, u"\\Display\\LogoCorner", 2),
        monitor_(settings, u"\\Display\\Monitor", 0),
        height_(settings, u"\\Display\\Height", 480) {}

  void SetClientRect(const KRect& client) { client_ = client; }
  const KRect& ClientRect() const { return client_; }

  // 0 none, 1 left, 2 right; anything else counts as 0.
  int Rotation() const;
  int ScreenCount() const;
  // The client rectangle in layout coordinates: width and height exchanged
  // when rotated.
  KRect LogicalRect() const;
  // A negative index is the last screen; 0 beyond the last.
  int ScreenWidth(int index) const;
  // The area one layout occupies: the widest (last) screen.
  KRect ScreenRect() const;
  KPoint ScreenSize() const;
  KRect ToPhysical(const KRect& rect) const;
  KRect LogoRect() const;
  // Whether the logo is drawn: a monitor output, or a custom window taller than 249.
  bool ShowsLogo() const;

  // While frozen the settings are read once, not at every question: one
  // redraw asks hundreds of them.
  // Nested freezes keep the values of the outermost.
  void Freeze() {
    if (freezes_++ == 0) frozen_ = ReadValues();
  }
  void Thaw() {
    if (freezes_ > 0 && --freezes_ == 0) frozen_.reset();
  }

 private:
  struct Values {
    int rotation;
    int screens;
    int logoCorner;
    int monitor;
    int height;
  };
  Values ReadValues() const;
  Values Current() const { return frozen_ ? *frozen_ : ReadValues(); }

  TDisplaySetting rotate_;
  TDisplaySetting screens_;
  TDisplaySetting logoCorner_;
  TDisplaySetting monitor_;
  TDisplaySetting height_;
  std::optional<Values> frozen_;
  int freezes_ = 0;
  KRect client_{0, 0, -1, -1};
};
