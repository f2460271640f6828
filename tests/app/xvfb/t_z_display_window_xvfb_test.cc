#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QtGui/qguiapplication_platform.h>
#include <QApplication>
#include <QDeadlineTimer>
#include <QScreen>
#include <QWindow>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "app/t_z_display_window.h"
#include "config/k_default_settings.h"
#include "config/k_r_int.h"
#include "config/k_registry.h"
#include "xvfb_desktop.h"

namespace {

constexpr KRect kMain = KRect::FromSize(0, 0, XvfbDesktop::kMainWidth, XvfbDesktop::kMainHeight);
constexpr KRect kSecond = KRect::FromSize(XvfbDesktop::kMainWidth, 0, XvfbDesktop::kSecondWidth,
                                          XvfbDesktop::kSecondHeight);

std::string Describe(const KRect& r) {
  return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ") " +
         std::to_string(r.Width()) + " x " + std::to_string(r.Height());
}

// Qt's own connection: what it asked for is sent before our questions, so
// the answers show the server's state after Qt's requests.
xcb_connection_t* Connection() {
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 != nullptr ? x11->connection() : nullptr;
}

xcb_atom_t Atom(const char* name) {
  xcb_connection_t* c = Connection();
  xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t atom = reply != nullptr ? reply->atom : XCB_ATOM_NONE;
  std::free(reply);
  return atom;
}

// QWidget::winId() keeps the first X window; Qt makes a new one when the
// on-top state changes.
xcb_window_t WindowId(QWidget& window) {
  return static_cast<xcb_window_t>(window.windowHandle()->winId());
}

// The window's rectangle in root coordinates as the X server has it, empty
// while the window is not mapped.
KRect ServerRect(QWidget& window) {
  xcb_connection_t* c = Connection();
  const auto id = WindowId(window);
  KRect rect{0, 0, -1, -1};
  xcb_get_window_attributes_reply_t* attributes =
      xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, id), nullptr);
  xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(c, xcb_get_geometry(c, id), nullptr);
  if (attributes != nullptr && geometry != nullptr &&
      attributes->map_state == XCB_MAP_STATE_VIEWABLE) {
    xcb_translate_coordinates_reply_t* origin = xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, id, geometry->root, 0, 0), nullptr);
    if (origin != nullptr) {
      rect = KRect::FromSize(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
    }
    std::free(origin);
  }
  std::free(attributes);
  std::free(geometry);
  return rect;
}

// What a window manager would read to keep the window above the others.
bool ServerSaysAbove(QWidget& window) {
  xcb_connection_t* c = Connection();
  const xcb_atom_t above = Atom("_NET_WM_STATE_ABOVE");
  xcb_get_property_reply_t* reply = xcb_get_property_reply(
      c, xcb_get_property(c, 0, WindowId(window), Atom("_NET_WM_STATE"), XCB_ATOM_ATOM, 0, 32),
      nullptr);
  bool found = false;
  if (reply != nullptr) {
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
    const int count = xcb_get_property_value_length(reply) / static_cast<int>(sizeof(xcb_atom_t));
    for (int i = 0; i < count; ++i) found = found || atoms[i] == above;
  }
  std::free(reply);
  return found;
}

class DisplayWindowOnTwoMonitors : public ::testing::Test {
 protected:
  void SetUp() override {
    const XvfbDesktop& desktop = XvfbDesktop::Get();
    if (desktop.Status() == XvfbDesktop::State::kMissing) GTEST_SKIP() << desktop.Reason();
    ASSERT_EQ(desktop.Status(), XvfbDesktop::State::kReady) << desktop.Reason();
    ASSERT_NE(Connection(), nullptr);
    settings_ = std::make_unique<KRegistry>(KDefaultSettings::Table());
    // As the application fills it at start-up.
    monitors_.Fill(KZScreen::PrimaryRect(), KZScreen::PlatformMonitors());
  }
  void TearDown() override {
    window_.reset();
    settings_.reset();
  }
  void Set(const char16_t* path, int value) { settings_->LookupInt(path)->Assign(value); }
  void SetCustom(int left, int top, int width, int height, int onTop) {
    Set(u"\\Display\\Monitor", -1);
    Set(u"\\Display\\Left", left);
    Set(u"\\Display\\Top", top);
    Set(u"\\Display\\Width", width);
    Set(u"\\Display\\Height", height);
    Set(u"\\Display\\AlwaysOnTop", onTop);
  }
  // As at start-up: made with the options in force, then shown.
  void Open() {
    window_ = std::make_unique<TZDisplayWindow>(*settings_, monitors_);
    window_->show();
  }

  // X places windows asynchronously: waits, with a generous deadline, until
  // the server has the window mapped at `want` and Qt agrees.
  ::testing::AssertionResult LandsAt(const KRect& want) {
    QDeadlineTimer deadline(10000);
    KRect server;
    KRect qt;
    do {
      QApplication::processEvents(QEventLoop::AllEvents, 20);
      server = ServerRect(*window_);
      qt = window_->CurrentRect();
      if (server == want && qt == want) break;
    } while (!deadline.hasExpired());
    if (server != want || qt != want) {
      return ::testing::AssertionFailure() << "wanted " << Describe(want) << ", the server has "
                                           << Describe(server) << ", Qt " << Describe(qt);
    }
    // The picture is drawn for the window's real size.
    if (window_->Image().Width() != want.Width() || window_->Image().Height() != want.Height()) {
      return ::testing::AssertionFailure()
             << "picture " << window_->Image().Width() << " x " << window_->Image().Height();
    }
    return ::testing::AssertionSuccess();
  }
  bool Topmost() const { return window_->windowFlags().testFlag(Qt::WindowStaysOnTopHint); }

  std::unique_ptr<KRegistry> settings_;
  KMonitorList monitors_;
  std::unique_ptr<TZDisplayWindow> window_;
};

TEST_F(DisplayWindowOnTwoMonitors, QtSeesBothMonitorsAndTheMainScreenComesFirst) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  ASSERT_EQ(screens.size(), 2);
  EXPECT_EQ(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 800, 600));
  EXPECT_EQ(screens[1]->geometry(), QRect(800, 0, 640, 480));
  // The primary monitor is not repeated after the main screen.
  ASSERT_EQ(monitors_.Count(), 2);
  EXPECT_EQ(*monitors_.At(0), kMain);
  EXPECT_EQ(monitors_.MainScreen(), kMain);
  EXPECT_EQ(*monitors_.At(1), kSecond);
}

TEST_F(DisplayWindowOnTwoMonitors, SecondMonitorIsFilledWholeAndNeverKeptOnTop) {
  // The custom rectangle and always-on-top belong to monitor -1 only.
  SetCustom(100, 50, 320, 240, 1);
  Set(u"\\Display\\Monitor", 1);
  Open();
  EXPECT_TRUE(LandsAt(kSecond));
  EXPECT_FALSE(window_->CoversMainScreen());
  EXPECT_FALSE(Topmost());
  EXPECT_FALSE(ServerSaysAbove(*window_));
  EXPECT_EQ(window_->screen()->geometry(), QRect(800, 0, 640, 480));
}

TEST_F(DisplayWindowOnTwoMonitors, MonitorThatIsNotThereFallsBackToTheMainScreen) {
  SetCustom(100, 50, 320, 240, 1);
  Set(u"\\Display\\Monitor", 5);
  Open();
  EXPECT_TRUE(LandsAt(kMain));
  EXPECT_TRUE(window_->CoversMainScreen());
  EXPECT_FALSE(Topmost());
  EXPECT_FALSE(ServerSaysAbove(*window_));

  // Changed options move the shown window across monitors and back.
  Set(u"\\Display\\Monitor", 1);
  window_->UpdatePlacement();
  EXPECT_TRUE(LandsAt(kSecond));
  EXPECT_FALSE(window_->CoversMainScreen());
  Set(u"\\Display\\Monitor", 5);
  window_->UpdatePlacement();
  EXPECT_TRUE(LandsAt(kMain));
  EXPECT_TRUE(window_->CoversMainScreen());
}

TEST_F(DisplayWindowOnTwoMonitors, CustomRectangleIsExactAndOnTopWhenAsked) {
  SetCustom(100, 50, 640, 480, 1);
  Open();
  EXPECT_TRUE(LandsAt(KRect{100, 50, 739, 529}));
  EXPECT_FALSE(window_->CoversMainScreen());
  EXPECT_TRUE(Topmost());
  EXPECT_TRUE(ServerSaysAbove(*window_));

  // A pure move goes through a shorter rectangle first; that must not stick.
  Set(u"\\Display\\Left", 200);
  window_->UpdatePlacement();
  EXPECT_TRUE(LandsAt(KRect::FromSize(200, 50, 640, 480)));
  EXPECT_TRUE(Topmost());

  // Switching the on-top state re-creates the window; it must stay put.
  Set(u"\\Display\\AlwaysOnTop", 0);
  window_->UpdatePlacement();
  EXPECT_TRUE(LandsAt(KRect::FromSize(200, 50, 640, 480)));
  EXPECT_FALSE(Topmost());
  EXPECT_FALSE(ServerSaysAbove(*window_));
  Set(u"\\Display\\AlwaysOnTop", 1);
  window_->UpdatePlacement();
  EXPECT_TRUE(LandsAt(KRect::FromSize(200, 50, 640, 480)));
  EXPECT_TRUE(ServerSaysAbove(*window_));

  // Leaving the custom rectangle for a monitor drops the on-top state.
  Set(u"\\Display\\Monitor", 1);
  window_->UpdatePlacement();
  EXPECT_TRUE(LandsAt(kSecond));
  EXPECT_FALSE(Topmost());
  EXPECT_FALSE(ServerSaysAbove(*window_));
}

}  // namespace
