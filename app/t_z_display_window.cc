#include "app/t_z_display_window.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <cstdio>

#include "config/k_r_group.h"
#include "layout/t_trigger.h"
#include "render/t_display_logo.h"

void TZDisplayWindow::Surface::CopyBlock(const KRect& to, const uint32_t* pixels) {
  KMemorySurface::CopyBlock(to, pixels);
  window_.UpdateArea(to);
}

bool TZDisplayWindow::Surface::CopyRegion(const KRect& from, KPoint to) {
  const bool copied = KMemorySurface::CopyRegion(from, to);
  window_.UpdateArea(KRect::FromSize(to.x, to.y, from.Width(), from.Height()));
  return copied;
}

void TZDisplayWindow::Surface::RequestRepaint() {
  KMemorySurface::RequestRepaint();
  window_.ScheduleRedraw();
}

TZDisplayWindow::TZDisplayWindow(KRGroup& settings, const KMonitorList& monitors,
                                 TDisplay::Clock clock)
    : settings_(settings),
      monitors_(monitors),
      surface_(*this),
      display_(settings, surface_, std::move(clock)) {
  setWindowTitle(QStringLiteral("Telvane Display"));
  display_.SetLogo(TDisplayLogo());
  const KRect main = monitors_.MainScreen();
  PlaceAt({main}, true);
  surface_.Resize(std::max(width(), 1), std::max(height(), 1));
  display_.ClientResized();
  // The interval counts from the end of a write: a picture that takes longer
  // to encode than the interval must not leave the display no time to draw.
  snapshotTimer_.setSingleShot(true);
  QObject::connect(&snapshotTimer_, &QTimer::timeout, [this] {
    WriteSnapshot(snapshotPath_);
    snapshotTimer_.start();
  });
  UpdatePlacement();
}

TZDisplayWindow::~TZDisplayWindow() = default;

void TZDisplayWindow::UpdatePlacement() {
  const TDisplayPlacement placement =
      TDisplayPlacement::Compute(settings_, monitors_, CurrentRect());
  if (!placement.valid) return;
  PlaceAt(placement.moves, placement.coversMainScreen);
  SetTopmost(placement.topmost);
  // Offscreen and minimal platforms may not resize the widget at once; the
  // picture follows the target either way.
  if (surface_.Width() != placement.target.Width() ||
      surface_.Height() != placement.target.Height()) {
    surface_.Resize(placement.target.Width(), placement.target.Height());
    display_.ClientResized();
    display_.Redraw();
  }
}

int TZDisplayWindow::Command(int command) {
  TDisplayContent* layout = display_.Layout();
  if (command == kTick) {
    if (layout != nullptr) layout->TickObjects();
    return 1;
  }
  if (command == kClear) {
    if (layout != nullptr) layout->ClearObjectValues();
    return 1;
  }
  if (command >= kFirstLayoutWindow && command <= kLastLayoutWindow) {
    TDisplayContent* found = lookup_ ? lookup_(command - kFirstLayoutWindow + 1) : nullptr;
    if (found != nullptr) display_.SetLayout(found, -1);
    return 1;
  }
  return KZScreen::Command(command);
}

void TZDisplayWindow::UpdateArea(const KRect& rect) {
  if (rect.IsEmpty()) return;
  update(rect.left, rect.top, rect.Width(), rect.Height());
}

void TZDisplayWindow::ScheduleRedraw() {
  if (redrawScheduled_) return;
  redrawScheduled_ = true;
  QTimer::singleShot(0, this, [this] {
    redrawScheduled_ = false;
    display_.Redraw();
  });
}

void TZDisplayWindow::paintEvent(QPaintEvent*) {
  // The transparent pixel's top byte is ignored by the RGB32 format: black.
  const QImage image(reinterpret_cast<const uchar*>(surface_.Pixels()), surface_.Width(),
                     surface_.Height(), qsizetype{surface_.Width()} * 4, QImage::Format_RGB32);
  QPainter painter(this);
  painter.drawImage(0, 0, image);
}

void TZDisplayWindow::resizeEvent(QResizeEvent* event) {
  KZScreen::resizeEvent(event);
  if (width() == surface_.Width() && height() == surface_.Height()) return;
  surface_.Resize(width(), height());
  display_.ClientResized();
  display_.Redraw();
}

void TZDisplayWindow::keyPressEvent(QKeyEvent* event) {
  TDisplayContent* layout = display_.Layout();
  const Qt::KeyboardModifiers mods = event->modifiers();
  int functionKey = 0;
  if (event->key() >= Qt::Key_F1 && event->key() <= Qt::Key_F24) {
    functionKey = event->key() - Qt::Key_F1 + 1;
  }
  char16_t ch = 0;
  const QString text = event->text();
  if (text.size() == 1) ch = text.at(0).unicode();
  // Qt gives no text for Ctrl+letter combinations; the key code stands in.
  if (ch < 32 && event->key() >= 32 && event->key() <= 127) {
    ch = static_cast<char16_t>(event->key());
  }
  const bool shift = mods & Qt::ShiftModifier;
  const bool control = mods & Qt::ControlModifier;
  const bool alt = mods & Qt::AltModifier;
  TTrigger trigger;
  const bool named = functionKey > 0
                         ? TTrigger::ForFunctionKey(functionKey, shift, control, alt, trigger)
                         : TTrigger::ForCharacter(ch, shift, control, alt, trigger);
  if (layout != nullptr && named) {
    layout->KeyTrigger(trigger.Name());
    return;
  }
  KZScreen::keyPressEvent(event);
}

void TZDisplayWindow::StartSnapshots(const QString& path, int intervalMs) {
  snapshotPath_ = path;
  WriteSnapshot(path);
  snapshotTimer_.start(std::max(intervalMs, 10));
}

bool TZDisplayWindow::WriteSnapshot(const QString& path) const {
  if (path.isEmpty()) return false;
  const QImage image(reinterpret_cast<const uchar*>(surface_.Pixels()), surface_.Width(),
                     surface_.Height(), qsizetype{surface_.Width()} * 4, QImage::Format_RGB32);
  const QString temporary = path + QStringLiteral(".part");
  if (!image.convertToFormat(QImage::Format_RGB888).save(temporary, "PNG")) {
    QFile::remove(temporary);
    return false;
  }
  return std::rename(QFile::encodeName(temporary).constData(),
                     QFile::encodeName(path).constData()) == 0;
}
