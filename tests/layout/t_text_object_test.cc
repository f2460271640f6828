#include "layout/t_text_object.h"

#include <gtest/gtest.h>

#include <string>

#include "layout/t_layout.h"
#include "layout/t_trigger.h"
#include "render/k_3d_fonts.h"
#include "render/k_3d_system_font.h"
#include "sources/t_field.h"
#include "tests/layout/layout_fixture.h"

namespace {

using TextObjectTest = LayoutTest;

std::string Format(const char* format, const char* value) {
  return TLayoutObject::FormatValue(KString(format), KString(value)).ToUtf8();
}

TEST_F(TextObjectTest, NewTextObjectsShowTheirValue) {
  TTextObject text;
  EXPECT_TRUE(text.IsDynamic());
  EXPECT_EQ(text.Text(), KString(u"%s"));
  EXPECT_EQ(text.Lines(), 1);
  EXPECT_EQ(text.Size(), (KPoint{150, 50}));
  EXPECT_EQ(text.Font().Size(), K3DFontInfo::kFallbackSize);
}

TEST_F(TextObjectTest, LinesAreClampedAndDecideTheHeight) {
  TLayout layout;
  auto* text = static_cast<TTextObject*>(layout.NewObject(TLayoutServices::kText));
  EXPECT_FALSE(text->SetLines(0));
  EXPECT_EQ(text->Lines(), 1);
  EXPECT_TRUE(text->SetLines(40));
  EXPECT_EQ(text->Lines(), 25);

  K3DFontInfo font = text->Font();
  font.SetSize(34);
  text->SetFont(font);
  text->SetLines(3);
  text->SetLineSpacing(6);
  EXPECT_EQ(text->Size().y, 114);
  text->SetLineSpacing(-40);  // counts as -34
  EXPECT_EQ(text->Size().y, 34);
  // The asked height is ignored; the width is kept.
  text->SetSize(300, 999);
  EXPECT_EQ(text->Size(), (KPoint{300, 34}));
  text->SetLines(1);
  text->SetLineSpacing(0);
  font.SetSize(10);
  EXPECT_TRUE(text->SetFont(font));
  EXPECT_FALSE(text->SetFont(font));
  EXPECT_EQ(text->Size().y, 10);
}

TEST_F(TextObjectTest, FontChangesIncludeTheOverrides) {
  TLayout layout;
  auto* text = static_cast<TTextObject*>(layout.NewObject(TLayoutServices::kText));
  K3DFontInfo font = text->Font();
  layout.ClearModified();
  EXPECT_FALSE(text->SetFont(font));
  EXPECT_FALSE(layout.IsModified());
  font.SetTextModeOverride(2);
  EXPECT_TRUE(text->SetFont(font));
  EXPECT_TRUE(layout.IsModified());
}

TEST_F(TextObjectTest, FormattingPutsTheValueInAndReadsNothingElse) {
  EXPECT_EQ(Format("Lane %s", "4"), "Lane 4");
  EXPECT_EQ(Format("Results", "4"), "Results");
  EXPECT_EQ(Format("100%% %s", "done"), "100% done");
  EXPECT_EQ(Format("%s-%s", "x"), "x-x");
  // Other conversions stay as written: nothing beyond the one value is read.
  EXPECT_EQ(Format("%d %5s %n %", "7"), "%d %5s %n %");
  EXPECT_EQ(Format("", "7"), "");

  // Longer results are cut at the buffer's end.
  const std::string longValue(5000, 'v');
  const KString& cut = TLayoutObject::FormatValue(KString("%s%s"), KString(longValue.c_str()));
  EXPECT_EQ(cut.Length(), TLayoutObject::kFormatLength);
  const std::string manyPercent(10000, '%');
  EXPECT_EQ(TLayoutObject::FormatValue(KString(manyPercent.c_str()), KString()).Length(), 4096);
}

TEST_F(TextObjectTest, ValuesRedrawEveryTimeAndHiddenTextsShowNothing) {
  TLayout layout;
  auto* text = static_cast<TTextObject*>(layout.NewObject(TLayoutServices::kText));
  text->SetText(KString(u"Lane %s"));
  layout.ClearModified();
  redraws.clear();
  text->SetValue(nullptr);
  text->SetValue(nullptr);
  EXPECT_EQ(redraws.size(), 2u);
  // A value is not an edit.
  EXPECT_FALSE(layout.IsModified());
  EXPECT_EQ(text->DisplayText().ToUtf8(), "Lane ");
  text->SetTrigger(KString(u"Show"));
  EXPECT_EQ(text->DisplayText().ToUtf8(), "");
  layout.OnTrigger(TTrigger(KString(u"SHOW"), TTrigger::kOn));
  EXPECT_EQ(text->DisplayText().ToUtf8(), "Lane ");
}

TEST_F(TextObjectTest, RescaleScalesTheFontWithTheHeight) {
  TLayout layout;
  auto* big = static_cast<TTextObject*>(layout.NewObject(TLayoutServices::kText));
  auto* small = static_cast<TTextObject*>(layout.NewObject(TLayoutServices::kText));
  K3DFontInfo font = big->Font();
  font.SetSize(60);
  big->SetFont(font);
  font.SetSize(16);
  small->SetFont(font);
  ASSERT_TRUE(layout.Rescale({640, 480}, {640, 240}));
  EXPECT_EQ(big->Font().Size(), 30);
  EXPECT_EQ(big->Size().y, 30);
  EXPECT_EQ(small->Font().Size(), 10);  // never below 10
  EXPECT_EQ(big->Position(), (KPoint{10, 5}));
}

TEST_F(TextObjectTest, CopiesCarryEveryTextProperty) {
  TTextObject original;
  K3DFontInfo font;
  font.SetFont(KString(u"DejaVu Sans"));
  font.SetFaceColor(KColor::Rgb(9, 8, 7));
  original.SetFont(font);
  original.SetJustification(TTextObject::kRight);
  original.SetLines(2);
  original.SetLineSpacing(-3);
  original.SetText(KString(u"Time %s"));
  original.SetValue(nullptr);
  std::unique_ptr<TLayoutObject> copy = original.Clone(nullptr, 9);
  auto* text = static_cast<TTextObject*>(copy.get());
  EXPECT_EQ(text->Id(), 9);
  EXPECT_EQ(text->Font(), font);
  EXPECT_EQ(text->Justification(), 2);
  EXPECT_EQ(text->Lines(), 2);
  EXPECT_EQ(text->LineSpacing(), -3);
  EXPECT_EQ(text->Text(), KString(u"Time %s"));
  EXPECT_EQ(text->Size(), original.Size());
}

}  // namespace

namespace {

// With the bundled box font, a value that only changes some characters
// redraws just their blocks; anything that moves the text redraws it all.
class TextChangeTest : public LayoutTest {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(K3DFonts::AddFontFile(kFont)); }
  void SetUp() override {
    LayoutTest::SetUp();
    fonts_.Append(new K3DSystemFont(KString("Box"), kFont));
    text_ = static_cast<TTextObject*>(layout_.NewObject(TLayoutServices::kText));
    K3DFontInfo info;
    info.SetFont(KString("Box"));
    info.SetSize(40);
    text_->SetFont(info);
    text_->SetPosition(100, 20);
    text_->SetSize(400, 40);
  }
  KRect Set(const char* value) {
    TField field(nullptr);
    field.SetMatch(KString(value).View());
    areas.clear();
    text_->SetValue(&field);
    return areas.empty() ? KRect{} : areas.back();
  }
  int Width(const char* text) { return fonts_.MeasureWidth(KString(text), text_->Font()); }

  static inline const std::string kFont =
      std::string(TELVANE_TEST_DATA) + "/fonts/telvane-test.ttf";
  K3DFonts fonts_;
  TLayout layout_;
  TTextObject* text_ = nullptr;
};

TEST_F(TextChangeTest, ARunningClockRedrawsOnlyItsChangedDigits) {
  Set("1:23.45");
  const KRect last = Set("1:23.46");
  EXPECT_EQ(last, (KRect{100 + Width("1:23.4"), 20, 100 + Width("1:23.46") - 1, 59}));
  const KRect two = Set("1:23.57");
  EXPECT_EQ(two.left, 100 + Width("1:23."));
  EXPECT_EQ(two.right, 100 + Width("1:23.57") - 1);
  // The same value again still reports a change, of nothing.
  EXPECT_TRUE(Set("1:23.57").IsEmpty());
  EXPECT_EQ(areas.size(), 1u);
  // Centred, the blocks sit where the centred text puts them.
  text_->SetJustification(TTextObject::kCentre);
  const int offset = (400 - Width("1:23.57")) / 2;
  EXPECT_EQ(Set("1:23.58"),
            (KRect{100 + offset + Width("1:23.5"), 20, 100 + offset + Width("1:23.58") - 1, 59}));
}

TEST_F(TextChangeTest, TextsThatMoveRedrawTheWholeObject) {
  Set("1:23.45");
  EXPECT_EQ(Set("1:23.456"), text_->Rect());  // another length
  EXPECT_EQ(Set("1:2W.456"), text_->Rect());  // another width
  text_->SetLines(2);
  EXPECT_EQ(Set("1:2W.457"), text_->Rect());  // several lines
}

}  // namespace
