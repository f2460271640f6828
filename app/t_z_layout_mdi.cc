#include "app/t_z_layout_mdi.h"

#include <QLabel>

#include "app/t_user_interface_lock.h"
#include "app/t_z_application.h"
#include "app/t_z_control.h"
#include "app/t_z_display_window.h"
#include "config/k_registry.h"
#include "gui/k_z_menu_bar.h"
#include "gui/k_z_message_rules.h"
#include "layout/t_layout.h"

namespace {

QString ToQt(const KString& text) {
  return QString::fromUtf16(text.Data(), static_cast<qsizetype>(text.Length()));
}

constexpr int kCancelled = 1004;

}  // namespace

TZLayoutMDI::TZLayoutMDI(TZApplication& application, TZControl& control,
                         std::unique_ptr<TLayout> layout)
    : application_(application), control_(control), layout_(std::move(layout)) {
  view_ = new QLabel(this);
  view_->setAlignment(Qt::AlignCenter);
  setWidget(view_);
  // The client area is the display's layout area at the editor's scale.
  if (TZDisplayWindow* display = application_.DisplayWindow()) {
    const KPoint size = display->Display().Geometry().ScreenSize();
    KRegistry* settings = application_.Registry();
    int numerator = settings ? settings->LookupInt(KString("\\Layout\\ScaleNumer"), 3) : 3;
    int denominator = settings ? settings->LookupInt(KString("\\Layout\\ScaleDenom"), 4) : 4;
    if (numerator <= 0 || denominator <= 0) numerator = denominator = 1;
    const int width = static_cast<int>(static_cast<long long>(size.x) * numerator / denominator);
    const int height = static_cast<int>(static_cast<long long>(size.y) * numerator / denominator);
    if (width > 0 && height > 0)
      view_->setMinimumSize(std::min(width, 4096), std::min(height, 4096));
  }
  UpdateTitle();
}

TZLayoutMDI::~TZLayoutMDI() = default;

void TZLayoutMDI::UpdateTitle() {
  KString name;
  layout_->File().Name(name, false);
  title_ = name;
  setWindowTitle(ToQt(title_));
  UpdateView();
}

void TZLayoutMDI::UpdateView() {
  // FIXME: the editing canvas with one box per object replaces this label.
  view_->setText(QStringLiteral("%1\n%2 objects").arg(ToQt(title_)).arg(layout_->ObjectCount()));
}

int TZLayoutMDI::Command(int command) {
  const bool locked = application_.LockState() == TUserInterfaceLock::kLocked;
  switch (command) {
    case kSave:
    case kSaveAs:
      if (locked) return 0;
      return Save(command == kSaveAs) ? 1 : 0;
    case kCloseQuery:
      return Prompt(false) ? 1 : 0;
    case kExitQuery:
      return Prompt(true) ? 1 : 0;
    case kMenuUpdate:
      if (!locked) {
        control_.Menus().Enable(kSave);
        control_.Menus().Enable(kSaveAs);
      }
      // FIXME: the canvas enables its Edit and Layout entries.
      return 1;
    case kTick:
      // FIXME: the canvas's undo bookkeeping runs here.
      return 1;
    default:
      return KZMDIChild::Command(command);
  }
}

bool TZLayoutMDI::QueryClose() {
  return Command(kCloseQuery) != 0;
}

void TZLayoutMDI::OnActivated() {
  if (application_.LockState() == TUserInterfaceLock::kLocked) return;
  if (TZDisplayWindow* display = application_.DisplayWindow())
    display->Display().SetLayout(layout_.get(), -1);
}

bool TZLayoutMDI::Save(bool askForName) {
  const int code = layout_->Save(TLayout::kSave | (askForName ? TLayout::kSaveAs : 0));
  if (code != 0) {
    if (code != kCancelled) application_.ReportError(code);
    return false;
  }
  layout_->ClearModified();
  UpdateTitle();
  control_.LayoutWindowsChanged();
  return true;
}

bool TZLayoutMDI::Prompt(bool exiting) {
  if (application_.LockState() == TUserInterfaceLock::kLocked) return false;
  if (!layout_->IsModified()) return true;
  const KString title =
      application_.Text(KString(exiting ? "\\Strings\\Layout\\Close\\ExitTitle"
                                        : "\\Strings\\Layout\\Close\\CloseTitle"),
                        KString(exiting ? "Exit Telvane" : "Close Layout Window"));
  KString text(u"'");
  text.Append(title_);
  text.Append(u"' ");
  text.Append(application_.Text(KString(exiting ? "\\Strings\\Layout\\Close\\ExitText"
                                                : "\\Strings\\Layout\\Close\\CloseText"),
                                KString(exiting ? "has changed. Save before exiting?"
                                                : "has changed. Save before closing?")));
  const int answer = application_.AskMessageWindow(
      title, text, KZMessageRules::kYes | KZMessageRules::kNo | KZMessageRules::kCancel,
      KZMessageRules::kYes, KZMessageRules::kQuestion);
  if (answer == KZMessageRules::kYes) return Save(false);
  return answer == KZMessageRules::kNo;
}
