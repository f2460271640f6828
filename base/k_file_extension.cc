#include "base/k_file_extension.h"

KList& KFileExtension::All() {
  static KList list;
  return list;
}

KFileExtension* KFileExtension::Register(const KString& extension, const KString& description) {
  auto* item = new KFileExtension(extension, description);
  All().Append(item);
  return item;
}

KFileExtension* KFileExtension::Find(const KString& extension) {
  for (auto* item : All().Items<KFileExtension>()) {
    if (item->extension_ == extension) return item;
  }
  return nullptr;
}

std::vector<KFileExtension::Filter> KFileExtension::BuildFilter(const KString& extensions) {
  std::vector<Filter> filter;
  int from = 0;
  while (from <= extensions.Length()) {
    int comma = extensions.Find(u',', from);
    if (comma < 0) comma = extensions.Length();
    const KString name = extensions.Mid(from, comma - from);
    const KFileExtension* known = Find(name);
    if (!known) return {};
    KString pattern(u"*.");
    pattern.Append(known->extension_);
    filter.push_back({known->description_, pattern, known->extension_});
    from = comma + 1;
  }
  return filter;
}
