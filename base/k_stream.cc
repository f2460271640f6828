#include "base/k_stream.h"

#include <chrono>
#include <string>
#include <thread>

#include "base/k_utf8.h"
#include "base/k_wait_set.h"
#include "base/k_x.h"

void KStream::CloneSettings(KStream& target) const {
  target.lineEndChar_ = lineEndChar_;
  target.readModes_ = readModes_;
  target.writeModes_ = writeModes_;
  target.swapBytes_ = swapBytes_;
  target.readTimeoutMs_ = readTimeoutMs_;
  target.writeTimeoutMs_ = writeTimeoutMs_;
}

std::unique_ptr<KStream> KStream::Clone() const {
  auto copy = std::make_unique<KStream>();
  CloneSettings(*copy);
  return copy;
}

bool KStream::SetSpec(const KString& /*spec*/) {
  return false;
}

void KStream::Close() {
  ResetTextState();
}

void KStream::ResetTextState() {
  pendingCompanion_ = 0;
  direction_ = kDirectionNone;
  hasPeeked_ = false;
  pendingByte_ = -1;
  partialCount_ = 0;
  pendingLowSurrogate_ = 0;
  pendingHighSurrogate_ = 0;
  blockCount_ = blockPosition_ = 0;
}

int KStream::SetDirection(int direction) {
  direction_ = direction;
  return direction_;
}

void KStream::Read(void* /*bytes*/, int /*count*/) {
  throw KXStream(KErrors::kFileRead, 0);
}

int KStream::ReadAvailable(void* bytes, int max) {
  auto* out = static_cast<uint8_t*>(bytes);
  int got = 0;
  try {
    while (got < max) {
      Read(out + got, 1);
      ++got;
    }
  } catch (const KX&) {
    // A kind without its own form ends its data with an exception.
  }
  return got;
}

void KStream::Write(const void* /*bytes*/, int /*count*/) {
  throw KXStream(KErrors::kFileWrite, 0);
}

void KStream::PurgeInput() {
  const int saved = readTimeoutMs_;
  SetReadTimeout(0);
  uint8_t block[128];
  try {
    for (;;) Read(block, sizeof block);
  } catch (const KX&) {
  }
  SetReadTimeout(saved);
}

void KStream::WaitDrained() {
  while (!IsDrained()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

int KStream::WriteText(const KString& text) {
  int written = 0;
  for (const char16_t ch : text) written += WriteChar(ch);
  return written;
}

void KStream::NotifyRead(const void* bytes, int count) const {
  if (readObserver_) readObserver_(static_cast<const uint8_t*>(bytes), count);
}

void KStream::NotifyWrite(const void* bytes, int count) const {
  if (writeObserver_) writeObserver_(static_cast<const uint8_t*>(bytes), count);
}

void KStream::UpdateLineEndChar() {
  switch (ReadLineMode()) {
    case kLineCR:
    case kLineCRLF:
      lineEndChar_ = 13;
      break;
    case kLineLF:
    case kLineLFCR:
      lineEndChar_ = 10;
      break;
    default:
      lineEndChar_ = 0;
  }
}

void KStream::SetReadLineMode(int mode) {
  readModes_ = (readModes_ & ~0xF) | (mode & 0xF);
  UpdateLineEndChar();
}

void KStream::SetReadEncoding(int encoding) {
  readModes_ = (readModes_ & ~0xF0) | ((encoding & 0xF) << 4);
}

void KStream::SetWriteLineMode(int mode) {
  writeModes_ = (writeModes_ & ~0xF) | (mode & 0xF);
}

void KStream::SetWriteEncoding(int encoding) {
  writeModes_ = (writeModes_ & ~0xF0) | ((encoding & 0xF) << 4);
}

bool KStream::NextByte(uint8_t& byte) {
  if (pendingByte_ >= 0) {
    byte = static_cast<uint8_t>(pendingByte_);
    pendingByte_ = -1;
    return true;
  }
  if (blockPosition_ < blockCount_) {
    byte = block_[static_cast<size_t>(blockPosition_++)];
    return true;
  }
  if (blockRead_) return false;
  Read(&byte, 1);
  return true;
}

bool KStream::DecodeUnit16(char16_t& out) {
  for (;;) {
    uint8_t first = 0;
    if (!NextByte(first)) return false;
    uint8_t second = 0;
    bool have = false;
    try {
      have = NextByte(second);
    } catch (const KX&) {
      // A port may hold half a character now and the rest later: keep it.
      pendingByte_ = first;
      throw;
    }
    if (!have) {
      pendingByte_ = first;
      return false;
    }
    const auto unit =
        static_cast<char16_t>(swapBytes_ ? (first << 8) | second : (second << 8) | first);
    if (unit == 0xFFFE) {
      // A mark read in the wrong order: the rest of the text is the other way round.
      swapBytes_ ^= 1;
      continue;
    }
    if (unit == 0xFEFF) continue;
    out = unit;
    return true;
  }
}

bool KStream::DecodeMultiByte(char16_t& out) {
  if (partialCount_ == 0) {
    if (!NextByte(partial_[0])) return false;
    partialCount_ = 1;
  }
  const int length = KUtf8::SequenceLength(partial_[0]);
  if (length <= 1) {
    partialCount_ = 0;
    out = length == 1 ? partial_[0] : char16_t{0xFFFD};
    return true;
  }
  while (partialCount_ < length) {
    uint8_t byte = 0;
    // At the end of the data the partial sequence waits.
    if (!NextByte(byte)) return false;
    const bool fits =
        partialCount_ == 1 ? KUtf8::ValidSecond(partial_[0], byte) : KUtf8::IsContinuation(byte);
    if (!fits) {
      pendingByte_ = byte;
      partialCount_ = 0;
      out = 0xFFFD;
      return true;
    }
    partial_[partialCount_++] = byte;
  }
  int used = 0;
  const char32_t cp = KUtf8::Decode(
      std::string_view(reinterpret_cast<const char*>(partial_), static_cast<size_t>(length)), used);
  partialCount_ = 0;
  if (cp >= 0x10000) {
    pendingLowSurrogate_ = static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    out = static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
    return true;
  }
  out = static_cast<char16_t>(cp);
  return true;
}

bool KStream::DecodeChar(char16_t& out) {
  if (pendingLowSurrogate_ != 0) {
    out = pendingLowSurrogate_;
    pendingLowSurrogate_ = 0;
    return true;
  }
  switch (ReadEncoding()) {
    case kEncoding16Bit:
      return DecodeUnit16(out);
    case kEncodingMultiByte:
      return DecodeMultiByte(out);
    case kEncodingAuto: {
      uint8_t first = 0;
      if (!NextByte(first)) return false;
      if (first != 0xFF && first != 0xFE) {
        SetReadEncoding(kEncoding8Bit);
        out = first;
        return true;
      }
      uint8_t second = 0;
      bool have = false;
      try {
        have = NextByte(second);
      } catch (const KX&) {
      }
      if (!have) {
        SetReadEncoding(kEncoding8Bit);
        out = first;
        return true;
      }
      if (first == 0xFE && second == 0xFF) {
        swapBytes_ = 1;
        SetReadEncoding(kEncoding16Bit);
        return DecodeUnit16(out);
      }
      if (first == 0xFF && second == 0xFE) {
        swapBytes_ = 0;
        SetReadEncoding(kEncoding16Bit);
        return DecodeUnit16(out);
      }
      SetReadEncoding(kEncoding8Bit);
      pendingByte_ = second;
      out = first;
      return true;
    }
    default: {
      uint8_t byte = 0;
      if (!NextByte(byte)) return false;
      out = byte;
      return true;
    }
  }
}

char16_t KStream::ReadChar() {
  char16_t ch = 0;
  // Outside a block read the decoders end the data with Read's exception.
  TakeChar(ch);
  return ch;
}

int KStream::ReadAvailableChars(char16_t* out, int max) {
  struct BlockRead {
    explicit BlockRead(bool& flag) : flag_(flag) { flag_ = true; }
    ~BlockRead() { flag_ = false; }
    bool& flag_;
  } guard(blockRead_);
  int count = 0;
  while (count < max) {
    if (TakeChar(out[count])) {
      ++count;
      continue;
    }
    // Out of bytes: one more block from the port.
    if (!block_) block_ = std::make_unique<uint8_t[]>(kBlockBytes);
    blockPosition_ = 0;
    blockCount_ = 0;
    blockCount_ = ReadAvailable(block_.get(), kBlockBytes);
    if (blockCount_ <= 0) {
      blockCount_ = 0;
      break;
    }
  }
  return count;
}

bool KStream::HasBuffered() const {
  // Half a 16-bit character waits for its partner; any other byte read
  // ahead is a character to decode.
  return hasPeeked_ || blockPosition_ < blockCount_ || pendingLowSurrogate_ != 0 ||
         (pendingByte_ >= 0 && ReadEncoding() != kEncoding16Bit);
}

void KStream::CollectWaits(KWaitSet& set) const {
  if (HasBuffered()) set.DueNow();
  AddWaits(set);
}

bool KStream::TakeChar(char16_t& out) {
  if (hasPeeked_) {
    hasPeeked_ = false;
    out = peeked_;
    return true;
  }
  for (;;) {
    char16_t ch = 0;
    if (!DecodeChar(ch)) return false;
    if (pendingCompanion_ != 0 && ch == pendingCompanion_) {
      // The second half of a two-character line end: swallowed, and it tells
      // a single-character mode that the text uses pairs.
      pendingCompanion_ = 0;
      if (ReadLineMode() == kLineCR) SetReadLineMode(kLineCRLF);
      if (ReadLineMode() == kLineLF) SetReadLineMode(kLineLFCR);
      continue;
    }
    pendingCompanion_ = 0;
    if (ReadLineMode() == kLineAuto) {
      if (ch == 10) {
        SetReadLineMode(kLineLF);
        pendingCompanion_ = 13;
      } else if (ch == 13) {
        SetReadLineMode(kLineCR);
        pendingCompanion_ = 10;
      }
    }
    if (lineEndChar_ != 0 && ch == lineEndChar_) {
      if (ReadLineMode() == kLineCRLF) pendingCompanion_ = 10;
      if (ReadLineMode() == kLineLFCR) pendingCompanion_ = 13;
      out = 10;
      return true;
    }
    out = ch;
    return true;
  }
}

bool KStream::HasMore() {
  if (hasPeeked_) return true;
  try {
    peeked_ = ReadChar();
  } catch (const KX&) {
    return false;
  }
  hasPeeked_ = true;
  return true;
}

int KStream::Skip(int count) {
  int skipped = 0;
  while (count < 0 || skipped < count) {
    try {
      ReadChar();
    } catch (const KX&) {
      break;
    }
    ++skipped;
  }
  return skipped;
}

int KStream::ReadUntil(KString& out, const KString& stops, const KString& ignore,
                       const KString& skipLeading) {
  const int entryLength = out.Length();
  bool first = true;
  for (;;) {
    char16_t ch = 0;
    try {
      ch = ReadChar();
    } catch (const KX&) {
      return -1;
    }
    if (first) {
      first = false;
      if (skipLeading.Contains(ch)) {
        out.Truncate(entryLength);
        if (!HasMore()) return -1;
        first = true;
        continue;
      }
    }
    if (stops.Contains(ch)) return ch;
    if (!ignore.Contains(ch)) out.Append(ch);
  }
}

int KStream::ResolvedWriteEncoding() const {
  const int encoding = WriteEncoding();
  if (encoding != kEncodingAuto) return encoding;
  const int read = ReadEncoding();
  return read == kEncodingAuto ? kEncoding16Bit : read;
}

void KStream::WriteEncodedChar(char16_t ch, int encoding) {
  switch (encoding) {
    case kEncoding8Bit:
      WriteByte(static_cast<uint8_t>(ch & 0xFF));
      return;
    case kEncodingMultiByte: {
      std::string bytes;
      if (ch >= 0xD800 && ch <= 0xDBFF) {
        if (pendingHighSurrogate_ != 0) KUtf8::Encode(0xFFFD, bytes);
        pendingHighSurrogate_ = ch;
      } else if (ch >= 0xDC00 && ch <= 0xDFFF && pendingHighSurrogate_ != 0) {
        const char32_t cp = 0x10000 + ((pendingHighSurrogate_ - 0xD800) << 10) + (ch - 0xDC00);
        pendingHighSurrogate_ = 0;
        KUtf8::Encode(cp, bytes);
      } else {
        if (pendingHighSurrogate_ != 0) KUtf8::Encode(0xFFFD, bytes);
        pendingHighSurrogate_ = 0;
        KUtf8::Encode(ch, bytes);
      }
      if (!bytes.empty()) Write(bytes.data(), static_cast<int>(bytes.size()));
      return;
    }
    default:
      WriteUInt16(ch);
  }
}

int KStream::WriteChar(int ch) {
  char16_t sequence[2] = {static_cast<char16_t>(ch), 0};
  int count = 1;
  if (ch == 10) {
    int mode = WriteLineMode();
    if (mode == kLineAuto) {
      const int read = ReadLineMode();
      mode = (read >= kLineCR && read <= kLineLFCR) ? read : kLineCRLF;
    }
    switch (mode) {
      case kLineCR:
        sequence[0] = 13;
        break;
      case kLineCRLF:
        sequence[0] = 13;
        sequence[1] = 10;
        count = 2;
        break;
      case kLineLFCR:
        sequence[1] = 13;
        count = 2;
        break;
      default:
        break;
    }
  }
  const int encoding = ResolvedWriteEncoding();
  for (int i = 0; i < count; ++i) WriteEncodedChar(sequence[i], encoding);
  return count;
}

void KStream::WriteByteOrderMark() {
  if (ResolvedWriteEncoding() == kEncoding16Bit) WriteUInt16(0xFEFF);
}

void KStream::WriteInt32(int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  uint8_t bytes[4];
  for (int i = 0; i < 4; ++i) {
    const int shift = swapBytes_ ? 8 * (3 - i) : 8 * i;
    bytes[i] = static_cast<uint8_t>(v >> shift);
  }
  Write(bytes, 4);
}

int32_t KStream::ReadInt32() {
  uint8_t bytes[4];
  Read(bytes, 4);
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) {
    const int shift = swapBytes_ ? 8 * (3 - i) : 8 * i;
    v |= static_cast<uint32_t>(bytes[i]) << shift;
  }
  return static_cast<int32_t>(v);
}

void KStream::WriteUInt16(uint16_t value) {
  uint8_t bytes[2];
  if (swapBytes_) {
    bytes[0] = static_cast<uint8_t>(value >> 8);
    bytes[1] = static_cast<uint8_t>(value);
  } else {
    bytes[0] = static_cast<uint8_t>(value);
    bytes[1] = static_cast<uint8_t>(value >> 8);
  }
  Write(bytes, 2);
}

uint16_t KStream::ReadUInt16() {
  uint8_t bytes[2];
  Read(bytes, 2);
  return swapBytes_ ? static_cast<uint16_t>((bytes[0] << 8) | bytes[1])
                    : static_cast<uint16_t>((bytes[1] << 8) | bytes[0]);
}

void KStream::WriteInt16(int16_t value) {
  WriteUInt16(static_cast<uint16_t>(value));
}

int16_t KStream::ReadInt16() {
  return static_cast<int16_t>(ReadUInt16());
}

void KStream::WriteByte(uint8_t value) {
  Write(&value, 1);
}

uint8_t KStream::ReadByte() {
  uint8_t value = 0;
  Read(&value, 1);
  return value;
}
