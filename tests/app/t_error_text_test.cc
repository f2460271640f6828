#include "app/t_error_text.h"

#include <gtest/gtest.h>

#include "config/k_default_settings.h"
#include "config/k_r_string.h"
#include "config/k_r_types.h"
#include "config/k_registry.h"

namespace {

// The lookup the application makes, over the real catalogue.
class Catalogue : public ::testing::Test {
 protected:
  void SetUp() override {
    KRTypes::Register();
    registry_ = std::make_unique<KRegistry>(KDefaultSettings::Table());
    lookup_ = [this](const KString& path, KString& text) {
      KRString* node = registry_->LookupString(path);
      if (!node) return false;
      text = node->Value();
      return true;
    };
  }
  void TearDown() override {
    registry_.reset();
    KRTypes::Clear();
  }
  std::string Text(int code, int second = -1) {
    return TErrorText::Compose(code, second, lookup_, KString("Operation failed")).ToUtf8();
  }

  std::unique_ptr<KRegistry> registry_;
  TErrorText::Lookup lookup_;
};

}  // namespace

TEST_F(Catalogue, CodeThenFamilyThenOperationFailed) {
  EXPECT_EQ(Text(6001), "Error loading the configuration file (6001).");
  EXPECT_EQ(Text(3099), "File error (3099).");
  EXPECT_EQ(Text(7001), "Operation failed (7001).");
  EXPECT_EQ(Text(5001, 12), "Serial communication receive error (5001,12).");
  EXPECT_EQ(Text(5001, 0), "Serial communication receive error (5001,0).");
  EXPECT_EQ(Text(8002), "Operation failed (8002).");
}

TEST_F(Catalogue, EmptiedTextFallsBackToTheFamily) {
  registry_->LookupString(KString("\\Strings\\Errors\\3004"))->Assign(KString());
  EXPECT_EQ(Text(3004), "File error (3004).");
}

TEST(TErrorText, WithoutTreeUsesTheOperationFailedText) {
  EXPECT_EQ(TErrorText::Compose(1001, -1, {}, KString("Failed")).ToUtf8(), "Failed (1001).");
  EXPECT_EQ(TErrorText::Family(3007), 3000);
  EXPECT_EQ(TErrorText::Family(-3007), -3000);
  EXPECT_EQ(TErrorText::Family(999), 0);
}

TEST(TErrorText, MessageIsCutTo127Characters) {
  const TErrorText::Lookup longText = [](const KString&, KString& text) {
    text = KString(std::string(200, 'x'));
    return true;
  };
  EXPECT_EQ(TErrorText::Compose(3001, 5, longText, KString()).Length(), 127);
}
