// The indexed feed must cut exactly what feeding every definition every
// character cuts: the same packets, fields, debug events and command lines,
// over the demo race and over random traffic aimed at the tricky headers.
#include "sources/t_packet_definitions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "base/k_buffered_file.h"
#include "ports/k_capture_file.h"
#include "recording_source.h"
#include "sources/t_field_string_processor.h"
#include "sources/t_script_reader.h"

namespace {

const std::string kDemo =
    (std::filesystem::path(TELVANE_TEST_DATA).parent_path().parent_path() / "assets" / "demo")
        .string();

std::string ReadAll(const std::string& path) {
  KBufferedFile file(KString(path.c_str()), 4096);
  file.Open(KFile::kRead, KFile::kOpenExisting);
  std::string bytes;
  while (file.HasMore()) bytes += static_cast<char>(file.ReadChar());
  return bytes;
}

std::string DemoCapture() {
  KBufferedFile file(KString((kDemo + "/demo-race.tvcap").c_str()), 4096);
  file.Open(KFile::kRead, KFile::kOpenExisting);
  KCapture::Reader reader(file);
  KCapture::Chunk chunk;
  std::string bytes;
  while (reader.Next(chunk)) bytes.append(chunk.bytes.begin(), chunk.bytes.end());
  return bytes;
}

// What the cutter did before the index: every definition sees every character.
void FeedEveryDefinition(RecordingSource& source, std::u16string_view text) {
  for (const char16_t ch : text) {
    bool traffic = false;
    for (TFields* fields : source.definitions.List().Items<TFields>()) {
      const bool before = fields->InPacket();
      fields->Feed(ch);
      traffic = traffic || before || fields->InPacket();
    }
    if (traffic) {
      source.collector.Reset();
    } else {
      KString command;
      if (source.collector.Feed(ch, command)) source.commands.push_back(command.ToUtf8());
    }
  }
}

void ExpectSameAs(const RecordingSource& got, const RecordingSource& want) {
  ASSERT_GT(want.packets.size(), 10u) << "the feed must exercise the cutter";
  ASSERT_EQ(got.packets.size(), want.packets.size());
  for (size_t i = 0; i < want.packets.size(); ++i) {
    ASSERT_EQ(got.packets[i].definition, want.packets[i].definition) << "packet " << i;
    ASSERT_EQ(got.packets[i].fields.size(), want.packets[i].fields.size());
    for (size_t f = 0; f < want.packets[i].fields.size(); ++f) {
      EXPECT_EQ(got.packets[i].fields[f].value, want.packets[i].fields[f].value)
          << "packet " << i << " field " << f;
      EXPECT_EQ(got.packets[i].fields[f].matched, want.packets[i].fields[f].matched);
    }
  }
  EXPECT_EQ(got.events, want.events);
  EXPECT_EQ(got.commands, want.commands);
}

// The indexed cutter, in runs and one character at a time, against every
// definition seeing every character.
void ExpectSameCut(const std::u16string& script, int bufferSize, const std::u16string& feed,
                   size_t pieceSize = 1000) {
  TFieldStringProcessor runProcessor;
  TFieldStringProcessor eachProcessor;
  TFieldStringProcessor referenceProcessor;
  RecordingSource runs;
  RecordingSource each;
  RecordingSource reference;
  runs.debugActive = each.debugActive = reference.debugActive = true;
  TScriptReader(runProcessor, bufferSize).LoadText(runs.definitions, &runs, script);
  TScriptReader(eachProcessor, bufferSize).LoadText(each.definitions, &each, script);
  TScriptReader(referenceProcessor, bufferSize).LoadText(reference.definitions, &reference, script);
  // Fed in uneven pieces, as passes would.
  for (size_t at = 0; at < feed.size(); at += pieceSize) {
    const std::u16string_view piece = std::u16string_view(feed).substr(at, pieceSize);
    runs.Feed(piece);
    each.FeedEach(piece);
    FeedEveryDefinition(reference, piece);
  }
  {
    SCOPED_TRACE("in runs");
    ExpectSameAs(runs, reference);
  }
  {
    SCOPED_TRACE("one by one");
    ExpectSameAs(each, reference);
  }
}

TEST(TPacketDefinitions, DemoRaceCutsAsBeforeTheIndex) {
  const std::string script = ReadAll(kDemo + "/Chronvale.rss");
  const std::string capture = DemoCapture();
  ASSERT_GT(capture.size(), 1000u);
  KString scriptText = KString::FromLatin1(script);
  // The script file has CR LF line ends; the reader takes LF lines.
  std::u16string lines;
  for (const char16_t ch : scriptText.View()) {
    if (ch != u'\r') lines += ch;
  }
  ExpectSameCut(lines, 32767, std::u16string(KString::FromLatin1(capture).View()));
}

std::u16string RandomFeed(unsigned seed, std::u16string_view alphabet, int length) {
  std::mt19937 random(seed);
  std::u16string feed;
  for (int i = 0; i < length; ++i) feed += alphabet[random() % alphabet.size()];
  return feed;
}

TEST(TPacketDefinitions, RandomTrafficCutsAsBeforeTheIndex) {
  // Headers that overlap themselves and each other, one with a process
  // string, one without a length, one longer than the buffer, one above
  // the indexed range, a body length, and enough definitions for two words.
  std::u16string script =
      u";;ABA\nheader=ABA,length=3\ntrailer=Z,length=1\ntextfield=F,stop=\\2c\n"
      u";;AB\nheader=AB,length=2\nbodylength=3\ntextfield=F,length=2\n"
      u";;Proc\nheader=BA,length=2,process=%s\ntrailer=Z,length=1\ntextfield=F,length=1\n"
      u";;NoLength\nheader=A\ntrailer=Z,length=1\ntextfield=F,length=1\n"
      u";;Long\nheader=ABABABABAB,length=10\ntrailer=Z,length=1\ntextfield=F,length=1\n"
      u";;Wide\nheader=\u0101A,length=2\ntrailer=Z,length=1\ntextfield=F,length=1\n"
      u";;Same1\nheader=\\02R,length=2\ntrailer=\\03,length=1\ntextfield=F,stop=\\2c\n"
      u";;Same2\nheader=\\02R,length=2\ntrailer=\\03,length=1\ntextfield=G,length=2\n";
  for (int i = 0; i < 70; ++i) {
    script +=
        u";;Many" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) + u"\nheader=\\02";
    script += static_cast<char16_t>(u'a' + i % 26);
    script += u",length=2\ntrailer=\\03,length=1\ntextfield=F,stop=\\2c\n";
  }
  const char16_t alphabet[] = {u'A', u'B', u'Z',  u',', u'\x02',   u'\x03', u'R',
                               u'a', u'b', u'\n', u'x', u'\u0101', u'c'};
  ExpectSameCut(script, 8, RandomFeed(4242, {alphabet, std::size(alphabet)}, 100000));
}

TEST(TPacketDefinitions, RunsOfTrafficCutAsBeforeTheIndex) {
  // Only plain headers, so whole bodies and gaps go in one step: headers that
  // share a last character (and its low byte: \u0152 and R), one that
  // overlaps itself, trailers of one and two characters, body lengths, a
  // trailer that is only a length, and bodies that overflow a small buffer.
  const std::u16string script =
      u";;R\nheader=\\02R,length=2\ntrailer=\\03,length=1\ntextfield=F,stop=\\2c\n"
      u"textfield=G,stop=\\2c,process=%s\\L0\\P0\n"
      u";;QR\nheader=QR,length=2\ntrailer=ZZ,length=2\ntextfield=F,length=2\n"
      u";;Wide\nheader=\u0152,length=1\ntrailer=\\03,length=1\ntextfield=F,stop=R\n"
      u";;AA\nheader=AAA,length=3\nbodylength=5\ntextfield=F,length=2\ntextfield=G,length=3\n"
      u";;Nil\nheader=\\01,length=1\nbodylength=0\ntextfield=F,length=1\n"
      u";;Open\nheader=\\04,length=1\ntextfield=F,length=3\n"
      u";;Odd\nheader=XY,length=3\ntrailer=\\03,length=1\ntextfield=F,length=1\n";
  const char16_t alphabet[] = {u'A', u'Q',  u'R',      u'Z',    u',',    u'\x02', u'\x03', u' ',
                               u'x', u'\n', u'\u0152', u'\x01', u'\x04', u'X',    u'Y'};
  const std::u16string_view letters(alphabet, std::size(alphabet));
  for (const int bufferSize : {6, 40, 32767}) {
    SCOPED_TRACE(bufferSize);
    ExpectSameCut(script, bufferSize, RandomFeed(bufferSize, letters, 60000));
  }
  // Long gaps and bodies of plain characters between the headers.
  std::u16string feed;
  std::mt19937 random(7);
  for (int i = 0; i < 3000; ++i) {
    feed += std::u16string(random() % 40, u'x');
    feed += letters[random() % letters.size()];
    if (i % 7 == 0) feed += u"Trigger=Lap\n\n";
  }
  ExpectSameCut(script, 64, feed);
}

TEST(TPacketDefinitions, VectorScannedRunsCutAsBeforeTheIndex) {
  // Few enough characters can stop a run for it to be scanned eight at a
  // time: the one before \02R's and QR's last, and the one-character header
  // \u0152. Their look-alikes by low byte (\u0102, \u0151, R) must not stop
  // it, nor an LF inside a packet; stops fall on every place of a step, at
  // the ends of pieces, and a header may end just after a piece.
  const std::u16string script =
      u";;R\nheader=\\02R,length=2\ntrailer=\\03,length=1\ntextfield=F,stop=\\2c\n"
      u"textfield=G,stop=\\2c\n"
      u";;QR\nheader=QR,length=2\ntrailer=ZZ,length=2\ntextfield=F,length=2\n"
      u";;Wide\nheader=\u0152,length=1\nbodylength=9\ntextfield=F,stop=R\n";
  const char16_t alphabet[] = {u'Q',  u'R',      u'Z',      u',',      u'\x02', u'\x03',
                               u'\n', u'\u0102', u'\u0151', u'\u0152', u'x'};
  const std::u16string_view letters(alphabet, std::size(alphabet));
  std::u16string feed;
  std::mt19937 random(11);
  for (int i = 0; i < 6000; ++i) {
    feed += std::u16string(random() % 20, u'x');
    feed += letters[random() % letters.size()];
    if (i % 5 == 0) feed += u"\x02R1,A\n,\x03";
    if (i % 7 == 0) feed += u"\x02R12,Smith,John\nUSA,\x03";  // overflows the small buffer
    if (i % 11 == 0) feed += u"Trigger=Lap\n\n";
  }
  for (const int bufferSize : {8, 40, 32767}) {
    for (const size_t pieceSize : {size_t{1000}, size_t{9}, size_t{2}}) {
      SCOPED_TRACE(testing::Message() << bufferSize << " " << pieceSize);
      ExpectSameCut(script, bufferSize, feed, pieceSize);
    }
  }
}

}  // namespace
