#include "app/t_z_application.h"

#include <langinfo.h>
#include <sys/resource.h>

#include <QCursor>
#include <QGuiApplication>
#include <QLocale>
#include <QMouseEvent>
#include <QWidget>
#include <cstdlib>
#include <iostream>
#include <string>

#include "app/t_error_text.h"
#include "app/t_home.h"
#include "app/t_profile_choice.h"
#include "app/t_z_control.h"
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
#include "ports/k_log.h"
#include "ports/k_serial_port_info.h"
#include "ports/k_socket.h"
#include "sources/t_field_string_processor.h"
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
  // FIXME: the command socket of the DDE server arrives with its issue; until
  // then the program runs without it, as after a failed start (without the alert).
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
  // FIXME: the user-interface lock from \General\Unlock arrives with its issue.
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
  // FIXME: time separators and wind units, object labels, text, bitmap and
  // video-display settings, layout resize mode, source defaults, editor
  // scale and grid, monitor functions: each arrives with its subsystem.
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
  // FIXME: the 3D font list arrives with its issue.
}

void TZApplication::CreateDisplayWindow() {
  // FIXME: the display window arrives with its issue.
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
}

void TZApplication::DeleteSources() {
  sources_.reset();
  processor_.reset();
  // FIXME: delete the 3D font list once it exists.
}

void TZApplication::ReleaseSubsystems() {
  // FIXME: release the static resources of each subsystem as it arrives.
  KSocket::StopNetwork();
  KSerialPortInfo::Clear();
}

void TZApplication::ForgetLock() {
  // FIXME: forget the unlock value node (user-interface lock issue).
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
  // FIXME: while the user interface is locked, keyboard events go to the
  // lock filter (user-interface lock issue).
  return true;
}

bool TZApplication::OnIdle(int) {
  // FIXME: run a pending external command (DDE issue) and give the display
  // window its idle processing (display issue).
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
  // FIXME: the display window adds its next redraw deadline and scroll step
  // here once it exists.
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
  return KZMessageRules::IsPositive(answer.button);
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
