#include "app/t_main_window_geometry.h"

#include <gtest/gtest.h>

#include "config/k_default_settings.h"
#include "config/k_r_int.h"
#include "config/k_r_types.h"
#include "config/k_registry.h"

namespace {

class Geometry : public ::testing::Test {
 protected:
  void SetUp() override {
    KRTypes::Register();
    registry_ = std::make_unique<KRegistry>(KDefaultSettings::Table());
  }
  void TearDown() override {
    registry_.reset();
    KRTypes::Clear();
  }
  KRInt* Value(const char* name) {
    return registry_->LookupInt(KString(std::string("\\General\\MainWindow\\") + name));
  }
  void Set(int left, int top, int width, int height, int maximized) {
    Value("Left")->SetValue(left);
    Value("Top")->SetValue(top);
    Value("Width")->SetValue(width);
    Value("Height")->SetValue(height);
    Value("Maximized")->SetValue(maximized);
  }

  std::unique_ptr<KRegistry> registry_;
};

}  // namespace

TEST_F(Geometry, DefaultsOpenMaximizedOverAScreenSizedRectangle) {
  auto p = TMainWindowGeometry::Initial(registry_.get(), 1920, 1080);
  EXPECT_TRUE(p.maximized);
  EXPECT_EQ(p.left, 10);
  EXPECT_EQ(p.top, 10);
  EXPECT_EQ(p.width, 1440);
  EXPECT_EQ(p.height, 648);
  // Small screens: 600 wide below 800, at least 320 high.
  p = TMainWindowGeometry::Initial(registry_.get(), 799, 480);
  EXPECT_EQ(p.width, 600);
  EXPECT_EQ(p.height, 320);
  p = TMainWindowGeometry::Initial(nullptr, 800, 534);
  EXPECT_EQ(p.width, 600);
  EXPECT_EQ(p.height, 320);
  EXPECT_TRUE(p.maximized);
}

TEST_F(Geometry, RememberedRectangleNeedsAllFiveValuesAndNoNegativeSize) {
  Set(50, 60, 700, 500, 0);
  auto p = TMainWindowGeometry::Initial(registry_.get(), 1920, 1080);
  EXPECT_FALSE(p.maximized);
  EXPECT_EQ(p.left, 50);
  EXPECT_EQ(p.top, 60);
  EXPECT_EQ(p.width, 700);
  EXPECT_EQ(p.height, 500);
  Set(50, 60, 700, 500, 2);
  EXPECT_TRUE(TMainWindowGeometry::Initial(registry_.get(), 1920, 1080).maximized);
  Set(50, 60, 700, -1, 0);
  p = TMainWindowGeometry::Initial(registry_.get(), 1920, 1080);
  EXPECT_TRUE(p.maximized);
  EXPECT_EQ(p.left, 10);

  Set(50, 60, 700, 500, 0);
  registry_->LookupGroup(KString("\\General\\MainWindow\\"))->Clear();
  EXPECT_TRUE(TMainWindowGeometry::Initial(registry_.get(), 1920, 1080).maximized);
}

TEST_F(Geometry, WriteBackStoresTheNormalRectangleOnlyWhenRestored) {
  TMainWindowGeometry::Placement now{40, 30, 900, 700, false};
  TMainWindowGeometry::WriteBack(registry_.get(), now);
  EXPECT_EQ(Value("Left")->Value(), 40);
  EXPECT_EQ(Value("Top")->Value(), 30);
  EXPECT_EQ(Value("Width")->Value(), 900);
  EXPECT_EQ(Value("Height")->Value(), 700);
  EXPECT_EQ(Value("Maximized")->Value(), 0);

  now = {1, 2, 3, 4, true};
  TMainWindowGeometry::WriteBack(registry_.get(), now);
  EXPECT_EQ(Value("Left")->Value(), 40);  // kept for the next restore
  EXPECT_EQ(Value("Maximized")->Value(), 1);

  // Through the change handler, as every other writer does.
  int seen = 0;
  Value("Width")->SetHandler([&](KRInt& node, int32_t v, intptr_t) {
    seen = v;
    node.Assign(v);
  });
  TMainWindowGeometry::WriteBack(registry_.get(), {0, 0, 640, 480, false});
  EXPECT_EQ(seen, 640);
  Value("Width")->SetHandler(nullptr);

  // A negative size stops the write-back before Maximized.
  Value("Maximized")->SetValue(1);
  TMainWindowGeometry::WriteBack(registry_.get(), {5, 6, -1, 480, false});
  EXPECT_EQ(Value("Left")->Value(), 5);
  EXPECT_EQ(Value("Width")->Value(), 640);
  EXPECT_EQ(Value("Maximized")->Value(), 1);
}

TEST(TMainWindowGeometry, TitleNamesTheProfile) {
  EXPECT_EQ(TMainWindowGeometry::Title(KString()).ToUtf8(), "Telvane");
  EXPECT_EQ(TMainWindowGeometry::Title(KString("Swim")).ToUtf8(), "Telvane <Swim>");
  EXPECT_EQ(TMainWindowGeometry::Title(KString(std::string(70, 'p'))).Length(), 63);
}
