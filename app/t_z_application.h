#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>

#include "app/t_command_line.h"
#include "app/t_copy_counter.h"
#include "app/t_stopwatch.h"
#include "app/t_user_interface_lock.h"
#include "base/k_file.h"
#include "base/k_string.h"
#include "gui/k_z_application.h"

class K3DFonts;
class KLanguageFiles;
class KLog;
class KCommandServer;
class KMonitorList;
class QSocketNotifier;
class QTimer;
class KRegistry;
class QMouseEvent;
class TFieldStringProcessor;
class TSources;
class TZControl;
class TZDisplayWindow;

// The one application object: counts the running copies, builds the
// process-wide objects in a fixed order, runs the event loop until the
// operator ends the program, tears everything down and saves the profile.
class TZApplication : public KZApplication {
 public:
  // Commands sent to the main window.
  enum Command : int { kExitQuery = 10022, kTick = 10024 };
  // CapturePointer mode bits.
  enum Capture : int { kCaptureHidePointer = 1, kCaptureRepeatEvent = 2, kCaptureKeepTicks = 4 };

  // Counts the copies (in the runtime folder) and calibrates the stopwatch.
  TZApplication(int& argc, char** argv);
  ~TZApplication() override;

  static TZApplication* Instance();

  // The start-up sequence, the event loop and the shutdown; returns 0.
  int Run();

  // The operator's request to end the program (File|Exit, a close of the
  // main window, SIGTERM): ends the main loop when the exit query agrees.
  void RequestExit();

  // Error and message windows.
  void ReportError(int code, int second = -1);
  bool ShowMessageWindow(const KString& title, const KString& text, int buttons, int defaultButton,
                         int icon, const KString& secondText = KString());
  // The same window; returns the button that closed it (a KZMessageRules bit).
  int AskMessageWindow(const KString& title, const KString& text, int buttons, int defaultButton,
                       int icon, const KString& secondText = KString());
  void ShowError(const KString& text);
  void ShowError(const KString& title, const KString& text);
  void ShowMessage(const KString& text);
  void ShowMessage(const KString& title, const KString& text);

  // The 10-microsecond stopwatch.
  void StartTimer(unsigned* stamp) const { stopwatch_.StartTimer(stamp); }
  void ElapsedTime(int* stamp) const { stopwatch_.ElapsedTime(stamp); }
  void AdvanceTime(unsigned* stamp, int count) const { stopwatch_.AdvanceTime(stamp, count); }
  const TStopwatch& Stopwatch() const { return stopwatch_; }

  const KString* HasSwitch(const KString& name) const { return arguments_.HasSwitch(name); }
  void SetWaitPointer(bool on);
  // With a window: exclusive pointer input for it unless another holds it.
  // With null: releases the capture.
  void CapturePointer(QWidget* window, int mode);
  QWidget* CapturedWindow() const { return captured_.data(); }

  // The profile chosen for the next run.
  bool ReadProfileName(KString63& name) const;
  bool WriteProfileName(const KString& name) const;

  int CopyNumber() const { return copyNumber_; }
  const KString& Home() const { return home_; }
  const KFile& ProgramFile() const { return programFile_; }
  const KFile& SettingsFile() const { return settingsFile_; }
  const KString63& ProfileName() const { return profileName_; }
  bool SettingsLoaded() const { return settingsLoaded_; }
  int SettingsEncoding() const { return settingsEncoding_; }
  const TCommandLine& Arguments() const { return arguments_; }

  // Process-wide objects; null outside their lifetime.
  KRegistry* Registry() const { return registry_.get(); }
  KLog* Log() const { return log_.get(); }
  TSources* Sources() const { return sources_.get(); }
  K3DFonts* Fonts() const { return fonts_.get(); }
  TZControl* Control() const { return control_; }
  TZDisplayWindow* DisplayWindow() const { return displayWindow_; }

  // An external command waiting for the next idle pass; empty when none.
  const KString511& PendingCommand() const { return pendingCommand_; }
  // The path of an "OpenLayout,path" command (the path may be quoted and
  // then hold commas); false for any other command.
  static bool ParseOpenLayout(const KString& command, KString& path);

  // The user-interface lock: 0 none configured, 1 open, 2 locked.
  int LockState() const { return lock_.GetState(); }
  void SetLockState(int state) { lock_.SetState(state); }

  // A settings text, or the built-in one while the tree lacks it.
  KString Text(const KString& path, const KString& builtIn) const;

 protected:
  bool FilterEvent(QObject* receiver, QEvent* event) override;
  bool OnIdle(int count) override;
  void ReportLoopException() override;
  void OnTerminateRequest(int signal) override;
  void CollectWaits(KWaitSet& set) override;

 private:
  // Start-up, in order.
  void RaisePriority();
  void StartDdeServer();
  void ChooseSettingsFile();
  void CreateSettingsTree();
  void ApplyDefaults();
  void LoadSettings();
  void DiscoverLanguages();
  void SeedLanguageChoice();
  void LoadLanguage();
  void ApplyFirstRunTable();
  void ReadAlertTexts();
  void SetUpLock();
  void OpenResources();
  bool AskSecondCopy();
  void CreateLog();
  void StartPorts();
  void ReadSubsystemSettings();
  void RegisterFileTypes();
  void CreateSources();
  void CreateFonts();
  void CreateDisplayWindow();
  void CreateMainWindow();
  // Idle pass step 1.
  void RunPendingCommand();
  // Shutdown, in order.
  void CloseWindows();
  void DeleteSources();
  void ReleaseSubsystems();
  void ForgetLock();
  void WriteBackLanguage();
  void SaveSettings();
  void DeleteSettingsTree();

  // An alert no one can answer goes to the log and stderr.
  void RecordUnansweredAlert(const KString& line, const KString& answer, char code);

  TCommandLine arguments_;
  KString home_;
  KFile programFile_;
  KFile settingsFile_;
  KString63 profileName_;
  TCopyCounter copies_;
  int copyNumber_ = 1;
  TStopwatch stopwatch_;
  bool settingsLoaded_ = false;
  int settingsEncoding_ = 3;  // automatic until a profile is read
  KString operationFailedText_{"Operation failed"};
  KString errorTitle_{"Error"};
  KString messageTitle_{"Message"};

  std::unique_ptr<KRegistry> registry_;
  std::unique_ptr<KLanguageFiles> languages_;
  std::unique_ptr<KLog> log_;
  // Every escape and process= evaluation shares this one processor, so its
  // registers carry across sources; it outlives the sources.
  std::unique_ptr<TFieldStringProcessor> processor_;
  std::unique_ptr<TSources> sources_;
  std::unique_ptr<K3DFonts> fonts_;
  std::unique_ptr<KMonitorList> monitors_;
  TZDisplayWindow* displayWindow_ = nullptr;
  TZControl* control_ = nullptr;

  std::unique_ptr<KCommandServer> commandServer_;
  std::unique_ptr<QSocketNotifier> commandNotifier_;
  std::unique_ptr<QTimer> commandPoller_;
  KString511 pendingCommand_;
  TUserInterfaceLock lock_;

  QPointer<QWidget> captured_;
  int captureMode_ = 0;
  std::unique_ptr<QMouseEvent> lastPointerEvent_;
  bool waitPointer_ = false;
  bool exiting_ = false;
};
