#include "layout/t_bitmap_object.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "base/k_buffered_file.h"
#include "layout/t_layout.h"
#include "layout/t_trigger.h"
#include "layout/t_video_display_object.h"
#include "render/k_bitmap.h"
#include "render/k_bitmaps.h"
#include "sources/t_field.h"
#include "tests/base/temp_dir.h"
#include "tests/layout/layout_fixture.h"
#include "tests/render/display_fixture.h"
#include "tests/render/image_test_support.h"

namespace {

using image_test::GifBuilder;
using image_test::Rgb;

class BitmapObjectTest : public LayoutTest {
 protected:
  void SetUp() override {
    LayoutTest::SetUp();
    TLayoutServices::Get().SetProgramDirectory(KString(home_.Path()));
  }

  // A Targa of one colour, with a black pixel at (0, 0).
  static void WriteTarga(const std::string& path, int width, int height, Rgb colour) {
    KBitmap picture(width, height, KBitmap::kDisplayFormat);
    ASSERT_TRUE(picture.Allocate());
    picture.Fill(colour.red, colour.green, colour.blue);
    picture.SetPixel(0, 0, 0, 0, 0);
    KBufferedFile out(KString(path), 4096);
    out.Open(KFile::kWrite, KFile::kOpenOrCreate);
    out.SetSize(0);
    picture.Save(out);
    out.Close();
  }
  // An animation of 2 × 1 frames, one colour each, with these delays in
  // hundredths of a second.
  static void WriteGif(const std::string& path, const std::vector<int>& delays, int loops = -1) {
    const std::vector<Rgb> palette = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    GifBuilder gif(2, 1, palette);
    if (loops >= 0) gif.Loop(loops);
    for (size_t i = 0; i < delays.size(); ++i) {
      const uint8_t index = static_cast<uint8_t>(1 + i % 3);
      gif.Control(1, delays[i]).Image(0, 0, 2, 1, {index, index}, {}, false, 2);
    }
    const std::vector<uint8_t> bytes = gif.Finish();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  static void MakeNewer(const std::string& path) {
    namespace fs = std::filesystem;
    fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(10));
  }
  std::string Home(const std::string& name) const { return home_.Path() + "/" + name; }

  TBitmapObject* NewBitmap() {
    return static_cast<TBitmapObject*>(layout_.NewObject(TLayoutServices::kBitmap));
  }
  TBitmapObject* NewDynamic() {
    TBitmapObject* bitmap = NewBitmap();
    bitmap->SetDynamic(true);
    bitmap->SetField(KString("Flag"));
    return bitmap;
  }
  static void Give(TBitmapObject& bitmap, const char* value) {
    TField field(nullptr);
    field.SetName(KString("Flag"));
    field.SetMatch(KString(value).View());
    bitmap.SetValue(&field);
  }
  // The display's tick after `ms` more milliseconds.
  void Tick(int ms) {
    now += static_cast<uint32_t>(ms);
    layout_.TickObjects();
  }

  TempDir home_;
  TLayout layout_;
};

TEST_F(BitmapObjectTest, DynamicFileNamesComeFromThePatternAndDirectory) {
  WriteTarga(Home("12.tga"), 6, 4, {255, 0, 0});
  std::filesystem::create_directory(Home("flags"));
  WriteTarga(Home("flags/12.tga"), 8, 5, {0, 255, 0});
  TBitmapObject* bitmap = NewDynamic();
  redraws.clear();
  Give(*bitmap, "12");
  EXPECT_EQ(bitmap->File(), KString("12.tga"));
  ASSERT_NE(bitmap->CurrentFrame(), nullptr);
  EXPECT_EQ(bitmap->NaturalSize(), (KPoint{6, 4}));
  EXPECT_EQ(redraws.size(), 1u);
  // A dynamic object keeps its size; only a static one takes the picture's.
  EXPECT_EQ(bitmap->Size(), (KPoint{150, 50}));

  EXPECT_TRUE(bitmap->SetDirectory(KString(Home("flags"))));
  EXPECT_EQ(bitmap->PicturePath(), KString(Home("flags/12.tga")));
  EXPECT_EQ(bitmap->NaturalSize(), (KPoint{8, 5}));
  bitmap->SetPattern(KString("%s%%.gif"));
  EXPECT_EQ(bitmap->File(), KString("12%.gif"));
  EXPECT_EQ(bitmap->CurrentFrame(), nullptr);  // missing: shows nothing, no message

  // A static object ignores the directory: its file lives in the home.
  bitmap->SetDynamic(false);
  EXPECT_EQ(bitmap->PicturePath(), KString(Home("12%.gif")));
  EXPECT_TRUE(bitmap->SetFile(KString("12.tga")));
  EXPECT_EQ(bitmap->NaturalSize(), (KPoint{6, 4}));
  EXPECT_EQ(bitmap->Size(), (KPoint{10, 10}));  // 6 × 4, raised to the minimum
  bitmap->SetDynamic(true);
  EXPECT_FALSE(bitmap->SetFile(KString("other.tga")));
}

TEST_F(BitmapObjectTest, OnlyARewrittenFileIsReadAgain) {
  WriteTarga(Home("7.tga"), 6, 4, {255, 0, 0});
  TBitmapObject* bitmap = NewDynamic();
  Give(*bitmap, "7");
  const KBitmap* first = bitmap->CurrentFrame();
  ASSERT_NE(first, nullptr);
  redraws.clear();
  Give(*bitmap, "7");
  EXPECT_EQ(bitmap->CurrentFrame(), first);
  EXPECT_TRUE(redraws.empty());

  WriteTarga(Home("7.tga"), 9, 3, {0, 0, 255});
  MakeNewer(Home("7.tga"));
  Give(*bitmap, "7");
  EXPECT_EQ(bitmap->NaturalSize(), (KPoint{9, 3}));
  EXPECT_EQ(redraws.size(), 1u);
  // A file that disappears is dropped on the next value.
  std::filesystem::remove(Home("7.tga"));
  Give(*bitmap, "7");
  EXPECT_EQ(bitmap->CurrentFrame(), nullptr);
  EXPECT_EQ(redraws.size(), 2u);
  // So is a damaged one.
  std::ofstream(Home("8.tga")) << "not a picture";
  Give(*bitmap, "8");
  EXPECT_EQ(bitmap->CurrentFrame(), nullptr);
}

TEST_F(BitmapObjectTest, StretchingScalesOnceAndOffGoesBackToTheNaturalSize) {
  WriteTarga(Home("pic.tga"), 40, 20, {255, 0, 0});
  TBitmapObject* bitmap = NewBitmap();
  bitmap->SetFile(KString("pic.tga"));
  EXPECT_EQ(bitmap->Size(), (KPoint{40, 20}));
  bitmap->SetStretch(TLayoutObject::kStretchOn);
  bitmap->SetSize(120, 30);
  EXPECT_EQ(bitmap->Size(), (KPoint{120, 30}));
  EXPECT_EQ(bitmap->CurrentFrame()->Width(), 120);
  EXPECT_EQ(bitmap->CurrentFrame()->Height(), 30);
  EXPECT_EQ(bitmap->NaturalSize(), (KPoint{40, 20}));

  // Keeping the aspect: a new width decides the height, a new height alone
  // the width.
  bitmap->SetStretch(TLayoutObject::kStretchKeepAspect);
  EXPECT_EQ(bitmap->Size(), (KPoint{120, 60}));
  bitmap->SetSize(100, 60);
  EXPECT_EQ(bitmap->Size(), (KPoint{100, 50}));
  bitmap->SetSize(100, 80);
  EXPECT_EQ(bitmap->Size(), (KPoint{160, 80}));
  EXPECT_EQ(bitmap->CurrentFrame()->Width(), 160);

  // While the editor drags, the picture waits for the end of the drag.
  bitmap->SetLiveResize(true);
  bitmap->SetSize(200, 80);
  EXPECT_EQ(bitmap->Size(), (KPoint{200, 100}));
  EXPECT_EQ(bitmap->CurrentFrame()->Width(), 160);
  bitmap->SetLiveResize(false);
  EXPECT_EQ(bitmap->CurrentFrame()->Width(), 200);
  EXPECT_EQ(bitmap->CurrentFrame()->Height(), 100);

  bitmap->SetStretch(TLayoutObject::kStretchNone);
  EXPECT_EQ(bitmap->Size(), (KPoint{40, 20}));
  EXPECT_EQ(bitmap->CurrentFrame()->Width(), 40);
}

TEST_F(BitmapObjectTest, DrawnWithBlackLeftOut) {
  WriteTarga(Home("pic.tga"), 12, 12, {255, 0, 0});
  TBitmapObject* bitmap = NewBitmap();
  bitmap->SetFile(KString("pic.tga"));
  bitmap->SetPosition(10, 10);
  DisplayFixture f(32, 32);
  f.display.SetLayout(&layout_, -1);
  f.display.Redraw();
  constexpr uint32_t kBlue = 0x0000FF;  // the layout's background
  EXPECT_EQ(f.surface.Pixel(10, 10), kBlue);
  EXPECT_EQ(f.surface.Pixel(11, 10), 0xFF0000u);
  EXPECT_EQ(f.surface.Pixel(21, 21), 0xFF0000u);
  EXPECT_EQ(f.surface.Pixel(22, 21), kBlue);
  bitmap->SetBlackTransparent(false);
  f.display.Redraw();
  EXPECT_EQ(f.surface.Pixel(10, 10), 0u);
  // A hidden object draws nothing.
  bitmap->SetTrigger(KString("Show"));
  f.display.Redraw();
  EXPECT_EQ(f.surface.Pixel(11, 10), kBlue);
  f.display.SetLayout(nullptr, -1);
}

TEST_F(BitmapObjectTest, FramesFollowTheirDelaysScaledBySpeed) {
  WriteGif(Home("anim.gif"), {10, 20, 30});  // 100, 200 and 300 ms
  TBitmapObject* bitmap = NewBitmap();
  bitmap->SetFile(KString("anim.gif"));
  ASSERT_EQ(bitmap->Frames()->Count(), 3);
  EXPECT_EQ(bitmap->CurrentFrameIndex(), 0);
  Tick(0);  // schedules the first change
  Tick(99);
  EXPECT_EQ(bitmap->CurrentFrameIndex(), 0);
  redraws.clear();
  Tick(1);
  EXPECT_EQ(bitmap->CurrentFrameIndex(), 1);
  EXPECT_EQ(redraws.size(), 1u);

  // At 50 % each frame stays twice its delay.
  bitmap->SetSpeed(50);
  Tick(0);
  Tick(399);
  EXPECT_EQ(bitmap->CurrentFrameIndex(), 1);
  Tick(1);
  EXPECT_EQ(bitmap->CurrentFrameIndex(), 2);
  Tick(0);
  Tick(600);
  EXPECT_EQ(bitmap->CurrentFrameIndex(), 0);  // round to the first again

  // Speed 0 counts as 1: a hundred times the delay.
  bitmap->SetSpeed(0);
  Tick(0);
  EXPECT_EQ(bitmap->NextFrameTime(), now + 10000);
}

TEST_F(BitmapObjectTest, NegativeSpeedPlaysBackwards) {
  WriteGif(Home("anim.gif"), {10, 10, 10});
  TBitmapObject* bitmap = NewBitmap();
  bitmap->SetSpeed(-100);
  bitmap->SetFile(KString("anim.gif"));
  EXPECT_EQ(bitmap->CurrentFrameIndex(), 2);
  std::vector<int> shown;
  for (int i = 0; i < 4; ++i) {
    Tick(0);
    Tick(100);
    shown.push_back(bitmap->CurrentFrameIndex());
  }
  EXPECT_EQ(shown, (std::vector<int>{1, 0, 2, 1}));
}

TEST_F(BitmapObjectTest, ShortDelaysAreRaisedToTheMinimum) {
  WriteGif(Home("fast.gif"), {1, 1});  // 10 ms
  TBitmapObject* bitmap = NewBitmap();
  bitmap->SetFile(KString("fast.gif"));
  ASSERT_EQ(TLayoutServices::Get().MinAnimDelayMs(), 30);
  Tick(0);
  EXPECT_EQ(bitmap->NextFrameTime(), now + 30);
  Tick(29);
  EXPECT_EQ(bitmap->CurrentFrameIndex(), 0);
  Tick(1);
  EXPECT_EQ(bitmap->CurrentFrameIndex(), 1);
  // Never below 10 ms, whatever the setting.
  TLayoutServices::Get().SetMinAnimDelayMs(0);
  bitmap->SetSpeed(1000);
  Tick(0);
  EXPECT_EQ(bitmap->NextFrameTime(), now + 10);
}

TEST_F(BitmapObjectTest, ALoopLimitStopsOnTheLastFrame) {
  WriteGif(Home("twice.gif"), {10, 10}, 2);
  TBitmapObject* bitmap = NewBitmap();
  bitmap->SetFile(KString("twice.gif"));
  ASSERT_EQ(bitmap->Frames()->LoopCount(), 2);
  std::vector<int> shown;
  for (int i = 0; i < 6; ++i) {
    Tick(0);
    Tick(100);
    shown.push_back(bitmap->CurrentFrameIndex());
  }
  EXPECT_EQ(shown, (std::vector<int>{1, 0, 1, 1, 1, 1}));
  EXPECT_EQ(bitmap->LoopsDone(), 2);
  EXPECT_EQ(bitmap->NextFrameTime(), 0u);

  // Finished, it gives the event loop no reason to wake.
  EXPECT_EQ(layout_.MillisecondsToNextTick(), -1);

  // Hiding the object starts the animation over at the next tick.
  bitmap->SetTrigger(KString("Show"));
  EXPECT_EQ(layout_.MillisecondsToNextTick(), 0);
  Tick(0);
  EXPECT_EQ(bitmap->CurrentFrameIndex(), 0);
  EXPECT_EQ(bitmap->LoopsDone(), 0);
  EXPECT_EQ(layout_.MillisecondsToNextTick(), -1);
}

TEST_F(BitmapObjectTest, TheEventLoopWakesForTheNextFrame) {
  WriteGif(Home("anim.gif"), {10, 10});
  TBitmapObject* bitmap = NewBitmap();
  EXPECT_EQ(layout_.MillisecondsToNextTick(), -1);
  bitmap->SetFile(KString("anim.gif"));
  EXPECT_EQ(layout_.MillisecondsToNextTick(), 0);  // to schedule the first frame
  Tick(0);
  EXPECT_EQ(layout_.MillisecondsToNextTick(), 100);
  Tick(40);
  EXPECT_EQ(layout_.MillisecondsToNextTick(), 60);
  // A timed trigger due earlier comes first.
  bitmap->SetTrigger(KString("Show"));
  bitmap->SetTriggerTime(20);
  bitmap->OnTrigger(TTrigger(KString("Show"), TTrigger::kOn));
  EXPECT_EQ(layout_.MillisecondsToNextTick(), 20);
}

TEST_F(BitmapObjectTest, CopiesUndoAndLoadingReadThePictureAgain) {
  WriteTarga(Home("pic.tga"), 12, 14, {255, 0, 0});
  TBitmapObject* bitmap = NewBitmap();
  bitmap->SetFile(KString("pic.tga"));
  bitmap->SetSpeed(-50);
  ASSERT_NE(bitmap->CurrentFrame(), nullptr);
  // The prototype, outside any layout, holds no picture.
  EXPECT_EQ(static_cast<TBitmapObject*>(TLayoutServices::Get().Prototype(TLayoutServices::kBitmap))
                ->CurrentFrame(),
            nullptr);

  std::unique_ptr<TLayoutState> before = layout_.Snapshot();
  layout_.ClearModified();
  layout_.ClearSnapshotPending();
  std::unique_ptr<TLayoutState> old = layout_.ReplaceState(std::move(before));
  auto* restored = static_cast<TBitmapObject*>(layout_.NextObject(nullptr));
  ASSERT_NE(restored, bitmap);
  ASSERT_NE(restored->CurrentFrame(), nullptr);
  EXPECT_EQ(restored->Size(), (KPoint{12, 14}));
  EXPECT_EQ(restored->Speed(), -50);
  EXPECT_EQ(bitmap->CurrentFrame(), nullptr);  // the state swapped out let go

  ASSERT_EQ(layout_.SaveTo(KString(Home("one.tln"))), 0);
  TLayout loaded;
  KFile file(KString(Home("one.tln")));
  ASSERT_EQ(loaded.Load(file, TLayout::kLoadContent), 0);
  auto* again = static_cast<TBitmapObject*>(loaded.NextObject(nullptr));
  ASSERT_NE(again, nullptr);
  ASSERT_NE(again->CurrentFrame(), nullptr);
  EXPECT_EQ(again->File(), KString("pic.tga"));
  EXPECT_FALSE(loaded.IsModified());
}

}  // namespace

namespace {

TEST_F(LayoutTest, TheDemoBoardShowsItsAnimationAndABoard) {
  const std::string demo = std::string(TELVANE_TEST_DATA) + "/../../assets/demo";
  TLayoutServices::Get().SetProgramDirectory(KString(demo));
  TLayout layout;
  KFile file(KString(demo + "/Board.tln"));
  ASSERT_EQ(layout.Load(file, TLayout::kLoadContent), 0);
  const auto* wave = dynamic_cast<const TBitmapObject*>(layout.NextObject(nullptr));
  ASSERT_NE(wave, nullptr);
  ASSERT_NE(wave->Frames(), nullptr);
  EXPECT_EQ(wave->Frames()->Count(), 8);
  EXPECT_EQ(wave->Frames()->LoopCount(), 0);
  EXPECT_EQ(wave->Size(), (KPoint{96, 64}));
  // Black is transparent only when exact: a frame whose sea came out a shade
  // off black would flash a black box on the board.
  ASSERT_TRUE(wave->BlackTransparent());
  int index = 0;
  for (const KBitmap* frame : *wave->Frames()) {
    for (const auto& [x, y] : {std::pair{0, 0}, std::pair{95, 0}, std::pair{0, 63}})
      EXPECT_EQ(image_test::PixelOf(*frame, x, y), (image_test::Rgb{0, 0, 0})) << index;
    ++index;
  }
  const TLayoutObject* board = layout.NextObject(layout.NextObject(wave));
  ASSERT_NE(dynamic_cast<const TVideoDisplayObject*>(board), nullptr);
  EXPECT_EQ(board->FieldName(), KString("Video Display Data"));
  EXPECT_EQ(board->Size(), (KPoint{608, 306}));
}

}  // namespace
