#include "render/t_display_geometry.h"

#include <gtest/gtest.h>

#include "config/k_default_settings.h"
#include "config/k_r_int.h"
#include "config/k_registry.h"
#include "render/t_display_placement.h"

namespace {

struct Geometry {
  KRegistry settings{KDefaultSettings::Table()};
  TDisplayGeometry geometry{settings};
  Geometry(int width, int height) { geometry.SetClientRect(KRect::FromSize(0, 0, width, height)); }
  void Set(const char16_t* path, int value) { settings.LookupInt(path)->Assign(value); }
};

TEST(TDisplayGeometry, RotationExchangesTheSidesAndMapsCorners) {
  Geometry g(1920, 1080);
  g.Set(u"\\Display\\Rotate", 1);
  EXPECT_EQ(g.geometry.LogicalRect(), KRect::FromSize(0, 0, 1080, 1920));
  // The layout's top-left corner lands at the window's bottom-left.
  EXPECT_EQ(g.geometry.ToPhysical(KRect{0, 0, 0, 0}), (KRect{0, 1079, 0, 1079}));
  EXPECT_EQ(g.geometry.ToPhysical(KRect{0, 0, 9, 0}), (KRect{0, 1070, 0, 1079}));
  g.Set(u"\\Display\\Rotate", 2);
  EXPECT_EQ(g.geometry.ToPhysical(KRect{0, 0, 0, 0}), (KRect{1919, 0, 1919, 0}));
  EXPECT_EQ(g.geometry.ToPhysical(KRect{0, 0, 9, 0}), (KRect{1919, 0, 1919, 9}));
  g.Set(u"\\Display\\Rotate", 7);  // out of range counts as none
  EXPECT_EQ(g.geometry.Rotation(), 0);
  EXPECT_EQ(g.geometry.LogicalRect(), KRect::FromSize(0, 0, 1920, 1080));
}

TEST(TDisplayGeometry, ScreensShareTheWidthWithTheWiderOnesLast) {
  Geometry g(1000, 300);
  g.Set(u"\\Display\\Screens", 3);
  EXPECT_EQ(g.geometry.ScreenWidth(0), 333);
  EXPECT_EQ(g.geometry.ScreenWidth(1), 333);
  EXPECT_EQ(g.geometry.ScreenWidth(2), 334);
  EXPECT_EQ(g.geometry.ScreenWidth(-1), 334);
  EXPECT_EQ(g.geometry.ScreenWidth(3), 0);
  EXPECT_EQ(g.geometry.ScreenRect(), KRect::FromSize(0, 0, 334, 300));
  g.Set(u"\\Display\\Screens", -4);
  EXPECT_EQ(g.geometry.ScreenCount(), 1);
  EXPECT_EQ(g.geometry.ScreenWidth(0), 1000);
}

TEST(TDisplayGeometry, LogoSitsInItsCornerWithAMarginOfATwentyFifthOfTheWidth) {
  Geometry g(640, 480);
  EXPECT_EQ(g.geometry.LogoRect(), (KRect{25, 403, 200, 454}));
  g.Set(u"\\Display\\LogoCorner", 1);
  EXPECT_EQ(g.geometry.LogoRect(), (KRect{439, 25, 614, 76}));
  g.Set(u"\\Display\\LogoCorner", 4);  // only the two low bits count
  EXPECT_EQ(g.geometry.LogoRect(), (KRect{25, 25, 200, 76}));
  // A small custom window shows no logo; a monitor always does.
  g.Set(u"\\Display\\Monitor", -1);
  g.Set(u"\\Display\\Height", 249);
  EXPECT_FALSE(g.geometry.ShowsLogo());
  g.Set(u"\\Display\\Height", 250);
  EXPECT_TRUE(g.geometry.ShowsLogo());
}

struct Placement {
  KRegistry settings{KDefaultSettings::Table()};
  KMonitorList monitors;
  Placement() {
    // The platform reports the primary monitor too; it is not listed twice.
    monitors.Fill(KRect::FromSize(0, 0, 1920, 1080),
                  {KRect::FromSize(0, 0, 1920, 1080), KRect::FromSize(1920, 0, 1280, 1024)});
  }
  void Set(const char16_t* path, int value) { settings.LookupInt(path)->Assign(value); }
  TDisplayPlacement Compute(const KRect& current = KRect{}) {
    return TDisplayPlacement::Compute(settings, monitors, current);
  }
};

TEST(TDisplayPlacement, MonitorsAndTheirFallback) {
  Placement p;
  ASSERT_EQ(p.monitors.Count(), 2);
  p.Set(u"\\Display\\AlwaysOnTop", 1);
  p.Set(u"\\Display\\Monitor", 1);
  TDisplayPlacement second = p.Compute();
  EXPECT_EQ(second.target, KRect::FromSize(1920, 0, 1280, 1024));
  EXPECT_FALSE(second.topmost);
  EXPECT_FALSE(second.coversMainScreen);
  p.Set(u"\\Display\\Monitor", 5);
  TDisplayPlacement gone = p.Compute();
  EXPECT_EQ(gone.target, KRect::FromSize(0, 0, 1920, 1080));
  EXPECT_TRUE(gone.coversMainScreen);
}

TEST(TDisplayPlacement, TheMainScreenIsWhereThePrimaryMonitorIs) {
  // An X desktop whose primary monitor is the right-hand one.
  Placement p;
  const KRect left = KRect::FromSize(0, 0, 1280, 1024);
  const KRect right = KRect::FromSize(1280, 0, 1920, 1080);
  p.monitors.Fill(right, {left, right});
  ASSERT_EQ(p.monitors.Count(), 2);
  p.Set(u"\\Display\\Monitor", 0);
  TDisplayPlacement main = p.Compute();
  EXPECT_EQ(main.target, right);
  EXPECT_TRUE(main.coversMainScreen);
  p.Set(u"\\Display\\Monitor", 1);
  EXPECT_EQ(p.Compute().target, left);
  p.Set(u"\\Display\\Monitor", 5);
  EXPECT_EQ(p.Compute().target, right);
}

TEST(TDisplayPlacement, CustomRectangleIsCutAndMovesInTwoSteps) {
  Placement p;
  p.Set(u"\\Display\\Monitor", -1);
  p.Set(u"\\Display\\Left", 100);
  p.Set(u"\\Display\\Top", 50);
  p.Set(u"\\Display\\AlwaysOnTop", 1);
  TDisplayPlacement custom = p.Compute();
  EXPECT_EQ(custom.target, (KRect{100, 50, 739, 529}));
  EXPECT_TRUE(custom.topmost);
  ASSERT_EQ(custom.moves.size(), 1u);  // a change of size goes there at once

  // Only the position changes: first one row shorter, then the target.
  TDisplayPlacement moved = p.Compute(KRect::FromSize(0, 0, 640, 480));
  ASSERT_EQ(moved.moves.size(), 2u);
  EXPECT_EQ(moved.moves[0], (KRect{100, 50, 739, 528}));
  EXPECT_EQ(moved.moves[1], (KRect{100, 50, 739, 529}));
  EXPECT_TRUE(p.Compute(KRect{100, 50, 739, 529}).moves.empty());

  p.Set(u"\\Display\\Width", 20000);
  EXPECT_EQ(p.Compute().target.Width(), 16384);
  p.Set(u"\\Display\\Left", 2147483647);  // no overflow on absurd values
  EXPECT_EQ(p.Compute().target.Width(), 16384);

  delete p.settings.Lookup(u"\\Display\\Top");
  EXPECT_FALSE(p.Compute().valid);
}

}  // namespace
