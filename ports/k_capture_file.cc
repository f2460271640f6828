#include "ports/k_capture_file.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "base/k_x.h"

namespace KCapture {

Writer::Writer(KStream& out) : out_(out) {
  out_.Write(kMagic, sizeof kMagic);
  out_.WriteInt32(kVersion);
  out_.WriteInt32(0);  // bytes of header extensions that follow
}

void Writer::Add(int64_t atUs, const uint8_t* bytes, int count) {
  atUs = std::max(atUs, lastUs_);
  int64_t delta = atUs - lastUs_;
  constexpr int64_t kMaxDelta = std::numeric_limits<uint32_t>::max();
  // A pause longer than a delta can hold becomes empty chunks.
  while (delta > kMaxDelta) {
    out_.WriteInt32(static_cast<int32_t>(static_cast<uint32_t>(kMaxDelta)));
    out_.WriteInt32(0);
    delta -= kMaxDelta;
  }
  int done = 0;
  do {
    const int piece = std::min(count - done, kMaxChunkBytes);
    out_.WriteInt32(static_cast<int32_t>(static_cast<uint32_t>(delta)));
    out_.WriteInt32(piece);
    if (piece > 0) out_.Write(bytes + done, piece);
    done += piece;
    delta = 0;
  } while (done < count);
  lastUs_ = atUs;
}

Reader::Reader(KStream& in) : in_(in) {
  // A header cut short is no capture this reader can use.
  try {
    ReadHeader();
  } catch (const KXStream&) {
    throw KXPersistent(KErrors::kFileVersion);
  }
}

void Reader::ReadHeader() {
  uint8_t magic[sizeof kMagic];
  in_.Read(magic, sizeof magic);
  if (std::memcmp(magic, kMagic, sizeof kMagic) != 0) throw KXPersistent(KErrors::kFileVersion);
  const int32_t version = in_.ReadInt32();
  if (version >> 16 != kVersion >> 16) throw KXPersistent(KErrors::kFileVersion);
  int32_t extension = in_.ReadInt32();
  if (extension < 0 || extension > kMaxChunkBytes) throw KXPersistent(KErrors::kFileContents);
  // Later minor versions may add header fields; this reader passes over them.
  uint8_t skip[256];
  while (extension > 0) {
    const int piece = std::min<int>(extension, sizeof skip);
    in_.Read(skip, piece);
    extension -= piece;
  }
}

bool Reader::Next(Chunk& chunk) {
  if (ended_) return false;
  try {
    uint32_t delta = 0;
    try {
      delta = static_cast<uint32_t>(in_.ReadInt32());
    } catch (const KXStream& error) {
      // A clean end falls between chunks; anything else was cut off.
      truncated_ = error.Count() != 0;
      ended_ = true;
      return false;
    }
    const int32_t count = in_.ReadInt32();
    if (count < 0 || count > kMaxChunkBytes) throw KXPersistent(KErrors::kFileContents);
    chunk.bytes.resize(static_cast<size_t>(count));
    if (count > 0) in_.Read(chunk.bytes.data(), count);
    atUs_ += delta;
    chunk.atUs = atUs_;
    return true;
  } catch (const KXStream&) {
    truncated_ = true;
    ended_ = true;
    return false;
  }
}

bool Reader::LooksLikeCapture(const uint8_t* bytes, size_t count) {
  return count >= sizeof kMagic && std::memcmp(bytes, kMagic, sizeof kMagic) == 0;
}

}  // namespace KCapture
