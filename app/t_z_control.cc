#include "app/t_z_control.h"

#include <QGuiApplication>
#include <QScreen>
#include <cstring>

#include "app/t_main_window_geometry.h"
#include "app/t_z_application.h"
#include "base/k_wait_set.h"
#include "config/k_registry.h"
#include "ports/k_log.h"
#include "sources/t_sources.h"

namespace {

QString ToQt(const KString& text) {
  return QString::fromUtf16(text.Data(), static_cast<qsizetype>(text.Length()));
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
}

TZControl::~TZControl() {
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

void TZControl::RestoreOpenLayouts() {
  // FIXME: reopen the layouts of \Layout\Open\ once layout files and layout
  // windows exist.
}

int TZControl::Command(int command) {
  switch (command) {
    case TZApplication::kExitQuery:
      return ExitQuery() ? 1 : 0;
    case TZApplication::kTick:
      Tick();
      return 0;
    default:
      return KZControl::Command(command);
  }
}

bool TZControl::QueryClose() {
  application_.RequestExit();
  return false;
}

bool TZControl::ExitQuery() {
  // FIXME: record the open layouts and ask every layout window about unsaved
  // changes once layout windows exist; with none open the exit is agreed.
  return true;
}

void TZControl::Tick() {
  ++ticks_;
  if (TSources* sources = application_.Sources()) sources->Poll();
  // FIXME: tick the display window and the active layout window as each arrives.
}

namespace {

// The log line of a command no layout can take yet: what was asked, in the
// command's own words.
KString DescribeCommand(const TSourceCommand& command) {
  KString text(command.GetKind() == TSourceCommand::kLayoutDraw ? u"LayoutDraw" : u"Trigger");
  if (command.HasName()) {
    text.Append(u" Name=");
    text.Append(command.Name());
  }
  if (command.GetKind() == TSourceCommand::kLayoutDraw) {
    if (command.HasWindow()) {
      text.Append(u" Window=");
      text.AppendInt(command.Window());
    }
    if (command.HasDelay()) {
      text.Append(u" Delay=");
      text.AppendInt(command.Delay());
    }
    text.Append(u" Clear=");
    text.AppendInt(command.ClearMode());
  } else {
    static constexpr const char16_t* kActions[] = {u"On", u"Off", u"Toggle"};
    text.Append(u" Action=");
    text.Append(kActions[command.TriggerAction()]);
  }
  return text;
}

}  // namespace

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
  if (command.GetKind() == TSourceCommand::kNone) return;
  if (sourceCommandHook_) {
    sourceCommandHook_(command);
    return;
  }
  // FIXME: LayoutDraw and Trigger act on the displayed layout once layouts
  // and the display window exist.
  KString text = DescribeCommand(command);
  const int64_t repeats = logThrottle_.Suppressed(text);
  if (!logThrottle_.Allow(text, KWaitSet::NowMs())) return;
  if (repeats > 0) {
    text.Append(u" (");
    text.AppendInt(static_cast<int>(repeats));
    text.Append(u" repeats not logged)");
  }
  KLog::Log(text, KLog::kMessage);
}
