#pragma once

#include "gui/k_z_control.h"

class TZApplication;

// The operator's main window: the multiple-document frame that will hold one
// layout window per open layout. It takes the exit query and the tick from
// the application and remembers its geometry in \General\MainWindow\.
class TZControl : public KZControl {
 public:
  explicit TZControl(TZApplication& application);
  // Writes the geometry back into the settings tree.
  ~TZControl() override;

  // Shows the window where the settings place it.
  void ShowPlaced();
  // Reopens the layouts recorded under \Layout\Open\.
  void RestoreOpenLayouts();

  int Command(int command) override;
  // A close from the window manager is the operator's request to end the
  // program; the application closes the window once the exit query agrees.
  bool QueryClose() override;

  long long TickCount() const { return ticks_; }

 private:
  bool ExitQuery();
  void Tick();

  TZApplication& application_;
  bool startMaximized_ = true;
  long long ticks_ = 0;
};
