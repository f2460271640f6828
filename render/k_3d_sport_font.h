#pragma once

#include <string>

#include "base/k_list.h"
#include "render/k_3d_font.h"
#include "render/k_3d_sport_size.h"

// The built-in bitmap font family (the font with the empty name): one size
// per "*.fnt" file in the home, each glyph pre-drawn in ink numbers that
// take the text's colours when drawn. Border and shadow are part of the
// drawn glyph, and every text is drawn character by character.
class K3DSportFont : public K3DFont {
 public:
  K3DSportFont() : K3DFont(KString()) {}

  KString ClassName() const override { return KString::MakeView(u"K3DSportFont"); }

  // Loads every "*.fnt" file in `directory`; returns the number of sizes.
  // Of two files with the same size the first (in name order) stays. A file
  // without a space glyph has size 0, which no text can choose; it is left out.
  int LoadDirectory(const KString& directory);
  // Copies the "*.fnt" files of `shipped` into `home` when `home` has none,
  // so a new home starts with the fonts the program ships. Returns the
  // number of files copied.
  static int InstallShipped(const KString& shipped, const KString& home);

  // Takes ownership; false (and deleted) when its size is 0 or taken.
  bool AddSize(K3DSportSize* size);
  const K3DSportSize* FindSize(int size) const;

  bool IsValidSize(int size) const override { return FindSize(size) != nullptr; }
  // The second smallest size when there are two or more.
  int DefaultSize() const override;
  bool IsBitmapFont() const override { return true; }
  int SizeCount() const override { return sizes_.Count(); }
  int SizeAt(int index) const override;
  bool UseFullString(const KString&, const K3DFontInfo&) override { return false; }
  bool Glyph(char16_t character, const K3DFontInfo& info, const uint32_t** pixels,
             K3DSize& size) override;

  // The colours of the nine inks for a text: background, face, the face
  // darkened by one to five eighths, border, shadow.
  static void InkPixels(const K3DFontInfo& info, uint32_t (&pixels)[K3DSportGlyph::kInks]);

 private:
  KSparseArray sizes_;
  // The last size asked for; texts ask for the same size glyph after glyph.
  mutable const K3DSportSize* lastSize_ = nullptr;
};
