// Stored records and the text layer over arbitrary bytes.
#include <cstdint>

#include "base/k_list.h"
#include "base/k_memory_stream.h"
#include "base/k_record.h"
#include "base/k_x.h"

namespace {

class Item : public KListItem {
 public:
  void Load(KStream& stream) override { KRecord::LoadString(stream, name_); }

 private:
  KString31 name_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t selector = data[0];
  KMemoryStream stream(data + 1, size - 1);
  stream.SetSwapBytes((selector & 0x80) != 0);
  try {
    switch (selector & 7) {
      case 0: {
        KString text;
        KRecord::LoadString(stream, text);
        break;
      }
      case 1: {
        KString255 text;
        KRecord::LoadString(stream, text);
        break;
      }
      case 2:
        KRecord::LoadColor(stream);
        KRecord::LoadDateTime(stream);
        KRecord::LoadRect(stream);
        break;
      case 3: {
        KList list;
        KRecord::LoadList(list, stream, KRecord::Factory([] { return new Item; }));
        break;
      }
      case 4: {
        KList list;
        KRecord::LoadList(list, stream,
                          KRecord::NamedFactory([](const KString& name) -> KListItem* {
                            return name == KString(u"Item") ? new Item : nullptr;
                          }));
        break;
      }
      default: {
        // The text layer: every encoding and line mode the selector names.
        stream.SetReadEncoding((selector >> 3) & 3);
        stream.SetReadLineMode(((selector >> 5) & 3) + (selector & 1) * 2);
        KString line;
        while (stream.ReadUntil(line, KString(u"\n"), KString(u"\t"), KString(u"\n")) >= 0) {
          line.Clear();
        }
        break;
      }
    }
  } catch (const KX&) {
  }
  return 0;
}
