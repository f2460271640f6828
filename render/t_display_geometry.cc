#include "render/t_display_geometry.h"

#include <algorithm>

#include "config/k_r_group.h"

TDisplayGeometry::Values TDisplayGeometry::ReadValues() const {
  const int rotation = rotate_.Value();
  return Values{rotation == 1 || rotation == 2 ? rotation : 0, std::max(screens_.Value(), 1),
                logoCorner_.Value(), monitor_.Value(), height_.Value()};
}

int TDisplayGeometry::Rotation() const {
  return Current().rotation;
}

int TDisplayGeometry::ScreenCount() const {
  return Current().screens;
}

KRect TDisplayGeometry::LogicalRect() const {
  if (Rotation() == 0) return client_;
  return KRect::FromSize(client_.left, client_.top, client_.Height(), client_.Width());
}

int TDisplayGeometry::ScreenWidth(int index) const {
  const int count = ScreenCount();
  if (index < 0) index = count - 1;
  if (index >= count) return 0;
  const int full = std::max(LogicalRect().Width(), 0);
  if (count == 1) return full;
  return full / count + (index >= count - full % count ? 1 : 0);
}

KRect TDisplayGeometry::ScreenRect() const {
  KRect rect = LogicalRect();
  rect.right = rect.left + ScreenWidth(-1) - 1;
  return rect;
}

KPoint TDisplayGeometry::ScreenSize() const {
  const KRect rect = ScreenRect();
  return KPoint{rect.Width(), rect.Height()};
}

KRect TDisplayGeometry::ToPhysical(const KRect& r) const {
  const KRect& c = client_;
  switch (Rotation()) {
    case 1:
      return KRect{c.left + r.top, c.bottom - r.right, c.left + r.bottom, c.bottom - r.left};
    case 2:
      return KRect{c.right - r.bottom, c.top + r.left, c.right - r.top, c.top + r.right};
    default:
      return r;
  }
}

KRect TDisplayGeometry::LogoRect() const {
  const KRect screen = ScreenRect();
  const int margin = screen.Width() / 25;
  const int corner = Current().logoCorner;
  KRect logo;
  if (corner & 1) {
    logo.right = screen.right - margin;
    logo.left = logo.right - kLogoWidth + 1;
  } else {
    logo.left = screen.left + margin;
    logo.right = logo.left + kLogoWidth - 1;
  }
  if (corner & 2) {
    logo.bottom = screen.bottom - margin;
    logo.top = logo.bottom - kLogoHeight + 1;
  } else {
    logo.top = screen.top + margin;
    logo.bottom = logo.top + kLogoHeight - 1;
  }
  return logo;
}

bool TDisplayGeometry::ShowsLogo() const {
  const Values values = Current();
  return values.monitor != -1 || values.height > 249;
}
