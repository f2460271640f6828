#include "app/t_z_control.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cstring>

#include "app/t_main_window_geometry.h"
#include "app/t_user_interface_lock.h"
#include "app/t_z_application.h"
#include "app/t_z_display_window.h"
#include "app/t_z_layout_mdi.h"
#include "base/k_file.h"
#include "base/k_product.h"
#include "base/k_wait_set.h"
#include "config/k_profile.h"
#include "config/k_r_group.h"
#include "config/k_r_int.h"
#include "config/k_r_string.h"
#include "config/k_registry.h"
#include "gui/k_z_file_dialog.h"
#include "gui/k_z_input_dialog.h"
#include "gui/k_z_menu_bar.h"
#include "gui/k_z_message_rules.h"
#include "layout/t_layout.h"
#include "layout/t_layout_services.h"
#include "layout/t_trigger.h"
#include "ports/k_log.h"
#include "sources/t_source_command.h"
#include "sources/t_sources.h"

namespace {

QString ToQt(const KString& text) {
  return QString::fromUtf16(text.Data(), static_cast<qsizetype>(text.Length()));
}

// The folder part of a remembered layout path.
KString FolderOf(const KString& path) {
  KString folder;
  KFile(path).Directory(folder);
  return folder;
}

}  // namespace

TZControl::TZControl(TZApplication& application) : application_(application) {
  setWindowTitle(ToQt(TMainWindowGeometry::Title(application.ProfileName())));
  QSize screen(800, 600);
  if (QScreen* primary = QGuiApplication::primaryScreen()) screen = primary->geometry().size();
  const TMainWindowGeometry::Placement placement =
      TMainWindowGeometry::Initial(application.Registry(), screen.width(), screen.height());
  setGeometry(placement.left, placement.top, placement.width, placement.height);
  startMaximized_ = placement.maximized;

  if (KRegistry* settings = application.Registry()) {
    layoutDrawDelay_ = settings->LookupInt(KString("\\Sources\\LayoutDrawDelay"));
    restoreOpen_ = settings->LookupInt(KString("\\Layout\\RestoreOpen"));
    openLayouts_ = settings->LookupGroup(KString("\\Layout\\Open\\"));
  }
  BuildMenus();

  QObject::connect(MdiArea(), &QMdiArea::subWindowActivated,
                   [this](QMdiSubWindow*) { OnSubWindowActivated(); });
  TLayoutServices::Get().SetSaveDialog([this](KString& path) {
    KZFileDialog::Request request;
    request.mode = KZFileDialog::kSave;
    request.folder = FolderOf(path);
    KFile(path).Name(request.name);
    request.extension = KString(u"tln");
    request.description =
        application_.Text(KString("\\Strings\\FileTypes\\Layout"), KString("Telvane Layout"));
    return KZFileDialog::Ask(request, path);
  });
  if (TZDisplayWindow* display = application_.DisplayWindow()) {
    display->SetLayoutWindowLookup([this](int number) -> TDisplayContent* {
      if (number < 1 || number > static_cast<int>(windows_.size())) return nullptr;
      return &windows_[static_cast<size_t>(number - 1)]->Layout();
    });
  }
}

TZControl::~TZControl() {
  if (TZDisplayWindow* display = application_.DisplayWindow()) display->SetLayoutWindowLookup({});
  TLayoutServices::Get().SetSaveDialog({});
  // Each window deletes its layout, which leaves the display first.
  const std::vector<TZLayoutMDI*> windows = windows_;
  windows_.clear();
  for (TZLayoutMDI* window : windows) delete window;

  TMainWindowGeometry::Placement now;
  now.maximized = isMaximized() || (!isVisible() && startMaximized_);
  const QRect normal = now.maximized ? normalGeometry() : geometry();
  now.left = normal.left();
  now.top = normal.top();
  now.width = normal.width();
  now.height = normal.height();
  TMainWindowGeometry::WriteBack(application_.Registry(), now);
}

void TZControl::ShowPlaced() {
  if (startMaximized_)
    showMaximized();
  else
    show();
}

// Menus.

QMenu* TZControl::AddMenu(const char16_t* group) {
  KString path(u"\\Strings\\MenuBar\\");
  path.Append(group);
  path.Append(u"\\Title");
  return menus_->AddMenu(application_.Registry()->LookupText(path));
}

void TZControl::AddEntry(QMenu* menu, const char16_t* group, const char16_t* key, int command) {
  KString path(u"\\Strings\\MenuBar\\");
  path.Append(group);
  path.Append(u'\\');
  path.Append(key);
  menus_->AddEntry(menu, application_.Registry()->LookupText(path), command);
}

void TZControl::BuildMenus() {
  // The main window is made once the settings tree exists.
  menus_ = std::make_unique<KZMenuBar>(*menuBar(), *application_.Registry());
  menus_->SetCommandHandler([this](int command) { Command(command); });
  menus_->SetUpdateHandler([this] { Command(kMenuUpdate); });

  QMenu* file = AddMenu(u"File");
  AddEntry(file, u"File", u"New", kNew);
  AddEntry(file, u"File", u"Open", kOpen);
  AddEntry(file, u"File", u"CloseWindow", kCloseWindow);
  AddEntry(file, u"File", u"Save", kSave);
  AddEntry(file, u"File", u"SaveAs", kSaveAs);
  menus_->AddSeparator(file);
  AddEntry(file, u"File", u"MemorizeLayouts", kMemorizeLayouts);
  AddEntry(file, u"File", u"NewProfile", kNewProfile);
  AddEntry(file, u"File", u"Options", kOptions);
  menus_->AddSeparator(file);
  AddEntry(file, u"File", u"Exit", kExit);
  if (application_.LockState() != TUserInterfaceLock::kNone)
    AddEntry(file, u"File", u"Lock", kLock);

  QMenu* edit = AddMenu(u"Edit");
  const char16_t* editKeys[] = {u"Undo",        u"Redo",  u"", u"Cut",       u"Copy",
                                u"Paste",       u"Clear", u"", u"SelectAll", u"SelectNone",
                                u"SelectInvert"};
  int command = kFirstEditCommand;
  for (const char16_t* key : editKeys) {
    if (key[0] == 0)
      menus_->AddSeparator(edit);
    else
      AddEntry(edit, u"Edit", key, command++);
  }

  QMenu* layout = AddMenu(u"Layout");
  const struct {
    const char16_t* key;
    int command;
  } layoutEntries[] = {{u"NewTextObj", 10150}, {u"NewBitmapObj", 10151},  {u"NewVidDspObj", 10152},
                       {u"DeleteObj", 10159},  {u"ObjProperties", 10158}, {u"", 0},
                       {u"Resize", 10153},     {u"AlignVer", 10154},      {u"AlignHor", 10155},
                       {u"MoveBack", 10156},   {u"MoveFront", 10157},     {u"", 0},
                       {u"Clear", 10160},      {u"Properties", 10161}};
  for (const auto& entry : layoutEntries) {
    if (entry.key[0] == 0)
      menus_->AddSeparator(layout);
    else
      AddEntry(layout, u"Layout", entry.key, entry.command);
  }

  windowMenu_ = AddMenu(u"Window");
  AddEntry(windowMenu_, u"Window", u"Cascade", kCascade);
  menus_->AddSeparator(windowMenu_);

  QMenu* help = AddMenu(u"Help");
  AddEntry(help, u"Help", u"About", kAbout);
  UpdateMenus();
}

void TZControl::UpdateMenus() {
  menus_->Update();
}

bool TZControl::IsLocked() const {
  return application_.LockState() == TUserInterfaceLock::kLocked;
}

void TZControl::OnMenuUpdate() {
  if (!IsLocked()) {
    for (int command : {kLock, kNewProfile, kAbout, kNew, kOpen, kOptions, kCascade})
      menus_->Enable(command);
    if (restoreOpen_ && restoreOpen_->Value() == 1) menus_->Enable(kMemorizeLayouts);
    if (ActiveLayoutWindow()) menus_->Enable(kCloseWindow);
    menus_->Enable(kExit);
    for (int n = 0; n < static_cast<int>(windows_.size()) && n < kMaxWindowEntries; ++n)
      menus_->Enable(kFirstLayoutWindow + n);
  }
  if (TZLayoutMDI* active = ActiveLayoutWindow()) active->Command(kMenuUpdate);
}

void TZControl::LayoutWindowsChanged() {
  menus_->RemoveEntries(windowMenu_, kFirstLayoutWindow, kLastLayoutWindow);
  KRegistry* settings = application_.Registry();
  const KString alt = settings ? settings->LookupText(KString("\\Strings\\Menu\\Alt")) : KString();
  const TZLayoutMDI* active = ActiveLayoutWindow();
  for (int n = 0; n < static_cast<int>(windows_.size()) && n < kMaxWindowEntries; ++n) {
    TZLayoutMDI* window = windows_[static_cast<size_t>(n)];
    KString label;
    if (n < 9) label.Append(u'&');
    label.AppendInt(n + 1);
    label.Append(u' ');
    label.Append(window->Title());
    QKeySequence key;
    KString keyText;
    if (n < 9) {
      key = QKeySequence(QKeyCombination(Qt::AltModifier, static_cast<Qt::Key>(Qt::Key_1 + n)));
      keyText = alt;
      keyText.Append(u'+');
      keyText.AppendInt(n + 1);
    }
    QAction* action = menus_->AddEntry(windowMenu_, label, kFirstLayoutWindow + n, key, keyText);
    action->setCheckable(true);
    action->setChecked(window == active);
  }
  UpdateMenus();
}

// Commands.

int TZControl::Command(int command) {
  switch (command) {
    case kExitQuery:
      return ExitQuery() ? 1 : 0;
    case kTick:
      Tick();
      return 0;
    case kMenuUpdate:
      OnMenuUpdate();
      return 1;
    default:
      // The lock refuses every command of the operator's.
      if (IsLocked()) return 0;
      return MenuCommand(command) ? 1 : KZControl::Command(command);
  }
}

bool TZControl::MenuCommand(int command) {
  TZLayoutMDI* active = ActiveLayoutWindow();
  if (command >= kFirstLayoutWindow && command <= kLastLayoutWindow) {
    const size_t index = static_cast<size_t>(command - kFirstLayoutWindow);
    if (index >= windows_.size()) return false;
    ActivateLayoutWindow(windows_[index]);
    return true;
  }
  if ((command >= kFirstEditCommand && command <= kLastEditCommand) ||
      (command >= kFirstLayoutCommand && command <= kLastLayoutCommand) || command == kSave ||
      command == kSaveAs) {
    return active != nullptr && active->Command(command) != 0;
  }
  switch (command) {
    case kNew:
      return NewLayout();
    case kOpen:
      return OpenLayout();
    case kCloseWindow:
      return active != nullptr && CloseLayoutWindow(active);
    case kExit:
      application_.RequestExit();
      return true;
    case kMemorizeLayouts:
      RecordOpenLayouts(false);
      return true;
    case kLock:
      application_.SetLockState(TUserInterfaceLock::kLocked);
      UpdateMenus();
      return IsLocked();
    case kNewProfile:
      AskNewProfile();
      return true;
    case kAbout:
      About();
      return true;
    case kOptions:
      Options();
      return true;
    case kCascade:
      MdiArea()->cascadeSubWindows();
      return true;
    default:
      return false;
  }
}

bool TZControl::QueryClose() {
  application_.RequestExit();
  return false;
}

bool TZControl::ExitQuery() {
  RecordOpenLayouts(true);
  for (TZLayoutMDI* window : windows_)
    if (window->Command(kExitQuery) == 0) return false;
  const std::vector<TZLayoutMDI*> windows = windows_;
  for (TZLayoutMDI* window : windows) {
    ForgetWindow(window);
    delete window;
  }
  LayoutWindowsChanged();
  // No help viewer is ever started, so there is none to close.
  return true;
}

void TZControl::Tick() {
  ++ticks_;
  if (TSources* sources = application_.Sources()) sources->Poll();
  if (TZDisplayWindow* display = application_.DisplayWindow()) {
    display->Command(TZDisplayWindow::kTick);
  }
  if (TZLayoutMDI* active = ActiveLayoutWindow()) active->Command(kTick);
}

// Layout windows.

TZLayoutMDI* TZControl::ActiveLayoutWindow() const {
  // The current window stays current while the frame itself is inactive.
  auto* current = static_cast<TZLayoutMDI*>(MdiArea()->currentSubWindow());
  if (current == nullptr) return nullptr;
  return std::find(windows_.begin(), windows_.end(), current) != windows_.end() ? current : nullptr;
}

void TZControl::ActivateLayoutWindow(TZLayoutMDI* window) {
  if (window == nullptr) return;
  if (window->isMinimized()) window->showNormal();
  MdiArea()->setActiveSubWindow(window);
  window->raise();
  OnSubWindowActivated();
}

void TZControl::OnSubWindowActivated() {
  TZLayoutMDI* active = ActiveLayoutWindow();
  if (active == nullptr || active == lastActivated_.data()) return;
  lastActivated_ = active;
  active->OnActivated();
  LayoutWindowsChanged();
}

TZLayoutMDI* TZControl::AddLayoutWindow(std::unique_ptr<TLayout> layout) {
  layout->ClearModified();
  auto* window = new TZLayoutMDI(application_, *this, std::move(layout));
  window->SetClosedHandler([this](KZMDIChild& child) {
    auto* closed = static_cast<TZLayoutMDI*>(&child);
    ForgetWindow(closed);
    LayoutWindowsChanged();
    // The window is still inside its close; it goes at the next turn.
    QPointer<TZLayoutMDI> doomed(closed);
    QTimer::singleShot(0, this, [doomed] { delete doomed.data(); });
  });
  windows_.push_back(window);
  MdiArea()->addSubWindow(window);
  window->show();
  ActivateLayoutWindow(window);
  LayoutWindowsChanged();
  return window;
}

void TZControl::ForgetWindow(TZLayoutMDI* window) {
  windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
  if (lastActivated_.data() == window) lastActivated_ = nullptr;
}

bool TZControl::CloseLayoutWindow(TZLayoutMDI* window) {
  if (window == nullptr || window->Command(kCloseQuery) == 0) return false;
  ForgetWindow(window);
  delete window;
  LayoutWindowsChanged();
  return true;
}

bool TZControl::NewLayout() {
  auto layout = std::make_unique<TLayout>();
  if (const int code = layout->MakeUntitled(); code != 0) {
    application_.ReportError(code);
    return false;
  }
  AddLayoutWindow(std::move(layout));
  return true;
}

bool TZControl::OpenLayout() {
  TLayoutServices& services = TLayoutServices::Get();
  KZFileDialog::Request request;
  request.mode = KZFileDialog::kOpen;
  request.folder = FolderOf(services.LastUsedPath());
  request.extension = KString(u"tln");
  request.description =
      application_.Text(KString("\\Strings\\FileTypes\\Layout"), KString("Telvane Layout"));
  KString path;
  if (!KZFileDialog::Ask(request, path)) return false;
  services.SetLastUsedPath(path);
  return OpenLayoutFile(path);
}

bool TZControl::OpenLayoutFile(const KString& path) {
  for (TZLayoutMDI* window : windows_) {
    if (window->Layout().File().Path().EqualsNoCase(path.View())) {
      ActivateLayoutWindow(window);
      return true;
    }
  }
  auto layout = std::make_unique<TLayout>();
  KFile file(path);
  if (const int code = layout->Load(file, TLayout::kLoadContent); code != 0) {
    application_.ReportError(code);
    return false;
  }
  AddLayoutWindow(std::move(layout));
  return true;
}

void TZControl::RestoreOpenLayouts() {
  if (!restoreOpen_ || !(restoreOpen_->Value() & 1) || !openLayouts_) return;
  TLayoutServices& services = TLayoutServices::Get();
  services.SetRestoring(true);
  for (int n = 1; n <= kMaxRestored; ++n) {
    KString name;
    name.AppendInt(n);
    const KRString* entry = openLayouts_->LookupString(name);
    if (entry == nullptr) break;
    KString path = entry->Value();
    KFile::NormalizeSeparators(path);
    // A profile written by hand (the demo's) may name layouts beside the program.
    if (!path.IsEmpty() && !KFile::IsAbsolutePath(path)) {
      KString full = application_.Home();
      full.Append(u'/');
      full.Append(path);
      path = full;
    }
    if (!OpenLayoutFile(path)) break;
  }
  services.SetRestoring(false);
}

void TZControl::RecordOpenLayouts(bool atExit) {
  if (!openLayouts_) return;
  if (atExit && !(restoreOpen_ && (restoreOpen_->Value() & 2))) return;
  openLayouts_->Clear();
  int number = 0;
  for (const TZLayoutMDI* window : windows_) {
    // An untitled layout has no file yet; listing it would make every later
    // start stop its restore there with an error.
    if (window->Layout().IsUntitled()) continue;
    KString511 line;
    line.AppendInt(++number);
    line.Append(u":String=");
    line.Append(window->Layout().File().Path());
    openLayouts_->Apply(line);
  }
}

// Source commands.

TZLayoutMDI* TZControl::FindByTitle(const KString& name) const {
  const QList<QMdiSubWindow*> stacked = MdiArea()->subWindowList(QMdiArea::StackingOrder);
  for (auto it = stacked.rbegin(); it != stacked.rend(); ++it) {
    auto* window = static_cast<TZLayoutMDI*>(*it);
    if (std::find(windows_.begin(), windows_.end(), window) == windows_.end()) continue;
    if (window->Title().EqualsNoCase(name.View())) return window;
  }
  return nullptr;
}

void TZControl::ExecuteSourceCommand(const KString& line) {
  // memcmp: a repeated line can be tens of kilobytes, once per bare LF.
  if (line.Length() != lastLine_.Length() ||
      std::memcmp(line.Data(), lastLine_.Data(),
                  sizeof(char16_t) * static_cast<size_t>(line.Length())) != 0) {
    lastLine_ = line;
    lastCommand_ = TSourceCommand(line.View());
  }
  const TSourceCommand& command = lastCommand_;
  // Anything but a valid LayoutDraw or Trigger is ignored without a word.
  if (command.GetKind() == TSourceCommand::kLayoutDraw) LayoutDraw(command);
  if (command.GetKind() == TSourceCommand::kTrigger) Trigger(command);
  if (command.GetKind() != TSourceCommand::kNone && sourceCommandHook_) sourceCommandHook_(command);
}

void TZControl::LayoutDraw(const TSourceCommand& command) {
  TZDisplayWindow* displayWindow = application_.DisplayWindow();
  if (displayWindow == nullptr) return;
  TDisplay& display = displayWindow->Display();
  TZLayoutMDI* target = command.HasName() ? FindByTitle(command.Name()) : nullptr;
  if (target == nullptr && command.HasWindow() && command.Window() >= 1 &&
      command.Window() <= static_cast<int>(windows_.size()) &&
      command.Window() <= kMaxWindowEntries) {
    target = windows_[static_cast<size_t>(command.Window() - 1)];
  }
  TDisplayContent* shown = display.Layout();
  TDisplayContent* layout = target ? &target->Layout() : shown;
  if (layout == nullptr) return;
  const int delayMs =
      command.HasDelay() ? command.Delay() : (layoutDrawDelay_ ? layoutDrawDelay_->Value() : 2000);
  if (command.ClearMode() == TSourceCommand::kClearAlways ||
      (command.ClearMode() == TSourceCommand::kClearIfHidden && layout != shown)) {
    layout->ClearObjectValues();
  }
  display.SetLayout(layout, delayMs);
  if (target != nullptr) {
    // A console's bare LFs can repeat this thousands of times a second.
    KString note(u"LayoutDraw: ");
    note.Append(target->Title());
    const int64_t repeats = logThrottle_.Suppressed(note);
    if (!logThrottle_.Allow(note, KWaitSet::NowMs())) return;
    if (repeats > 0) {
      note.Append(u" (");
      note.AppendInt(repeats);
      note.Append(u" repeats not logged)");
    }
    KLog::Log(note, KLog::kMessage);
  }
}

void TZControl::Trigger(const TSourceCommand& command) {
  TZDisplayWindow* displayWindow = application_.DisplayWindow();
  if (displayWindow == nullptr) return;
  auto* layout = dynamic_cast<TLayout*>(displayWindow->Display().Layout());
  if (layout == nullptr || !command.HasName() || command.Name().IsEmpty()) return;
  int32_t action = TTrigger::kOn;
  if (command.TriggerAction() == TSourceCommand::kActionOff) action = TTrigger::kOff;
  if (command.TriggerAction() == TSourceCommand::kActionToggle) action = TTrigger::kToggle;
  layout->OnTrigger(TTrigger(command.Name(), action));
}

// Dialogs.

void TZControl::About() {
  KString text = application_.Text(KString("\\Strings\\About\\Version"), KString("Version:"));
  text.Append(u"  ");
  text.AppendUtf8(KProduct::kVersion);
  text.Append(u"\\n");
  text.Append(application_.Text(KString("\\Strings\\About\\Released"), KString("Released:")));
  text.Append(u"  ");
  text.AppendUtf8(KProduct::kReleaseDate);
  text.Append(u"\\nQuorvel\\nLive results display for sports venues");
  application_.ShowMessageWindow(
      application_.Text(KString("\\Strings\\About\\Title"), KString("About Telvane")), text,
      KZMessageRules::kOk, KZMessageRules::kOk, KZMessageRules::kInformation);
}

void TZControl::Options() {
  // FIXME: the options dialog (and, with Ctrl and Shift held, the Other
  // Settings dialog) arrives with its issue.
  application_.ShowMessage(
      application_.Text(KString("\\Strings\\Options\\Title"), KString("Options")),
      KString("The options dialog is not available in this version."));
}

void TZControl::AskNewProfile() {
  KZInputDialog::Request request;
  request.title = application_.Text(KString("\\Strings\\Profile\\NewProfile\\Title"),
                                    KString("Create Profile"));
  request.label =
      application_.Text(KString("\\Strings\\Profile\\NewProfile\\Name"), KString("Name:"));
  request.maxLength = 31;
  request.okLabel = application_.Text(KString("\\Strings\\Dialog\\Ok"), KString("Ok"));
  request.cancelLabel = application_.Text(KString("\\Strings\\Dialog\\Cancel"), KString("Cancel"));
  KString name;
  if (KZInputDialog::Ask(request, name)) CreateProfile(name);
}

bool TZControl::CreateProfile(const KString& name) {
  KFile standard(application_.ProgramFile().Path());
  standard.SetExtension(KString("cfg"));
  if (KProfile::Create(standard.Path(), name)) return true;
  QApplication::beep();
  return false;
}
