#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/k_color.h"
#include "base/k_rect.h"
#include "base/k_string.h"
#include "render/k_3d_font_info.h"
#include "render/k_3d_font_optimize.h"

class KBitmap;

// The interpreter of the video display command stream and the canvas it
// draws on. A command is DC2, name, "=", argument, DC4; the sender lays a
// grid of cells over the canvas, writes texts and images into windows of
// cells and flushes. The canvas is kept in the board's own orientation: a
// rotated board stores its logical pixels turned a quarter turn.
class KVideoDisplay {
 public:
  static constexpr char16_t kStart = 18;  // DC2
  static constexpr char16_t kEnd = 20;    // DC4
  static constexpr int kMaxSide = 16384;
  static constexpr int kMaxName = 63;
  static constexpr int kMaxArgument = 255;
  static constexpr int kTextCaches = 128;
  static constexpr int kImageBufferBytes = 4096;
  // A window edge not placed yet: the next draw decides it.
  static constexpr int32_t kUnset = INT32_MIN;
  enum Rotation : int { kRotationOff = 0, kRotationLeft = 1, kRotationRight = 2 };
  enum Justification : int { kLeft = 0, kCenter = 1, kRight = 2, kTop = 0, kBottom = 2 };
  enum ImageStretch : int { kStretchOff = 0, kStretchOn = 1, kStretchKeepAspect = 2 };

  struct TextInfo {
    K3DFontInfo font;
    int justification = kLeft;
    int leftMargin = 2;
    int rightMargin = 2;
    bool optimize = true;
  };

  // One text cache slot: the placement it was last drawn with, and what the
  // font remembers of the text drawn there.
  struct TextOptimize {
    KRect window;
    int leftMargin = 0;
    int rightMargin = 0;
    int justification = 0;
    K3DFontOptimize optimize;
    void Invalidate();
  };

  struct ImageInfo {
    int horizontal = kCenter;
    int vertical = kCenter;
    int leftMargin = 0;
    int rightMargin = 0;
    int topMargin = 0;
    int bottomMargin = 0;
    int stretch = kStretchKeepAspect;
  };

  // Cells: columns left..right, rows top..bottom.
  struct Window {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = kUnset;
    int32_t bottom = kUnset;
  };

  KVideoDisplay();
  KVideoDisplay(const KVideoDisplay&) = delete;
  KVideoDisplay& operator=(const KVideoDisplay&) = delete;
  ~KVideoDisplay();

  // A canvas for a board of width × height pixels (1 to 16384 each); with
  // rotation 1 or 2 the logical canvas is height × width. The same size and
  // rotation keep the pixels; anything else starts from all zero. The grid
  // and setups stay as they are until the next "LayoutSetup".
  bool SetCanvas(int width, int height, int rotation);
  void Release();
  bool HasCanvas() const { return width_ > 0; }
  // False without a canvas or without a font list; otherwise every
  // character goes through PutChar.
  bool Feed(std::u16string_view text);
  bool Feed(const KString& text) { return Feed(text.View()); }
  void PutChar(char16_t ch);
  // Whether a "LayoutFlush" ran since the last call.
  bool TakeFlush();

  // Logical size, and the size of the stored canvas (turned when rotated).
  int Width() const { return width_; }
  int Height() const { return height_; }
  int Rotation() const { return rotation_; }
  int CanvasWidth() const { return rotation_ == kRotationOff ? width_ : height_; }
  int CanvasHeight() const { return rotation_ == kRotationOff ? height_ : width_; }
  // The canvas being drawn, and the picture as of the last flush, as rows
  // of 0x00RRGGBB words; null without a canvas (or memory for it).
  const uint32_t* Pixels();
  const uint32_t* ShownPixels();
  // A logical pixel of the canvas being drawn (0 outside or before use).
  uint32_t PixelAt(int x, int y) const;
  uint32_t ShownPixelAt(int x, int y) const;

  int Columns() const { return columns_; }
  int Rows() const { return rows_; }
  int CellWidth() const { return cellWidth_; }
  int CellHeight() const { return cellHeight_; }
  int ExtraWidth() const { return extraWidth_; }
  int ExtraHeight() const { return extraHeight_; }
  const Window& CurrentWindow() const { return window_; }
  // The logical pixels a window covers (empty when it covers none).
  KRect WindowRect(const Window& window) const;
  KColor LayoutBackground() const { return layoutBackground_; }
  const TextInfo& BaseText() const { return baseText_; }
  const TextInfo& CurrentText() const { return textSetup_ ? tempText_ : baseText_; }
  const ImageInfo& BaseImage() const { return baseImage_; }
  const ImageInfo& CurrentImage() const { return imageSetup_ ? tempImage_ : baseImage_; }
  int TextCachesUsed() const { return cachesUsed_; }
  int TextCachesUsedBefore() const { return cachesUsedBefore_; }
  const TextOptimize& TextCache(int index) const { return caches_[static_cast<size_t>(index)]; }
  // Whether the last TextDraw kept its glyphs from last time.
  bool LastTextReused() const { return lastTextReused_; }

 private:
  class Arguments;
  using Command = void (KVideoDisplay::*)(const KString& argument);
  struct CommandName {
    std::u16string_view name;
    Command command;
  };
  static const CommandName kCommands[];

  bool EnsurePixels();
  void Execute();
  void Reset();
  TextInfo& Text() { return textSetup_ ? tempText_ : baseText_; }
  ImageInfo& Image() { return imageSetup_ ? tempImage_ : baseImage_; }
  // Reads width, height, column, row; `oneCell` fills in what is not given.
  void PlaceWindow(const KString& argument, bool oneCell);
  void Advance();
  int64_t ColumnStart(int64_t column) const;
  size_t Index(int x, int y) const;
  void Store(int x, int y, uint32_t pixel) { pixels_[Index(x, y)] = pixel; }
  KRect Canvas() const { return KRect{0, 0, width_ - 1, height_ - 1}; }
  void FillRect(const KRect& rect, uint32_t pixel);
  void CopyImage(const KBitmap& image, int left, int top, const KRect& clip);
  // Slots whose window a drawing went over no longer know what is there.
  void Touched(const KRect& rect, const TextOptimize* drawer);
  void DrawText(const KRect& rect, const KString& text, const TextInfo& setup, TextOptimize* slot);
  void DrawImage(const KRect& rect, const KString& file, const ImageInfo& setup);
  static bool PlaceGlyph(const uint32_t* pixels, const KRect& block, void* user);

  void LayoutSetup(const KString& argument);
  void LayoutBackColor(const KString& argument);
  void LayoutFlush(const KString& argument);
  void Blank(const KString& argument);
  void TextSetup(const KString& argument);
  void TextDraw(const KString& argument);
  void TextJustify(const KString& argument);
  void TextMargins(const KString& argument);
  void TextHandling(const KString& argument);
  void TextOptimizeCommand(const KString& argument);
  void FontName(const KString& argument);
  void FontSize(const KString& argument);
  void FontWidth(const KString& argument);
  void FontFaceColor(const KString& argument);
  void FontBorderColor(const KString& argument);
  void FontShadowColor(const KString& argument);
  void FontBackColor(const KString& argument);
  void FontBorderSize(const KString& argument);
  void FontShadowSize(const KString& argument);
  void ImageSetup(const KString& argument);
  void ImageDraw(const KString& argument);
  void ImageJustify(const KString& argument);
  void ImageStretchCommand(const KString& argument);
  void ImageMargins(const KString& argument);

  // Canvas.
  int width_ = 0;
  int height_ = 0;
  int rotation_ = kRotationOff;
  std::vector<uint32_t> pixels_;
  std::vector<uint32_t> shown_;

  // Parser.
  int state_ = 0;
  KString63 name_;
  KString255 argument_;
  bool flush_ = false;

  // Grid and placement.
  int columns_ = 1;
  int rows_ = 1;
  int cellWidth_ = 0;
  int cellHeight_ = 0;
  int extraWidth_ = 0;
  int extraHeight_ = 0;
  Window window_;
  KColor layoutBackground_ = KColor::Palette(4);

  TextInfo baseText_;
  TextInfo tempText_;
  bool textSetup_ = false;
  std::array<TextOptimize, kTextCaches> caches_;
  int cachesUsed_ = 0;
  int cachesUsedBefore_ = 0;
  bool lastTextReused_ = false;

  ImageInfo baseImage_;
  ImageInfo tempImage_;
  bool imageSetup_ = false;
};
