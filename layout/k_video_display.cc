#include "layout/k_video_display.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <new>

#include "base/k_buffered_file.h"
#include "base/k_file.h"
#include "base/k_number.h"
#include "base/k_x.h"
#include "layout/t_layout_services.h"
#include "render/k_3d_fonts.h"
#include "render/k_bitmap.h"
#include "render/k_bitmaps.h"
#include "render/k_color_table.h"

namespace {

// Cell and pixel arithmetic runs in 64 bits and is kept well inside the
// int range, so that any numbers a sender puts into a window stay harmless.
constexpr int64_t kCoordinateLimit = int64_t{1} << 30;

int32_t Saturate(int64_t value) {
  return static_cast<int32_t>(std::clamp(value, -kCoordinateLimit, kCoordinateLimit));
}

}  // namespace

// Reads the arguments of one command from the left. Once one cannot be
// read, neither can any that follow.
class KVideoDisplay::Arguments {
 public:
  enum Result { kRead, kAbsent, kBad };

  explicit Arguments(const KString& text) : text_(text.View()) {}

  Result Number(int32_t& value) {
    if (bad_) return kBad;
    if (pos_ >= text_.size()) return kAbsent;
    size_t at = pos_;
    int32_t number = 0;
    if (!KNumber::ParseInt(text_, at, number) || (at < text_.size() && text_[at] != u',')) {
      bad_ = true;
      return kBad;
    }
    pos_ = at < text_.size() ? at + 1 : at;
    value = number;
    return kRead;
  }

  // The index of the keyword (compared ignoring case with the text up to
  // the next comma), or -1.
  template <size_t N>
  int Keyword(const std::u16string_view (&keywords)[N]) {
    if (bad_ || pos_ >= text_.size()) {
      bad_ = true;
      return -1;
    }
    const size_t comma = std::min(text_.find(u',', pos_), text_.size());
    const KString word = KString::MakeView(text_.substr(pos_, comma - pos_));
    for (size_t i = 0; i < N; ++i) {
      if (word.EqualsNoCase(keywords[i])) {
        pos_ = comma < text_.size() ? comma + 1 : comma;
        return static_cast<int>(i);
      }
    }
    bad_ = true;
    return -1;
  }

  // A palette keyword, or R,G,B from the low byte of each number.
  bool Color(KColor& color) {
    static constexpr std::u16string_view kNames[] = {
        u"Background", u"White", u"LightGray", u"DarkGray", u"Black", u"Red",
        u"Green",      u"Blue",  u"Cyan",      u"Magenta",  u"Yellow"};
    if (bad_ || pos_ >= text_.size()) return false;
    const size_t start = pos_;
    const int index = Keyword(kNames);
    if (index >= 0) {
      color = KColor::Palette(index);
      return true;
    }
    bad_ = false;
    pos_ = start;
    int32_t r = 0;
    int32_t g = 0;
    int32_t b = 0;
    if (Number(r) != kRead || Number(g) != kRead || Number(b) != kRead) return false;
    color = KColor::Rgb(static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b));
    return true;
  }

  // A justification keyword: Left, Center, Right, Top, Bottom.
  bool Justification(int& justification) {
    static constexpr std::u16string_view kNames[] = {u"Left", u"Center", u"Right", u"Top",
                                                     u"Bottom"};
    static constexpr int kValues[] = {kLeft, kCenter, kRight, kTop, kBottom};
    const int index = Keyword(kNames);
    if (index < 0) return false;
    justification = kValues[index];
    return true;
  }

 private:
  std::u16string_view text_;
  size_t pos_ = 0;
  bool bad_ = false;
};

const KVideoDisplay::CommandName KVideoDisplay::kCommands[] = {
    {u"LayoutSetup", &KVideoDisplay::LayoutSetup},
    {u"LayoutBackColor", &KVideoDisplay::LayoutBackColor},
    {u"LayoutFlush", &KVideoDisplay::LayoutFlush},
    {u"Blank", &KVideoDisplay::Blank},
    {u"TextSetup", &KVideoDisplay::TextSetup},
    {u"TextDraw", &KVideoDisplay::TextDraw},
    {u"TextJustify", &KVideoDisplay::TextJustify},
    {u"TextMargins", &KVideoDisplay::TextMargins},
    {u"TextHandling", &KVideoDisplay::TextHandling},
    {u"TextOptimize", &KVideoDisplay::TextOptimizeCommand},
    {u"FontName", &KVideoDisplay::FontName},
    {u"FontSize", &KVideoDisplay::FontSize},
    {u"FontWidth", &KVideoDisplay::FontWidth},
    {u"FontFaceColor", &KVideoDisplay::FontFaceColor},
    {u"FontBorderColor", &KVideoDisplay::FontBorderColor},
    {u"FontShadowColor", &KVideoDisplay::FontShadowColor},
    {u"FontBackColor", &KVideoDisplay::FontBackColor},
    {u"FontBorderSize", &KVideoDisplay::FontBorderSize},
    {u"FontShadowSize", &KVideoDisplay::FontShadowSize},
    {u"ImageSetup", &KVideoDisplay::ImageSetup},
    {u"ImageDraw", &KVideoDisplay::ImageDraw},
    {u"ImageJustify", &KVideoDisplay::ImageJustify},
    {u"ImageStretch", &KVideoDisplay::ImageStretchCommand},
    {u"ImageMargins", &KVideoDisplay::ImageMargins},
};

void KVideoDisplay::TextOptimize::Invalidate() {
  window = KRect{};
  leftMargin = rightMargin = justification = 0;
  optimize.lastFittedLength = -1;
  optimize.InvalidateEntries();
}

KVideoDisplay::KVideoDisplay() {
  Reset();
}

KVideoDisplay::~KVideoDisplay() = default;

bool KVideoDisplay::SetCanvas(int width, int height, int rotation) {
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return false;
  if (rotation < kRotationOff || rotation > kRotationRight) rotation = kRotationOff;
  const int logicalWidth = rotation == kRotationOff ? width : height;
  const int logicalHeight = rotation == kRotationOff ? height : width;
  if (logicalWidth == width_ && logicalHeight == height_ && rotation == rotation_) return true;
  width_ = logicalWidth;
  height_ = logicalHeight;
  rotation_ = rotation;
  // The pixels are made on first use: copies of a layout kept for undo
  // never draw and should not hold a canvas each.
  pixels_ = {};
  shown_ = {};
  for (TextOptimize& slot : caches_) slot.Invalidate();
  return true;
}

void KVideoDisplay::Release() {
  width_ = height_ = 0;
  rotation_ = kRotationOff;
  pixels_ = {};
  shown_ = {};
  cachesUsed_ = cachesUsedBefore_ = 0;
  for (TextOptimize& slot : caches_) slot.Invalidate();
}

bool KVideoDisplay::EnsurePixels() {
  if (!HasCanvas()) return false;
  const size_t count = static_cast<size_t>(width_) * static_cast<size_t>(height_);
  if (pixels_.size() == count) return true;
  try {
    pixels_.assign(count, 0);
  } catch (const std::bad_alloc&) {
    Release();
    return false;
  }
  return true;
}

const uint32_t* KVideoDisplay::Pixels() {
  return EnsurePixels() ? pixels_.data() : nullptr;
}

const uint32_t* KVideoDisplay::ShownPixels() {
  if (!HasCanvas()) return nullptr;
  const size_t count = static_cast<size_t>(width_) * static_cast<size_t>(height_);
  if (shown_.size() != count) {
    try {
      shown_.assign(count, 0);
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }
  return shown_.data();
}

uint32_t KVideoDisplay::PixelAt(int x, int y) const {
  if (!Canvas().Contains(KPoint{x, y}) || pixels_.empty()) return 0;
  return pixels_[Index(x, y)];
}

uint32_t KVideoDisplay::ShownPixelAt(int x, int y) const {
  if (!Canvas().Contains(KPoint{x, y}) || shown_.empty()) return 0;
  return shown_[Index(x, y)];
}

bool KVideoDisplay::Feed(std::u16string_view text) {
  if (!HasCanvas() || K3DFonts::Instance() == nullptr || !EnsurePixels()) return false;
  for (const char16_t ch : text) PutChar(ch);
  return true;
}

void KVideoDisplay::PutChar(char16_t ch) {
  switch (ch) {
    case kStart:
      name_.Clear();
      argument_.Clear();
      state_ = 1;
      return;
    case kEnd:
      if (state_ != 0) Execute();
      state_ = 0;
      return;
    default:
      break;
  }
  if (state_ == 1 && ch == u'=') {
    state_ = 2;
  } else if (state_ == 1) {
    name_.Append(ch);  // a fixed string: what does not fit is dropped
  } else if (state_ == 2) {
    argument_.Append(ch);
  }
}

bool KVideoDisplay::TakeFlush() {
  const bool flush = flush_;
  flush_ = false;
  return flush;
}

void KVideoDisplay::Execute() {
  if (!EnsurePixels()) return;
  for (const CommandName& command : kCommands) {
    if (name_.EqualsNoCase(command.name)) {
      (this->*command.command)(argument_);
      return;
    }
  }
}

void KVideoDisplay::Reset() {
  window_ = Window{};
  layoutBackground_ = KColor::Palette(4);
  TextInfo text;
  text.font.SetFont(KString(u"Arial"));
  text.font.SetSize(cellHeight_);
  text.font.SetWidth(100);
  text.font.SetShrinkToFit(false);
  text.font.SetShrinkLimit(100);
  text.font.SetFaceColor(KColor::Palette(1));
  text.font.SetBorderColor(KColor::Palette(4));
  text.font.SetShadowColor(KColor::Palette(4));
  text.font.SetBackgroundColor(KColor::Palette(0));
  text.font.SetBorderSizeOverride(-1);
  text.font.SetShadowSizeOverride(-1);
  text.font.SetTextModeOverride(1);
  baseText_ = text;
  textSetup_ = false;
  cachesUsedBefore_ = cachesUsed_;
  cachesUsed_ = 0;
  baseImage_ = ImageInfo{};
  imageSetup_ = false;
}

size_t KVideoDisplay::Index(int x, int y) const {
  switch (rotation_) {
    case kRotationLeft:
      return static_cast<size_t>(width_ - 1 - x) * static_cast<size_t>(height_) +
             static_cast<size_t>(y);
    case kRotationRight:
      return static_cast<size_t>(x) * static_cast<size_t>(height_) +
             static_cast<size_t>(height_ - 1 - y);
    default:
      return static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x);
  }
}

int64_t KVideoDisplay::ColumnStart(int64_t column) const {
  return column * cellWidth_ + std::min<int64_t>(column, extraWidth_);
}

KRect KVideoDisplay::WindowRect(const Window& window) const {
  if (window.right == kUnset || window.bottom == kUnset) return KRect{};
  // The first EW columns are a pixel wider; the EH rows left at the bottom
  // are never used.
  return KRect{Saturate(ColumnStart(window.left)), Saturate(int64_t{window.top} * cellHeight_),
               Saturate(ColumnStart(int64_t{window.right} + 1) - 1),
               Saturate((int64_t{window.bottom} + 1) * cellHeight_ - 1)};
}

void KVideoDisplay::PlaceWindow(const KString& argument, bool oneCell) {
  Arguments in(argument);
  int32_t width = -1;
  int32_t height = -1;
  int32_t column = 0;
  int32_t row = 0;
  if (in.Number(width) == Arguments::kRead && in.Number(height) == Arguments::kRead) {
    if (in.Number(column) == Arguments::kRead) {
      window_.left = column;
      if (in.Number(row) == Arguments::kRead) window_.top = row;
    }
  }
  if (width >= 0) window_.right = Saturate(int64_t{window_.left} + width - 1);
  if (height >= 0) window_.bottom = Saturate(int64_t{window_.top} + height - 1);
  if (oneCell && window_.right == kUnset) window_.right = window_.left;
  if (oneCell && window_.bottom == kUnset) window_.bottom = window_.top;
}

void KVideoDisplay::Advance() {
  const int32_t right = window_.right == kUnset ? window_.left : window_.right;
  const int32_t bottom = window_.bottom == kUnset ? window_.top : window_.bottom;
  window_.left = Saturate(int64_t{right} + 1);
  if (window_.left >= columns_) {
    window_.left = 0;
    window_.top = Saturate(int64_t{bottom} + 1);
  }
  window_.right = kUnset;
  window_.bottom = kUnset;
}

void KVideoDisplay::FillRect(const KRect& rect, uint32_t pixel) {
  const KRect area = rect.Intersect(Canvas());
  for (int y = area.top; y <= area.bottom; ++y) {
    for (int x = area.left; x <= area.right; ++x) Store(x, y, pixel);
  }
}

void KVideoDisplay::CopyImage(const KBitmap& image, int left, int top, const KRect& clip) {
  const KRect area =
      KRect::FromSize(left, top, image.Width(), image.Height()).Intersect(clip).Intersect(Canvas());
  for (int y = area.top; y <= area.bottom; ++y) {
    for (int x = area.left; x <= area.right; ++x) {
      uint8_t r = 0;
      uint8_t g = 0;
      uint8_t b = 0;
      image.GetPixel(x - left, y - top, r, g, b);
      Store(x, y, KColorTable::PixelOf(KColorTable::Rgb{r, g, b}));
    }
  }
}

void KVideoDisplay::Touched(const KRect& rect, const TextOptimize* drawer) {
  for (TextOptimize& slot : caches_) {
    if (&slot == drawer || slot.optimize.lastFittedLength < 0) continue;
    if (!slot.window.Intersect(rect).IsEmpty()) slot.Invalidate();
  }
}

namespace {

struct GlyphTarget {
  KVideoDisplay* display;
  int left;
  int top;
};

}  // namespace

bool KVideoDisplay::PlaceGlyph(const uint32_t* pixels, const KRect& block, void* user) {
  const auto* at = static_cast<const GlyphTarget*>(user);
  KVideoDisplay& self = *at->display;
  const KRect dest{at->left + block.left, at->top + block.top, at->left + block.right,
                   at->top + block.bottom};
  const KRect area = dest.Intersect(self.Canvas());
  const int stride = block.Width();
  for (int y = area.top; y <= area.bottom; ++y) {
    const uint32_t* row = pixels + static_cast<size_t>(y - dest.top) * static_cast<size_t>(stride);
    for (int x = area.left; x <= area.right; ++x) {
      const uint32_t pixel = row[x - dest.left];
      if (pixel != KColorTable::kTransparentPixel) self.Store(x, y, pixel);
    }
  }
  return true;
}

void KVideoDisplay::DrawText(const KRect& rect, const KString& text, const TextInfo& setup,
                             TextOptimize* slot) {
  K3DFonts* fonts = K3DFonts::Instance();
  if (fonts == nullptr) return;
  K3DFontInfo font = setup.font;
  font.SetSize(rect.Height());
  // Transparent parts of the text take the board's background.
  if (font.FaceColor().IsTransparent()) font.SetFaceColor(layoutBackground_);
  if (font.BorderColor().IsTransparent()) font.SetBorderColor(layoutBackground_);
  if (font.ShadowColor().IsTransparent()) font.SetShadowColor(layoutBackground_);
  if (font.BackgroundColor().IsTransparent()) font.SetBackgroundColor(layoutBackground_);

  const int width = rect.Width();
  int leftMargin = std::min(setup.leftMargin, width);
  int rightMargin = std::min(setup.rightMargin, width - leftMargin);
  const int available = width - leftMargin - rightMargin;
  K3DFontOptimize* optimize = nullptr;
  if (slot != nullptr) {
    if (!(slot->window == rect) || slot->leftMargin != leftMargin ||
        slot->rightMargin != rightMargin || slot->justification != setup.justification) {
      slot->Invalidate();
    }
    slot->window = rect;
    slot->leftMargin = leftMargin;
    slot->rightMargin = rightMargin;
    slot->justification = setup.justification;
    optimize = &slot->optimize;
    optimize->ClearFlags();
  }

  KString fitted = text;
  int used = available;
  if (text.IsEmpty() || !fonts->Fit(fitted, font, used, optimize)) used = 0;
  const int slack = available - used;
  if (setup.justification == kCenter) {
    leftMargin += slack / 2;
    rightMargin += slack - slack / 2;
  } else if (setup.justification == kRight) {
    leftMargin += slack;
  } else {
    rightMargin += slack;
  }
  if (used > 0) {
    GlyphTarget target{this, rect.left + leftMargin, rect.top};
    fonts->Draw(fitted, font, &KVideoDisplay::PlaceGlyph, &target, optimize);
  }
  lastTextReused_ = optimize != nullptr && (optimize->hit || optimize->partialHit);
  if (!lastTextReused_ && !font.BackgroundColor().IsTransparent()) {
    const uint32_t pixel = KColorTable::Pixel(font.BackgroundColor());
    FillRect(KRect{rect.left, rect.top, rect.left + leftMargin - 1, rect.bottom}, pixel);
    FillRect(KRect{rect.right - rightMargin + 1, rect.top, rect.right, rect.bottom}, pixel);
  }
  if (optimize == nullptr || !optimize->hit) Touched(rect, slot);
}

void KVideoDisplay::DrawImage(const KRect& rect, const KString& file, const ImageInfo& setup) {
  std::unique_ptr<KBitmaps> frames;
  const KBitmap* image = nullptr;
  if (file.Length() > 4) {
    KString path = file;
    KFile::NormalizeSeparators(path);
    if (!KFile::IsAbsolutePath(path)) {
      KString folder = TLayoutServices::Get().ProgramDirectory();
      if (!folder.IsEmpty() && folder.Last() != u'/') folder.Append(u'/');
      path.Insert(0, folder.View());
    }
    try {
      frames = std::make_unique<KBitmaps>(KBitmap::kDisplayFormat, KBitmap::kHeap,
                                          TLayoutServices::Get().Settings());
      KBufferedFile in(path, kImageBufferBytes);
      in.Open(KFile::kRead, KFile::kOpenExisting);
      frames->Load(in);
      in.Close();
      const KBitmap* first = frames->First();
      if (first != nullptr && first->HasPixels() && first->Width() >= 1 && first->Height() >= 1)
        image = first;
    } catch (const KX&) {
      image = nullptr;
    } catch (const std::bad_alloc&) {
      image = nullptr;
    }
  }
  const uint32_t background = KColorTable::Pixel(layoutBackground_);
  Touched(rect, nullptr);
  if (image == nullptr) {
    FillRect(rect, background);
    return;
  }
  KRect area = rect;
  if (setup.leftMargin > 0) area.left = Saturate(int64_t{area.left} + setup.leftMargin);
  if (setup.rightMargin > 0) area.right = Saturate(int64_t{area.right} - setup.rightMargin);
  if (setup.topMargin > 0) area.top = Saturate(int64_t{area.top} + setup.topMargin);
  if (setup.bottomMargin > 0) area.bottom = Saturate(int64_t{area.bottom} - setup.bottomMargin);
  if (area.IsEmpty()) {
    FillRect(rect, background);
    return;
  }
  const int areaWidth = area.Width();
  const int areaHeight = area.Height();
  std::unique_ptr<KBitmap> scaled;
  if (setup.stretch != kStretchOff &&
      (image->Width() != areaWidth || image->Height() != areaHeight)) {
    int64_t targetWidth = areaWidth;
    int64_t targetHeight = areaHeight;
    if (setup.stretch == kStretchKeepAspect) {
      const int64_t byHeight = int64_t{image->Width()} * areaHeight / image->Height();
      const int64_t byWidth = int64_t{image->Height()} * areaWidth / image->Width();
      if (byHeight < areaWidth) {
        targetWidth = byHeight;
      } else if (byWidth < areaHeight) {
        targetHeight = byWidth;
      }
    }
    // A target the scaler refuses (a side of 0 or above 16384) keeps the
    // picture as it is.
    if (targetWidth >= 1 && targetHeight >= 1 && targetWidth <= KBitmap::kMaxSide &&
        targetHeight <= KBitmap::kMaxSide) {
      scaled = image->Scale(static_cast<int>(targetWidth), static_cast<int>(targetHeight));
      if (scaled) image = scaled.get();
    }
  }
  if (!(area == rect) || image->Width() < areaWidth || image->Height() < areaHeight)
    FillRect(rect, background);
  int left = area.left;
  if (setup.horizontal == kCenter) left += (areaWidth - image->Width()) / 2;
  if (setup.horizontal == kRight) left = area.right - image->Width() + 1;
  int top = area.top;
  if (setup.vertical == kCenter) top += (areaHeight - image->Height()) / 2;
  if (setup.vertical == kBottom) top = area.bottom - image->Height() + 1;
  CopyImage(*image, left, top, area);
}

// The commands.

void KVideoDisplay::LayoutSetup(const KString& argument) {
  Arguments in(argument);
  int32_t columns = 0;
  int32_t rows = 0;
  if (in.Number(columns) == Arguments::kRead) {
    columns_ = std::clamp(columns, 1, std::max(width_, 1));
    if (in.Number(rows) == Arguments::kRead) rows_ = std::clamp(rows, 1, std::max(height_, 1));
  }
  cellWidth_ = width_ / columns_;
  cellHeight_ = height_ / rows_;
  extraWidth_ = width_ - cellWidth_ * columns_;
  extraHeight_ = height_ - cellHeight_ * rows_;
  Reset();
}

void KVideoDisplay::LayoutBackColor(const KString& argument) {
  Arguments in(argument);
  KColor color;
  if (in.Color(color)) layoutBackground_ = color;
}

void KVideoDisplay::LayoutFlush(const KString& /*argument*/) {
  // What is shown is the canvas as it stands now; later commands of the
  // same packet wait for the next flush.
  if (ShownPixels() != nullptr) shown_ = pixels_;
  flush_ = true;
}

void KVideoDisplay::Blank(const KString& argument) {
  PlaceWindow(argument, true);
  Advance();
}

void KVideoDisplay::TextSetup(const KString& argument) {
  PlaceWindow(argument, false);
  tempText_ = baseText_;
  textSetup_ = true;
}

void KVideoDisplay::TextDraw(const KString& argument) {
  if (window_.right == kUnset)
    window_.right = Saturate(int64_t{window_.left} + argument.Length() - 1);
  if (window_.bottom == kUnset) window_.bottom = window_.top;
  const TextInfo& setup = Text();
  TextOptimize* slot = nullptr;
  if (setup.optimize && cachesUsed_ < kTextCaches) {
    slot = &caches_[static_cast<size_t>(cachesUsed_)];
    // Past the slots of the previous page the slot holds something older.
    if (cachesUsed_ >= cachesUsedBefore_) slot->Invalidate();
    ++cachesUsed_;
  }
  lastTextReused_ = false;
  // A window reaching beyond the canvas is cut to it first: otherwise a
  // sender's stray numbers would have glyphs and pictures made at sizes no
  // board shows.
  const KRect rect = WindowRect(window_).Intersect(Canvas());
  if (!rect.IsEmpty()) DrawText(rect, argument, setup, slot);
  textSetup_ = false;
  Advance();
}

void KVideoDisplay::TextJustify(const KString& argument) {
  Arguments in(argument);
  int justification = 0;
  if (in.Justification(justification)) Text().justification = justification;
}

void KVideoDisplay::TextMargins(const KString& argument) {
  Arguments in(argument);
  int32_t left = 0;
  int32_t right = 0;
  if (in.Number(left) != Arguments::kRead) return;
  if (left >= 0) Text().leftMargin = left;
  if (in.Number(right) == Arguments::kRead && right >= 0) Text().rightMargin = right;
}

void KVideoDisplay::TextHandling(const KString& argument) {
  static constexpr std::u16string_view kModes[] = {u"Character", u"Auto", u"String"};
  Arguments in(argument);
  const int mode = in.Keyword(kModes);
  if (mode >= 0) Text().font.SetTextModeOverride(mode);
}

void KVideoDisplay::TextOptimizeCommand(const KString& argument) {
  static constexpr std::u16string_view kSwitch[] = {u"Off", u"On"};
  Arguments in(argument);
  const int on = in.Keyword(kSwitch);
  if (on >= 0) Text().optimize = on == 1;
}

void KVideoDisplay::FontName(const KString& argument) {
  const K3DFonts* fonts = K3DFonts::Instance();
  if (fonts != nullptr && fonts->Find(argument) != nullptr) Text().font.SetFont(argument);
}

void KVideoDisplay::FontSize(const KString& argument) {
  Arguments in(argument);
  int32_t size = 0;
  if (in.Number(size) == Arguments::kRead) Text().font.SetSize(size);
}

void KVideoDisplay::FontWidth(const KString& argument) {
  Arguments in(argument);
  int32_t width = 0;
  int32_t limit = 0;
  if (in.Number(width) != Arguments::kRead) return;
  K3DFontInfo& font = Text().font;
  font.SetWidth(width);
  switch (in.Number(limit)) {
    case Arguments::kRead:
      font.SetShrinkToFit(true);
      font.SetShrinkLimit(limit);
      break;
    case Arguments::kAbsent:
      font.SetShrinkToFit(false);
      break;
    case Arguments::kBad:
      break;
  }
}

void KVideoDisplay::FontFaceColor(const KString& argument) {
  Arguments in(argument);
  KColor color;
  if (in.Color(color)) Text().font.SetFaceColor(color);
}

void KVideoDisplay::FontBorderColor(const KString& argument) {
  Arguments in(argument);
  KColor color;
  if (in.Color(color)) Text().font.SetBorderColor(color);
}

void KVideoDisplay::FontShadowColor(const KString& argument) {
  Arguments in(argument);
  KColor color;
  if (in.Color(color)) Text().font.SetShadowColor(color);
}

void KVideoDisplay::FontBackColor(const KString& argument) {
  Arguments in(argument);
  KColor color;
  if (in.Color(color)) Text().font.SetBackgroundColor(color);
}

void KVideoDisplay::FontBorderSize(const KString& argument) {
  Arguments in(argument);
  int32_t size = 0;
  if (in.Number(size) == Arguments::kRead) Text().font.SetBorderSizeOverride(size);
}

void KVideoDisplay::FontShadowSize(const KString& argument) {
  Arguments in(argument);
  int32_t size = 0;
  if (in.Number(size) == Arguments::kRead) Text().font.SetShadowSizeOverride(size);
}

void KVideoDisplay::ImageSetup(const KString& argument) {
  PlaceWindow(argument, false);
  tempImage_ = baseImage_;
  imageSetup_ = true;
}

void KVideoDisplay::ImageDraw(const KString& argument) {
  if (window_.right == kUnset) window_.right = window_.left;
  if (window_.bottom == kUnset) window_.bottom = window_.top;
  const KRect rect = WindowRect(window_).Intersect(Canvas());
  if (!rect.IsEmpty()) DrawImage(rect, argument, Image());
  imageSetup_ = false;
  Advance();
}

void KVideoDisplay::ImageJustify(const KString& argument) {
  Arguments in(argument);
  int horizontal = 0;
  int vertical = 0;
  if (!in.Justification(horizontal)) return;
  Image().horizontal = horizontal;
  if (in.Justification(vertical)) Image().vertical = vertical;
}

void KVideoDisplay::ImageStretchCommand(const KString& argument) {
  static constexpr std::u16string_view kModes[] = {u"Off", u"On", u"OnKA"};
  Arguments in(argument);
  const int mode = in.Keyword(kModes);
  if (mode >= 0) Image().stretch = mode;
}

void KVideoDisplay::ImageMargins(const KString& argument) {
  Arguments in(argument);
  int32_t margin = 0;
  int ImageInfo::*const kMargins[] = {&ImageInfo::leftMargin, &ImageInfo::rightMargin,
                                      &ImageInfo::topMargin, &ImageInfo::bottomMargin};
  for (int ImageInfo::*const field : kMargins) {
    if (in.Number(margin) != Arguments::kRead) return;
    if (margin >= 0) Image().*field = margin;
  }
}
