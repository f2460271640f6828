#include "app/t_z_display_window.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "config/k_default_settings.h"
#include "config/k_r_int.h"
#include "config/k_registry.h"

namespace {

// A layout stand-in that records what the window hands it.
class Recorder : public TDisplayContent {
 public:
  KColor background = KColor::Rgb(0x12, 0x34, 0x56);
  int ticks = 0;
  int clears = 0;
  std::vector<std::string> keys;

  KColor DisplayBackground() const override { return background; }
  void DrawBand(TDisplay&, const KRect&) override {}
  void TickObjects() override { ++ticks; }
  void ClearObjectValues() override { ++clears; }
  void KeyTrigger(const KString& name) override { keys.push_back(name.ToUtf8()); }
};

class DisplayWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "app_tests";
    static char* argv[] = {name, nullptr};
    app_ = std::make_unique<QApplication>(argc, argv);
    settings_ = std::make_unique<KRegistry>(KDefaultSettings::Table());
    Set(u"\\Display\\Monitor", -1);
    Set(u"\\Display\\Left", 10);
    Set(u"\\Display\\Top", 20);
    Set(u"\\Display\\Width", 320);
    Set(u"\\Display\\Height", 240);
    monitors_.Fill(KRect::FromSize(0, 0, 800, 600), {});
    window_ = std::make_unique<TZDisplayWindow>(*settings_, monitors_);
  }
  void TearDown() override {
    window_.reset();
    settings_.reset();
    app_.reset();
  }
  void Set(const char16_t* path, int value) { settings_->LookupInt(path)->Assign(value); }
  void Key(int key, Qt::KeyboardModifiers modifiers, const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(window_.get(), &press);
  }

  std::unique_ptr<QApplication> app_;
  std::unique_ptr<KRegistry> settings_;
  KMonitorList monitors_;
  std::unique_ptr<TZDisplayWindow> window_;
};

TEST_F(DisplayWindow, PictureFollowsThePlacementAndSnapshotsShowIt) {
  EXPECT_EQ(window_->Target(), (KRect{10, 20, 329, 259}));
  EXPECT_EQ(window_->Image().Width(), 320);
  EXPECT_EQ(window_->Image().Height(), 240);
  Recorder layout;
  window_->Display().SetLayout(&layout, -1);
  QApplication::processEvents();  // the repaint request ends in one redraw
  EXPECT_EQ(window_->Image().Pixel(319, 239), 0x123456u);

  char folder[] = "/tmp/telvane-snapshot-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const QString path = QString(folder) + "/display.png";
  ASSERT_TRUE(window_->WriteSnapshot(path));
  const QImage shot(path);
  ASSERT_EQ(shot.width(), 320);
  EXPECT_EQ(shot.pixel(5, 5) & 0xFFFFFFu, 0x123456u);
  EXPECT_FALSE(QFile::exists(path + ".part"));
  QFile::remove(path);
  rmdir(folder);

  // A new size from the options takes effect at the next placement.
  Set(u"\\Display\\Width", 100);
  window_->UpdatePlacement();
  EXPECT_EQ(window_->Image().Width(), 100);
  EXPECT_EQ(window_->Image().Pixel(99, 0), 0x123456u);
}

TEST_F(DisplayWindow, CommandsReachTheShownLayout) {
  Recorder shown;
  Recorder third;
  window_->SetLayoutWindowLookup([&](int number) { return number == 3 ? &third : nullptr; });
  window_->Display().SetLayout(&shown, -1);
  window_->Command(TZDisplayWindow::kTick);
  window_->Command(TZDisplayWindow::kClear);
  EXPECT_EQ(shown.ticks, 1);
  EXPECT_EQ(shown.clears, 1);
  window_->Command(10036);  // window 2 does not exist
  EXPECT_EQ(window_->Display().Layout(), &shown);
  window_->Command(10037);
  EXPECT_EQ(window_->Display().Layout(), &third);
}

TEST_F(DisplayWindow, KeysBecomeTriggersAndModifiersAloneDoNothing) {
  Recorder layout;
  window_->Display().SetLayout(&layout, -1);
  Key(Qt::Key_F12, Qt::ShiftModifier | Qt::ControlModifier);
  Key(Qt::Key_A, Qt::ShiftModifier, "A");
  Key(Qt::Key_Alt, Qt::AltModifier);
  Key(Qt::Key_B, Qt::ControlModifier, QString(QChar(2)));
  ASSERT_EQ(layout.keys.size(), 3u);
  EXPECT_EQ(layout.keys[0], "S+C+F12");
  EXPECT_EQ(layout.keys[1], "S+A");
  EXPECT_EQ(layout.keys[2], "C+B");
}

TEST_F(DisplayWindow, PointerHidesOverASecondOutputOnly) {
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(11, 21));
  QApplication::sendEvent(window_.get(), &enter);
  EXPECT_TRUE(window_->PointerHidden());
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(window_.get(), &leave);
  EXPECT_FALSE(window_->PointerHidden());

  // Over the main screen it hides only while the window has the focus.
  Set(u"\\Display\\Monitor", 0);
  window_->UpdatePlacement();
  ASSERT_TRUE(window_->CoversMainScreen());
  QApplication::sendEvent(window_.get(), &enter);
  EXPECT_FALSE(window_->PointerHidden());
  QFocusEvent focusIn(QEvent::FocusIn);
  QApplication::sendEvent(window_.get(), &focusIn);
  EXPECT_TRUE(window_->PointerHidden());
  QFocusEvent focusOut(QEvent::FocusOut);
  QApplication::sendEvent(window_.get(), &focusOut);
  EXPECT_FALSE(window_->PointerHidden());
}

}  // namespace
