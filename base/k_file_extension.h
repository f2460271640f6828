#pragma once

#include <vector>

#include "base/k_list.h"
#include "base/k_string.h"

// A file type the open and save dialogs offer. Every instance lives in one
// process-wide list, in order of creation.
class KFileExtension : public KListItem {
 public:
  // Creates and registers a type; the list owns it.
  static KFileExtension* Register(const KString& extension, const KString& description);
  static KList& All();
  // Exact, case-sensitive match.
  static KFileExtension* Find(const KString& extension);

  KString ClassName() const override { return KString::MakeView(u"KFileExtension"); }
  const KString15& Extension() const { return extension_; }
  const KString31& Description() const { return description_; }
  void SetDescription(const KString& description) { description_ = description; }

  // One entry of a dialog's filter: "Telvane Layout", "*.tln".
  struct Filter {
    KString description;
    KString pattern;
    KString extension;
  };
  // The filter for a comma-separated list of extensions; empty when any of
  // them is not registered. The first listed is the default extension.
  static std::vector<Filter> BuildFilter(const KString& extensions);

 private:
  KFileExtension(const KString& extension, const KString& description)
      : extension_(extension), description_(description) {}

  KString15 extension_;
  KString31 description_;
};
