#include "sources/t_source_command.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Utf8(const KString& text) {
  return text.ToUtf8();
}

TEST(SourceCommandTest, ItemsSplitAtSemicolonsOutsideQuotes) {
  const auto items = TSourceCommand::SplitItems(u"Command=Trigger;\"Name=a;b\";Action=Off");
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(Utf8(items[1]), "Name=a;b");
  EXPECT_TRUE(TSourceCommand::SplitItems(u"").empty());
  // An unclosed quote runs to the end of the line rather than losing it.
  const auto open = TSourceCommand::SplitItems(u"A=1;\"B=2;C=3");
  ASSERT_EQ(open.size(), 2u);
  EXPECT_EQ(Utf8(open[1]), "\"B=2;C=3");
}

TEST(SourceCommandTest, KeyIsAPrefixMatchIgnoringCaseFollowedByEquals) {
  const TSourceCommand command(u"namex=1;NAME=Results,2;name=Other");
  KString value;
  ASSERT_TRUE(command.Value(u"Name", value));
  EXPECT_EQ(Utf8(value), "Results,2");
  KString field;
  ASSERT_TRUE(command.Field(u"Name", field));
  EXPECT_EQ(Utf8(field), "Results");
  EXPECT_FALSE(command.Value(u"Nam", value));
  EXPECT_FALSE(command.Value(u"Delay", value));
}

TEST(SourceCommandTest, FirstFieldHonoursQuotes) {
  EXPECT_EQ(Utf8(TSourceCommand::FirstField(u"\"a,b\",c")), "a,b");
  EXPECT_EQ(Utf8(TSourceCommand::FirstField(u"x")), "x");
  EXPECT_EQ(Utf8(TSourceCommand::FirstField(u"")), "");
  const TSourceCommand command(u"Command=LayoutDraw;Name=\"Heat, final\",9");
  EXPECT_EQ(Utf8(command.Name()), "Heat, final");
}

TEST(SourceCommandTest, NumbersAreDecimalWithSignOrAbsent) {
  int value = 0;
  EXPECT_TRUE(TSourceCommand::ReadDecimal(u"-12abc", value));
  EXPECT_EQ(value, -12);
  EXPECT_TRUE(TSourceCommand::ReadDecimal(u"+7", value));
  EXPECT_EQ(value, 7);
  EXPECT_TRUE(TSourceCommand::ReadDecimal(u"0x10", value));
  EXPECT_EQ(value, 0);  // decimal only: the "x" ends the number
  EXPECT_FALSE(TSourceCommand::ReadDecimal(u"", value));
  EXPECT_FALSE(TSourceCommand::ReadDecimal(u"-", value));
  EXPECT_FALSE(TSourceCommand::ReadDecimal(u" 5", value));
  EXPECT_TRUE(TSourceCommand::ReadDecimal(u"99999999999", value));  // wraps, no crash
}

TEST(SourceCommandTest, LayoutDrawParameters) {
  const TSourceCommand draw(u"Command=LayoutDraw;Name=results;Delay=0;Clear=1");
  EXPECT_EQ(draw.GetKind(), TSourceCommand::kLayoutDraw);
  EXPECT_TRUE(draw.HasName());
  EXPECT_EQ(Utf8(draw.Name()), "results");
  EXPECT_TRUE(draw.HasDelay());
  EXPECT_EQ(draw.Delay(), 0);
  EXPECT_EQ(draw.ClearMode(), TSourceCommand::kClearIfHidden);
  EXPECT_FALSE(draw.HasWindow());

  const TSourceCommand byWindow(u"command=layoutdraw;Window=2;Delay=soon;Clear=3");
  EXPECT_EQ(byWindow.GetKind(), TSourceCommand::kLayoutDraw);
  EXPECT_FALSE(byWindow.HasName());
  EXPECT_TRUE(byWindow.HasWindow());
  EXPECT_EQ(byWindow.Window(), 2);
  EXPECT_FALSE(byWindow.HasDelay());
  EXPECT_EQ(byWindow.Delay(), -1);
  EXPECT_EQ(byWindow.ClearMode(), TSourceCommand::kClearNothing);
  EXPECT_EQ(TSourceCommand(u"Command=LayoutDraw;Clear=2").ClearMode(),
            TSourceCommand::kClearAlways);
}

TEST(SourceCommandTest, TriggerNeedsANameAndReadsItsAction) {
  const TSourceCommand go(u"Command=Trigger;Name=Go");
  EXPECT_EQ(go.GetKind(), TSourceCommand::kTrigger);
  EXPECT_EQ(Utf8(go.Name()), "Go");
  EXPECT_EQ(go.TriggerAction(), TSourceCommand::kActionOn);
  EXPECT_EQ(TSourceCommand(u"Command=Trigger;Name=a;Action=off").TriggerAction(),
            TSourceCommand::kActionOff);
  EXPECT_EQ(TSourceCommand(u"Command=Trigger;Name=a;Action=TOGGLE").TriggerAction(),
            TSourceCommand::kActionToggle);
  EXPECT_EQ(TSourceCommand(u"Command=Trigger;Name=a;Action=Blink").TriggerAction(),
            TSourceCommand::kActionOn);
  const TSourceCommand longName(u"Command=Trigger;Name=ABCDEFGHIJKLMNOPQRST");
  EXPECT_EQ(Utf8(longName.Name()), "ABCDEFGHIJKLMNO");
  EXPECT_EQ(TSourceCommand(u"Command=Trigger;Name=").GetKind(), TSourceCommand::kNone);
  EXPECT_EQ(TSourceCommand(u"Command=Trigger").GetKind(), TSourceCommand::kNone);
}

TEST(SourceCommandTest, OtherLinesAreIgnored) {
  EXPECT_EQ(TSourceCommand(u"Command=Reboot;Name=x").GetKind(), TSourceCommand::kNone);
  EXPECT_EQ(TSourceCommand(u"hello world").GetKind(), TSourceCommand::kNone);
  EXPECT_EQ(TSourceCommand(u"").GetKind(), TSourceCommand::kNone);
  EXPECT_EQ(Utf8(TSourceCommand(u"Command=\"LayoutDraw\",x").Command()), "LayoutDraw");
  EXPECT_EQ(TSourceCommand(u"Command=\"LayoutDraw\",x").GetKind(), TSourceCommand::kLayoutDraw);
}

}  // namespace
