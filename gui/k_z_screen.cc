#include "gui/k_z_screen.h"

#include <QGuiApplication>
#include <QScreen>

KZScreen::KZScreen() {
  setWindowFlag(Qt::FramelessWindowHint, true);
  setFocusPolicy(Qt::StrongFocus);
  setMaximumSize(kMaxSize, kMaxSize);
  // The pipeline paints every pixel; Qt need not clear first.
  setAttribute(Qt::WA_OpaquePaintEvent, true);
  setAttribute(Qt::WA_NoSystemBackground, true);
}

KZScreen::~KZScreen() {
  HidePointer(false);
}

std::vector<KRect> KZScreen::PlatformMonitors() {
  std::vector<KRect> monitors;
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect g = screen->geometry();
    monitors.push_back(KRect::FromSize(g.x(), g.y(), g.width(), g.height()));
  }
  return monitors;
}

KRect KZScreen::PrimaryRect() {
  const QScreen* primary = QGuiApplication::primaryScreen();
  if (primary == nullptr) return KRect::FromSize(0, 0, 640, 480);
  const QRect g = primary->geometry();
  return KRect::FromSize(g.x(), g.y(), g.width(), g.height());
}

KRect KZScreen::CurrentRect() const {
  const QRect g = geometry();
  return KRect::FromSize(g.x(), g.y(), g.width(), g.height());
}

void KZScreen::PlaceAt(const std::vector<KRect>& moves, bool coversMainScreen) {
  coversMainScreen_ = coversMainScreen;
  for (const KRect& rect : moves) {
    setGeometry(rect.left, rect.top, std::max(rect.Width(), 1), std::max(rect.Height(), 1));
    target_ = rect;
  }
}

void KZScreen::SetTopmost(bool on) {
  if (on == topmost_) return;
  topmost_ = on;
  const bool visible = isVisible();
  setWindowFlag(Qt::WindowStaysOnTopHint, on);
  // Changing a flag hides the window.
  if (visible) show();
}

void KZScreen::HidePointer(bool hide) {
  if (hide == pointerHidden_) return;
  pointerHidden_ = hide;
  if (hide) {
    setCursor(Qt::BlankCursor);
  } else {
    unsetCursor();
  }
}

void KZScreen::enterEvent(QEnterEvent* event) {
  if (!coversMainScreen_) HidePointer(true);
  KZWindow::enterEvent(event);
}

void KZScreen::leaveEvent(QEvent* event) {
  if (!coversMainScreen_) HidePointer(false);
  KZWindow::leaveEvent(event);
}

void KZScreen::focusInEvent(QFocusEvent* event) {
  if (coversMainScreen_) HidePointer(true);
  KZWindow::focusInEvent(event);
}

void KZScreen::focusOutEvent(QFocusEvent* event) {
  if (coversMainScreen_) HidePointer(false);
  KZWindow::focusOutEvent(event);
}
