// The layout loader over arbitrary bytes; a layout that loads must store
// and load again to the same bytes.
#include <cstdint>
#include <vector>

#include "base/k_memory_stream.h"
#include "layout/t_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TLayout layout;
  KMemoryStream input(data, size);
  if (layout.LoadContent(input) != 0) return 0;
  KMemoryStream first;
  layout.StoreContent(first);
  TLayout again;
  KMemoryStream reread(first.Bytes());
  if (again.LoadContent(reread) != 0) __builtin_trap();
  KMemoryStream second;
  again.StoreContent(second);
  if (second.Bytes() != first.Bytes()) __builtin_trap();
  return 0;
}
