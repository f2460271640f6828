#include "app/t_z_application.h"

#include <langinfo.h>
#include <sys/resource.h>

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <iostream>
#include <string>

#include "app/t_error_text.h"
#include "app/t_home.h"
#include "app/t_profile_choice.h"
#include "app/t_z_control.h"
#include "app/t_z_display_window.h"
#include "base/k_buffered_file.h"
#include "base/k_file_extension.h"
#include "base/k_wait_set.h"
#include "base/k_x.h"
#include "config/k_default_settings.h"
#include "config/k_language_files.h"
#include "config/k_profile.h"
#include "config/k_r_group.h"
#include "config/k_r_string.h"
#include "config/k_r_types.h"
#include "config/k_registry.h"
#include "gui/k_z_message_rules.h"
#include "gui/k_z_message_window.h"
#include "layout/t_layout.h"
#include "layout/t_layout_object.h"
#include "layout/t_layout_services.h"
#include "ports/k_command_server.h"
#include "ports/k_log.h"
#include "ports/k_serial_port_info.h"
#include "ports/k_socket.h"
#include "render/k_3d_fonts.h"
#include "render/k_3d_sport_font.h"
#include "render/t_display_placement.h"
#include "sources/t_field_string_processor.h"
#include "sources/t_source_command.h"
#include "sources/t_sources.h"

namespace {

KString FromQt(const QString& text) {
  return KString(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                     static_cast<size_t>(text.size())));
}

}  // namespace

TZApplication::TZApplication(int& argc, char** argv)
    : KZApplication(argc, argv), arguments_(argc, argv), stopwatch_(TStopwatch::MonotonicClock()) {
  home_ =
      THome::Resolve(arguments_, std::getenv("TELVANE_HOME"), THome::ExecutablePath(arguments_));
  programFile_.SetPath(THome::ProgramFile(home_));
  copyNumber_ = copies_.Acquire(TCopyCounter::RuntimeFolder());
  InstallTerminationHandlers();
}

TZApplication::~TZApplication() {
  delete control_;
  control_ = nullptr;
  if (log_) {
    KLog::SetInstance(nullptr);
    log_->Close();
  }
}

TZApplication* TZApplication::Instance() {
  return dynamic_cast<TZApplication*>(QCoreApplication::instance());
}

int TZApplication::Run() {
  RaisePriority();
  if (copyNumber_ == 1) StartDdeServer();
  ChooseSettingsFile();
  CreateSettingsTree();
  ApplyDefaults();
  LoadSettings();
  DiscoverLanguages();
  if (!settingsLoaded_) SeedLanguageChoice();
  LoadLanguage();
  if (!settingsLoaded_) ApplyFirstRunTable();
  ReadAlertTexts();
  SetUpLock();
  OpenResources();
  if (copyNumber_ > 1 && !AskSecondCopy()) {
    DeleteSettingsTree();
    return 0;
  }
  CreateLog();
  StartPorts();
  ReadSubsystemSettings();
  RegisterFileTypes();
  CreateSources();
  CreateDisplayWindow();
  CreateMainWindow();

  EventLoop(nullptr, false, true);

  CloseWindows();
  DeleteSources();
  ReleaseSubsystems();
  ForgetLock();
  const Qt::KeyboardModifiers keys = QGuiApplication::queryKeyboardModifiers();
  if ((keys & Qt::ControlModifier) && (keys & Qt::ShiftModifier)) WriteBackLanguage();
  SaveSettings();
  DeleteSettingsTree();
  return 0;
}

// Start-up steps.

void TZApplication::RaisePriority() {
  // The high class with the main thread at its lowest level comes out a
  // little above normal; a refusal (no privilege) is no error.
  setpriority(PRIO_PROCESS, 0, -2);
}

void TZApplication::StartDdeServer() {
  commandServer_ = std::make_unique<KCommandServer>();
  std::string error;
  const bool listening = commandServer_->Listen(
      TCopyCounter::RuntimeFolder().ToUtf8(),
      [this](const std::string& command) {
        if (!pendingCommand_.IsEmpty()) return false;
        pendingCommand_.Clear();
        pendingCommand_.AppendUtf8(command);
        return true;
      },
      error);
  if (!listening) {
    commandServer_.reset();
    std::cerr << "telvane: no external commands: " << error << "\n";
    ReportError(1002);
    return;
  }
  // The loop sleeps between passes; a client wakes it. While clients are
  // still sending, a short timer keeps reading them.
  commandPoller_ = std::make_unique<QTimer>();
  commandPoller_->setInterval(5);
  auto poll = [this] {
    commandServer_->Poll();
    if (commandServer_->ClientFds().empty()) {
      commandPoller_->stop();
    } else if (!commandPoller_->isActive()) {
      commandPoller_->start();
    }
  };
  QObject::connect(commandPoller_.get(), &QTimer::timeout, poll);
  commandNotifier_ = std::make_unique<QSocketNotifier>(commandServer_->Fd(), QSocketNotifier::Read);
  QObject::connect(commandNotifier_.get(), &QSocketNotifier::activated, poll);
}

bool TZApplication::ParseOpenLayout(const KString& command, KString& path) {
  const int comma = command.Find(u',');
  if (comma < 0 || command.Left(comma) != KString("OpenLayout")) return false;
  path = TSourceCommand::FirstField(command.View().substr(static_cast<size_t>(comma) + 1));
  return !path.IsEmpty();
}

void TZApplication::RunPendingCommand() {
  if (pendingCommand_.IsEmpty() || control_ == nullptr) return;
  const KString command = pendingCommand_;
  pendingCommand_.Clear();
  KString path;
  if (!ParseOpenLayout(command, path)) return;
  SetWaitPointer(true);
  control_->OpenLayoutFile(path);
  SetWaitPointer(false);
}

void TZApplication::ChooseSettingsFile() {
  settingsFile_.SetPath(programFile_.Path());
  settingsFile_.SetExtension(KString("cfg"));
  KString63 name;
  if (!ReadProfileName(name)) WriteProfileName(KString());
  profileName_ = name;
  if (name.IsEmpty()) return;
  KFile named(settingsFile_.Path());
  if (TProfileChoice::IsUsableName(name)) {
    KString path;
    settingsFile_.Directory(path);
    path.Append(u'/');
    path.Append(name);
    path.Append(u".cfg");
    named.SetPath(path);
  }
  if (!TProfileChoice::IsUsableName(name) || !named.Exists()) {
    profileName_.Clear();
    WriteProfileName(KString());
    return;
  }
  settingsFile_.SetPath(named.Path());
}

void TZApplication::CreateSettingsTree() {
  KRTypes::Register();
  registry_ = std::make_unique<KRegistry>();
}

void TZApplication::ApplyDefaults() {
  registry_->ApplyTable(KDefaultSettings::Table());
}

void TZApplication::LoadSettings() {
  KProfile profile(settingsFile_.Path());
  try {
    settingsLoaded_ = profile.Load(*registry_);
    if (settingsLoaded_) settingsEncoding_ = profile.Encoding();
  } catch (const KX&) {
    ReportError(6001);
  }
}

void TZApplication::DiscoverLanguages() {
  languages_ = std::make_unique<KLanguageFiles>(home_);
  languages_->Discover(*registry_);
}

void TZApplication::SeedLanguageChoice() {
  KRString* choice = registry_->LookupString(KString("\\Language\\Choice"));
  if (!choice) return;
  // The C locale names no language; the catalogue's own is English.
  const QString locale = QLocale::system().name();
  KString name = locale == QLatin1String("C") || locale == QLatin1String("POSIX") ? KString("en_US")
                                                                                  : FromQt(locale);
  if (const char* codeSet = nl_langinfo(CODESET); codeSet && codeSet[0]) {
    name.Append(u'.');
    name.AppendUtf8(codeSet);
  }
  choice->SetValue(name);
}

void TZApplication::LoadLanguage() {
  if (languages_->Choose(*registry_)) languages_->Load(*registry_);
}

void TZApplication::ApplyFirstRunTable() {
  registry_->ApplyTable(KDefaultSettings::FirstRunTable());
}

void TZApplication::ReadAlertTexts() {
  // An absent text keeps the built-in one rather than showing nothing.
  operationFailedText_ = Text(KString("\\Strings\\Alerts\\OperationFailed"), operationFailedText_);
  errorTitle_ = Text(KString("\\Strings\\Alerts\\Error"), errorTitle_);
  messageTitle_ = Text(KString("\\Strings\\Alerts\\Message"), messageTitle_);
}

void TZApplication::SetUpLock() {
  lock_.SetUp(registry_->LookupString(KString("\\General\\Unlock")));
}

void TZApplication::OpenResources() {
  // Qt carries its resources inside the program; there is no store to open.
}

bool TZApplication::AskSecondCopy() {
  KString title = Text(KString("\\Strings\\Alerts\\CopyTitle"), KString("Copy"));
  title.Append(u' ');
  title.AppendInt(copyNumber_);
  const KString text = Text(KString("\\Strings\\Alerts\\CopyText"),
                            KString("A copy of Telvane is already running."));
  return ShowMessageWindow(title, text, KZMessageRules::kOk | KZMessageRules::kCancel,
                           KZMessageRules::kCancel, KZMessageRules::kQuestion);
}

void TZApplication::CreateLog() {
  // A home named on the command line may not exist yet; the log and the
  // profile need it.
  if (!KFile(home_).DirectoryExists()) programFile_.CreateDirectories();
  log_ = std::make_unique<KLog>();
  const int32_t logSize = registry_->LookupInt(KString("\\General\\LogSize"),
                                               static_cast<int32_t>(KLog::kDefaultMaxBytes));
  log_->SetMaxBytes(logSize);
  KFile path(programFile_.Path());
  path.SetExtension(KString("log"));
  log_->Open(path.Path());
  KLog::SetInstance(log_.get());
  if (log_->MaxBytes() != logSize) {
    KString line(u"\\General\\LogSize ");
    line.AppendInt(logSize);
    line.Append(u" is held to ");
    line.Append(KString(std::to_string(log_->MaxBytes()).c_str()));
    KLog::Log(line, KLog::kMessage);
  }
}

void TZApplication::StartPorts() {
  KSerialPortInfo::EnumerateAtStartUp(registry_.get(),
                                      HasSwitch(KString("-noserialport")) != nullptr);
  KSocket::StartNetwork();
}

void TZApplication::ReadSubsystemSettings() {
  TLayoutServices::Get().ReadSettings(*registry_, programFile_.Path());
  // FIXME: time separators and wind units, bitmap and video-display
  // settings, source defaults, editor scale and grid, monitor functions:
  // each arrives with its subsystem.
}

void TZApplication::RegisterFileTypes() {
  const char* const types[][2] = {{"tga", "\\Strings\\FileTypes\\Targa"},
                                  {"ps", "\\Strings\\FileTypes\\Postscript"},
                                  {"tln", "\\Strings\\FileTypes\\Layout"}};
  for (const auto& [extension, path] : types) {
    const KString description = Text(KString(path), KString(extension));
    // The list is process-wide and outlives one run of the sequence.
    if (KFileExtension* known = KFileExtension::Find(KString(extension)))
      known->SetDescription(description);
    else
      KFileExtension::Register(KString(extension), description);
  }
}

void TZApplication::CreateSources() {
  processor_ = std::make_unique<TFieldStringProcessor>();
  sources_ = std::make_unique<TSources>(*registry_, home_, *processor_);
  sources_->Prepare(!settingsLoaded_);
  // Command lines reach the main window once it exists; none can arrive
  // before the first tick, which the main window runs.
  sources_->SetCommandSink([this](TSource& /*source*/, const KString& line) {
    if (control_) control_->ExecuteSourceCommand(line);
  });
  sources_->Create();
  TLayoutServices::Get().ConnectSources(sources_.get());
  CreateFonts();
}

void TZApplication::CreateFonts() {
  // A new home gets the sport fonts shipped beside the program, so texts in
  // the sport font show from the first run.
  KString shipped;
  KFile(THome::ExecutablePath(arguments_)).Directory(shipped);
  shipped.Append(u"/fonts");
  K3DSportFont::InstallShipped(shipped, home_);
  fonts_ = std::make_unique<K3DFonts>(registry_.get(), home_);
}

void TZApplication::CreateDisplayWindow() {
  monitors_ = std::make_unique<KMonitorList>();
  monitors_->Fill(KZScreen::PrimaryRect(), KZScreen::PlatformMonitors());
  const TStopwatch& watch = stopwatch_;
  TDisplay::Clock clock = TDisplay::Clock::Monotonic();
  if (watch.HasCounter()) {
    clock.stamp10us = [&watch] {
      unsigned stamp = 0;
      watch.StartTimer(&stamp);
      return static_cast<uint32_t>(stamp);
    };
  }
  displayWindow_ = new TZDisplayWindow(*registry_, *monitors_, std::move(clock));
  TDisplay& display = displayWindow_->Display();
  TLayoutServices& layouts = TLayoutServices::Get();
  layouts.SetRedrawObserver([&display](TLayout& layout, TLayoutObject&, const KRect& area) {
    display.RedrawObject(&layout, area);
  });
  layouts.SetLayoutClosing([&display](TLayout& layout) {
    if (display.Layout() == &layout) display.SetLayout(nullptr, -1);
  });
  layouts.SetDisplaySize([&display](KPoint& size) {
    size = display.Geometry().ScreenSize();
    return size.x > 0 && size.y > 0;
  });
  displayWindow_->show();
  displayWindow_->Display().Refresh();
  // --snapshot FILE.png[,MS] lets a headless or remote run be watched.
  KString snapshot;
  if (arguments_.OptionValue(KString("--snapshot"), snapshot) && !snapshot.IsEmpty()) {
    int intervalMs = 1000;
    const int comma = snapshot.FindLast(u',');
    if (comma > 0) {
      const std::string ms = snapshot.Mid(comma + 1).ToUtf8();
      char* end = nullptr;
      const long value = std::strtol(ms.c_str(), &end, 10);
      if (end != ms.c_str() && *end == 0 && value > 0 && value <= 3600000) {
        intervalMs = static_cast<int>(value);
        snapshot.Truncate(comma);
      }
    }
    displayWindow_->StartSnapshots(QString::fromStdU16String(snapshot.ToU16()), intervalMs);
  }
}

void TZApplication::CreateMainWindow() {
  control_ = new TZControl(*this);
  control_->ShowPlaced();
  control_->RestoreOpenLayouts();
}

// Shutdown steps.

void TZApplication::CloseWindows() {
  // Destroying the main window writes its geometry into the tree, so it goes
  // before the profile is saved.
  delete control_;
  control_ = nullptr;
  // Layouts belong to the main window's layout windows; the display only
  // refers to one, so it goes after them.
  TLayoutServices& layouts = TLayoutServices::Get();
  layouts.SetRedrawObserver({});
  layouts.SetLayoutClosing({});
  layouts.SetDisplaySize({});
  delete displayWindow_;
  displayWindow_ = nullptr;
}

void TZApplication::DeleteSources() {
  TLayoutServices::Get().ConnectSources(nullptr);
  sources_.reset();
  processor_.reset();
  fonts_.reset();
}

void TZApplication::ReleaseSubsystems() {
  // FIXME: release the static resources of each subsystem as it arrives.
  KSocket::StopNetwork();
  KSerialPortInfo::Clear();
}

void TZApplication::ForgetLock() {
  lock_.Forget();
}

void TZApplication::WriteBackLanguage() {
  // A failed write leaves the old file; nothing is reported.
  if (languages_) languages_->WriteBack(*registry_);
}

void TZApplication::SaveSettings() {
  // The profile writer replaces the file only once the new text is complete
  // and synced, so a crash during the save keeps the old profile.
  KProfile profile(settingsFile_.Path());
  profile.SetEncoding(settingsEncoding_);
  try {
    profile.Save(*registry_);
  } catch (const KX&) {
    ReportError(6002);
  }
}

void TZApplication::DeleteSettingsTree() {
  languages_.reset();
  registry_.reset();
  KRTypes::Clear();
  if (log_) {
    KLog::SetInstance(nullptr);
    log_->Close();
    log_.reset();
  }
}

// Exit.

void TZApplication::RequestExit() {
  if (exiting_) return;
  exiting_ = true;
  const bool agreed = !control_ || control_->Command(kExitQuery) != 0;
  exiting_ = false;
  if (agreed) ExitMainLoop(kExitResult);
}

void TZApplication::OnTerminateRequest(int) {
  RequestExit();
}

// Event loop hooks.

bool TZApplication::FilterEvent(QObject* receiver, QEvent* event) {
  if (captured_ && receiver == captured_.data()) {
    switch (event->type()) {
      case QEvent::MouseMove:
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
        lastPointerEvent_.reset(static_cast<QMouseEvent*>(event->clone()));
        break;
      default:
        break;
    }
  }
  switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      break;
    default:
      return true;
  }
  if (lock_.IsLocked()) {
    // Nothing sees a key while locked; an accepted override keeps the
    // shortcuts from being matched at all.
    if (event->type() == QEvent::ShortcutOverride) event->accept();
    if (event->type() == QEvent::KeyPress) {
      const QString text = static_cast<QKeyEvent*>(event)->text();
      if (text.size() == 1 && lock_.Type(text.at(0).unicode())) {
        QApplication::beep();
        if (control_) control_->UpdateMenus();
      }
    }
    return false;
  }
  // Before a shortcut is matched, the menu entries are brought up to date.
  if (event->type() == QEvent::ShortcutOverride && control_) control_->UpdateMenus();
  return true;
}

bool TZApplication::OnIdle(int) {
  RunPendingCommand();
  if (displayWindow_) {
    displayWindow_->Display().Tick();
    SetIdleSleep(displayWindow_->Display().SleepAfterPass() ? 1 : 0);
  }
  if (captured_ && (captureMode_ & kCaptureRepeatEvent) && lastPointerEvent_) {
    std::unique_ptr<QEvent> repeat(lastPointerEvent_->clone());
    QCoreApplication::sendEvent(captured_.data(), repeat.get());
  }
  const bool ticksSuspended = captured_ && !(captureMode_ & kCaptureKeepTicks);
  if (control_ && !ticksSuspended) control_->Command(kTick);
  return true;
}

void TZApplication::CollectWaits(KWaitSet& set) {
  if (sources_) sources_->CollectWaits(set);
  // A drag repeats its last pointer event at every pass, so it keeps the
  // passes coming as the fixed 1 ms sleep did.
  if (captured_ && (captureMode_ & kCaptureRepeatEvent) && lastPointerEvent_) set.DueIn(1);
  // The display's redraw deadline and scroll step, and the timed triggers
  // of the layout it shows.
  if (displayWindow_) {
    const int displayMs = displayWindow_->Display().MillisecondsToNextWork();
    if (displayMs >= 0) set.DueIn(displayMs);
    if (const TDisplayContent* shown = displayWindow_->Display().Layout()) {
      const int tickMs = shown->MillisecondsToNextTick();
      if (tickMs >= 0) set.DueIn(tickMs);
    }
  }
}

void TZApplication::ReportLoopException() {
  ReportError(1001);
}

// Alerts.

KString TZApplication::Text(const KString& path, const KString& builtIn) const {
  if (!registry_) return builtIn;
  const KString& text = registry_->LookupText(path);
  return text.IsEmpty() ? builtIn : text;
}

void TZApplication::ReportError(int code, int second) {
  TErrorText::Lookup lookup;
  if (registry_) {
    lookup = [this](const KString& path, KString& text) {
      KRString* node = registry_->LookupString(path);
      if (!node) return false;
      text = node->Value();
      return true;
    };
  }
  ShowError(TErrorText::Compose(code, second, lookup, operationFailedText_));
}

bool TZApplication::ShowMessageWindow(const KString& title, const KString& text, int buttons,
                                      int defaultButton, int icon, const KString& secondText) {
  return KZMessageRules::IsPositive(
      AskMessageWindow(title, text, buttons, defaultButton, icon, secondText));
}

int TZApplication::AskMessageWindow(const KString& title, const KString& text, int buttons,
                                    int defaultButton, int icon, const KString& secondText) {
  KZMessageWindow::Request request;
  request.title = title;
  request.text = text;
  request.secondText = secondText;
  request.buttons = buttons;
  request.defaultButton = defaultButton;
  request.icon = icon;
  int index = 0;
  for (int button : KZMessageRules::kButtonOrder)
    request.labels[index++] = Text(KZMessageRules::LabelPath(button), KString());
  const KZMessageWindow::Answer answer = KZMessageWindow::Show(request);
  if (!answer.asked) {
    KString line = title;
    line.Append(u": ");
    line.Append(KZMessageRules::WithLineBreaks(text).View());
    if (!secondText.IsEmpty()) {
      line.Append(u' ');
      line.Append(secondText);
    }
    RecordUnansweredAlert(line, KZMessageRules::BuiltInLabel(answer.button),
                          (icon & KZMessageRules::kExclamation) ? 'E' : 'M');
  }
  return answer.button;
}

void TZApplication::RecordUnansweredAlert(const KString& line, const KString& answer, char code) {
  KString logged = line;
  logged.Append(u" [answered ");
  for (char16_t ch : answer)
    if (ch != u'&') logged.Append(ch);
  logged.Append(u']');
  std::cerr << "telvane: " << logged.ToUtf8() << std::endl;
  if (log_) log_->Write(logged, code);
}

void TZApplication::ShowError(const KString& text) {
  ShowError(errorTitle_, text);
}

void TZApplication::ShowError(const KString& title, const KString& text) {
  ShowMessageWindow(title, text, KZMessageRules::kOk, KZMessageRules::kOk,
                    KZMessageRules::kExclamation);
}

void TZApplication::ShowMessage(const KString& text) {
  ShowMessage(messageTitle_, text);
}

void TZApplication::ShowMessage(const KString& title, const KString& text) {
  ShowMessageWindow(title, text, KZMessageRules::kOk, KZMessageRules::kOk,
                    KZMessageRules::kInformation);
}

// Pointer.

void TZApplication::SetWaitPointer(bool on) {
  if (on == waitPointer_) return;
  waitPointer_ = on;
  if (on)
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  else
    QGuiApplication::restoreOverrideCursor();
}

void TZApplication::CapturePointer(QWidget* window, int mode) {
  if (window) {
    if (captured_ && captured_.data() != window) return;
    captured_ = window;
    captureMode_ = mode;
    if (mode & kCaptureHidePointer)
      window->grabMouse(QCursor(Qt::BlankCursor));
    else
      window->grabMouse();
    return;
  }
  if (captured_) captured_->releaseMouse();
  captured_ = nullptr;
  captureMode_ = 0;
  lastPointerEvent_.reset();
}

// Profile choice.

bool TZApplication::ReadProfileName(KString63& name) const {
  return TProfileChoice(TProfileChoice::DefaultPath()).Read(name);
}

bool TZApplication::WriteProfileName(const KString& name) const {
  return TProfileChoice(TProfileChoice::DefaultPath()).Write(name);
}
