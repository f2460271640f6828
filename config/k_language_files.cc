#include "config/k_language_files.h"

#include "base/k_buffered_file.h"
#include "base/k_file_info.h"
#include "base/k_x.h"
#include "config/k_atomic_save.h"
#include "config/k_r_group.h"
#include "config/k_r_string.h"
#include "config/k_r_text.h"

namespace {

constexpr int kBufferBytes = 4096;
// An entry line is at most this long; the first line of a file is read no further.
constexpr int kMaxEntryLength = 255;

// Reads the first line; false when the stream ends before a line end.
bool ReadFirstLine(KStream& stream, KString& line) {
  while (stream.HasMore()) {
    const char16_t ch = stream.ReadChar();
    if (ch == u'\n') return true;
    // Past the entry's length nothing more is kept, so a huge line costs nothing.
    if (line.Length() <= kMaxEntryLength) line.Append(ch);
  }
  return false;
}

std::u16string_view FieldOf(const KString& text, int index) {
  return KRText::Trim(KRText::Field(text.View(), index));
}

}  // namespace

KString KLanguageFiles::FilePath(const KString& name) const {
  KString path(home_);
  if (!path.IsEmpty() && path.Last() != u'/') path.Append(u'/');
  path.Append(name);
  return path;
}

int KLanguageFiles::Discover(KRGroup& root) {
  chosenEntry_.Clear();
  chosenFile_.Clear();
  chosenFirstLine_.Clear();
  KRGroup* choices = root.LookupGroup(u"\\Language\\Choices\\");
  if (!choices) return 0;
  choices->SetSaved(false);
  choices->Clear();
  KFile pattern(FilePath(KString(u"*.lng")));
  KFileInfo info;
  int count = 0;
  while (info.Next(pattern)) {
    KString first;
    bool ended = false;
    try {
      KBufferedFile file(FilePath(info.Name()), kBufferBytes);
      file.Open(KFile::kRead | KFile::kShareRead, KFile::kOpenExisting);
      ended = ReadFirstLine(file, first);
    } catch (const KX&) {
      continue;  // unreadable: skipped
    }
    if (!ended) continue;
    KString255 line;
    line.AppendInt(count + 1);
    line.Append(u":String=");
    line.Append(info.Name());
    line.Append(u',');
    line.Append(first);
    if (choices->Apply(line) != nullptr) ++count;
  }
  return count;
}

int KLanguageFiles::Rank(const KString& code, const KString& choice) {
  if (code.Compare(choice.View(), true) == 0) return 3;
  if (code.Left(5).Compare(choice.Left(5).View(), true) == 0) return 2;
  if (code.Left(2).Compare(choice.Left(2).View(), true) == 0) return 1;
  return 0;
}

bool KLanguageFiles::Choose(KRGroup& root) {
  chosenEntry_.Clear();
  chosenFile_.Clear();
  chosenFirstLine_.Clear();
  const KRGroup* choices = root.LookupGroup(u"\\Language\\Choices\\");
  if (!choices) return false;
  const KString choice(KRText::Trim(root.LookupText(u"\\Language\\Choice").View()));
  int best = 0;
  for (const KRNode* node : choices->Children().Items<KRNode>()) {
    const auto* entry = dynamic_cast<const KRString*>(node);
    if (!entry) continue;
    const KString file(FieldOf(entry->Value(), 0));
    // Entries name files in the home only.
    if (file.IsEmpty() || file.Contains(u'/')) continue;
    const int rank = Rank(KString(FieldOf(entry->Value(), 2)), choice);
    if (rank <= best) continue;
    best = rank;
    chosenEntry_ = entry->Name();
    chosenFile_ = file;
    const int comma = entry->Value().Find(u',');
    chosenFirstLine_ = comma >= 0 ? entry->Value().Mid(comma + 1) : KString();
  }
  return best > 0;
}

bool KLanguageFiles::Load(KRGroup& root) {
  if (!HasChoice()) return false;
  try {
    KBufferedFile file(FilePath(chosenFile_), kBufferBytes);
    file.Open(KFile::kRead | KFile::kShareRead, KFile::kOpenExisting);
    KString first;
    ReadFirstLine(file, first);
    // The header line that follows is skipped by Load.
    root.Load(file);
    encoding_ = file.ReadEncoding();
  } catch (const KX&) {
    return false;
  }
  return true;
}

bool KLanguageFiles::WriteBack(KRGroup& root) const {
  if (!HasChoice()) return false;
  KRGroup* strings = root.LookupGroup(u"\\Strings\\");
  if (!strings) return false;
  // The old file stays until the new one is complete and synced.
  KAtomicSave save(FilePath(chosenFile_));
  try {
    KBufferedFile& file = save.Begin();
    file.SetWriteEncoding(encoding_ == KStream::kEncodingAuto ? KStream::kEncoding16Bit
                                                              : encoding_);
    file.WriteByteOrderMark();
    KString first(chosenFirstLine_);
    first.Append(u'\n');
    file.WriteText(first);
    strings->Store(file);
    save.Commit();
  } catch (const KX&) {
    save.Abandon();
    return false;
  }
  return true;
}

bool KLanguageFiles::DiscoverAndLoad(KRGroup& root) {
  Discover(root);
  return Choose(root) && Load(root);
}
