#include "layout/t_video_display_object.h"

#include <gtest/gtest.h>

#include <string>

#include "layout/t_layout.h"
#include "sources/t_field.h"
#include "tests/base/temp_dir.h"
#include "tests/layout/video_display_fixture.h"
#include "tests/render/display_fixture.h"

namespace {

class VideoDisplayObjectTest : public VideoDisplayTest {
 protected:
  TVideoDisplayObject* NewBoard() {
    auto* board =
        static_cast<TVideoDisplayObject*>(layout_.NewObject(TLayoutServices::kVideoDisplay));
    board->SetPosition(4, 4);
    board->SetSize(24, 24);
    return board;
  }
  static void Give(TVideoDisplayObject& board, const std::u16string& commands) {
    TField field(nullptr);
    field.SetName(KString("Video Display Data"));
    field.SetMatch(commands);
    board.SetValue(&field);
  }
  // A one-cell board painted red by a missing picture.
  static std::u16string Red(bool flush) {
    return flush ? Commands({"LayoutSetup=1,1", "LayoutBackColor=Red", "ImageDraw=none.tga",
                             "LayoutFlush"})
                 : Commands({"LayoutSetup=1,1", "LayoutBackColor=Red", "ImageDraw=none.tga"});
  }

  TLayout layout_;
};

TEST_F(VideoDisplayObjectTest, ANewBoardHasACanvasOfItsSize) {
  TVideoDisplayObject* board =
      static_cast<TVideoDisplayObject*>(layout_.NewObject(TLayoutServices::kVideoDisplay));
  EXPECT_TRUE(board->IsDynamic());
  EXPECT_EQ(board->FieldName(), KString("Video Display Data"));
  EXPECT_EQ(board->Display().Width(), 150);
  EXPECT_EQ(board->Display().Height(), 50);
  board->SetRotation(TVideoDisplayObject::kRotationLeft);
  EXPECT_EQ(board->Display().Width(), 50);
  EXPECT_EQ(board->Display().Height(), 150);
  EXPECT_EQ(board->Display().CanvasWidth(), 150);
  // The prototype, in no layout, has none.
  EXPECT_FALSE(static_cast<TVideoDisplayObject*>(
                   TLayoutServices::Get().Prototype(TLayoutServices::kVideoDisplay))
                   ->Display()
                   .HasCanvas());
}

TEST_F(VideoDisplayObjectTest, OnlyAFlushAsksForARedrawAndShowsTheCanvas) {
  TVideoDisplayObject* board = NewBoard();
  DisplayFixture f(32, 32);
  f.display.SetLayout(&layout_, -1);
  redraws.clear();
  Give(*board, Red(false));
  EXPECT_TRUE(redraws.empty());
  f.display.Redraw();
  EXPECT_EQ(f.surface.Pixel(4, 4), kBlack);  // the empty canvas, opaque
  EXPECT_EQ(f.surface.Pixel(3, 4), 0x0000FFu);
  // The flush may come in a later packet; the picture is then complete.
  Give(*board, Commands({"LayoutFlush"}));
  EXPECT_EQ(redraws.size(), 1u);
  f.display.Redraw();
  EXPECT_EQ(f.surface.Pixel(4, 4), kRed);
  EXPECT_EQ(f.surface.Pixel(27, 27), kRed);
  EXPECT_EQ(f.surface.Pixel(28, 27), 0x0000FFu);
  board->SetValue(nullptr);  // a cleared value changes nothing
  EXPECT_EQ(board->Display().ShownPixelAt(0, 0), kRed);

  // Black drawn as transparent lets the layout through.
  board->SetSize(20, 20);
  board->SetBlackTransparent(true);
  f.display.Redraw();
  EXPECT_EQ(f.surface.Pixel(4, 4), 0x0000FFu);
  board->SetTrigger(KString("Show"));
  board->SetBlackTransparent(false);
  f.display.Redraw();
  EXPECT_EQ(f.surface.Pixel(4, 4), 0x0000FFu);  // hidden
  f.display.SetLayout(nullptr, -1);
}

TEST_F(VideoDisplayObjectTest, SizeRotationAndLiveResizeMakeTheCanvasAgain) {
  TVideoDisplayObject* board = NewBoard();
  Give(*board, Red(true));
  ASSERT_EQ(board->Display().ShownPixelAt(0, 0), kRed);
  board->SetLiveResize(true);
  board->SetSize(30, 24);
  EXPECT_EQ(board->Display().Width(), 24);  // the old canvas stays while dragging
  EXPECT_EQ(board->Display().ShownPixelAt(0, 0), kRed);
  board->SetLiveResize(false);
  EXPECT_EQ(board->Display().Width(), 30);
  EXPECT_EQ(board->Display().ShownPixelAt(0, 0), 0u);
  Give(*board, Red(true));
  board->SetRotation(TVideoDisplayObject::kRotationRight);
  EXPECT_EQ(board->Display().Width(), 24);
  EXPECT_EQ(board->Display().ShownPixelAt(0, 0), 0u);
  // The interpreter keeps its grid and window: the next picture goes to
  // row 1 of cells 30 × 24, of which the turned canvas shows 6 rows.
  Give(*board, Commands({"ImageDraw=none.tga", "LayoutFlush"}));
  EXPECT_EQ(board->Display().ShownPixelAt(0, 0), 0u);
  EXPECT_EQ(board->Display().ShownPixelAt(23, 24), kRed);
  EXPECT_EQ(board->Display().ShownPixelAt(23, 29), kRed);
}

TEST_F(VideoDisplayObjectTest, UndoAndLoadingStartFromAnEmptyCanvas) {
  TVideoDisplayObject* board = NewBoard();
  board->SetRotation(TVideoDisplayObject::kRotationLeft);
  Give(*board, Red(true));
  std::unique_ptr<TLayoutState> old = layout_.ReplaceState(layout_.Snapshot());
  auto* restored = static_cast<TVideoDisplayObject*>(layout_.NextObject(nullptr));
  ASSERT_NE(restored, board);
  EXPECT_FALSE(board->Display().HasCanvas());
  ASSERT_TRUE(restored->Display().HasCanvas());
  EXPECT_EQ(restored->Display().Rotation(), TVideoDisplayObject::kRotationLeft);
  EXPECT_EQ(restored->Display().ShownPixelAt(0, 0), 0u);
  Give(*restored, Red(true));
  EXPECT_EQ(restored->Display().ShownPixelAt(0, 0), kRed);

  TempDir dir;
  ASSERT_EQ(layout_.SaveTo(dir.File("board.tln")), 0);
  TLayout loaded;
  KFile file(dir.File("board.tln"));
  ASSERT_EQ(loaded.Load(file, TLayout::kLoadContent), 0);
  auto* again = static_cast<TVideoDisplayObject*>(loaded.NextObject(nullptr));
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->Display().Width(), 24);
  EXPECT_EQ(again->Rotation(), TVideoDisplayObject::kRotationLeft);
  Give(*again, Red(true));
  EXPECT_EQ(again->Display().ShownPixelAt(23, 23), kRed);
}

}  // namespace
