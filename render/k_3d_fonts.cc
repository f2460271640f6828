#include "render/k_3d_fonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstring>
#include <new>

#include "config/k_r_group.h"
#include "config/k_r_int.h"
#include "render/k_3d_sport_font.h"
#include "render/k_3d_system_font.h"
#include "render/k_color_table.h"

namespace {

// Where fontconfig's substitution list stops naming fonts chosen for this
// family and falls back to its defaults for any name.
bool IsGenericFamily(const char* name) {
  static const char* const kGeneric[] = {"sans-serif", "serif", "monospace", "cursive", "fantasy",
                                         "system-ui",  "emoji", "math",      "sans",    "mono"};
  for (const char* generic : kGeneric) {
    if (strcasecmp(name, generic) == 0) return true;
  }
  return false;
}

}  // namespace

// fontconfig keeps its configuration for the whole process and frees it
// only in FcFini, which would pull it from under the GUI toolkit that shares
// it; sanitizer builds must not report that as a leak at exit. Likewise the
// toolkit's X11 platform reaches D-Bus, which keeps a buffer to the end.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libdbus-1.so\n";
}

K3DFonts::K3DFonts() {
  if (instance_ == nullptr) instance_ = this;
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library) == 0) library_ = library;
}

K3DFonts::K3DFonts(KRGroup* registry, const KString& home) : K3DFonts() {
  auto* sport = new K3DSportFont;
  sport->LoadDirectory(home);
  Append(sport);
  if (registry != nullptr) UseSettings(*registry);
  EnumerateFamilies();
}

void K3DFonts::UseSettings(KRGroup& registry) {
  KColorTable::Load(registry);
  drawText_ = registry.LookupInt(u"\\Display\\DrawText");
  enable_ = registry.LookupInt(u"\\Display\\AntiAlias\\Enable");
  bgLight_ = registry.LookupInt(u"\\Display\\AntiAlias\\BGLight");
}

K3DFonts::~K3DFonts() {
  if (instance_ == this) instance_ = nullptr;
  // Faces belong to the rasteriser, so the fonts go first.
  fonts_.DeleteAll();
  if (library_) FT_Done_FreeType(library_);
}

bool K3DFonts::AddFontFile(const std::string& path) {
  return FcConfigAppFontAddFile(nullptr, reinterpret_cast<const FcChar8*>(path.c_str())) == FcTrue;
}

void K3DFonts::Append(K3DFont* font) {
  font->owner_ = this;
  fonts_.Append(font);
  substitutes_.clear();
  glyphCache_.Clear();
}

void K3DFonts::EnumerateFamilies() {
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
  FcFontSet* set = FcFontList(nullptr, pattern, objects);
  FcObjectSetDestroy(objects);
  FcPatternDestroy(pattern);
  std::vector<std::string> names;
  if (set != nullptr) {
    for (int i = 0; i < set->nfont; ++i) {
      FcChar8* family = nullptr;
      for (int n = 0; FcPatternGetString(set->fonts[i], FC_FAMILY, n, &family) == FcResultMatch;
           ++n) {
        names.emplace_back(reinterpret_cast<const char*>(family));
      }
    }
    FcFontSetDestroy(set);
  }
  // Each family once; the same name in another case is another entry.
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  std::vector<K3DSystemFont*> fonts;
  fonts.reserve(names.size());
  for (const std::string& name : names) fonts.push_back(new K3DSystemFont(name));
  std::stable_sort(fonts.begin(), fonts.end(), [](const K3DFont* a, const K3DFont* b) {
    return a->Name().Compare(b->Name().View(), true) < 0;
  });
  for (K3DSystemFont* font : fonts) Append(font);
  enumerated_ = true;
}

K3DFont* K3DFonts::Find(const KString& name) const {
  if (lastFound_ != nullptr && lastFound_->Name() == name) return lastFound_;
  for (auto* font : fonts_.Items<K3DFont>()) {
    if (font->Name() == name) {
      lastFound_ = font;
      return font;
    }
  }
  if (!enumerated_ || name.IsEmpty()) return nullptr;
  for (const auto& [known, font] : substitutes_) {
    if (known == name) return font;
  }
  K3DFont* font = Substitute(name);
  substitutes_.emplace_back(KString31(name), font);
  return font;
}

namespace {

// The families fontconfig's own rules name for a pattern, with whether each
// is bound strongly (a stand-in chosen for this very family, such as
// Liberation Sans for Arial) or weakly (preferences for any family).
std::vector<std::pair<std::string, bool>> SubstitutedFamilies(const std::string& name) {
  std::vector<std::pair<std::string, bool>> families;
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcValue value;
  FcValueBinding binding = FcValueBindingWeak;
  for (int n = 0; FcPatternGetWithBinding(pattern, FC_FAMILY, n, &value, &binding) == FcResultMatch;
       ++n) {
    if (value.type != FcTypeString) continue;
    families.emplace_back(reinterpret_cast<const char*>(value.u.s), binding != FcValueBindingWeak);
  }
  FcPatternDestroy(pattern);
  return families;
}

// Whether fontconfig's preferences for the generic families mention `name`:
// then it is a face fontconfig knows (Tahoma, Verdana) rather than a typo.
bool IsKnownToFontconfig(const std::string& name) {
  static const std::vector<std::string> known = [] {
    std::vector<std::string> names;
    for (const char* generic : {"sans-serif", "serif", "monospace", "cursive", "fantasy"}) {
      for (const auto& [family, strong] : SubstitutedFamilies(generic)) names.push_back(family);
    }
    return names;
  }();
  return std::any_of(known.begin(), known.end(), [&](const std::string& family) {
    return strcasecmp(family.c_str(), name.c_str()) == 0;
  });
}

}  // namespace

// A family this machine lacks: first the stand-ins fontconfig binds to it
// strongly (its metric-compatible aliases); else, for a face fontconfig
// knows, the first of its preferences that is installed. A name fontconfig
// would meet only with its defaults for anything stays unknown.
K3DFont* K3DFonts::Substitute(const KString& name) const {
  const std::string utf8 = name.ToUtf8();
  const auto families = SubstitutedFamilies(utf8);
  auto installed = [&](const std::string& family) -> K3DFont* {
    const KString candidate{std::string_view(family)};
    for (auto* font : fonts_.Items<K3DFont>()) {
      if (!font->Name().IsEmpty() && font->Name().EqualsNoCase(candidate.View())) return font;
    }
    return nullptr;
  };
  for (const auto& [family, strong] : families) {
    if (!strong || IsGenericFamily(family.c_str())) continue;
    if (K3DFont* font = installed(family)) return font;
  }
  if (!IsKnownToFontconfig(utf8)) return nullptr;
  for (const auto& [family, strong] : families) {
    if (IsGenericFamily(family.c_str())) continue;
    if (K3DFont* font = installed(family)) return font;
  }
  return nullptr;
}

bool K3DFonts::Fit(KString& text, const K3DFontInfo& info, int& width,
                   K3DFontOptimize* optimize) const {
  K3DFont* font = Find(info.Font());
  return font != nullptr && font->Fit(text, info, width, optimize);
}

bool K3DFonts::Draw(const KString& text, const K3DFontInfo& info, K3DFont::Sink sink, void* user,
                    K3DFontOptimize* optimize) const {
  K3DFont* font = Find(info.Font());
  return font != nullptr && font->Draw(text, info, sink, user, optimize);
}

bool K3DFonts::Measure(const KString& text, const K3DFontInfo& info, K3DSize& size) const {
  K3DFont* font = Find(info.Font());
  return font != nullptr && font->Measure(text, info, size);
}

int K3DFonts::MeasureWidth(const KString& text, const K3DFontInfo& info) const {
  K3DSize size;
  return Measure(text, info, size) ? size.width : 0;
}

int K3DFonts::DrawTextMode() const {
  return drawText_ != nullptr ? drawText_->Value() : 0;
}

std::optional<int> K3DFonts::AntiAliasEnable() const {
  if (enable_ == nullptr) return std::nullopt;
  return enable_->Value();
}

int K3DFonts::BGLight() const {
  return bgLight_ != nullptr ? bgLight_->Value() : 0;
}

uint32_t* K3DFonts::GlyphBuffer(size_t pixels) {
  if (pixels > glyphCapacity_) {
    uint32_t* grown = new (std::nothrow) uint32_t[pixels];
    if (grown == nullptr) return nullptr;
    glyphs_.reset(grown);
    glyphCapacity_ = pixels;
  }
  return glyphs_.get();
}

uint8_t* K3DFonts::Surface(int width, int height, int& stride) {
  if (!library_ || width < 1 || height < 1) return nullptr;
  if (width > surfaceWidth_ || height > surfaceHeight_) {
    const int w = std::max(width, surfaceWidth_);
    const int h = std::max(height, surfaceHeight_);
    uint8_t* grown = new (std::nothrow) uint8_t[static_cast<size_t>(w) * h];
    if (grown == nullptr) return nullptr;
    surface_.reset(grown);
    surfaceWidth_ = w;
    surfaceHeight_ = h;
  }
  stride = surfaceWidth_;
  for (int y = 0; y < height; ++y)
    std::memset(surface_.get() + static_cast<size_t>(y) * stride, 0, static_cast<size_t>(width));
  return surface_.get();
}
