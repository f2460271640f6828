#include "sources/t_script_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "base/k_memory_stream.h"
#include "config/k_r_int.h"
#include "config/k_registry.h"
#include "recording_source.h"
#include "sources/t_field_string_processor.h"
#include "sources/t_fields.h"
#include "sources/t_script_settings.h"
#include "tests/ports/captured_log.h"

namespace {

class ScriptReaderTest : public ::testing::Test {
 protected:
  void Load(const std::string& script) {
    KMemoryStream stream(script.data(), script.size());
    ASSERT_TRUE(reader.Load(source.definitions, &source, stream));
  }
  TFields& Definition(int index) {
    TFields* fields = source.definitions.At(index);
    EXPECT_NE(fields, nullptr);
    return *fields;
  }

  TFieldStringProcessor processor;
  TScriptReader reader{processor, 64};
  RecordingSource source;
};

TEST_F(ScriptReaderTest, TheExampleScript) {
  Load(
      ";;Results\r\nheader=\\02,length=1\r\ntrailer=\\03,length=1\r\n"
      "textfield=Lane,length=4\r\ntextfield=Name,stop=\\2c\r\n");
  ASSERT_EQ(source.definitions.Count(), 1);
  TFields& results = Definition(0);
  EXPECT_EQ(results.Name().ToU16(), u"Results");
  EXPECT_EQ(results.Header().Name().ToU16(), u"\x02");
  EXPECT_EQ(results.Header().Length(), 1);
  EXPECT_EQ(results.Trailer().Name().ToU16(), u"\x03");
  EXPECT_EQ(results.BodyLength(), -1);
  ASSERT_EQ(results.Fields().Count(), 2);
  EXPECT_EQ(results.FindField(u"Lane")->Length(), 4);
  EXPECT_EQ(results.FindField(u"Name")->Stop().ToU16(), u",");
  EXPECT_EQ(results.FindField(u"lane"), nullptr);  // names are case-sensitive
  EXPECT_EQ(results.Buffer().Capacity(), 64);
}

TEST_F(ScriptReaderTest, LinesBeforeTheFirstDefinitionAndCommentsAreIgnored) {
  Load(
      "header=\\02,length=1\ntextfield=Stray\n; a comment\n;;A\n;header=x,length=1\n"
      "textfield=F,length=1\n;;\n");
  ASSERT_EQ(source.definitions.Count(), 2);
  EXPECT_TRUE(Definition(0).Header().Name().IsEmpty());
  EXPECT_EQ(Definition(0).Fields().Count(), 1);
  EXPECT_TRUE(Definition(1).Name().IsEmpty());
}

TEST_F(ScriptReaderTest, NamesAreCutTo31CharactersAndNotTrimmed) {
  Load(";;0123456789012345678901234567890123456789\n;; spaced \n");
  EXPECT_EQ(Definition(0).Name().ToU16(), u"0123456789012345678901234567890");
  EXPECT_EQ(Definition(1).Name().ToU16(), u" spaced ");
}

TEST_F(ScriptReaderTest, KeywordsIgnoreCaseButNotLeadingBlanks) {
  Load(";;A\nHeader=\\02,Length=1\n;;B\nheader=\\02, length=1\n;;C\n TEXTFIELD=x\nTEXTFIELD=y\n");
  EXPECT_EQ(Definition(0).Header().Length(), 1);
  EXPECT_EQ(Definition(1).Header().Length(), -1);
  ASSERT_EQ(Definition(2).Fields().Count(), 1);
  EXPECT_NE(Definition(2).FindField(u"y"), nullptr);
}

TEST_F(ScriptReaderTest, NumbersShareTheIntegerSyntax) {
  Load(
      ";;A\nbodylength=010\ntextfield=a,length=0x10\ntextfield=b,length=-3\n"
      "textfield=c,length=zz\ntextfield=d,length=5,length=7\n;;B\nbodylength=x\n");
  EXPECT_EQ(Definition(0).BodyLength(), 8);
  EXPECT_EQ(Definition(0).FindField(u"a")->Length(), 16);
  EXPECT_EQ(Definition(0).FindField(u"b")->Length(), -3);
  EXPECT_EQ(Definition(0).FindField(u"c")->Length(), -1);  // unchanged
  EXPECT_EQ(Definition(0).FindField(u"d")->Length(), 7);   // the later one wins
  EXPECT_EQ(Definition(1).BodyLength(), -1);
}

TEST_F(ScriptReaderTest, QuotedTokensKeepTheirCommas) {
  const auto tokens = TScriptReader::SplitTokens(u"textfield=a, \"process=%s,x\" ,\"stop=\\2c\"");
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ(tokens[0].ToU16(), u"textfield=a");
  EXPECT_EQ(tokens[1].ToU16(), u"process=%s,x");
  EXPECT_EQ(tokens[2].ToU16(), u"stop=\\2c");
  // A quote not followed by a comma does not end the token.
  const auto inner = TScriptReader::SplitTokens(u"\"a\"b\",c");
  ASSERT_EQ(inner.size(), 2u);
  EXPECT_EQ(inner[0].ToU16(), u"a\"b");
  // No closing quote: the token runs to the end of the line.
  const auto open = TScriptReader::SplitTokens(u"x,\"y,z");
  ASSERT_EQ(open.size(), 2u);
  EXPECT_EQ(open[1].ToU16(), u"y,z");
  // Unquoted tokens keep their blanks; an empty line is one empty token.
  EXPECT_EQ(TScriptReader::SplitTokens(u" a ,")[0].ToU16(), u" a ");
  EXPECT_EQ(TScriptReader::SplitTokens(u" a ,").size(), 2u);
  const std::u16string longToken(300, u'x');
  EXPECT_EQ(TScriptReader::SplitTokens(longToken)[0].Length(), 255);
}

TEST_F(ScriptReaderTest, AttributesApplyToTheDeclaredField) {
  Load(
      ";;A\nheader=\\02\\2c,length=2,process=%s\ntrailer=\\0d\\0a,length=2,stop=x\n"
      "textfield=Time,length=6,\"process=%.2s:%s\",stop=\\2c,other=1\n"
      "textfield=Raw,process=\\5c\\2c\n");
  EXPECT_EQ(Definition(0).Header().Name().ToU16(), u"\x02,");
  EXPECT_EQ(Definition(0).Header().Process().ToU16(), u"%s");
  EXPECT_EQ(Definition(0).Trailer().Name().ToU16(), u"\r\n");
  EXPECT_EQ(Definition(0).Trailer().Stop().ToU16(), u"x");
  const TField* time = Definition(0).FindField(u"Time");
  EXPECT_EQ(time->Process().ToU16(), u"%.2s:%s");
  EXPECT_EQ(time->Stop().ToU16(), u",");
  // The process string is kept as written, to be run at extraction.
  EXPECT_EQ(Definition(0).FindField(u"Raw")->Process().ToU16(), u"\\5c\\2c");
}

TEST_F(ScriptReaderTest, UppercaseHexIsNoEscape) {
  Load(";;A\nheader=\\0D,length=1\n");
  EXPECT_EQ(Definition(0).Header().Name().ToU16(), u"D");
}

TEST_F(ScriptReaderTest, Utf16ScriptsAndAMissingFinalLineEnd) {
  const std::u16string text = u"\xFEFF;;Ünï\r\ntextfield=Ω,length=1";
  std::string bytes;
  for (const char16_t ch : text) {
    bytes += static_cast<char>(ch & 0xFF);
    bytes += static_cast<char>(ch >> 8);
  }
  Load(bytes);
  ASSERT_EQ(source.definitions.Count(), 1);
  EXPECT_EQ(Definition(0).Name().ToU16(), u"Ünï");
  EXPECT_NE(Definition(0).FindField(u"Ω"), nullptr);
}

TEST_F(ScriptReaderTest, ReloadingReplacesTheDefinitions) {
  Load(";;A\n;;B\n");
  EXPECT_EQ(source.definitions.Count(), 2);
  Load(";;C\n");
  ASSERT_EQ(source.definitions.Count(), 1);
  EXPECT_EQ(Definition(0).Name().ToU16(), u"C");
  KMemoryStream closed;
  EXPECT_TRUE(reader.Load(source.definitions, &source, closed));  // empty script
  EXPECT_EQ(source.definitions.Count(), 0);
}

}  // namespace

namespace {

TEST(TScriptSettings, BufferSizeFromTheSettingsTree) {
  KRegistry empty;
  EXPECT_EQ(TScriptSettings::FromRegistry(empty).packetBufferSize, 32767);
  const char16_t* const lines[] = {u"Sources\\:=", u"Sources\\Fields\\:=",
                                   u"Sources\\Fields\\BufferSize:Int=100", nullptr};
  KRegistry registry;
  registry.ApplyTable(lines);
  EXPECT_EQ(TScriptSettings::FromRegistry(registry).packetBufferSize, 100);
  // Sizes outside 0..16 MiB are held, and the log says so.
  CapturedLog log;
  ASSERT_TRUE(log.IsOpen());
  registry.LookupInt(u"\\Sources\\Fields\\BufferSize")->SetValue(-5);
  EXPECT_EQ(TScriptSettings::FromRegistry(registry).packetBufferSize, 0);
  registry.LookupInt(u"\\Sources\\Fields\\BufferSize")->SetValue(0x7FFFFFFF);
  EXPECT_EQ(TScriptSettings::FromRegistry(registry).packetBufferSize,
            TScriptSettings::kMaxPacketBufferSize);
  const std::string text = log.Text();
  EXPECT_NE(text.find("BufferSize -5 is held to 0"), std::string::npos) << text;
  EXPECT_NE(text.find("BufferSize 2147483647 is held to 16777216"), std::string::npos) << text;
}

}  // namespace

namespace {

TEST_F(ScriptReaderTest, DefinitionsFieldsAndLinesAreBounded) {
  std::string script;
  for (int i = 0; i < TScriptReader::kMaxDefinitions + 5; ++i) {
    script += ";;D" + std::to_string(i) + "\nheader=\\02,length=1\n";
  }
  // Past the limit: this line belongs to a refused definition.
  script += "bodylength=9\n";
  Load(script);
  ASSERT_EQ(source.definitions.Count(), TScriptReader::kMaxDefinitions);
  EXPECT_EQ(Definition(TScriptReader::kMaxDefinitions - 1).BodyLength(), -1);

  script = ";;Many\n";
  for (int i = 0; i < TScriptReader::kMaxFields + 5; ++i) {
    script += "textfield=F" + std::to_string(i) + ",length=1\n";
  }
  Load(script);
  EXPECT_EQ(Definition(0).Fields().Count(), TScriptReader::kMaxFields);

  // A line far longer than any script needs is cut, not held whole.
  script = ";;" + std::string(200000, 'N') + "\n;;Next\n";
  Load(script);
  ASSERT_EQ(source.definitions.Count(), 2);
  EXPECT_EQ(Definition(1).Name().ToUtf8(), "Next");
}

}  // namespace

namespace {

TEST_F(ScriptReaderTest, LengthsBeyondThirtyTwoBitsDoNotParse) {
  Load(
      ";;Big\nheader=\\02,length=2147483648\nbodylength=0x100000000\n"
      "textfield=A,length=-2147483648\ntextfield=B,length=2147483647\n"
      "textfield=C,length=99999999999999999999\n");
  TFields& big = Definition(0);
  EXPECT_EQ(big.Header().Length(), -1);  // unchanged
  EXPECT_EQ(big.BodyLength(), -1);
  const auto* a = static_cast<const TField*>(big.Fields().At(0));
  const auto* b = static_cast<const TField*>(big.Fields().At(1));
  const auto* c = static_cast<const TField*>(big.Fields().At(2));
  EXPECT_EQ(a->Length(), -2147483647 - 1);
  EXPECT_EQ(b->Length(), 2147483647);
  EXPECT_EQ(c->Length(), -1);
  // Cutting with such lengths stays defined (run under UBSan).
  source.Feed(
      std::string("\x02"
                  "abc\x02\x02",
                  6));
  RecordingSource other;
  TScriptReader(processor, 64)
      .LoadText(other.definitions, &other,
                u";;Neg\nheader=\\02,length=-2147483648\n"
                u"trailer=\\03,length=-2147483648\n");
  other.Feed(
      std::string("\x02\x03"
                  "xyz",
                  5));
  EXPECT_TRUE(other.packets.empty());
}

}  // namespace
