#include "gui/k_z_menu_bar.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <algorithm>
#include <string_view>

#include "config/k_menu_text.h"

namespace {

QString ToQt(const KString& text) {
  return QString::fromUtf16(text.Data(), static_cast<qsizetype>(text.Length()));
}

struct NamedKey {
  std::u16string_view name;
  Qt::Key key;
};

constexpr NamedKey kNamedKeys[] = {
    {u"PgUp", Qt::Key_PageUp},    {u"PgDn", Qt::Key_PageDown}, {u"End", Qt::Key_End},
    {u"Home", Qt::Key_Home},      {u"ArLt", Qt::Key_Left},     {u"ArUp", Qt::Key_Up},
    {u"ArRt", Qt::Key_Right},     {u"ArDn", Qt::Key_Down},     {u"Ins", Qt::Key_Insert},
    {u"Del", Qt::Key_Delete},     {u"Tab", Qt::Key_Tab},       {u"Esc", Qt::Key_Escape},
    {u"BkSp", Qt::Key_Backspace}, {u"Enter", Qt::Key_Return}};

}  // namespace

KZMenuBar::KZMenuBar(QMenuBar& bar, KRGroup& root) : bar_(bar), root_(root) {}

KZMenuBar::~KZMenuBar() = default;

QMenu* KZMenuBar::AddMenu(const KString& title) {
  QMenu* menu = bar_.addMenu(ToQt(title));
  QObject::connect(menu, &QMenu::aboutToShow, [this] { Update(); });
  return menu;
}

QKeySequence KZMenuBar::KeyOf(const KString& text) {
  const KMenuText::Shortcut shortcut = KMenuText::ParseShortcut(text);
  if (!shortcut.valid || !(shortcut.alt || shortcut.ctrl || shortcut.shift)) return {};
  int key = 0;
  if (shortcut.IsFunctionKey()) {
    int number = 0;
    for (int i = 1; i < shortcut.key.Length(); ++i) {
      number = number * 10 + (shortcut.key.At(i) - u'0');
      if (number > 35) return {};
    }
    if (number < 1) return {};
    key = Qt::Key_F1 + number - 1;
  } else {
    for (const NamedKey& named : kNamedKeys)
      if (shortcut.key.View() == named.name) key = named.key;
    if (key == 0 && shortcut.key.Length() == 1) key = QChar(shortcut.key.At(0)).toUpper().unicode();
  }
  if (key == 0) return {};
  Qt::KeyboardModifiers modifiers;
  if (shortcut.alt) modifiers |= Qt::AltModifier;
  if (shortcut.ctrl) modifiers |= Qt::ControlModifier;
  if (shortcut.shift) modifiers |= Qt::ShiftModifier;
  return QKeySequence(QKeyCombination(modifiers, static_cast<Qt::Key>(key)));
}

QAction* KZMenuBar::AddEntry(QMenu* menu, const KString& text, int command) {
  // The displayed text carries its own spelling of the shortcut after the
  // tab, so Qt shows that and not its own.
  QAction* action = menu->addAction(ToQt(KMenuText::Display(text, root_)));
  action->setShortcut(KeyOf(text));
  Connect(action, command);
  return action;
}

QAction* KZMenuBar::AddEntry(QMenu* menu, const KString& label, int command,
                             const QKeySequence& key, const KString& keyText) {
  QString shown = ToQt(label);
  if (!keyText.IsEmpty()) shown += QLatin1Char('\t') + ToQt(keyText);
  QAction* action = menu->addAction(shown);
  action->setShortcut(key);
  Connect(action, command);
  return action;
}

void KZMenuBar::Connect(QAction* action, int command) {
  // Shortcuts work while the main window or any of its children has focus.
  action->setShortcutContext(Qt::WindowShortcut);
  entries_.push_back({action, command});
  QObject::connect(action, &QAction::triggered, [this, command] {
    if (commandHandler_) commandHandler_(command);
  });
}

void KZMenuBar::AddSeparator(QMenu* menu) {
  menu->addSeparator();
}

void KZMenuBar::RemoveEntries(QMenu* menu, int first, int last) {
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (it->command >= first && it->command <= last && menu->actions().contains(it->action)) {
      menu->removeAction(it->action);
      delete it->action;
      it = entries_.erase(it);
    } else {
      ++it;
    }
  }
}

QAction* KZMenuBar::Find(int command) const {
  const auto found = std::find_if(entries_.begin(), entries_.end(), [command](const Entry& entry) {
    return entry.command == command;
  });
  return found == entries_.end() ? nullptr : found->action;
}

bool KZMenuBar::IsEnabled(int command) const {
  const QAction* action = Find(command);
  return action != nullptr && action->isEnabled();
}

void KZMenuBar::Enable(int command, bool on) {
  if (QAction* action = Find(command)) action->setEnabled(on);
}

void KZMenuBar::DisableAll() {
  for (const Entry& entry : entries_) entry.action->setEnabled(false);
}

void KZMenuBar::Update() {
  DisableAll();
  if (updateHandler_) updateHandler_();
}

bool KZMenuBar::Trigger(int command) {
  QAction* action = Find(command);
  if (action == nullptr || !action->isEnabled()) return false;
  action->trigger();
  return true;
}
