#include "sources/t_fields.h"

#include <gtest/gtest.h>

#include <string>

#include "recording_source.h"
#include "sources/t_definition_index.h"
#include "sources/t_field_string_processor.h"
#include "sources/t_script_reader.h"

namespace {

const char kResults[] =
    ";;Results\nheader=\\02,length=1\ntrailer=\\03,length=1\n"
    "textfield=Lane,length=4\ntextfield=Name,stop=\\2c\n";

class CutterTest : public ::testing::Test {
 protected:
  void Load(RecordingSource& target, const std::u16string& script, int bufferSize = 32767) {
    TScriptReader(processor, bufferSize).LoadText(target.definitions, &target, script);
  }
  void Load(const std::string& script, int bufferSize = 32767) {
    Load(source, KString::FromLatin1(script).ToU16(), bufferSize);
  }

  TFieldStringProcessor processor;
  RecordingSource source;
};

TEST_F(CutterTest, TrailerTerminatedPacket) {
  Load(kResults);
  source.Feed(
      "\x02"
      "0003Smith,\x03");
  ASSERT_EQ(source.packets.size(), 1u);
  EXPECT_EQ(source.packets[0].definition, "Results");
  EXPECT_EQ(source.packets[0].Value("Lane"), "0003");
  EXPECT_EQ(source.packets[0].Value("Name"), "Smith");
  EXPECT_TRUE(source.packets[0].fields[1].matched);
  EXPECT_FALSE(source.definitions.At(0)->InPacket());
  // The trailer is not part of the last field, and values stay until the next packet.
  EXPECT_EQ(source.definitions.At(0)->FindField(u"Name")->Value().ToU16(), u"Smith");
}

TEST_F(CutterTest, TrailerNeverReachesAStopLessLastField) {
  Load(";;R\nheader=\\02,length=1\ntrailer=\\0d\\0a,length=2\ntextfield=All,stop=\\0d\n");
  source.Feed(
      "\x02"
      "ab\rc\r\n");
  ASSERT_EQ(source.packets.size(), 1u);
  EXPECT_EQ(source.packets[0].Value("All"), "ab");
  Load(";;R\nheader=\\02,length=1\ntrailer=\\0d\\0a,length=2\ntextfield=All,length=3\n");
  source.Feed(
      "\x02"
      "abc\r\n");
  EXPECT_EQ(source.packets.back().Value("All"), "abc");
}

TEST_F(CutterTest, HeaderWithoutLengthNeverMatches) {
  Load(";;R\nheader=\\02\ntrailer=\\03,length=1\ntextfield=A,length=1\n");
  source.Feed(
      "\x02"
      "a\x03\x02"
      "b\x03");
  EXPECT_TRUE(source.packets.empty());
  EXPECT_FALSE(source.definitions.At(0)->InPacket());
}

TEST_F(CutterTest, BlankAfterCommaLeavesTheLengthUnset) {
  Load(
      ";;R\nHeader=\\02,Length=1\nbodylength=2\ntextfield=A,length=2\n"
      ";;S\nheader=\\02, length=1\nbodylength=2\ntextfield=A,length=2\n");
  source.Feed(
      "\x02"
      "ab");
  ASSERT_EQ(source.packets.size(), 1u);
  EXPECT_EQ(source.packets[0].definition, "R");
}

TEST_F(CutterTest, MultiCharacterHeaderIsHuntedAcrossNoise) {
  Load(";;R\nheader=<<,length=2\nbodylength=3\ntextfield=A,length=3\n");
  source.Feed("x<y<<<abc<<def");
  ASSERT_EQ(source.packets.size(), 2u);
  EXPECT_EQ(source.packets[0].Value("A"), "<ab");
  EXPECT_EQ(source.packets[1].Value("A"), "def");
}

TEST_F(CutterTest, ShortBodyDeliversWhenOneFieldMatched) {
  Load(
      ";;R\nheader=\\02,length=1\ntrailer=\\03,length=1\ntextfield=A,length=2\n"
      "textfield=B,length=5\n");
  source.Feed(
      "\x02"
      "abcd\x03");
  ASSERT_EQ(source.packets.size(), 1u);
  EXPECT_EQ(source.packets[0].Value("A"), "ab");
  EXPECT_TRUE(source.packets[0].fields[0].matched);
  EXPECT_EQ(source.packets[0].Value("B"), "");
  EXPECT_FALSE(source.packets[0].fields[1].matched);
}

TEST_F(CutterTest, NoMatchedFieldMeansNoDelivery) {
  Load(
      ";;R\nheader=\\02,length=1\ntrailer=\\03,length=1\ntextfield=A,length=9\n"
      "textfield=B\n");
  source.debugActive = true;
  source.Feed(
      "\x02"
      "abc\x03");
  EXPECT_TRUE(source.packets.empty());
  EXPECT_EQ(source.events, (std::vector<std::string>{"{Timer R HDR}", "{Timer R TRL}"}));
}

TEST_F(CutterTest, StopSequenceMissingLeavesTheFieldUnmatched) {
  Load(
      ";;R\nheader=\\02,length=1\ntrailer=\\03,length=1\ntextfield=A,stop=\\2c\n"
      "textfield=B,stop=\\2c\n");
  source.Feed(
      "\x02"
      "one,two\x03");
  ASSERT_EQ(source.packets.size(), 1u);
  EXPECT_EQ(source.packets[0].Value("A"), "one");
  EXPECT_EQ(source.packets[0].Value("B"), "two");  // what was collected stays
  EXPECT_FALSE(source.packets[0].fields[1].matched);
}

TEST_F(CutterTest, TwoDefinitionsWithOneHeaderCollectInParallel) {
  Load(
      ";;Short\nheader=\\02,length=1\nbodylength=2\ntextfield=A,length=2\n"
      ";;Long\nheader=\\02,length=1\ntrailer=\\03,length=1\ntextfield=All,length=4\n");
  source.Feed(
      "\x02"
      "abcd\x03");
  ASSERT_EQ(source.packets.size(), 2u);
  EXPECT_EQ(source.packets[0].definition, "Short");
  EXPECT_EQ(source.packets[0].Value("A"), "ab");
  EXPECT_EQ(source.packets[1].definition, "Long");
  EXPECT_EQ(source.packets[1].Value("All"), "abcd");
}

TEST_F(CutterTest, FullBufferIsEmptiedAndTheHuntStartsOver) {
  Load(
      ";;R\nheader=\\02,length=1\ntrailer=\\03,length=1\ntextfield=A,length=1\n"
      "textfield=B,length=1\n",
      8);
  source.debugActive = true;
  // Ten body characters do not fit in eight; the trailer then finds no packet.
  source.Feed(
      "\x02"
      "0123456789\x03");
  EXPECT_TRUE(source.packets.empty());
  EXPECT_FALSE(source.definitions.At(0)->InPacket());
  EXPECT_EQ(source.events, std::vector<std::string>{"{Timer R HDR}"});
  // The next packet that fits is found again.
  source.Feed(
      "\x02"
      "xy\x03");
  ASSERT_EQ(source.packets.size(), 1u);
  EXPECT_EQ(source.packets[0].Value("A"), "x");
  EXPECT_EQ(source.packets[0].Value("B"), "y");
}

TEST_F(CutterTest, BodyWithoutTrailerOutgrowsTheBuffer) {
  Load(";;R\nheader=\\02,length=1\ntextfield=A,length=1\n", 4);
  source.Feed(
      "\x02"
      "abcd");
  EXPECT_TRUE(source.definitions.At(0)->InPacket());
  EXPECT_EQ(source.definitions.At(0)->Buffer().Length(), 4);
  source.Feed("e");  // full: emptied, hunting again
  EXPECT_FALSE(source.definitions.At(0)->InPacket());
  source.Feed("\x02");
  EXPECT_TRUE(source.definitions.At(0)->InPacket());
}

TEST_F(CutterTest, ProcessStringsRunAtExtraction) {
  Load(
      ";;R\nheader=\\02,length=1\ntrailer=\\03,length=1\n"
      "textfield=Time,length=4,process=%.2s:%.2s\ntextfield=Pts,stop=\\2c,process=%s\\L3.\n"
      "textfield=Name,length=7,process=%s\\L0\\P0\n");
  source.Feed(
      "\x02"
      "123412345,  Ann  \x03");
  ASSERT_EQ(source.packets.size(), 1u);
  EXPECT_EQ(source.packets[0].Value("Time"), "12:34");
  EXPECT_EQ(source.packets[0].Value("Pts"), "12.345");
  EXPECT_EQ(source.packets[0].Value("Name"), "Ann");
}

TEST_F(CutterTest, ProcessedHeaderIsComparedAfterProcessing) {
  // The header field's value goes through its process string before the comparison.
  Load(";;R\nheader=AB,length=2,process=%s\\B1B\nbodylength=1\ntextfield=X,length=1\n");
  source.Feed("AxAAB1");  // "Ax" becomes "AB" too
  ASSERT_EQ(source.packets.size(), 2u);
  EXPECT_EQ(source.packets[0].Value("X"), "A");
  EXPECT_EQ(source.packets[1].Value("X"), "1");
}

TEST_F(CutterTest, RegistersAreSharedAcrossSources) {
  RecordingSource other;
  const std::u16string script =
      u";;Count\nheader=\\02,length=1\nbodylength=1\n"
      u"textfield=N,length=1,process=\\+0\\X3\\U2\\O0\n";
  Load(source, script);
  Load(other, script);
  source.Feed("\x02x");
  other.Feed("\x02y");
  source.Feed("\x02z");
  ASSERT_EQ(source.packets.size(), 2u);
  ASSERT_EQ(other.packets.size(), 1u);
  EXPECT_EQ(source.packets[0].Value("N"), "001");
  EXPECT_EQ(other.packets[0].Value("N"), "002");
  EXPECT_EQ(source.packets[1].Value("N"), "003");
}

TEST_F(CutterTest, NoiseSplitPacketsAndAnOverlongPacketInOneStream) {
  Load(std::string(kResults) +
           ";;Heat\nheader=\\01H,length=2\nbodylength=3\ntextfield=Heat,length=3,"
           "process=%s\\L0\\X4\\I0\n;;Clock\nheader=\\01C,length=2\ntrailer=\\0d,length=1\n"
           "textfield=Time,length=6\n",
       16);
  source.debugActive = true;
  std::string feed = "garbage\x03\x01";
  feed +=
      "\x02"
      "0001Ann,";                     // first half of a packet
  const std::string second = "\x03";  // its end, in a later read
  const std::string rest = std::string("noise\x01H12") + "3" +
                           "\x01"
                           "C1:02.3\r" +
                           "\x02" + std::string(30, 'z') + "\x03" +
                           "\x02"
                           "0002Bo,\x03";
  source.Feed(feed);
  EXPECT_TRUE(source.packets.empty());
  source.Feed(second);
  source.Feed(rest);
  ASSERT_EQ(source.packets.size(), 4u);
  EXPECT_EQ(source.packets[0].Value("Name"), "Ann");
  EXPECT_EQ(source.packets[1].Value("Heat"), " 123");
  EXPECT_EQ(source.packets[2].Value("Time"), "1:02.3");
  EXPECT_EQ(source.packets[3].Value("Lane"), "0002");
  EXPECT_EQ(source.packets[3].Value("Name"), "Bo");
  EXPECT_EQ(source.events,
            (std::vector<std::string>{
                "{Timer Results HDR}", "{Timer Results BDY TRL}", "{Timer Heat HDR}",
                "{Timer Heat BDY TRL}", "{Timer Clock HDR}", "{Timer Clock BDY TRL}",
                "{Timer Results HDR}", "{Timer Results HDR}", "{Timer Results BDY TRL}"}));
}

TEST_F(CutterTest, EventsOnlyWhileTheDebugPortListens) {
  Load(kResults);
  source.name = KString();
  source.Feed(
      "\x02"
      "0001A,\x03");
  EXPECT_TRUE(source.events.empty());
  source.debugActive = true;
  source.Feed(
      "\x02"
      "0001A,\x03");
  EXPECT_EQ(source.events, (std::vector<std::string>{"{ Results HDR}", "{ Results BDY TRL}"}));
}

TEST_F(CutterTest, CommandLinesBetweenPackets) {
  Load(kResults);
  source.Feed("LayoutDraw=Start\n\n");
  EXPECT_EQ(source.commands, (std::vector<std::string>{"LayoutDraw=Start", "LayoutDraw=Start"}));
  // Packet traffic forgets the line in progress and the previous command.
  source.Feed(
      "Trig\x02"
      "0001A,\x03\n");
  EXPECT_EQ(source.commands.size(), 3u);
  EXPECT_EQ(source.commands.back(), "");
  source.Feed("Trigger=Go\r\n");
  EXPECT_EQ(source.commands.back(), "Trigger=Go\r");  // line ends arrive untranslated
}

TEST(TCommandLineCollector, LongLinesAreCut) {
  TCommandLineCollector collector;
  KString command;
  for (int i = 0; i < TCommandLineCollector::kMaxLineLength + 100; ++i) {
    EXPECT_FALSE(collector.Feed(u'x', command));
  }
  EXPECT_TRUE(collector.Feed(u'\n', command));
  EXPECT_EQ(command.Length(), TCommandLineCollector::kMaxLineLength);
  EXPECT_TRUE(collector.CurrentLine().IsEmpty());
  EXPECT_EQ(collector.PreviousCommand().Length(), TCommandLineCollector::kMaxLineLength);
}

TEST_F(CutterTest, DefinitionIndexCountsOverAllSources) {
  RecordingSource second;
  RecordingSource stray;
  Load(";;A\n;;B\n");
  Load(second, u";;C\n;;D\n;;E\n");
  Load(stray, u";;F\n");
  TDefinitionIndex index;
  index.Add(source.definitions);
  index.Add(second.definitions);
  EXPECT_EQ(index.Count(), 5);
  EXPECT_EQ(index.IndexOf(*source.definitions.At(1)), 1);
  EXPECT_EQ(index.IndexOf(*second.definitions.At(0)), 2);
  EXPECT_EQ(index.IndexOf(*second.definitions.At(2)), 4);
  EXPECT_EQ(index.IndexOf(*stray.definitions.At(0)), -1);
  EXPECT_EQ(index.At(3), second.definitions.At(1));
  EXPECT_EQ(index.At(5), nullptr);
  EXPECT_EQ(index.At(-1), nullptr);
  index.Remove(source.definitions);
  EXPECT_EQ(index.IndexOf(*second.definitions.At(0)), 0);
  EXPECT_EQ(index.IndexOf(*source.definitions.At(0)), -1);
}

TEST_F(CutterTest, BufferOfNoCapacityFindsNothing) {
  Load(kResults, 0);
  source.Feed(
      "\x02"
      "0001A,\x03");
  EXPECT_TRUE(source.packets.empty());
}

}  // namespace
