#include "render/k_gif_decoder.h"

#include <cstring>
#include <new>

#include "base/k_stream.h"
#include "base/k_x.h"
#include "render/k_bitmaps.h"

namespace {

constexpr int kTableSize = 4096;
constexpr int kMaxCodeWidth = 12;

[[noreturn]] void Malformed() {
  throw KX(KErrors::kFileContents);
}

}  // namespace

KGifDecoder::KGifDecoder(KBitmaps& target, KStream& stream, bool useBackground,
                         int64_t storageLimitBytes)
    : target_(target),
      stream_(stream),
      useBackground_(useBackground),
      storageLimitBytes_(storageLimitBytes) {}

KGifDecoder::~KGifDecoder() = default;

void KGifDecoder::Bytes(void* into, int count) {
  try {
    stream_.Read(into, count);
  } catch (const KXStream&) {
    // A file that ends early is as malformed as any other.
    Malformed();
  }
}

uint8_t KGifDecoder::Byte() {
  uint8_t value = 0;
  Bytes(&value, 1);
  return value;
}

int KGifDecoder::Word() {
  uint8_t bytes[2];
  Bytes(bytes, 2);
  return bytes[0] | bytes[1] << 8;
}

void KGifDecoder::ReadColorTable(int flags, Color* table) {
  const int entries = 2 << (flags & 7);
  uint8_t bytes[256 * 3];
  Bytes(bytes, entries * 3);
  for (int i = 0; i < 256; ++i) {
    table[i] = i < entries ? Color{bytes[i * 3], bytes[i * 3 + 1], bytes[i * 3 + 2]} : Color{};
  }
}

void KGifDecoder::BeginData() {
  blockLength_ = 0;
  blockAt_ = 0;
  dataEnded_ = false;
}

int KGifDecoder::DataByte() {
  while (blockAt_ >= blockLength_) {
    if (dataEnded_) return -1;
    blockLength_ = Byte();
    blockAt_ = 0;
    if (blockLength_ == 0) {
      dataEnded_ = true;
      return -1;
    }
    Bytes(block_, blockLength_);
  }
  return block_[blockAt_++];
}

void KGifDecoder::SkipData() {
  blockAt_ = blockLength_;
  while (DataByte() >= 0) blockAt_ = blockLength_;
}

void KGifDecoder::Decode() {
  uint8_t signature[6];
  Bytes(signature, 6);
  if (std::memcmp(signature, "GIF", 3) != 0) Malformed();
  screenWidth_ = Word();
  screenHeight_ = Word();
  if (screenWidth_ < 1 || screenHeight_ < 1) Malformed();
  if (screenWidth_ > KBitmap::kMaxSide || screenHeight_ > KBitmap::kMaxSide) Malformed();
  const int flags = Byte();
  const int backgroundIndex = Byte();
  Byte();  // aspect ratio
  if (flags & 0x80) {
    ReadColorTable(flags, global_);
    if (useBackground_) background_ = global_[backgroundIndex];
  }

  for (;;) {
    const uint8_t introducer = Byte();
    if (introducer == ';') return;
    if (introducer == '!') {
      ReadExtension();
    } else if (introducer == ',') {
      ReadImage();
    } else {
      BeginData();
      SkipData();
    }
  }
}

void KGifDecoder::ReadExtension() {
  const uint8_t label = Byte();
  BeginData();
  if (label == 0xF9) {
    if (Byte() != 4) Malformed();
    blockLength_ = 4;
    blockAt_ = 0;
    Bytes(block_, 4);
    controlFlags_ = block_[0];
    delayMs_ = (block_[1] | block_[2] << 8) * 10;
    transparent_ = (controlFlags_ & 1) ? block_[3] : -1;
    blockAt_ = 4;
  } else if (label == 0xFF) {
    char application[11];
    int got = 0;
    for (int c; got < 11 && (c = DataByte()) >= 0; ++got) application[got] = static_cast<char>(c);
    if (got == 11 && std::memcmp(application, "NETSCAPE2.0", 11) == 0) {
      DataByte();  // sub-block id
      const int low = DataByte();
      const int high = DataByte();
      if (low >= 0 && high >= 0) {
        const int count = low | high << 8;
        target_.SetLoopCount(count == 0xFFFF ? 0 : count);
      }
    }
  }
  SkipData();
}

KBitmap* KGifDecoder::NewFrame(const KBitmap* previous) {
  KBitmap* frame = target_.AppendFrame();
  frame->SetSize(screenWidth_, screenHeight_);
  storageBytes_ += static_cast<int64_t>(frame->SizeBytes());
  if (storageBytes_ > storageLimitBytes_ || !frame->Allocate()) {
    throw KX(KErrors::kMemoryAllocate);
  }
  if (!previous || !frame->CopyPixels(*previous)) {
    frame->Fill(background_.red, background_.green, background_.blue);
  }
  return frame;
}

KBitmap* KGifDecoder::ChooseFrame() {
  KBitmap* last = target_.Last();
  // Images without a delay of their own are drawn into the same frame.
  if (last && last->Delay() <= 0) return last;
  return NewFrame(last);
}

void KGifDecoder::ReadImage() {
  const int left = Word();
  const int top = Word();
  const int width = Word();
  const int height = Word();
  const int flags = Byte();
  if (width < 1 || height < 1 || left + width > screenWidth_ || top + height > screenHeight_) {
    Malformed();
  }
  const Color* table = global_;
  if (flags & 0x80) {
    ReadColorTable(flags, local_);
    table = local_;
  }

  KBitmap* frame = ChooseFrame();
  switch (disposal_) {
    case 3:
      if (saved_ && frame->CopyPixels(*saved_)) break;
      [[fallthrough]];
    case 2:
      frame->FillRect(disposalRect_, background_.red, background_.green, background_.blue);
      break;
    default:
      break;
  }

  const KRect rect = KRect::FromSize(left, top, width, height);
  disposal_ = (controlFlags_ >> 2) & 7;
  disposalRect_ = rect;
  if (disposal_ == 3) {
    if (!saved_) {
      storageBytes_ += static_cast<int64_t>(frame->SizeBytes());
      saved_ = std::make_unique<KBitmap>(screenWidth_, screenHeight_, frame->Format(),
                                         frame->StorageKind());
      if (storageBytes_ > storageLimitBytes_ || !saved_->Allocate()) {
        saved_.reset();
        throw KX(KErrors::kMemoryAllocate);
      }
    }
    saved_->CopyPixels(*frame);
  }
  if (delayMs_ >= 0) frame->SetDelay(delayMs_);

  DecodePixels(*frame, rect, (flags & 0x40) != 0, table);

  controlFlags_ = 0;
  delayMs_ = -1;
  transparent_ = -1;
  SkipData();
}

void KGifDecoder::DecodePixels(KBitmap& frame, const KRect& rect, bool interlaced,
                               const Color* table) {
  const int minimum = Byte();
  if (minimum < 2 || minimum > 8) Malformed();
  BeginData();

  const int clear = 1 << minimum;
  const int end = clear + 1;
  // Each entry is its prefix code and last pixel; first pixel and length are
  // kept beside them so a string is written back to front in one pass.
  uint16_t prefix[kTableSize];
  uint8_t suffix[kTableSize];
  uint8_t first[kTableSize];
  uint16_t length[kTableSize];
  for (int i = 0; i < clear; ++i) {
    prefix[i] = 0;
    suffix[i] = first[i] = static_cast<uint8_t>(i);
    length[i] = 1;
  }
  int next = clear + 2;
  int width = minimum + 1;
  int waiting = -1;  // the entry still missing its last pixel

  uint32_t bits = 0;
  int bitCount = 0;

  const int64_t total = static_cast<int64_t>(rect.Width()) * rect.Height();
  int64_t n = 0;
  uint8_t string[kTableSize];

  // Interlaced rows arrive in four passes; each pass holds the rows
  // (height + step - start - 1) / step.
  static constexpr int kStart[4] = {0, 4, 2, 1};
  static constexpr int kStep[4] = {8, 8, 4, 2};
  const int height = rect.Height();
  const auto mapRow = [&](int sequential) {
    if (!interlaced) return sequential;
    for (int pass = 0; pass < 4; ++pass) {
      const int rows = (height + kStep[pass] - kStart[pass] - 1) / kStep[pass];
      if (sequential < rows) return kStart[pass] + sequential * kStep[pass];
      sequential -= rows;
    }
    return height;
  };

  const uint32_t format = frame.Format();
  const int bpp = frame.BytesPerPixel();
  // The pixel position advances column by column; a row is looked up (and
  // mapped through the passes) only when it starts.
  const int imageWidth = rect.Width();
  int column = imageWidth;
  int sequentialRow = -1;
  uint8_t* start = nullptr;  // the image's first pixel in the current row
  const bool fast = (format & KBitmap::kDepthMask) == KBitmap::kDepth24;

  for (;;) {
    while (bitCount < width) {
      const int byte = DataByte();
      if (byte < 0) Malformed();  // the image data end before the end code
      bits |= static_cast<uint32_t>(byte) << bitCount;
      bitCount += 8;
    }
    const int code = static_cast<int>(bits & ((1u << width) - 1));
    bits >>= width;
    bitCount -= width;

    if (code == end) return;
    if (code == clear) {
      next = clear + 2;
      width = minimum + 1;
      waiting = -1;
      continue;
    }
    if (waiting >= 0) {
      if (code > waiting) Malformed();
      suffix[waiting] = first[code];
      waiting = -1;
    }
    if (code >= next) Malformed();
    if (next < kTableSize) {
      prefix[next] = static_cast<uint16_t>(code);
      first[next] = first[code];
      length[next] = static_cast<uint16_t>(length[code] + 1);
      waiting = next++;
      if (waiting == (1 << width) && width < kMaxCodeWidth) ++width;
    }

    // Prefix codes always lie below their entry, so the walk ends.
    const int count = length[code];
    if (n + count > total) Malformed();
    for (int c = code, i = count - 1; i >= 0; --i) {
      string[i] = suffix[c];
      c = prefix[c];
    }
    n += count;
    for (int i = 0; i < count; ++i, ++column) {
      if (column == imageWidth) {
        column = 0;
        const int mapped = mapRow(++sequentialRow);
        if (mapped >= height) Malformed();
        uint8_t* row = frame.Row(rect.top + mapped);
        start = row ? row + static_cast<size_t>(rect.left) * bpp : nullptr;
      }
      const int index = string[i];
      if (index == transparent_ || !start || bpp == 0) continue;
      const Color& color = table[index];
      uint8_t* at = start + static_cast<size_t>(column) * bpp;
      if (fast) {
        at[0] = color.blue;
        at[1] = color.green;
        at[2] = color.red;
      } else {
        KBitmap::StorePixel(format, at, color.red, color.green, color.blue);
      }
    }
  }
}
