#include "gui/k_z_menu_bar.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <cstdlib>
#include <memory>
#include <vector>

#include "config/k_default_settings.h"
#include "config/k_registry.h"

namespace {

QKeySequence Key(const char* text) {
  return KZMenuBar::KeyOf(KString(text));
}

QKeySequence Combo(Qt::KeyboardModifiers modifiers, Qt::Key key) {
  return QKeySequence(QKeyCombination(modifiers, key));
}

TEST(KZMenuBarKeys, MenuTextsBecomeShortcutsThatNeedAModifier) {
  // A key alone means Ctrl with it; letters match whatever their case.
  EXPECT_EQ(Key("&New,N"), Combo(Qt::ControlModifier, Qt::Key_N));
  EXPECT_EQ(Key("&New,n"), Combo(Qt::ControlModifier, Qt::Key_N));
  EXPECT_EQ(Key("&Clear,A+C"), Combo(Qt::AltModifier, Qt::Key_C));
  EXPECT_EQ(Key("Next,S+F5"), Combo(Qt::ShiftModifier, Qt::Key_F5));
  EXPECT_EQ(Key("Go,A+C+S+PgDn"),
            Combo(Qt::AltModifier | Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_PageDown));
  EXPECT_EQ(Key("Back,ArLt"), Combo(Qt::ControlModifier, Qt::Key_Left));
  EXPECT_EQ(Key("Wipe,C+Del"), Combo(Qt::ControlModifier, Qt::Key_Delete));
  EXPECT_EQ(Key("Enter,Enter"), Combo(Qt::ControlModifier, Qt::Key_Return));
  // "S++": Shift and the key "+".
  EXPECT_EQ(Key("Grow,S++"), Combo(Qt::ShiftModifier, Qt::Key_Plus));
  // No shortcut, an unknown name, or a function key beyond the keyboard.
  EXPECT_TRUE(Key("Save &as...").isEmpty());
  EXPECT_TRUE(Key("Odd,Spc").isEmpty());
  EXPECT_TRUE(Key("Far,F99").isEmpty());
  EXPECT_TRUE(Key("Huge,F99999999999999999999").isEmpty());
  EXPECT_TRUE(Key("Zero,F0").isEmpty());
}

class KZMenuBarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "gui_tests";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
    settings_ = std::make_unique<KRegistry>(KDefaultSettings::Table());
    bar_ = std::make_unique<QMenuBar>();
    menus_ = std::make_unique<KZMenuBar>(*bar_, *settings_);
  }
  void TearDown() override {
    menus_.reset();
    bar_.reset();
    settings_.reset();
    app_.reset();
  }

  std::unique_ptr<QApplication> app_;
  std::unique_ptr<KRegistry> settings_;
  std::unique_ptr<QMenuBar> bar_;
  std::unique_ptr<KZMenuBar> menus_;
};

TEST_F(KZMenuBarTest, EntriesShowTheirShortcutAndActOnlyWhenEnabled) {
  QMenu* file = menus_->AddMenu(KString("&File"));
  QAction* open = menus_->AddEntry(file, KString("&Open...,O"), 10002);
  menus_->AddSeparator(file);
  menus_->AddEntry(file, KString("Exit"), 10006);
  EXPECT_EQ(bar_->actions().at(0)->text().toStdString(), "&File");
  EXPECT_EQ(open->text().toStdString(), "&Open...\tCtrl+O");
  EXPECT_EQ(open->shortcut(), Combo(Qt::ControlModifier, Qt::Key_O));

  std::vector<int> sent;
  menus_->SetCommandHandler([&](int command) { sent.push_back(command); });
  int updates = 0;
  menus_->SetUpdateHandler([&] {
    ++updates;
    menus_->Enable(10006);
  });
  menus_->Update();
  EXPECT_EQ(updates, 1);
  EXPECT_FALSE(menus_->IsEnabled(10002));
  EXPECT_TRUE(menus_->IsEnabled(10006));
  EXPECT_FALSE(menus_->Trigger(10002));
  EXPECT_TRUE(menus_->Trigger(10006));
  EXPECT_FALSE(menus_->Trigger(12345));
  EXPECT_EQ(sent, std::vector<int>{10006});
  // Opening the pull-down runs the update first.
  emit file->aboutToShow();
  EXPECT_EQ(updates, 2);
}

TEST_F(KZMenuBarTest, ARangeOfEntriesIsReplacedAsAWhole) {
  QMenu* window = menus_->AddMenu(KString("&Window"));
  menus_->AddEntry(window, KString("&Cascade"), -508);
  for (int n = 0; n < 3; ++n)
    menus_->AddEntry(window, KString("entry"), 10035 + n, QKeySequence(), KString());
  menus_->RemoveEntries(window, 10035, 10134);
  EXPECT_EQ(window->actions().size(), 1);
  EXPECT_EQ(menus_->Find(10035), nullptr);
  EXPECT_NE(menus_->Find(-508), nullptr);
  QAction* first = menus_->AddEntry(window, KString("&1 Results"), 10035,
                                    Combo(Qt::AltModifier, Qt::Key_1), KString("Alt+1"));
  EXPECT_EQ(first->text().toStdString(), "&1 Results\tAlt+1");
}

}  // namespace
