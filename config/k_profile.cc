#include "config/k_profile.h"

#include "base/k_buffered_file.h"
#include "base/k_x.h"
#include "config/k_atomic_save.h"
#include "config/k_r_group.h"

namespace {

constexpr int kBufferBytes = 4096;

// Clears a group's save flag for the life of the object.
class Unsaved {
 public:
  explicit Unsaved(KRNode* node) : node_(node), was_(node && node->IsSaved()) {
    if (node_) node_->SetSaved(false);
  }
  Unsaved(const Unsaved&) = delete;
  Unsaved& operator=(const Unsaved&) = delete;
  ~Unsaved() {
    if (node_) node_->SetSaved(was_);
  }

 private:
  KRNode* node_;
  bool was_;
};

}  // namespace

bool KProfile::Load(KRGroup& root) {
  loaded_ = false;
  KBufferedFile file(path_, kBufferBytes);
  if (!file.Exists()) return false;
  // A file that exists but cannot be opened is a failed read (a KX), not a first run.
  file.Open(KFile::kRead | KFile::kShareRead, KFile::kOpenExisting);
  if (file.Size() < 1) return false;
  root.Load(file);
  encoding_ = file.ReadEncoding();
  loaded_ = true;
  return true;
}

void KProfile::Save(KRGroup& root) const {
  KAtomicSave save(path_);
  KBufferedFile& file = save.Begin();
  try {
    file.SetWriteEncoding(encoding_ == KStream::kEncodingAuto ? KStream::kEncoding16Bit
                                                              : encoding_);
    file.WriteByteOrderMark();
    Write(root, file);
    save.Commit();
  } catch (const KX&) {
    save.Abandon();
    throw;
  }
}

void KProfile::Write(KRGroup& root, KStream& stream) {
  const Unsaved strings(root.Lookup(u"\\Strings\\"));
  const Unsaved choices(root.Lookup(u"\\Language\\Choices\\"));
  root.Store(stream);
}

KString KProfile::CleanName(const KString& name) {
  KString31 clean;
  int at = 0;
  while (at < name.Length() && name.At(at) == u' ') ++at;
  for (; at < name.Length(); ++at) {
    char16_t ch = name.At(at);
    if (std::u16string_view(u"/\\:*?\"<>|").find(ch) != std::u16string_view::npos) ch = u'_';
    // A control character in a file name only causes trouble later.
    if (ch < 0x20) ch = u'_';
    clean.Append(ch);
  }
  return clean;
}

bool KProfile::Create(const KString& standardPath, const KString& name) {
  const KString clean = CleanName(name);
  if (clean.IsEmpty()) return false;
  const KFile standard(standardPath);
  KFile target(standardPath);
  KString fileName(clean);
  fileName.Append(u".cfg");
  target.SetName(fileName);
  if (target.SamePath(standard)) return false;
  return standard.CopyTo(target);
}
