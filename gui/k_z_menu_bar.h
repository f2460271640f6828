#pragma once

#include <QKeySequence>
#include <functional>
#include <vector>

#include "base/k_string.h"

class KRGroup;
class QAction;
class QMenu;
class QMenuBar;

// The program's menu bar: pull-downs whose entries send numbered commands.
// Entry texts use the settings' menu-text form ("&New,N" is Ctrl+N). Before
// a pull-down opens every entry is disabled and the update function runs,
// so whoever owns a command enables it again.
class KZMenuBar {
 public:
  using CommandHandler = std::function<void(int command)>;
  using UpdateHandler = std::function<void()>;

  // The bar belongs to `bar`'s owner; `root` gives the shortcut spellings.
  KZMenuBar(QMenuBar& bar, KRGroup& root);
  KZMenuBar(const KZMenuBar&) = delete;
  KZMenuBar& operator=(const KZMenuBar&) = delete;
  ~KZMenuBar();

  void SetCommandHandler(CommandHandler handler) { commandHandler_ = std::move(handler); }
  void SetUpdateHandler(UpdateHandler handler) { updateHandler_ = std::move(handler); }

  QMenu* AddMenu(const KString& title);
  // An entry from a menu text; its shortcut acts only while it is enabled.
  QAction* AddEntry(QMenu* menu, const KString& text, int command);
  // An entry with a plain label and an explicit shortcut (empty: none).
  QAction* AddEntry(QMenu* menu, const KString& label, int command, const QKeySequence& key,
                    const KString& keyText);
  void AddSeparator(QMenu* menu);
  // Removes the entries of `menu` with commands in [first, last].
  void RemoveEntries(QMenu* menu, int first, int last);

  QAction* Find(int command) const;
  bool IsEnabled(int command) const;
  void Enable(int command, bool on = true);
  void DisableAll();
  // Disables everything and runs the update function.
  void Update();
  // What a click on the entry does, if it is enabled (tests and scripts).
  bool Trigger(int command);

  // The key of a menu text's shortcut; empty when it has none or would
  // act without Alt, Ctrl or Shift.
  static QKeySequence KeyOf(const KString& text);

 private:
  struct Entry {
    QAction* action;
    int command;
  };
  void Connect(QAction* action, int command);

  QMenuBar& bar_;
  KRGroup& root_;
  std::vector<Entry> entries_;
  CommandHandler commandHandler_;
  UpdateHandler updateHandler_;
};
