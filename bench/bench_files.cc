// Sequential reading through KBufferedFile against plain read(2), and the
// text layer's character rate.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/k_buffered_file.h"
#include "base/k_x.h"

namespace {

constexpr int64_t kFileBytes = 64 << 20;
constexpr int kBlock = 4096;

// One scratch file per kind, made once and removed at exit.
class ScratchFile {
 public:
  explicit ScratchFile(const char* kind) {
    const char* tmp = std::getenv("TMPDIR");
    path_ =
        std::string(tmp ? tmp : "/tmp") + "/telvane-bench-" + kind + "-" + std::to_string(getpid());
  }
  ~ScratchFile() { ::unlink(path_.c_str()); }
  const std::string& Fill(const std::vector<uint8_t>& pattern, int64_t bytes) {
    if (!filled_) {
      const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      for (int64_t done = 0; done < bytes; done += static_cast<int64_t>(pattern.size())) {
        if (::write(fd, pattern.data(), pattern.size()) < 0) break;
      }
      ::close(fd);
      filled_ = true;
    }
    return path_;
  }

 private:
  std::string path_;
  bool filled_ = false;
};

const std::string& BinaryFile() {
  static ScratchFile file("binary");
  std::vector<uint8_t> pattern(kBlock);
  for (int i = 0; i < kBlock; ++i) pattern[static_cast<size_t>(i)] = static_cast<uint8_t>(i * 7);
  return file.Fill(pattern, kFileBytes);
}

void BM_Read2(benchmark::State& state) {
  const std::string& path = BinaryFile();
  std::vector<uint8_t> buffer(kBlock);
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    int64_t total = 0;
    ssize_t got = 0;
    while ((got = ::read(fd, buffer.data(), buffer.size())) > 0) total += got;
    ::close(fd);
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(state.iterations() * kFileBytes);
  state.SetLabel("baseline:read64MiB");
}
BENCHMARK(BM_Read2)->Unit(benchmark::kMillisecond);

void BM_BufferedRead4K(benchmark::State& state) {
  const std::string& path = BinaryFile();
  std::vector<uint8_t> buffer(kBlock);
  for (auto _ : state) {
    KBufferedFile file(KString(path), kBlock);
    file.Open(KFile::kRead, KFile::kOpenExisting);
    int64_t total = 0;
    for (int64_t done = 0; done < kFileBytes; done += kBlock) {
      file.Read(buffer.data(), kBlock);
      total += buffer[0];
    }
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(state.iterations() * kFileBytes);
  state.SetLabel("family:read64MiB");
}
BENCHMARK(BM_BufferedRead4K)->Unit(benchmark::kMillisecond);

void BM_BufferedReadByte(benchmark::State& state) {
  const std::string& path = BinaryFile();
  for (auto _ : state) {
    KBufferedFile file(KString(path), kBlock);
    file.Open(KFile::kRead, KFile::kOpenExisting);
    int64_t total = 0;
    for (int64_t done = 0; done < kFileBytes; ++done) total += file.ReadByte();
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(state.iterations() * kFileBytes);
  state.SetLabel("family:read64MiB");
}
BENCHMARK(BM_BufferedReadByte)->Unit(benchmark::kMillisecond);

// Text of 8 MiB characters: 8-bit, and 16-bit little-endian behind a mark.
constexpr int64_t kTextChars = 8 << 20;

const std::string& TextFile(bool wide) {
  static ScratchFile narrow("text8");
  static ScratchFile utf16("text16");
  std::vector<uint8_t> pattern;
  const std::string line = "12 Runner Name            00:01:23.45\r\n";
  while (pattern.size() < 40 * line.size()) {
    for (const char ch : line) {
      pattern.push_back(static_cast<uint8_t>(ch));
      if (wide) pattern.push_back(0);
    }
  }
  if (!wide) return narrow.Fill(pattern, kTextChars);
  pattern.insert(pattern.begin(), {0xFF, 0xFE});
  return utf16.Fill(pattern, kTextChars * 2);
}

void ReadAllChars(benchmark::State& state, bool wide) {
  const std::string& path = TextFile(wide);
  int64_t chars = 0;
  for (auto _ : state) {
    KBufferedFile file(KString(path), kBlock);
    file.Open(KFile::kRead, KFile::kOpenExisting);
    int64_t sum = 0;
    try {
      for (;;) {
        sum += file.ReadChar();
        ++chars;
      }
    } catch (const KX&) {
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(chars);
}

void BM_ReadChar8Bit(benchmark::State& state) {
  ReadAllChars(state, false);
  state.SetLabel("baseline:readchar");
}
BENCHMARK(BM_ReadChar8Bit)->Unit(benchmark::kMillisecond);

void BM_ReadChar16Bit(benchmark::State& state) {
  ReadAllChars(state, true);
  state.SetLabel("family:readchar");
}
BENCHMARK(BM_ReadChar16Bit)->Unit(benchmark::kMillisecond);

}  // namespace
