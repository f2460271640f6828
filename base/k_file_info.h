#pragma once

#include <string>
#include <vector>

#include "base/k_date_time.h"
#include "base/k_file.h"
#include "base/k_string.h"

// Directory search by a pattern path such as "/home/venue/*.rss". The names
// come in byte order of their UTF-8 form, since Linux directories keep none;
// the pattern matches regardless of case, as names made elsewhere expect.
class KFileInfo {
 public:
  // The first call starts the search, later calls continue it; each success
  // fills name and times.
  bool Next(const KFile& pattern);
  // Forgets the running search; the next Next starts again.
  void Reset();

  const KString255& Name() const { return name_; }
  const KDateTime& CreationTime() const { return creationTime_; }
  const KDateTime& LastWriteTime() const { return lastWriteTime_; }

 private:
  KString255 name_;
  KDateTime creationTime_;
  KDateTime lastWriteTime_;
  bool searching_ = false;
  std::string directory_;
  std::vector<std::string> names_;
  size_t nextIndex_ = 0;
};
