#pragma once

#include <QString>
#include <QTimer>
#include <functional>

#include "gui/k_z_screen.h"
#include "render/k_memory_surface.h"
#include "render/t_display.h"
#include "render/t_display_placement.h"

class KRGroup;

// The display window: a frameless top-level window over the display
// pipeline. It keeps a 32-bit image of its client area, which the pipeline
// draws into and the window paints from.
class TZDisplayWindow : public KZScreen {
 public:
  enum Command : int {
    kTick = 10024,
    kFirstLayoutWindow = 10035,
    kLastLayoutWindow = 10134,
    kClear = 10160,
  };

  // `settings` and `monitors` must outlive the window.
  TZDisplayWindow(KRGroup& settings, const KMonitorList& monitors,
                  TDisplay::Clock clock = TDisplay::Clock::Monotonic());
  ~TZDisplayWindow() override;

  TDisplay& Display() { return display_; }
  const KMemorySurface& Image() const { return surface_; }

  // Places and sizes the window from the settings.
  void UpdatePlacement();
  int Command(int command) override;

  // The layout of the editor window with a number 1 to 100, or null; set by
  // the main window, which owns the layout windows.
  using LayoutWindowLookup = std::function<TDisplayContent*(int number)>;
  void SetLayoutWindowLookup(LayoutWindowLookup lookup) { lookup_ = std::move(lookup); }

  // Writes the window's picture to `path` as PNG now, and then every
  // `intervalMs`; the file is replaced whole, never seen half written.
  void StartSnapshots(const QString& path, int intervalMs);
  bool WriteSnapshot(const QString& path) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // The window's image; every change asks Qt to paint that part.
  class Surface : public KMemorySurface {
   public:
    explicit Surface(TZDisplayWindow& window) : KMemorySurface(1, 1), window_(window) {}
    void CopyBlock(const KRect& to, const uint32_t* pixels) override;
    bool CopyRegion(const KRect& from, KPoint to) override;
    void RequestRepaint() override;

   private:
    TZDisplayWindow& window_;
  };

  void UpdateArea(const KRect& rect);
  void ScheduleRedraw();

  KRGroup& settings_;
  const KMonitorList& monitors_;
  Surface surface_;
  TDisplay display_;
  LayoutWindowLookup lookup_;
  bool redrawScheduled_ = false;
  QTimer snapshotTimer_;
  QString snapshotPath_;
};
