#include "base/k_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>
#include <vector>

#include "base/k_buffered_file.h"
#include "base/k_file_info.h"
#include "base/k_x.h"
#include "tests/base/temp_dir.h"

namespace {

void WriteBytes(const KString& path, const std::string& bytes) {
  std::ofstream(path.ToUtf8(), std::ios::binary) << bytes;
}

std::string ReadBytes(const KString& path) {
  std::ifstream in(path.ToUtf8(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int CodeOf(const std::function<void()>& action, int* count = nullptr) {
  try {
    action();
  } catch (const KXStream& error) {
    if (count) *count = error.Count();
    return error.Code();
  } catch (const KX& error) {
    return error.Code();
  }
  return 0;
}

}  // namespace

TEST(KFilePath, TheExtensionIsAtMostThreeCharactersAfterTheLastDot) {
  KFile file(KString("/data/x.tmp2"));
  KString extension;
  EXPECT_FALSE(file.Extension(extension));
  file.SetExtension(KString("tln"));
  EXPECT_EQ(file.Path().ToUtf8(), "/data/x.tmp2.tln");
  EXPECT_TRUE(file.Extension(extension));
  EXPECT_EQ(extension.ToUtf8(), "tln");

  KFile dotted(KString("/my.folder/layout"));  // a dot before the last separator is no extension
  EXPECT_FALSE(dotted.Extension(extension));
  dotted.SetExtension(KString("cfg"));
  EXPECT_EQ(dotted.Path().ToUtf8(), "/my.folder/layout.cfg");
  dotted.SetExtension(KString("lng"));
  EXPECT_EQ(dotted.Path().ToUtf8(), "/my.folder/layout.lng");
  dotted.RemoveExtension();
  EXPECT_EQ(dotted.Path().ToUtf8(), "/my.folder/layout");
}

TEST(KFilePath, NameDirectoryAndTheirSetters) {
  KFile file(KString("/home/venue/final.tln"));
  KString part;
  file.Name(part, true);
  EXPECT_EQ(part.ToUtf8(), "final.tln");
  file.Name(part, false);
  EXPECT_EQ(part.ToUtf8(), "final");
  file.Directory(part);
  EXPECT_EQ(part.ToUtf8(), "/home/venue");
  file.SetName(KString("heat2"), true);
  EXPECT_EQ(file.Path().ToUtf8(), "/home/venue/heat2.tln");
  file.SetName(KString("start.rss"), false);
  EXPECT_EQ(file.Path().ToUtf8(), "/home/venue/start.rss");
  file.SetDirectory(KString("/srv"));
  EXPECT_EQ(file.Path().ToUtf8(), "/srv/start.rss");
  file.SetDirectory(KString("/opt/"));
  EXPECT_EQ(file.Path().ToUtf8(), "/opt/start.rss");

  KFile longName(KString(std::string(300, 'n')));
  EXPECT_EQ(longName.Path().Length(), 255);  // paths are kept to 255 characters
}

TEST(KFilePath, CleaningAndAbsolutePaths) {
  KString name(" a:b?.txt");
  EXPECT_TRUE(KFile::CleanFileName(name, u'_'));
  EXPECT_EQ(name.ToUtf8(), "a_b_.txt");
  KString path("/srv/a*b|c\\d");
  EXPECT_TRUE(KFile::CleanPath(path, u'_'));
  EXPECT_EQ(path.ToUtf8(), "/srv/a_b_c_d");  // the separator survives
  KString clean("/srv/ok.tln");
  EXPECT_FALSE(KFile::CleanPath(clean, u'_'));
  EXPECT_TRUE(KFile::IsAbsolutePath(KString("/etc")));
  EXPECT_FALSE(KFile::IsAbsolutePath(KString("layouts/a.tln")));
  EXPECT_FALSE(KFile::IsAbsolutePath(KString("C:\\data")));
  KString stored("layouts\\heat 1.tln");
  KFile::NormalizeSeparators(stored);
  EXPECT_EQ(stored.ToUtf8(), "layouts/heat 1.tln");
}

TEST(KFileStream, OpeningTwiceFailsAndKeepsTheFirstHandle) {
  TempDir dir;
  KFile file(dir.File("a.txt"));
  EXPECT_EQ(CodeOf([&] { file.Open(KFile::kRead, KFile::kOpenExisting); }), KErrors::kFileOpen);
  file.Open(KFile::kReadWrite, KFile::kOpenOrCreate);
  EXPECT_EQ(CodeOf([&] { file.Open(KFile::kRead, KFile::kOpenExisting); }),
            KErrors::kFileAlreadyOpen);
  EXPECT_TRUE(file.IsOpen());
  file.WriteInt32(7);
  EXPECT_EQ(file.Size(), 4);

  KFile folder(KString(dir.Path()));
  EXPECT_EQ(CodeOf([&] { folder.Open(KFile::kRead, KFile::kOpenExisting); }), KErrors::kFileOpen);
}

TEST(KFileStream, DirectionNeedsTheAccessAndShortTransfersCount) {
  TempDir dir;
  WriteBytes(dir.File("in"), "abcdef");
  KFile file(dir.File("in"));
  file.Open(KFile::kRead, KFile::kOpenExisting);
  EXPECT_EQ(file.SetDirection(KStream::kDirectionWrite), KStream::kDirectionNone);
  uint8_t bytes[16];
  int count = -1;
  EXPECT_EQ(CodeOf([&] { file.Write("x", 1); }, &count), KErrors::kFileWrite);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(CodeOf([&] { file.Read(bytes, 10); }, &count), KErrors::kFileRead);
  EXPECT_EQ(count, 6);
  EXPECT_EQ(CodeOf([&] { file.Seek(0, 3); }), KErrors::kFileAccess);
  EXPECT_EQ(CodeOf([&] { file.Seek(-1, 0); }), KErrors::kFileAccess);
  EXPECT_EQ(file.Seek(-2, 2), 4);
  file.Read(bytes, 2);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), 2), "ef");
  file.Close();
  EXPECT_EQ(file.Direction(), KStream::kDirectionNone);
  file.Close();  // closing a closed file does nothing
}

TEST(KFileStream, OpenForWritingDoesNotTruncateAndSetSizeDoes) {
  TempDir dir;
  WriteBytes(dir.File("keep"), "0123456789");
  KFile file(dir.File("keep"));
  file.Open(KFile::kWrite, KFile::kOpenOrCreate);
  file.Write("AB", 2);
  file.SetSize(4);
  EXPECT_EQ(file.Size(), 4);
  file.Close();
  EXPECT_EQ(ReadBytes(dir.File("keep")), "AB23");
}

TEST(KFileSystem, RenameCopyDeleteAndDirectories) {
  TempDir dir;
  KFile nested(dir.File("one/two/three/file.cfg"));
  EXPECT_TRUE(nested.CreateDirectories(true));
  KFile deep(dir.File("one/four/five/six/file.cfg"));
  EXPECT_TRUE(deep.CreateDirectories(false));
  KFile folder(dir.File("one/four/five/six"));
  EXPECT_TRUE(folder.DirectoryExists());

  WriteBytes(dir.File("a"), "alpha");
  WriteBytes(dir.File("b"), "beta");
  KFile a(dir.File("a"));
  a.Open(KFile::kRead, KFile::kOpenExisting);
  EXPECT_FALSE(a.Rename(dir.File("b"), true));  // a plain move never replaces
  EXPECT_TRUE(a.IsOpen());
  EXPECT_TRUE(a.Rename(dir.File("c"), true));
  EXPECT_TRUE(a.IsOpen());  // reopened under its new name
  EXPECT_EQ(a.Path(), dir.File("c"));
  EXPECT_TRUE(a.Rename(dir.File("b"), false));
  EXPECT_EQ(ReadBytes(dir.File("b")), "alpha");

  KFile copy(dir.File("copy"));
  EXPECT_TRUE(a.CopyTo(copy));
  EXPECT_FALSE(a.CopyTo(copy));  // the target exists now
  EXPECT_EQ(ReadBytes(dir.File("copy")), "alpha");
  EXPECT_TRUE(copy.Delete());
  EXPECT_FALSE(copy.Exists());
  EXPECT_TRUE(copy.Delete());  // missing counts as deleted

  ::chmod(dir.File("b").ToUtf8().c_str(), 0444);
  EXPECT_TRUE(a.IsReadOnly());
  uint64_t total = 0;
  uint64_t available = 0;
  KFile unborn(dir.File("not/yet/here.cfg"));
  EXPECT_TRUE(unborn.DiskSpace(total, available));
  EXPECT_GT(total, 0u);
  EXPECT_TRUE(a.LastWriteTime().IsSet());
  EXPECT_TRUE(a.CreationTime().IsSet());
  EXPECT_FALSE(unborn.LastWriteTime().IsSet());
}

TEST(KFileInfo, ListsMatchingNamesInSortedOrder) {
  TempDir dir;
  for (const char* name : {"zeta.rss", "Alpha.RSS", "beta.rss", "notes.txt", ".hidden.rss"}) {
    WriteBytes(dir.File(name), "x");
  }
  KFile pattern(dir.File("*.rss"));
  KFileInfo info;
  std::vector<std::string> names;
  while (info.Next(pattern)) {
    names.push_back(info.Name().ToUtf8());
    EXPECT_TRUE(info.LastWriteTime().IsSet());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha.RSS", "beta.rss", "zeta.rss"}));
  KFileInfo none;
  EXPECT_FALSE(none.Next(KFile(dir.File("missing/*.lng"))));
}

TEST(KBufferedFile, ReadingPastTheEndCountsWhatWasDelivered) {
  TempDir dir;
  WriteBytes(dir.File("data"), std::string(100, 'x'));
  KBufferedFile file(dir.File("data"), 16);
  file.Open(KFile::kRead, KFile::kOpenExisting);
  uint8_t bytes[10];
  file.Seek(96, 0);
  int count = -1;
  EXPECT_EQ(CodeOf([&] { file.Read(bytes, 10); }, &count), KErrors::kFileRead);
  EXPECT_EQ(count, 4);
}

TEST(KBufferedFile, SeeksInsideTheWindowAndSwitchesDirection) {
  TempDir dir;
  WriteBytes(dir.File("data"), "0123456789ABCDEFGHIJ");
  KBufferedFile file(dir.File("data"), 8);
  file.Open(KFile::kReadWrite, KFile::kOpenExisting);
  EXPECT_EQ(file.ReadByte(), '0');
  EXPECT_EQ(file.Tell(), 1);
  file.Seek(6, 0);  // inside the first buffer
  EXPECT_EQ(file.ReadByte(), '6');
  file.Seek(-3, 2);
  EXPECT_EQ(file.ReadByte(), 'H');
  file.Seek(2, 0);
  file.Write("xy", 2);  // switching to writing lands at the read position
  EXPECT_EQ(file.Tell(), 4);
  EXPECT_EQ(file.ReadByte(), '4');  // and back to reading after the written bytes
  file.Seek(0, 2);
  file.Write("tail-longer-than-the-buffer", 27);
  EXPECT_EQ(file.Size(), 47);  // counts what is still in the buffer
  file.Flush();
  file.Close();
  EXPECT_EQ(ReadBytes(dir.File("data")), "01xy456789ABCDEFGHIJtail-longer-than-the-buffer");
}

TEST(KBufferedFile, TextThroughTheBufferRoundTrips) {
  TempDir dir;
  {
    KBufferedFile out(dir.File("profile.cfg"), 4096);
    out.Open(KFile::kWrite, KFile::kOpenOrCreate);
    out.WriteByteOrderMark();
    out.WriteText(KString(u"Registry Version: 1.00\n\\Display\\Width=\"640\"\n\u00C9t\u00E9\n"));
    out.Flush();
  }
  KBufferedFile in(dir.File("profile.cfg"), 4096);
  in.Open(KFile::kRead, KFile::kOpenExisting);
  std::vector<std::u16string> lines;
  KString line;
  while (in.ReadUntil(line, KString(u"\n")) >= 0) {
    lines.push_back(line.ToU16());
    line.Clear();
  }
  EXPECT_EQ(lines, (std::vector<std::u16string>{u"Registry Version: 1.00",
                                                u"\\Display\\Width=\"640\"", u"\u00C9t\u00E9"}));
  EXPECT_EQ(in.ReadEncoding(), KStream::kEncoding16Bit);
  EXPECT_EQ(in.ReadLineMode(), KStream::kLineCRLF);
}
