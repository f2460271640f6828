#include "base/k_stream_menu.h"

#include <gtest/gtest.h>

namespace {

// A stand-in port kind serving one kind number.
class FakePort : public KStream {
 public:
  explicit FakePort(int kind) : kind_(kind) {}
  bool Accepts(int kind) const override { return kind == kind_; }
  std::unique_ptr<KStream> Clone() const override {
    auto copy = std::make_unique<FakePort>(kind_);
    CloneSettings(*copy);
    return copy;
  }
  int Kind() const { return kind_; }

 private:
  int kind_;
};

}  // namespace

TEST(KStreamMenu, TheKindIsTheNumberBeforeTheFirstComma) {
  EXPECT_EQ(KStreamMenu::KindOf(KString("1,9600,8,N,1.0")), 1);
  EXPECT_EQ(KStreamMenu::KindOf(KString("-2,0.0.0.0,2099")), -2);
  EXPECT_EQ(KStreamMenu::KindOf(KString("0x3")), 3);
  EXPECT_EQ(KStreamMenu::KindOf(KString("COM1,9600")), 0);
  EXPECT_EQ(KStreamMenu::KindOf(KString("")), 0);
}

TEST(KStreamMenu, MakeReusesClonesOrFallsBackToAPlainStream) {
  KStreamMenu menu;
  auto serial = std::make_unique<FakePort>(1);
  serial->SetReadTimeout(0);
  serial->SetReadLineMode(KStream::kLineNone);
  menu.Register(std::move(serial));
  menu.Register(std::make_unique<FakePort>(-1));
  menu.Register(std::make_unique<FakePort>(1));  // later prototypes of a kind never win

  auto made = menu.Make(KString("1,9600"), nullptr);
  auto* port = dynamic_cast<FakePort*>(made.get());
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(port->ReadLineMode(), KStream::kLineNone);  // the prototype's settings came along

  KStream* before = made.get();
  auto same = menu.Make(KString("1,19200"), std::move(made));
  EXPECT_EQ(same.get(), before);

  auto tcp = menu.Make(KString("-1,127.0.0.1,2000"), std::move(same));
  ASSERT_NE(dynamic_cast<FakePort*>(tcp.get()), nullptr);
  EXPECT_EQ(static_cast<FakePort*>(tcp.get())->Kind(), -1);

  auto none = menu.Make(KString("-3,0.0.0.0,2000"), std::move(tcp));
  EXPECT_EQ(dynamic_cast<FakePort*>(none.get()), nullptr);
  EXPECT_FALSE(none->IsOpen());
}

#include "base/k_file_extension.h"

TEST(KFileExtension, FiltersNeedEveryListedTypeRegistered) {
  KFileExtension::Register(KString("tga"), KString("Targa File"));
  KFileExtension::Register(KString("tln"), KString("Telvane Layout"));
  const auto filter = KFileExtension::BuildFilter(KString("tln,tga"));
  ASSERT_EQ(filter.size(), 2u);
  EXPECT_EQ(filter[0].description.ToUtf8(), "Telvane Layout");  // the first is the default
  EXPECT_EQ(filter[0].pattern.ToUtf8(), "*.tln");
  EXPECT_EQ(filter[1].extension.ToUtf8(), "tga");
  EXPECT_TRUE(KFileExtension::BuildFilter(KString("tln,TGA")).empty());  // exact match only
  EXPECT_TRUE(KFileExtension::BuildFilter(KString("tln,ps")).empty());
  KFileExtension::All().DeleteAll();
}
