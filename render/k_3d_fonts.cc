#include "render/k_3d_fonts.h"

K3DFonts::K3DFonts() {
  if (instance_ == nullptr) instance_ = this;
}

K3DFonts::~K3DFonts() {
  if (instance_ == this) instance_ = nullptr;
  fonts_.DeleteAll();
}

K3DFont* K3DFonts::Find(const KString& name) const {
  if (lastFound_ != nullptr && lastFound_->Name() == name) return lastFound_;
  for (auto* font : fonts_.Items<K3DFont>()) {
    if (font->Name() == name) {
      lastFound_ = font;
      return font;
    }
  }
  return nullptr;
}
