#include "ports/k_capture_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/k_memory_stream.h"
#include "base/k_x.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

std::vector<KCapture::Chunk> ReadAll(const std::vector<uint8_t>& file, bool* truncated = nullptr) {
  KMemoryStream stream(file);
  KCapture::Reader reader(stream);
  std::vector<KCapture::Chunk> chunks;
  KCapture::Chunk chunk;
  while (reader.Next(chunk)) chunks.push_back(chunk);
  if (truncated) *truncated = reader.Truncated();
  return chunks;
}

std::vector<uint8_t> SampleCapture() {
  KMemoryStream out;
  KCapture::Writer writer(out);
  const std::vector<uint8_t> packet = Bytes("\x02T00702     1.2\x03");
  writer.Add(0, packet.data(), static_cast<int>(packet.size()));
  writer.Add(100000, packet.data(), 4);
  writer.Add(90000, packet.data(), 1);  // a clock that went back counts as no delay
  writer.Add(250000, nullptr, 0);
  return out.Bytes();
}

int CodeOf(const std::vector<uint8_t>& file) {
  try {
    ReadAll(file);
  } catch (const KX& error) {
    return error.Code();
  }
  return 0;
}

}  // namespace

TEST(KCapture, ChunksRoundTripWithTheirTimes) {
  const auto file = SampleCapture();
  ASSERT_TRUE(KCapture::Reader::LooksLikeCapture(file.data(), file.size()));
  bool truncated = true;
  const auto chunks = ReadAll(file, &truncated);
  EXPECT_FALSE(truncated);
  ASSERT_EQ(chunks.size(), 4u);
  EXPECT_EQ(chunks[0].atUs, 0);
  EXPECT_EQ(chunks[0].bytes, Bytes("\x02T00702     1.2\x03"));
  EXPECT_EQ(chunks[1].atUs, 100000);
  EXPECT_EQ(chunks[2].atUs, 100000);
  EXPECT_EQ(chunks[3].atUs, 250000);
  EXPECT_TRUE(chunks[3].bytes.empty());
}

TEST(KCapture, ACutFileReadsBackToItsLastWholeChunk) {
  const auto file = SampleCapture();
  const size_t header = 16;
  const size_t full = ReadAll(file).size();
  for (size_t cut = header; cut < file.size(); ++cut) {
    const std::vector<uint8_t> part(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(cut));
    bool truncated = false;
    const auto chunks = ReadAll(part, &truncated);
    EXPECT_LE(chunks.size(), full);
    // Cuts on a chunk boundary are indistinguishable from a shorter capture.
    if (!truncated) {
      EXPECT_LT(chunks.size(), full) << cut;
    }
  }
  EXPECT_EQ(CodeOf(std::vector<uint8_t>(file.begin(), file.begin() + 10)), KErrors::kFileVersion);
}

TEST(KCapture, LongPausesAndLargeBlocksSplitIntoChunks) {
  KMemoryStream out;
  KCapture::Writer writer(out);
  const std::vector<uint8_t> big(static_cast<size_t>(KCapture::kMaxChunkBytes) + 10, 0x55);
  const int64_t twoHoursUs = 2LL * 3600 * 1000000;
  writer.Add(twoHoursUs, big.data(), static_cast<int>(big.size()));
  const auto chunks = ReadAll(out.Bytes());
  ASSERT_GE(chunks.size(), 3u);
  size_t total = 0;
  for (const auto& chunk : chunks) total += chunk.bytes.size();
  EXPECT_EQ(total, big.size());
  EXPECT_EQ(chunks.back().atUs, twoHoursUs);
}

TEST(KCapture, ForeignOrDamagedFilesAreRefused) {
  EXPECT_EQ(CodeOf(Bytes("plain bytes, no capture at all")), KErrors::kFileVersion);
  auto future = SampleCapture();
  future[10] = 2;  // major version 2
  EXPECT_EQ(CodeOf(future), KErrors::kFileVersion);
  auto newerMinor = SampleCapture();
  newerMinor[8] = 7;  // 1.7 is read by a 1.0 reader
  EXPECT_EQ(CodeOf(newerMinor), 0);
  auto huge = SampleCapture();
  huge[16 + 4 + 3] = 0x7F;  // first chunk claims two billion bytes
  EXPECT_EQ(CodeOf(huge), KErrors::kFileContents);
  EXPECT_FALSE(KCapture::Reader::LooksLikeCapture(huge.data(), 7));
}
