// The capture reader over arbitrary bytes.
#include <cstdint>

#include "base/k_memory_stream.h"
#include "base/k_x.h"
#include "ports/k_capture_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  KMemoryStream stream(data, size);
  try {
    KCapture::Reader reader(stream);
    KCapture::Chunk chunk;
    int64_t last = 0;
    while (reader.Next(chunk)) {
      if (chunk.atUs < last) __builtin_trap();  // times never go backwards
      last = chunk.atUs;
    }
  } catch (const KX&) {
  }
  return 0;
}
