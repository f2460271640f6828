#pragma once

#include <functional>

#include "base/k_string.h"
#include "gui/k_z_control.h"
#include "ports/k_log_throttle.h"
#include "sources/t_source_command.h"

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

  // A complete line a source received between its packets.
  void ExecuteSourceCommand(const KString& line);
  // Where the valid LayoutDraw and Trigger commands go. Until layouts are on
  // display the default writes each to the log.
  using SourceCommandHook = std::function<void(const TSourceCommand&)>;
  void SetSourceCommandHook(SourceCommandHook hook) { sourceCommandHook_ = std::move(hook); }

 private:
  bool ExitQuery();
  void Tick();

  TZApplication& application_;
  bool startMaximized_ = true;
  long long ticks_ = 0;
  SourceCommandHook sourceCommandHook_;
  // A bare LF repeats the last line: it is parsed once, and its log line
  // written at most once a second.
  KString lastLine_;
  TSourceCommand lastCommand_;
  KLogThrottle logThrottle_;
};
