#pragma once

#include <cstdint>

#include "base/k_string.h"

class KStream;

// What the image readers need to know about the stream they read: the kind
// of picture its file name announces, and how much of it is left.
class KImageFile {
 public:
  enum Type : int { kTarga = 0, kJpeg = 1, kGif = 2 };

  // By the extension of the file behind the stream, ignoring case: "jp*" is
  // JPEG, "gif" GIF, anything else (or no file name) Targa.
  static Type TypeOf(const KStream& stream);
  // The extension is whatever follows the last dot of the name, so "x.jpeg"
  // counts even though a file path keeps only three-letter extensions.
  static Type TypeOfPath(const KString& path);

  // Bytes left to read, or -1 when the stream cannot tell (a port).
  static int64_t RemainingBytes(KStream& stream);
  // Moves `count` bytes forward; 3004 when the data end first.
  static void Skip(KStream& stream, int64_t count);
  // 3004 unless at least `count` bytes are left (or the stream cannot tell),
  // so that nothing is allocated for data a truncated file does not hold.
  static void Require(KStream& stream, int64_t count);
};
