#pragma once

#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

#include "base/k_string.h"
#include "gui/k_z_control.h"
#include "ports/k_log_throttle.h"
#include "sources/t_source_command.h"

class KRGroup;
class KRInt;
class KZMenuBar;
class QMenu;
class TLayout;
class TSourceCommand;
class TZApplication;
class TZLayoutMDI;

// The operator's main window: the multiple-document frame that holds one
// layout window per open layout, carries the menu bar, passes the tick to
// the sources, the display and the current layout window, remembers which
// layouts to reopen, and carries out the command lines sources receive.
class TZControl : public KZControl {
 public:
  enum Command : int {
    kNew = 10001,
    kOpen = 10002,
    kCloseWindow = -501,
    kSave = 10004,
    kSaveAs = 10005,
    kExit = 10006,
    kFirstEditCommand = 10007,  // Undo
    kLastEditCommand = 10015,   // Invert selection
    kCloseQuery = 10021,
    kExitQuery = 10022,
    kMenuUpdate = 10023,
    kTick = 10024,
    kFirstLayoutWindow = 10035,
    kLastLayoutWindow = 10134,
    kMemorizeLayouts = 10137,
    kLock = 10138,
    kNewProfile = 10139,
    kAbout = 10140,
    kOptions = 10143,
    kFirstLayoutCommand = 10150,  // New text object
    kLastLayoutCommand = 10161,   // Layout properties
    kCascade = -508,
  };
  static constexpr int kMaxWindowEntries = kLastLayoutWindow - kFirstLayoutWindow + 1;
  static constexpr int kMaxRestored = 100;

  explicit TZControl(TZApplication& application);
  // Closes the layout windows without asking and writes the geometry back.
  ~TZControl() override;

  // Shows the window where the settings place it.
  void ShowPlaced();
  // Reopens the layouts recorded under \Layout\Open\ when
  // \Layout\RestoreOpen asks for it; stops at the first that fails.
  void RestoreOpenLayouts();

  int Command(int command) override;
  // A close from the window manager is the operator's request to end the
  // program; the application closes the window once the exit query agrees.
  bool QueryClose() override;

  long long TickCount() const { return ticks_; }
  KZMenuBar& Menus() { return *menus_; }
  // Disables every entry and lets each owner enable its own, as happens
  // before a menu opens or a shortcut is matched.
  void UpdateMenus();

  // File|New: an empty untitled layout in a new window.
  bool NewLayout();
  // File|Open with a chosen path; an open window of the same file (the path
  // compared ignoring case) comes to the front instead.
  bool OpenLayoutFile(const KString& path);
  // File|Open with the dialog, starting in the last layout folder.
  bool OpenLayout();
  // Rewrites \Layout\Open\ from the open windows; at exit only when
  // \Layout\RestoreOpen is "Left open".
  void RecordOpenLayouts(bool atExit);
  // File|Create profile with the name entered; beeps when the copy fails.
  bool CreateProfile(const KString& name);

  // The layout windows in Window-menu order (the order they were opened).
  const std::vector<TZLayoutMDI*>& LayoutWindows() const { return windows_; }
  TZLayoutMDI* ActiveLayoutWindow() const;
  void ActivateLayoutWindow(TZLayoutMDI* window);
  // Asks the window (close query) and closes it when it agrees.
  bool CloseLayoutWindow(TZLayoutMDI* window);
  // A window was opened, closed, renamed or activated: the Window menu follows.
  void LayoutWindowsChanged();

  // Told of every LayoutDraw or Trigger carried out (tests, diagnostics).
  using SourceCommandHook = std::function<void(const TSourceCommand&)>;
  void SetSourceCommandHook(SourceCommandHook hook) { sourceCommandHook_ = std::move(hook); }

  // A complete line a source received between its packets.
  void ExecuteSourceCommand(const KString& line);

 private:
  void BuildMenus();
  // The pull-down and entry texts of \Strings\MenuBar\<group>\.
  QMenu* AddMenu(const char16_t* group);
  void AddEntry(QMenu* menu, const char16_t* group, const char16_t* key, int command);
  void OnMenuUpdate();
  void OnSubWindowActivated();
  bool MenuCommand(int command);
  bool ExitQuery();
  void Tick();
  bool IsLocked() const;
  TZLayoutMDI* AddLayoutWindow(std::unique_ptr<TLayout> layout);
  void ForgetWindow(TZLayoutMDI* window);
  // The first window, in the frame's child order (front first), titled `name`.
  TZLayoutMDI* FindByTitle(const KString& name) const;
  void LayoutDraw(const TSourceCommand& command);
  void Trigger(const TSourceCommand& command);
  void About();
  void Options();
  void AskNewProfile();

  TZApplication& application_;
  KRInt* layoutDrawDelay_ = nullptr;
  KRInt* restoreOpen_ = nullptr;
  KRGroup* openLayouts_ = nullptr;
  std::unique_ptr<KZMenuBar> menus_;
  QMenu* windowMenu_ = nullptr;
  std::vector<TZLayoutMDI*> windows_;
  // The window whose activation was last acted on: the frame regaining the
  // focus re-activates it, which must not switch the display back.
  QPointer<TZLayoutMDI> lastActivated_;
  bool startMaximized_ = true;
  long long ticks_ = 0;
  // A bare LF repeats the last line: it is parsed once, and its log line
  // written at most once a second.
  KString lastLine_;
  TSourceCommand lastCommand_;
  KLogThrottle logThrottle_;
  SourceCommandHook sourceCommandHook_;
};
