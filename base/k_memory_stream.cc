#include "base/k_memory_stream.h"

#include <algorithm>
#include <cstring>

#include "base/k_x.h"

KMemoryStream::KMemoryStream(const void* bytes, size_t count)
    : bytes_(static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + count) {}

void KMemoryStream::Read(void* bytes, int count) {
  SetDirection(kDirectionRead);
  if (count <= 0) return;
  const size_t take = std::min(Remaining(), static_cast<size_t>(count));
  if (take > 0) std::memcpy(bytes, bytes_.data() + position_, take);
  position_ += take;
  if (take < static_cast<size_t>(count))
    throw KXStream(KErrors::kFileRead, static_cast<int32_t>(take));
  NotifyRead(bytes, count);
}

void KMemoryStream::Write(const void* bytes, int count) {
  SetDirection(kDirectionWrite);
  if (count <= 0) return;
  const auto* in = static_cast<const uint8_t*>(bytes);
  bytes_.insert(bytes_.end(), in, in + count);
  NotifyWrite(bytes, count);
}
