#include <gtest/gtest.h>

#include "app/t_z_application.h"

namespace {

TEST(TZApplicationPendingCommand, OnlyOpenLayoutWithAPathIsCarriedOut) {
  KString path;
  ASSERT_TRUE(TZApplication::ParseOpenLayout(KString("OpenLayout,/a/results.tln"), path));
  EXPECT_EQ(path, KString("/a/results.tln"));
  // Quotes keep commas inside the path.
  ASSERT_TRUE(TZApplication::ParseOpenLayout(KString("OpenLayout,\"/a,b/c.tln\""), path));
  EXPECT_EQ(path, KString("/a,b/c.tln"));
  // Without quotes the second field ends at the next comma.
  ASSERT_TRUE(TZApplication::ParseOpenLayout(KString("OpenLayout,/a,b/c.tln"), path));
  EXPECT_EQ(path, KString("/a"));
  EXPECT_FALSE(TZApplication::ParseOpenLayout(KString("openlayout,/a.tln"), path));
  EXPECT_FALSE(TZApplication::ParseOpenLayout(KString("OpenLayout"), path));
  EXPECT_FALSE(TZApplication::ParseOpenLayout(KString("OpenLayout,"), path));
  EXPECT_FALSE(TZApplication::ParseOpenLayout(KString("Close,/a.tln"), path));
}

}  // namespace
