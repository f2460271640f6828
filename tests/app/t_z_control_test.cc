#include "app/t_z_control.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <filesystem>
#include <string>
#include <vector>

#include "app/t_copy_counter.h"
#include "app/t_user_interface_lock.h"
#include "app/t_z_display_window.h"
#include "app/t_z_layout_mdi.h"
#include "app_run.h"
#include "config/k_r_string.h"
#include "config/k_registry.h"
#include "gui/k_z_file_dialog.h"
#include "gui/k_z_input_dialog.h"
#include "gui/k_z_menu_bar.h"
#include "layout/t_layout.h"
#include "layout/t_layout_services.h"
#include "layout/t_text_object.h"
#include "sources/t_field_string_processor.h"
#include "sources/t_fields.h"
#include "test_home.h"

namespace {

namespace fs = std::filesystem;

constexpr int kYes = 32;
constexpr int kNo = 64;
constexpr int kCancel = 128;

// A layout file with a dynamic text bound to "Name" and a static text shown
// only while the trigger "Go" is on.
void WriteLayout(const std::string& path) {
  fs::create_directories(fs::path(path).parent_path());
  TLayout layout;
  auto* value = static_cast<TTextObject*>(layout.NewObject(TLayoutServices::kText));
  value->SetField(KString("Name"));
  auto* go = static_cast<TTextObject*>(layout.NewObject(TLayoutServices::kText));
  go->SetDynamic(false);
  go->SetText(KString("GO"));
  go->SetTrigger(KString("Go"));
  ASSERT_EQ(layout.SaveTo(KString(path.c_str())), 0);
}

std::string Profile(int restoreOpen, const std::vector<std::string>& open,
                    const std::string& more = "") {
  std::string text =
      "Registry Version: 1.00\n\\Layout\\RestoreOpen:Int=" + std::to_string(restoreOpen) +
      "\n\\Layout\\Open\\:=\n";
  for (size_t i = 0; i < open.size(); ++i)
    text += "\\Layout\\Open\\" + std::to_string(i + 1) + ":String=" + open[i] + "\n";
  return text + more;
}

std::vector<std::string> Titles(TZApplication& a) {
  std::vector<std::string> titles;
  for (TZLayoutMDI* window : a.Control()->LayoutWindows())
    titles.push_back(window->Title().ToUtf8());
  return titles;
}

TDisplay& Display(TZApplication& a) {
  return a.DisplayWindow()->Display();
}

TLayout* Window(TZApplication& a, size_t index) {
  const auto& windows = a.Control()->LayoutWindows();
  return index < windows.size() ? &windows[index]->Layout() : nullptr;
}

TTextObject* Object(TLayout* layout, int index) {
  TLayoutObject* object = layout->NextObject(nullptr);
  for (int i = 0; i < index && object; ++i) object = layout->NextObject(object);
  return static_cast<TTextObject*>(object);
}

// A completed packet with a Name field.
void Feed(TLayout* layout, const char* name) {
  TFieldStringProcessor processor;
  TFields packet(nullptr, processor, 64);
  packet.AddField(KString("Name")).SetMatch(KString(name).View());
  layout->OnPacket(packet, 0);
}

void Execute(TZApplication& a, const char* line) {
  a.Control()->ExecuteSourceCommand(KString(line));
}

std::string ProfileText(const TestHome& home) {
  return TestHome::ReadProfileText(home.InHome("telvane.cfg"));
}

// The three layouts A, B and C beside the program, reopened at start-up.
class ControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The untitled counter and the last folder are the run's; each test is one run.
    TLayoutServices::Get().Reset();
    for (const char* name : {"A", "B", "C"}) WriteLayout(home.InHome(std::string(name) + ".tln"));
  }
  void TearDown() override {
    KZFileDialog::SetResponder({});
    KZInputDialog::SetResponder({});
  }
  void WriteProfile(int restoreOpen, const std::string& more = "") {
    TestHome::WriteFile(home.InHome("telvane.cfg"),
                        Profile(restoreOpen, {"A.tln", home.InHome("B.tln"), "C.tln"}, more));
  }

  TestHome home;
};

TEST_F(ControlTest, MenuBarFollowsTheCatalogueAndTheEnablingRules) {
  WriteProfile(1);
  AppRun run({"--home", home.Home()});
  std::vector<std::string> titles, file, window;
  bool lockEntry = true;
  std::vector<int> enabledLocked;
  run.At(20, [&](TZApplication& a) {
    TZControl& control = *a.Control();
    for (QAction* menu : control.menuBar()->actions()) titles.push_back(menu->text().toStdString());
    QMenu* fileMenu = control.menuBar()->actions().at(0)->menu();
    for (QAction* entry : fileMenu->actions()) file.push_back(entry->text().toStdString());
    lockEntry = control.Menus().Find(TZControl::kLock) != nullptr;
    QMenu* windowMenu = control.menuBar()->actions().at(3)->menu();
    for (QAction* entry : windowMenu->actions())
      window.push_back(entry->text().toStdString() + (entry->isChecked() ? " *" : ""));
    EXPECT_EQ(control.Menus().Find(10035)->shortcut(),
              QKeySequence(QKeyCombination(Qt::AltModifier, Qt::Key_1)));

    KZMenuBar& menus = control.Menus();
    control.UpdateMenus();
    for (int command : {10001, 10002, -501, 10004, 10005, 10137, 10139, 10140, 10143, 10006, -508,
                        10035, 10036, 10037})
      EXPECT_TRUE(menus.IsEnabled(command)) << command;
    // Editing belongs to the canvas, which is not there; Clear never is.
    for (int command : {10007, 10012, 10150, 10161})
      EXPECT_FALSE(menus.IsEnabled(command)) << command;

    // The second entry brings the second window to the front and on display.
    EXPECT_TRUE(menus.Trigger(10036));
    EXPECT_EQ(control.ActiveLayoutWindow()->Title().ToUtf8(), "B");
    EXPECT_EQ(Display(a).Layout(), Window(a, 1));
  });
  run.RunAndExitAfter(40);
  EXPECT_EQ(titles, (std::vector<std::string>{"&File", "&Edit", "&Layout", "&Window", "&Help"}));
  EXPECT_EQ(file,
            (std::vector<std::string>{"&New\tCtrl+N", "&Open...\tCtrl+O", "Close &window\tCtrl+W",
                                      "&Save\tCtrl+S", "Save &as...", "", "&Memorize layouts",
                                      "Create profile...", "Op&tions...", "", "Exit"}));
  EXPECT_FALSE(lockEntry) << "no unlock word, no File|Lock";
  EXPECT_EQ(window, (std::vector<std::string>{"&Cascade", "", "&1 A\tAlt+1", "&2 B\tAlt+2",
                                              "&3 C\tAlt+3 *"}));
  EXPECT_TRUE(run.alerts.empty());
}

TEST_F(ControlTest, ShortcutsActOnlyWhileTheirEntryIsEnabled) {
  WriteProfile(1, "\\General\\Unlock:String=go\n");
  AppRun run({"--home", home.Home()});
  std::vector<std::string> before, afterNew, whileLocked, afterAlt;
  run.At(20, [&](TZApplication& a) {
    TZControl& control = *a.Control();
    control.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&control));
    QWidget* focus = control.focusWidget() ? control.focusWidget() : &control;
    before = Titles(a);
    // The menu update runs before the key is matched, so Ctrl+N finds its
    // entry enabled although no menu was opened.
    control.Menus().DisableAll();
    QTest::keyClick(focus, Qt::Key_N, Qt::ControlModifier);
    afterNew = Titles(a);
    control.Command(TZControl::kLock);
    QTest::keyClick(focus, Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(focus, Qt::Key_2, Qt::AltModifier);
    whileLocked = Titles(a);
    QTest::keyClicks(focus, QStringLiteral("go"));
    QTest::keyClick(focus, Qt::Key_2, Qt::AltModifier);
    afterAlt.push_back(control.ActiveLayoutWindow()->Title().ToUtf8());
    // A plain key is no shortcut.
    QTest::keyClick(focus, Qt::Key_N);
    afterAlt.push_back(std::to_string(Titles(a).size()));
  });
  run.RunAndExitAfter(60);
  EXPECT_EQ(before, (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(afterNew, (std::vector<std::string>{"A", "B", "C", "Untitled 1"}));
  EXPECT_EQ(whileLocked, afterNew);
  EXPECT_EQ(afterAlt, (std::vector<std::string>{"B", "4"}));
}

TEST_F(ControlTest, MemorizeIsOfferedOnlyForMemorizedLists) {
  WriteProfile(3);
  AppRun run({"--home", home.Home()});
  bool memorize = true, closeWindow = false, closeWithout = true, save = true;
  run.At(20, [&](TZApplication& a) {
    a.Control()->UpdateMenus();
    memorize = a.Control()->Menus().IsEnabled(TZControl::kMemorizeLayouts);
    closeWindow = a.Control()->Menus().IsEnabled(TZControl::kCloseWindow);
    while (!a.Control()->LayoutWindows().empty())
      a.Control()->CloseLayoutWindow(a.Control()->LayoutWindows().back());
    a.Control()->UpdateMenus();
    closeWithout = a.Control()->Menus().IsEnabled(TZControl::kCloseWindow);
    save = a.Control()->Menus().IsEnabled(TZControl::kSave);
  });
  run.RunAndExitAfter(40);
  EXPECT_FALSE(memorize);
  EXPECT_TRUE(closeWindow);
  EXPECT_FALSE(closeWithout);
  EXPECT_FALSE(save);
}

TEST_F(ControlTest, LayoutDrawPicksTheWindowWaitsAndClears) {
  WriteProfile(1, "\\Sources\\LayoutDrawDelay:Int=150\n");
  AppRun run({"--home", home.Home()});
  bool pendingSoon = false;
  run.At(20, [&](TZApplication& a) {
    ASSERT_EQ(Titles(a), (std::vector<std::string>{"A", "B", "C"}));
    // The last window opened is current and on display.
    ASSERT_EQ(Display(a).Layout(), Window(a, 2));
    Execute(a, "Command=layoutdraw;Window=2");
    EXPECT_EQ(Display(a).Layout(), Window(a, 1));
    pendingSoon = Display(a).RedrawPending();
  });
  bool pendingLate = true;
  run.At(250, [&](TZApplication& a) {
    pendingLate = Display(a).RedrawPending();

    // Names compare ignoring case and win over the window number.
    Feed(Window(a, 0), "Ann");
    Execute(a, "Command=LayoutDraw;Name=a;Window=3;Delay=0;Clear=1");
    EXPECT_EQ(Display(a).Layout(), Window(a, 0));
    EXPECT_EQ(Object(Window(a, 0), 0)->Value().ToUtf8(), "") << "cleared: it was not on display";

    // Clear=1 leaves the layout already shown alone; Clear=2 empties it.
    Feed(Window(a, 0), "Bob");
    Execute(a, "Command=LayoutDraw;Name=A;Clear=1");
    EXPECT_EQ(Object(Window(a, 0), 0)->Value().ToUtf8(), "Bob");
    // No such name and no number: the layout on display, with the clear rule.
    Execute(a, "Command=LayoutDraw;Name=Nowhere;Delay=0;Clear=2");
    EXPECT_EQ(Display(a).Layout(), Window(a, 0));
    EXPECT_EQ(Object(Window(a, 0), 0)->Value().ToUtf8(), "");
    // A number past the list falls back the same way.
    Execute(a, "Command=LayoutDraw;Window=9;Delay=0");
    EXPECT_EQ(Display(a).Layout(), Window(a, 0));
    Execute(a, "Command=LayoutDraw;Window=3;Delay=x;Clear=0");
    EXPECT_EQ(Display(a).Layout(), Window(a, 2));
    EXPECT_TRUE(Display(a).RedrawPending()) << "an unreadable delay takes the setting's";

    // The display window's own window-number commands reach the same list.
    a.DisplayWindow()->Command(10035 + 1);
    EXPECT_EQ(Display(a).Layout(), Window(a, 1));
    a.DisplayWindow()->Command(10035 + 3);
    EXPECT_EQ(Display(a).Layout(), Window(a, 1));

    // With nothing on display and no window found nothing happens.
    Display(a).SetLayout(nullptr, -1);
    Execute(a, "Command=LayoutDraw;Name=Nowhere;Clear=2");
    EXPECT_EQ(Display(a).Layout(), nullptr);
    Execute(a, "Command=Other;Name=A");
    EXPECT_EQ(Display(a).Layout(), nullptr);
  });
  run.RunAndExitAfter(270);
  EXPECT_TRUE(pendingSoon) << "the old picture stays for the delay";
  EXPECT_FALSE(pendingLate) << "drawn once the delay expired";
  EXPECT_TRUE(run.alerts.empty());
}

TEST_F(ControlTest, TriggersReachTheLayoutOnDisplayOnly) {
  WriteProfile(1);
  AppRun run({"--home", home.Home()});
  run.At(20, [&](TZApplication& a) {
    TLayout* shown = Window(a, 2);
    TLayout* other = Window(a, 0);
    ASSERT_EQ(Display(a).Layout(), shown);
    TTextObject* go = Object(shown, 1);
    ASSERT_FALSE(go->IsVisible());
    Execute(a, "Command=Trigger;Name=Go;Action=toggle");
    EXPECT_TRUE(go->IsVisible());
    EXPECT_FALSE(Object(other, 1)->IsVisible()) << "only the displayed layout";
    Execute(a, "Command=Trigger;Name=GO;Action=Toggle");
    EXPECT_FALSE(go->IsVisible());
    // Without a name nothing happens; an unknown action means on.
    Execute(a, "Command=Trigger;Action=On");
    Execute(a, "Command=Trigger;Name=;Action=On");
    EXPECT_FALSE(go->IsVisible());
    Execute(a, "Command=Trigger;Name=Go;Action=Sideways");
    EXPECT_TRUE(go->IsVisible());
    Execute(a, "Command=Trigger;Name=Go;Action=off");
    EXPECT_FALSE(go->IsVisible());
    EXPECT_FALSE(shown->IsModified()) << "firing a trigger is no edit";
    // The name is cut to 15 characters before it is compared.
    go->SetTrigger(KString("FifteenCharsABC"));
    Execute(a, "Command=Trigger;Name=FifteenCharsABCDEF");
    EXPECT_TRUE(go->IsVisible());
    Display(a).SetLayout(nullptr, -1);
    Execute(a, "Command=Trigger;Name=Go");
    shown->ClearModified();
  });
  run.RunAndExitAfter(40);
  EXPECT_EQ(run.AlertTexts(), std::vector<std::string>{});
}

TEST_F(ControlTest, RestoreZeroOpensNothingAndRecordsNothing) {
  WriteProfile(0);
  AppRun run({"--home", home.Home()});
  size_t windows = 99;
  run.At(20, [&](TZApplication& a) {
    windows = a.Control()->LayoutWindows().size();
    a.Control()->OpenLayoutFile(KString(home.InHome("B.tln").c_str()));
  });
  run.RunAndExitAfter(40);
  EXPECT_EQ(windows, 0u);
  const std::string text = ProfileText(home);
  EXPECT_NE(text.find("\\Layout\\Open\\1:String,1=A.tln\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\\Layout\\Open\\3:String,1=C.tln\n"), std::string::npos) << text;
}

TEST_F(ControlTest, RestoreOneIsRewrittenOnlyByMemorize) {
  WriteProfile(1);
  {
    AppRun run({"--home", home.Home()});
    run.At(20, [&](TZApplication& a) {
      EXPECT_EQ(Titles(a), (std::vector<std::string>{"A", "B", "C"}));
      a.Control()->CloseLayoutWindow(a.Control()->LayoutWindows().front());
    });
    run.RunAndExitAfter(40);
  }
  std::string text = ProfileText(home);
  EXPECT_NE(text.find("\\Layout\\Open\\1:String,1=A.tln\n"), std::string::npos) << text;
  {
    AppRun run({"--home", home.Home()});
    run.At(20, [&](TZApplication& a) {
      a.Control()->CloseLayoutWindow(a.Control()->LayoutWindows().front());
      a.Control()->UpdateMenus();
      EXPECT_TRUE(a.Control()->Menus().Trigger(TZControl::kMemorizeLayouts));
      a.Control()->NewLayout();  // left open: not recorded at exit
    });
    run.RunAndExitAfter(40);
  }
  text = ProfileText(home);
  EXPECT_NE(text.find("\\Layout\\Open\\1:String,1=" + home.InHome("B.tln") + "\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("\\Layout\\Open\\2:String,1=" + home.InHome("C.tln") + "\n"),
            std::string::npos);
  EXPECT_EQ(text.find("\\Layout\\Open\\3:"), std::string::npos);
}

TEST_F(ControlTest, RestoreThreeRecordsAtExitEvenWhenTheExitIsCancelled) {
  WriteProfile(3);
  AppRun run({"--home", home.Home()});
  bool firstExitAgreed = true;
  std::string listAfterCancel;
  std::vector<std::string> prompts;
  run.At(20, [&](TZApplication& a) {
    a.Control()->CloseLayoutWindow(a.Control()->LayoutWindows().at(1));  // B
    Object(Window(a, 0), 0)->SetPosition(50, 60);                        // A changes
    a.Control()->NewLayout();                                            // untitled, unchanged
    run.answer = kCancel;
    firstExitAgreed = a.Control()->Command(TZControl::kExitQuery) != 0;
    for (const auto& alert : run.alerts)
      prompts.push_back(alert.title.ToUtf8() + "|" + alert.text.ToUtf8());
    KString list;
    KRGroup* open = a.Registry()->LookupGroup(KString("\\Layout\\Open\\"));
    for (KRNode* node : open->Children().Items<KRNode>()) {
      list.Append(node->Name());
      list.Append(u'=');
      list.Append(static_cast<KRString*>(node)->Value());
      list.Append(u';');
    }
    listAfterCancel = list.ToUtf8();
    run.answer = kNo;
  });
  run.RunAndExitAfter(40);
  EXPECT_FALSE(firstExitAgreed);
  EXPECT_EQ(prompts,
            std::vector<std::string>{"Exit Telvane|'A' has changed. Save before exiting?"});
  EXPECT_EQ(listAfterCancel, "1=" + home.InHome("A.tln") + ";2=" + home.InHome("C.tln") + ";");
  // The second exit was agreed without saving: A is as it was.
  TLayout reread;
  KFile file(KString(home.InHome("A.tln").c_str()));
  ASSERT_EQ(reread.Load(file, TLayout::kLoadContent), 0);
  EXPECT_EQ(Object(&reread, 0)->Position().x, 10);
  EXPECT_EQ(ProfileText(home).find("Untitled"), std::string::npos);
}

TEST_F(ControlTest, RestoreStopsAtTheFirstLayoutThatDoesNotOpen) {
  TestHome::WriteFile(home.InHome("telvane.cfg"), Profile(3, {"A.tln", "missing.tln", "C.tln"}));
  AppRun run({"--home", home.Home()});
  std::vector<std::string> titles;
  run.At(20, [&](TZApplication& a) { titles = Titles(a); });
  run.RunAndExitAfter(40);
  EXPECT_EQ(titles, std::vector<std::string>{"A"});
  EXPECT_EQ(run.AlertTexts(), std::vector<std::string>{"Error opening a file (3002)."});
}

TEST_F(ControlTest, OpeningAnOpenFileOnlyActivatesItsWindow) {
  WriteProfile(1);
  AppRun run({"--home", home.Home()});
  run.At(20, [&](TZApplication& a) {
    // A file of that name differing only in case is taken as the same one.
    EXPECT_TRUE(a.Control()->OpenLayoutFile(KString(home.InHome("B.TLN").c_str())));
    EXPECT_EQ(Titles(a).size(), 3u);
    EXPECT_EQ(a.Control()->ActiveLayoutWindow()->Title().ToUtf8(), "B");
    EXPECT_EQ(Display(a).Layout(), Window(a, 1));
    EXPECT_FALSE(a.Control()->OpenLayoutFile(KString(home.InHome("none.tln").c_str())));
    EXPECT_EQ(Titles(a).size(), 3u);
    // File|Open starts in the last layout folder with an empty name.
    KZFileDialog::Request asked;
    KZFileDialog::SetResponder([&](const KZFileDialog::Request& request, KString& path) {
      asked = request;
      path = KString(home.InHome("C.tln").c_str());
      return true;
    });
    a.Control()->UpdateMenus();
    EXPECT_TRUE(a.Control()->Menus().Trigger(TZControl::kOpen));
    EXPECT_EQ(asked.extension.ToUtf8(), "tln");
    EXPECT_TRUE(asked.name.IsEmpty());
    EXPECT_EQ(a.Control()->ActiveLayoutWindow()->Title().ToUtf8(), "C");
    EXPECT_EQ(TLayoutServices::Get().LastUsedPath().ToUtf8(), home.InHome("C.tln"));
  });
  run.RunAndExitAfter(40);
  EXPECT_EQ(run.AlertTexts(), std::vector<std::string>{"Error opening a file (3002)."});
}

TEST_F(ControlTest, ClosePromptSavesOnlyWhenTheOperatorSaysSo) {
  WriteProfile(1);
  AppRun run({"--home", home.Home()});
  std::vector<std::string> titles;
  run.At(20, [&](TZApplication& a) {
    TZControl& control = *a.Control();
    Object(Window(a, 0), 0)->SetPosition(40, 40);
    run.answer = kCancel;
    EXPECT_FALSE(control.CloseLayoutWindow(control.LayoutWindows().at(0)));
    run.answer = kNo;
    EXPECT_TRUE(control.CloseLayoutWindow(control.LayoutWindows().at(0)));
    ASSERT_EQ(run.alerts.size(), 2u);
    EXPECT_EQ(run.alerts[0].title.ToUtf8(), "Close Layout Window");
    EXPECT_EQ(run.alerts[0].text.ToUtf8(), "'A' has changed. Save before closing?");
    EXPECT_EQ(run.alerts[0].buttons, kYes | kNo | kCancel);
    EXPECT_EQ(run.alerts[0].defaultButton, kYes);
    EXPECT_EQ(run.alerts[0].icon, 4);

    // Yes on a new layout asks for a name; a cancelled dialog refuses quietly.
    control.NewLayout();
    TZLayoutMDI* fresh = control.ActiveLayoutWindow();
    EXPECT_EQ(fresh->Title().ToUtf8(), "Untitled 1");
    EXPECT_EQ(Display(a).Layout(), &fresh->Layout());
    fresh->Layout().NewObject(TLayoutServices::kText);
    run.answer = kYes;
    KZFileDialog::SetResponder([](const KZFileDialog::Request&, KString&) { return false; });
    EXPECT_FALSE(control.CloseLayoutWindow(fresh));
    KZFileDialog::SetResponder([&](const KZFileDialog::Request& request, KString& path) {
      EXPECT_EQ(request.mode, KZFileDialog::kSave);
      EXPECT_EQ(request.name.ToUtf8(), "Untitled 1.tln");
      path = KString(home.InHome("sub/Heats.tln").c_str());
      fs::create_directories(home.InHome("sub"));
      return true;
    });
    fresh->Layout().NewObject(TLayoutServices::kText);
    EXPECT_TRUE(fresh->Save(false));
    EXPECT_EQ(fresh->Title().ToUtf8(), "Heats");
    EXPECT_FALSE(fresh->Layout().IsModified());
    EXPECT_TRUE(control.CloseLayoutWindow(fresh));
    titles = Titles(a);
  });
  run.RunAndExitAfter(40);
  EXPECT_EQ(titles, (std::vector<std::string>{"B", "C"}));
  EXPECT_TRUE(fs::exists(home.InHome("sub/Heats.tln")));
  EXPECT_EQ(run.alerts.size(), 3u) << "no error for the cancelled save dialog";
}

TEST_F(ControlTest, LockSwallowsKeysRefusesExitAndKeepsSourceCommands) {
  WriteProfile(1, "\\General\\Unlock:String=Open\n");
  AppRun run({"--home", home.Home()});
  bool refusedWhileLocked = false, unlockedByWrongCase = true, unlocked = false;
  std::vector<int> enabledWhileLocked;
  int keysSeen = 0;
  run.At(20, [&](TZApplication& a) {
    TZControl& control = *a.Control();
    ASSERT_NE(control.Menus().Find(TZControl::kLock), nullptr);
    control.UpdateMenus();
    ASSERT_TRUE(control.Menus().Trigger(TZControl::kLock));
    ASSERT_EQ(a.LockState(), TUserInterfaceLock::kLocked);
    control.UpdateMenus();
    for (int command : {10001, 10002, -501, 10004, 10005, 10006, 10035, 10138, 10140, 10143})
      if (control.Menus().IsEnabled(command)) enabledWhileLocked.push_back(command);
    // Commands are refused even when they arrive without the menu.
    EXPECT_EQ(control.Command(TZControl::kNew), 0);
    EXPECT_EQ(Titles(a).size(), 3u);
    // Every window refuses to close, changed or not, without a prompt.
    EXPECT_FALSE(control.CloseLayoutWindow(control.LayoutWindows().at(0)));
    a.RequestExit();
    refusedWhileLocked = a.Control() != nullptr && run.alerts.empty();
    // Source commands still work.
    Execute(a, "Command=LayoutDraw;Window=1;Delay=0");
    EXPECT_EQ(Display(a).Layout(), Window(a, 0));

    // Keys reach nobody while locked; the word in another case does not open it.
    struct Counter : QObject {
      int* seen;
      explicit Counter(int* s) : seen(s) {}
      bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) ++*seen;
        return false;
      }
    } counter(&keysSeen);
    control.installEventFilter(&counter);
    const auto type = [&](const QString& text) {
      for (QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QString(ch));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(&control, &press);
        QApplication::sendEvent(&control, &release);
      }
    };
    type(QStringLiteral("xxOPENopen"));
    unlockedByWrongCase = a.LockState() != TUserInterfaceLock::kLocked;
    type(QStringLiteral("Open"));
    unlocked = a.LockState() == TUserInterfaceLock::kUnlocked;
    control.removeEventFilter(&counter);
    control.UpdateMenus();
    EXPECT_TRUE(control.Menus().IsEnabled(TZControl::kNew));
  });
  run.RunAndExitAfter(60);
  EXPECT_TRUE(refusedWhileLocked);
  EXPECT_TRUE(enabledWhileLocked.empty()) << enabledWhileLocked.front();
  EXPECT_FALSE(unlockedByWrongCase);
  EXPECT_TRUE(unlocked);
  EXPECT_EQ(keysSeen, 0);
}

TEST_F(ControlTest, CreateProfileCleansTheNameAndCopiesTheStandardProfile) {
  WriteProfile(0);
  AppRun run({"--home", home.Home()});
  KZInputDialog::Request asked;
  bool second = true;
  run.At(20, [&](TZApplication& a) {
    KZInputDialog::SetResponder([&](const KZInputDialog::Request& request, KString& value) {
      asked = request;
      value = KString("  Meet: A/B");
      return true;
    });
    a.Control()->UpdateMenus();
    EXPECT_TRUE(a.Control()->Menus().Trigger(TZControl::kNewProfile));
    second = a.Control()->CreateProfile(KString("  Meet: A/B"));  // exists now: a beep
  });
  run.RunAndExitAfter(40);
  EXPECT_EQ(asked.title.ToUtf8(), "Create Profile");
  EXPECT_EQ(asked.label.ToUtf8(), "Name:");
  EXPECT_EQ(asked.maxLength, 31);
  EXPECT_FALSE(second);
  EXPECT_EQ(TestHome::ReadFile(home.InHome("Meet_ A_B.cfg")),
            Profile(0, {"A.tln", home.InHome("B.tln"), "C.tln"}));
}

TEST_F(ControlTest, AboutNamesTheVersionAndTheRelease) {
  WriteProfile(0);
  AppRun run({"--home", home.Home()});
  run.At(20, [&](TZApplication& a) {
    a.Control()->UpdateMenus();
    a.Control()->Menus().Trigger(TZControl::kAbout);
  });
  run.RunAndExitAfter(40);
  ASSERT_EQ(run.alerts.size(), 1u);
  EXPECT_EQ(run.alerts[0].title.ToUtf8(), "About Telvane");
  EXPECT_EQ(run.alerts[0].text.ToUtf8().rfind("Version:  6.32\\nReleased:  Apr 28 2025\\n", 0), 0u)
      << run.alerts[0].text.ToUtf8();
}

}  // namespace
