#include "base/k_buffered_file.h"

#include <algorithm>
#include <cstring>

#include "base/k_x.h"

KBufferedFile::KBufferedFile(int bufferBytes)
    : buffer_(static_cast<size_t>(std::max(bufferBytes, 1))) {}

KBufferedFile::KBufferedFile(const KString& path, int bufferBytes) : KBufferedFile(bufferBytes) {
  SetPath(path);
}

KBufferedFile::~KBufferedFile() {
  KBufferedFile::Close();
}

void KBufferedFile::Open(unsigned mode, bool create) {
  KFile::Open(mode, create);
  valid_ = cursor_ = 0;
  offset_ = 0;
}

int KBufferedFile::SetDirection(int direction) {
  if (direction != Direction()) Flush();
  return KFile::SetDirection(direction);
}

void KBufferedFile::Read(void* bytes, int count) {
  // Small reads served from the buffer skip the direction bookkeeping.
  if (Direction() == kDirectionRead && count > 0 && count <= valid_ - cursor_) {
    std::memcpy(bytes, buffer_.data() + cursor_, static_cast<size_t>(count));
    cursor_ += count;
    NotifyRead(bytes, count);
    return;
  }
  if (SetDirection(kDirectionRead) != kDirectionRead) throw KXStream(KErrors::kFileRead, 0);
  auto* out = static_cast<uint8_t*>(bytes);
  int done = 0;
  while (done < count) {
    int available = valid_ - cursor_;
    if (available <= 0) {
      offset_ += valid_;
      cursor_ = 0;
      valid_ = ReadSome(buffer_.data(), BufferBytes());
      available = valid_;
      if (available <= 0) throw KXStream(KErrors::kFileRead, done);
    }
    const int take = std::min(available, count - done);
    std::memcpy(out + done, buffer_.data() + cursor_, static_cast<size_t>(take));
    cursor_ += take;
    done += take;
  }
  if (count > 0) NotifyRead(bytes, count);
}

void KBufferedFile::Write(const void* bytes, int count) {
  if (SetDirection(kDirectionWrite) != kDirectionWrite) throw KXStream(KErrors::kFileWrite, 0);
  const auto* in = static_cast<const uint8_t*>(bytes);
  int done = 0;
  while (done < count) {
    if (cursor_ >= BufferBytes()) {
      const int written = WriteSome(buffer_.data(), BufferBytes());
      if (written < BufferBytes()) {
        // Keep what did not reach the file, so a later Flush can retry it.
        std::memmove(buffer_.data(), buffer_.data() + written,
                     static_cast<size_t>(BufferBytes() - written));
        offset_ += written;
        valid_ -= written;
        cursor_ = valid_;
        throw KXStream(KErrors::kFileWrite, written);
      }
      cursor_ = valid_ = 0;
      offset_ += BufferBytes();
    }
    const int take = std::min(BufferBytes() - cursor_, count - done);
    std::memcpy(buffer_.data() + cursor_, in + done, static_cast<size_t>(take));
    cursor_ += take;
    valid_ = std::max(valid_, cursor_);
    done += take;
  }
  if (count > 0) NotifyWrite(bytes, count);
}

void KBufferedFile::Flush() {
  if (!IsOpen()) return;
  const int direction = Direction();
  if (direction != kDirectionRead && direction != kDirectionWrite) return;
  if (direction == kDirectionWrite && valid_ > 0) {
    const int written = WriteSome(buffer_.data(), valid_);
    if (written < valid_) {
      std::memmove(buffer_.data(), buffer_.data() + written, static_cast<size_t>(valid_ - written));
      offset_ += written;
      valid_ -= written;
      cursor_ = std::max(cursor_ - written, 0);
      throw KXStream(KErrors::kFileWrite, written);
    }
  }
  const int64_t filePosition = offset_ + valid_;
  offset_ += cursor_;
  valid_ = cursor_ = 0;
  if (filePosition != offset_) KFile::Seek(offset_, 0);
}

int64_t KBufferedFile::Size() {
  return std::max(offset_ + valid_, KFile::Size());
}

void KBufferedFile::SetSize(int64_t size) {
  Flush();
  KFile::SetSize(size);
}

int64_t KBufferedFile::Tell() {
  return offset_ + cursor_;
}

int64_t KBufferedFile::Seek(int64_t offset, int origin) {
  if (!IsOpen() || origin < 0 || origin > 2) throw KXStream(KErrors::kFileAccess, 0);
  int64_t target = offset;
  if (origin == 1) target += Tell();
  if (origin == 2) target += Size();
  if (target < 0) throw KXStream(KErrors::kFileAccess, 0);
  if (target >= offset_ && target <= offset_ + valid_) {
    cursor_ = static_cast<int>(target - offset_);
    return target;
  }
  Flush();
  offset_ = target;
  KFile::Seek(target, 0);
  return target;
}
