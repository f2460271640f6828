#include "base/k_stream_menu.h"

#include "base/k_number.h"

void KStreamMenu::Register(std::unique_ptr<KStream> prototype) {
  if (prototype) Append(new Stream(std::move(prototype)));
}

int KStreamMenu::KindOf(const KString& spec) {
  int comma = spec.Find(u',');
  if (comma < 0) comma = spec.Length();
  int32_t kind = 0;
  return KNumber::ParseWholeInt(spec.View().substr(0, static_cast<size_t>(comma)), kind) ? kind : 0;
}

std::unique_ptr<KStream> KStreamMenu::Make(const KString& spec,
                                           std::unique_ptr<KStream> current) const {
  const int kind = KindOf(spec);
  if (current && current->Accepts(kind)) return current;
  current.reset();
  for (auto* item : Items<Stream>()) {
    if (item->Prototype().Accepts(kind)) return item->Prototype().Clone();
  }
  return std::make_unique<KStream>();
}
