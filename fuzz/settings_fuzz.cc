// Settings texts: Load over an empty tree or the defaults, then the written
// tree must read back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/k_memory_stream.h"
#include "base/k_x.h"
#include "config/k_default_settings.h"
#include "config/k_profile.h"
#include "config/k_registry.h"

namespace {

// Over the defaults, the profile form: it leaves out the long \Strings\ group
// that the input rarely touches and that dominates the time of a run.
std::string Write(KRegistry& root, int encoding, bool profile) {
  KMemoryStream out;
  out.SetWriteEncoding(encoding);
  out.SetWriteLineMode(KStream::kLineCRLF);
  out.WriteByteOrderMark();
  if (profile) {
    KProfile::Write(root, out);
  } else {
    root.Store(out);
  }
  return std::string(out.Bytes().begin(), out.Bytes().end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t selector = data[0];
  // The defaults cost far more than a small input; one run in eight uses them.
  const bool defaults = (selector & 0x61) == 0x61;
  const int encoding = (selector & 2) != 0 ? KStream::kEncoding16Bit : KStream::kEncoding8Bit;
  KRegistry first(defaults ? KDefaultSettings::Table() : nullptr);
  KMemoryStream in(data + 1, size - 1);
  in.SetReadEncoding((selector >> 2) & 3);
  try {
    first.Load(in);
  } catch (const KX&) {
  }
  // The same bytes as single lines applied by code, where nothing cuts at line ends.
  if ((selector & 0x10) != 0) {
    KRegistry scratch;
    const std::u16string line(reinterpret_cast<const char*>(data + 1),
                              reinterpret_cast<const char*>(data + size));
    scratch.Apply(line);
    scratch.Lookup(line);
    KMemoryStream out;
    scratch.Store(out);
  }
  const std::string written = Write(first, encoding, defaults);
  KRegistry second(defaults ? KDefaultSettings::Table() : nullptr);
  KMemoryStream back(written.data(), written.size());
  second.Load(back);
  if (Write(second, encoding, defaults) != written) std::abort();
  return 0;
}
