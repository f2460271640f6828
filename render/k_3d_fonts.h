#pragma once

#include "base/k_list.h"
#include "base/k_string.h"
#include "render/k_3d_font.h"

// The process-wide list of fonts: the sport font first, then the installed
// families by name.
class K3DFonts {
 public:
  K3DFonts();
  K3DFonts(const K3DFonts&) = delete;
  K3DFonts& operator=(const K3DFonts&) = delete;
  ~K3DFonts();

  // The font list of the run, or null before it exists.
  static K3DFonts* Instance() { return instance_; }

  // Takes ownership.
  void Append(K3DFont* font) { fonts_.Append(font); }
  const KList& Fonts() const { return fonts_; }
  // Exact name; the last font found is checked first.
  K3DFont* Find(const KString& name) const;

 private:
  KList fonts_;
  mutable K3DFont* lastFound_ = nullptr;
  static inline K3DFonts* instance_ = nullptr;
};
