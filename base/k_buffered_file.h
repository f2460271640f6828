#pragma once

#include <cstdint>
#include <vector>

#include "base/k_file.h"

// A file that moves data in whole buffers; seeking inside the buffered
// window costs no system call. Close ignores errors, so a writer that must
// know its data reached the file calls Flush first.
class KBufferedFile : public KFile {
 public:
  explicit KBufferedFile(int bufferBytes);
  KBufferedFile(const KString& path, int bufferBytes);
  ~KBufferedFile() override;

  void Open(unsigned mode, bool create) override;
  int SetDirection(int direction) override;
  void Read(void* bytes, int count) override;
  void Write(const void* bytes, int count) override;
  void Flush() override;
  int64_t Size() override;
  void SetSize(int64_t size) override;
  int64_t Tell() override;
  int64_t Seek(int64_t offset, int origin) override;

  int BufferBytes() const { return static_cast<int>(buffer_.size()); }

 private:
  std::vector<uint8_t> buffer_;
  int valid_ = 0;
  int cursor_ = 0;
  int64_t offset_ = 0;
};
