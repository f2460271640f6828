#pragma once

#include "base/k_rect.h"

class KRGroup;

// The display window's layout geometry: rotation, the division into
// screens, the mapping from layout to window pixels and the logo corner.
// Every setting is read live, so a change shows at the next use.
class TDisplayGeometry {
 public:
  static constexpr int kLogoWidth = 176;
  static constexpr int kLogoHeight = 52;

  // `settings` is the root of the settings tree; it must outlive this.
  explicit TDisplayGeometry(KRGroup& settings) : settings_(settings) {}

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

 private:
  KRGroup& settings_;
  KRect client_{0, 0, -1, -1};
};
