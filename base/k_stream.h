#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "base/k_string.h"

class KWaitSet;

// The byte stream every file, serial port and socket is. The base stream
// cannot transfer data; kinds override the transfer operations. On top sit a
// text layer (encodings, line ends, byte-order marks) and a data layer
// (little-endian numbers unless the swap flag is set).
class KStream {
 public:
  enum LineMode : int {
    kLineNone = 0,  // 10 and 13 pass unchanged
    kLineAuto = 1,  // the first line end read decides
    kLineCR = 2,
    kLineLF = 3,
    kLineCRLF = 4,
    kLineLFCR = 5,
  };
  enum Encoding : int {
    kEncoding8Bit = 0,
    kEncoding16Bit = 1,
    kEncodingMultiByte = 2,  // UTF-8 here
    kEncodingAuto = 3,
  };
  enum Direction : int { kDirectionNone = 0, kDirectionRead = 1, kDirectionWrite = 2 };

  // Called after every complete transfer with the bytes moved.
  using Observer = std::function<void(const uint8_t* bytes, int count)>;

  KStream() = default;
  KStream(const KStream&) = delete;
  KStream& operator=(const KStream&) = delete;
  virtual ~KStream() = default;

  // Whether this stream object can serve a port of that kind (0 for the base).
  virtual bool Accepts(int kind) const { return kind == 0; }
  // Copies line-end character, modes, swap flag and timeouts into `target`.
  virtual void CloneSettings(KStream& target) const;
  // A new stream of the same kind carrying these settings (a prototype's copy).
  virtual std::unique_ptr<KStream> Clone() const;
  virtual bool IsOpen() const { return false; }
  // Takes settings from a port specification; false when the text is not for this kind.
  virtual bool SetSpec(const KString& spec);
  virtual void Close();
  virtual int SetDirection(int direction);
  // Exactly `count` bytes or a KXStream.
  virtual void Read(void* bytes, int count);
  // What is waiting now, up to `max` bytes, without waiting: 0 when nothing
  // is there. A KX only for a real failure. Kinds that poll override it; the
  // base form falls back to Read one byte at a time.
  virtual int ReadAvailable(void* bytes, int max);
  // Adds what the main loop should sleep on for this stream to become
  // readable (descriptors, a reconnect deadline); nothing by default.
  virtual void AddWaits(KWaitSet& /*set*/) const {}
  virtual void Write(const void* bytes, int count);
  virtual void SetReadTimeout(int ms) { readTimeoutMs_ = ms; }
  virtual void SetWriteTimeout(int ms) { writeTimeoutMs_ = ms; }
  virtual void PurgeInput();
  virtual void FlushOutput() {}
  virtual bool IsDrained() { return true; }
  virtual void WaitDrained();
  virtual void DiscardOutput() {}
  // Returns the number of characters written.
  virtual int WriteText(const KString& text);

  // Text layer.
  char16_t ReadChar();
  // The characters waiting now, decoded, up to `max`; 0 when none. Never
  // waits and never throws for "nothing there"; a KX is a real failure. A
  // character cut off by the end of the waiting bytes stays for the next call.
  int ReadAvailableChars(char16_t* out, int max);
  // Whether bytes or characters are held here already, so reading needs no
  // new data from the port.
  bool HasBuffered() const;
  // AddWaits, and "due now" while something is buffered.
  void CollectWaits(KWaitSet& set) const;
  bool HasMore();
  // Skips `count` characters, or all when negative; returns how many.
  int Skip(int count);
  // Appends characters to `out` until one of `stops` arrives; see the .cc.
  int ReadUntil(KString& out, const KString& stops, const KString& ignore = KString(),
                const KString& skipLeading = KString());
  int WriteChar(int ch);
  void WriteByteOrderMark();

  int ReadLineMode() const { return readModes_ & 0xF; }
  int ReadEncoding() const { return (readModes_ >> 4) & 0xF; }
  int WriteLineMode() const { return writeModes_ & 0xF; }
  int WriteEncoding() const { return (writeModes_ >> 4) & 0xF; }
  void SetReadLineMode(int mode);
  void SetReadEncoding(int encoding);
  void SetWriteLineMode(int mode);
  void SetWriteEncoding(int encoding);
  char16_t LineEndChar() const { return lineEndChar_; }
  bool SwapBytes() const { return swapBytes_ != 0; }
  void SetSwapBytes(bool swap) { swapBytes_ = swap ? 1 : 0; }
  int Direction() const { return direction_; }
  int ReadTimeout() const { return readTimeoutMs_; }
  int WriteTimeout() const { return writeTimeoutMs_; }

  void SetReadObserver(Observer observer) { readObserver_ = std::move(observer); }
  void SetWriteObserver(Observer observer) { writeObserver_ = std::move(observer); }

  // Data layer.
  void WriteInt32(int32_t value);
  int32_t ReadInt32();
  void WriteInt16(int16_t value);
  int16_t ReadInt16();
  void WriteUInt16(uint16_t value);
  uint16_t ReadUInt16();
  void WriteByte(uint8_t value);
  uint8_t ReadByte();

 protected:
  void NotifyRead(const void* bytes, int count) const;
  void NotifyWrite(const void* bytes, int count) const;
  void ResetTextState();
  // For kinds whose Close wants to reset the direction without side effects.
  void StoreDirection(int direction) { direction_ = direction; }

 private:
  // The decoders return false when the bytes ran out inside a block read;
  // otherwise the end of the data is the KX that Read raises.
  bool DecodeChar(char16_t& out);
  bool DecodeUnit16(char16_t& out);
  bool DecodeMultiByte(char16_t& out);
  bool NextByte(uint8_t& byte);
  // One character with the line-end rules applied; false as the decoders.
  bool TakeChar(char16_t& out);
  int ResolvedWriteEncoding() const;
  void WriteEncodedChar(char16_t ch, int encoding);
  void UpdateLineEndChar();

  char16_t lineEndChar_ = 0;
  char16_t pendingCompanion_ = 0;
  char16_t peeked_ = 0;
  bool hasPeeked_ = false;
  int readModes_ = kLineAuto | (kEncodingAuto << 4);
  int writeModes_ = kLineAuto | (kEncodingAuto << 4);
  int swapBytes_ = 0;
  int direction_ = kDirectionNone;
  int readTimeoutMs_ = 0;
  int writeTimeoutMs_ = 0;
  Observer readObserver_;
  Observer writeObserver_;

  // Decoder state that a byte stream needs beyond the fields above: a byte
  // read ahead (the second of a non-mark pair, or a byte that broke a UTF-8
  // sequence), the low half of a surrogate pair still to deliver, and the
  // high half written but not yet paired.
  int pendingByte_ = -1;
  // A UTF-8 sequence cut off by the end of the data so far; a live port may
  // deliver the rest later.
  uint8_t partial_[4] = {};
  int partialCount_ = 0;
  char16_t pendingLowSurrogate_ = 0;
  char16_t pendingHighSurrogate_ = 0;

  // Bytes a block read took from the port and the decoder has not used yet.
  static constexpr int kBlockBytes = 4096;
  std::unique_ptr<uint8_t[]> block_;
  int blockCount_ = 0;
  int blockPosition_ = 0;
  bool blockRead_ = false;
};
