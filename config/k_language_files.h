#pragma once

#include "base/k_stream.h"
#include "base/k_string.h"

class KRGroup;

// The language files "*.lng" in the home: a first line "Name,code", then a
// settings text for \Strings\. Found into \Language\Choices\, the best match
// for \Language\Choice is read over the tree after the profile. A missing or
// damaged file changes nothing and reports nothing.
class KLanguageFiles {
 public:
  explicit KLanguageFiles(const KString& home = KString()) : home_(home) {}

  const KString& Home() const { return home_; }
  void SetHome(const KString& home) { home_ = home; }

  // Rebuilds \Language\Choices\ (never saved) with one string per readable
  // file: "1", "2", ... holding "file.lng,<first line>". Returns the count.
  int Discover(KRGroup& root);
  // Chooses the entry whose code best matches \Language\Choice: the earliest
  // of the highest rank, none when no entry ranks. Returns whether one did.
  bool Choose(KRGroup& root);
  // 3 for equal codes, 2 when the first five characters are, 1 for the first
  // two; case ignored.
  static int Rank(const KString& code, const KString& choice);

  // Reads the chosen file over the tree and remembers its encoding.
  bool Load(KRGroup& root);
  // Rewrites the chosen file with its first line and the current \Strings\;
  // false (and nothing written) when none is chosen or writing failed.
  bool WriteBack(KRGroup& root) const;

  // Discover, Choose and Load, as start-up does.
  bool DiscoverAndLoad(KRGroup& root);

  bool HasChoice() const { return !chosenFile_.IsEmpty(); }
  // The chosen entry's name ("2"), file name and first line.
  const KString& ChosenEntry() const { return chosenEntry_; }
  const KString& ChosenFile() const { return chosenFile_; }
  const KString& ChosenFirstLine() const { return chosenFirstLine_; }
  // The encoding the chosen file was read in; automatic until read.
  int Encoding() const { return encoding_; }
  void SetEncoding(int encoding) { encoding_ = encoding; }

 private:
  KString FilePath(const KString& name) const;

  KString home_;
  KString chosenEntry_;
  KString chosenFile_;
  KString chosenFirstLine_;
  int encoding_ = KStream::kEncodingAuto;
};
