#include "render/k_image_file.h"

#include <algorithm>

#include "base/k_file.h"
#include "base/k_memory_stream.h"
#include "base/k_x.h"

KImageFile::Type KImageFile::TypeOf(const KStream& stream) {
  const auto* file = dynamic_cast<const KFile*>(&stream);
  return file ? TypeOfPath(file->Path()) : kTarga;
}

KImageFile::Type KImageFile::TypeOfPath(const KString& path) {
  const int dot = path.FindLast(u'.');
  const int separator = std::max(path.FindLast(u'/'), path.FindLast(u'\\'));
  if (dot < 0 || dot < separator) return kTarga;
  const KString extension = path.Mid(dot + 1);
  if (extension.StartsWith(u"jp", true)) return kJpeg;
  if (extension.EqualsNoCase(u"gif")) return kGif;
  return kTarga;
}

int64_t KImageFile::RemainingBytes(KStream& stream) {
  if (auto* memory = dynamic_cast<KMemoryStream*>(&stream)) {
    return static_cast<int64_t>(memory->Remaining());
  }
  if (auto* file = dynamic_cast<KFile*>(&stream); file && file->IsOpen()) {
    try {
      return std::max<int64_t>(0, file->Size() - file->Tell());
    } catch (const KX&) {
      return -1;
    }
  }
  return -1;
}

void KImageFile::Skip(KStream& stream, int64_t count) {
  if (count <= 0) return;
  Require(stream, count);
  if (auto* file = dynamic_cast<KFile*>(&stream); file && file->IsOpen()) {
    file->Seek(count, 1);
    return;
  }
  uint8_t scratch[512];
  while (count > 0) {
    const int take = static_cast<int>(std::min<int64_t>(count, sizeof scratch));
    stream.Read(scratch, take);
    count -= take;
  }
}

void KImageFile::Require(KStream& stream, int64_t count) {
  const int64_t remaining = RemainingBytes(stream);
  if (remaining >= 0 && remaining < count) throw KXStream(KErrors::kFileRead, 0);
}
