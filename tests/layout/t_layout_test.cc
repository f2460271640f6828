#include "layout/t_layout.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "base/k_memory_stream.h"
#include "layout/t_bitmap_object.h"
#include "layout/t_layout_state.h"
#include "layout/t_text_object.h"
#include "layout/t_video_display_object.h"
#include "tests/base/temp_dir.h"
#include "tests/layout/layout_fixture.h"

namespace {

// A text object that records every message its layout passes on.
class Probe : public TTextObject {
 public:
  explicit Probe(std::vector<uint32_t>* log) : log_(log) {}
  std::unique_ptr<TLayoutObject> Clone(TLayout* parent, int32_t id) const override {
    auto copy = std::make_unique<Probe>(log_);
    copy->SetParent(parent);
    copy->SetId(id);
    copy->CopyFrom(*this);
    return copy;
  }
  void OnMessage(LayoutMessage& message) override {
    log_->push_back(message.code);
    TTextObject::OnMessage(message);
  }

 private:
  std::vector<uint32_t>* log_;
};

std::vector<int32_t> Ids(const TLayout& layout) {
  std::vector<int32_t> ids;
  for (const TLayoutObject* object = layout.NextObject(nullptr); object;
       object = layout.NextObject(object)) {
    ids.push_back(object->Id());
  }
  return ids;
}

using LayoutModelTest = LayoutTest;

TEST_F(LayoutModelTest, NewObjectsTakeIdsFromTheCounterAndGoInFront) {
  TLayout layout;
  EXPECT_EQ(layout.IdCounter(), 0);
  TLayoutObject* text = layout.NewObject(TLayoutServices::kText);
  TLayoutObject* bitmap = layout.NewObject(TLayoutServices::kBitmap);
  TLayoutObject* video = layout.NewObject(TLayoutServices::kVideoDisplay);
  EXPECT_EQ(layout.NewObject(3), nullptr);
  ASSERT_TRUE(text && bitmap && video);
  EXPECT_EQ(text->ClassName(), KString(u"TTextObject"));
  EXPECT_EQ(bitmap->ClassName(), KString(u"TBitmapObject"));
  EXPECT_EQ(video->ClassName(), KString(u"TVideoDisplayObject"));
  EXPECT_EQ(Ids(layout), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(layout.IdCounter(), 3);
  EXPECT_EQ(layout.FindById(2), bitmap);
  EXPECT_EQ(layout.FindById(0), nullptr);
  EXPECT_EQ(text->Layout(), &layout);
  // Only the video display prototype comes bound to its field.
  EXPECT_TRUE(text->IsDynamic());
  EXPECT_FALSE(bitmap->IsDynamic());
  EXPECT_EQ(video->FieldName(), KString(u"Video Display Data"));

  // A deleted id is never handed out again.
  EXPECT_TRUE(layout.DeleteObject(video));
  EXPECT_FALSE(layout.DeleteObject(nullptr));
  EXPECT_EQ(layout.NewObject(TLayoutServices::kText)->Id(), 4);
}

TEST_F(LayoutModelTest, ObjectsOfAnotherLayoutAreLeftAlone) {
  TLayout layout;
  TLayout other;
  TLayoutObject* foreign = other.NewObject(TLayoutServices::kText);
  layout.NewObject(TLayoutServices::kText);
  layout.ClearModified();
  EXPECT_FALSE(layout.DeleteObject(foreign));
  layout.MoveToBack(foreign);
  EXPECT_EQ(layout.NextObject(foreign), nullptr);
  EXPECT_FALSE(layout.IsModified());
  EXPECT_EQ(other.ObjectCount(), 1);
}

TEST_F(LayoutModelTest, StackingMovesOnlyWhenSomethingMoves) {
  TLayout layout;
  TLayoutObject* a = layout.NewObject(TLayoutServices::kText);
  TLayoutObject* b = layout.NewObject(TLayoutServices::kText);
  TLayoutObject* c = layout.NewObject(TLayoutServices::kText);
  layout.ClearModified();
  layout.MoveToBack(a);
  layout.MoveToFront(c);
  EXPECT_FALSE(layout.IsModified());
  layout.MoveToFront(a);
  EXPECT_TRUE(layout.IsModified());
  EXPECT_EQ(Ids(layout), (std::vector<int32_t>{2, 3, 1}));
  layout.MoveToBack(c);
  EXPECT_EQ(Ids(layout), (std::vector<int32_t>{3, 2, 1}));
  EXPECT_EQ(layout.NextObject(b), a);
}

TEST_F(LayoutModelTest, ContentSettersReportChangesOnce) {
  TLayout layout;
  EXPECT_EQ(layout.Background(), KColor::Palette(7));
  EXPECT_FALSE(layout.SetBackground(KColor::Palette(7)));
  EXPECT_FALSE(layout.IsModified());
  now = 5000;
  EXPECT_TRUE(layout.SetBackground(KColor::Rgb(1, 2, 3)));
  EXPECT_TRUE(layout.IsModified());
  EXPECT_TRUE(layout.IsSnapshotPending());
  EXPECT_EQ(layout.LastChangeTick(), 5000u);

  layout.ClearModified();
  layout.ClearSnapshotPending();
  EXPECT_FALSE(layout.SetSourceSelected(32, true));
  EXPECT_FALSE(layout.SetSourceSelected(-1, true));
  EXPECT_FALSE(layout.IsSourceSelected(32));
  EXPECT_FALSE(layout.IsModified());
  EXPECT_FALSE(layout.IsSnapshotPending());
  EXPECT_TRUE(layout.SetSourceSelected(31, true));
  EXPECT_EQ(layout.SourceMask(), 0x80000000u);
  EXPECT_TRUE(layout.IsSourceSelected(31));
  EXPECT_FALSE(layout.SetSourceSelected(31, true));
  EXPECT_TRUE(layout.SetSourceMode(1));
  EXPECT_FALSE(layout.SetSourceMode(1));
}

TEST_F(LayoutModelTest, MessagesHonourTheirBitsAndTheUpdateBracket) {
  std::vector<uint32_t> seen;
  const Probe prototype(&seen);
  TLayout layout;
  TLayoutObject* probe = layout.AddObject(prototype);
  ASSERT_EQ(seen.size(), 1u);  // its own arrival, message 1
  seen.clear();
  layout.ClearModified();
  layout.ClearSnapshotPending();

  layout.Notify(LayoutMessage::kContentChanged | LayoutMessage::kNotModified |
                LayoutMessage::kNoSnapshot);
  EXPECT_FALSE(layout.IsModified());
  EXPECT_FALSE(layout.IsSnapshotPending());
  ASSERT_EQ(seen.size(), 1u);

  // Inside a bracket nothing happens; the close passes its own code on.
  layout.Notify(LayoutMessage::kBeginUpdate);
  probe->SetPosition(50, 60);
  layout.Notify(LayoutMessage::kBeginUpdate);
  layout.Notify(LayoutMessage::kEndUpdate);
  EXPECT_EQ(layout.UpdateDepth(), 1);
  EXPECT_EQ(seen.size(), 1u);
  EXPECT_FALSE(layout.IsModified());
  layout.Notify(LayoutMessage::kEndUpdate | LayoutMessage::kContentChanged);
  EXPECT_EQ(layout.UpdateDepth(), 0);
  EXPECT_TRUE(layout.IsModified());
  EXPECT_EQ(seen.size(), 2u);

  // A stray close does not leave the layout deaf.
  layout.Notify(LayoutMessage::kEndUpdate);
  EXPECT_EQ(layout.UpdateDepth(), 0);
  probe->SetPosition(1, 1);
  EXPECT_EQ(seen.back(), uint32_t{LayoutMessage::kObjectChanged});
}

TEST_F(LayoutModelTest, SnapshotAndReplaceStateSwapWholeContents) {
  std::vector<uint32_t> seen;
  const Probe prototype(&seen);
  TLayout layout;
  layout.AddObject(prototype)->SetPosition(30, 40);
  layout.SetBackground(KColor::Palette(3));
  layout.SetSourceSelected(2, true);
  std::unique_ptr<TLayoutState> saved = layout.Snapshot();
  ASSERT_EQ(saved->objects.Count(), 1);
  auto* copy = static_cast<TLayoutObject*>(saved->objects.First());
  EXPECT_EQ(copy->Id(), 1);
  EXPECT_EQ(copy->Parent(), &layout);
  EXPECT_EQ(copy->Position(), (KPoint{30, 40}));

  layout.NewObject(TLayoutServices::kBitmap);
  layout.SetBackground(KColor::Palette(5));
  seen.clear();
  std::unique_ptr<TLayoutState> previous = layout.ReplaceState(std::move(saved));
  EXPECT_EQ(previous->objects.Count(), 2);
  EXPECT_EQ(layout.ObjectCount(), 1);
  EXPECT_EQ(layout.Background(), KColor::Palette(3));
  EXPECT_TRUE(layout.IsSourceSelected(2));
  // The old objects hear that they go, the new ones that they came.
  EXPECT_EQ(seen,
            (std::vector<uint32_t>{LayoutMessage::kStateReplacing, LayoutMessage::kStateReplaced}));
  EXPECT_EQ(layout.FindById(1), layout.NextObject(nullptr));
  EXPECT_EQ(layout.ReplaceState(nullptr), nullptr);
}

TEST_F(LayoutModelTest, BoundsAndDesignSize) {
  TLayout layout;
  KRect bounds;
  KPoint design;
  EXPECT_FALSE(layout.ContentBounds(bounds));
  EXPECT_FALSE(layout.DesignSize(design));

  TLayoutObject* object = layout.NewObject(TLayoutServices::kBitmap);
  object->SetPosition(20, 0);
  object->SetSize(100, 50);
  ASSERT_TRUE(layout.ContentBounds(bounds));
  EXPECT_EQ(bounds, (KRect{20, 0, 119, 49}));
  ASSERT_TRUE(layout.DesignSize(design));
  EXPECT_EQ(design, (KPoint{140, 50}));

  // Wholly left of or above the origin: not counted; partly: clamped to 0.
  TLayoutObject* left = layout.NewObject(TLayoutServices::kBitmap);
  left->SetPosition(-200, 10);
  left->SetSize(100, 1000);
  TLayoutObject* above = layout.NewObject(TLayoutServices::kBitmap);
  above->SetPosition(0, -500);
  above->SetSize(2000, 100);
  ASSERT_TRUE(layout.ContentBounds(bounds));
  EXPECT_EQ(bounds, (KRect{20, 0, 119, 49}));
  TLayoutObject* straddling = layout.NewObject(TLayoutServices::kBitmap);
  straddling->SetPosition(-5, 30);
  straddling->SetSize(10, 30);
  ASSERT_TRUE(layout.ContentBounds(bounds));
  EXPECT_EQ(bounds, (KRect{0, 0, 119, 59}));
  ASSERT_TRUE(layout.DesignSize(design));
  EXPECT_EQ(design, (KPoint{120, 60}));
}

TEST_F(LayoutModelTest, RescaleScalesObjectsAndRefusesOutOfRangeSizes) {
  TLayout layout;
  TLayoutObject* object = layout.NewObject(TLayoutServices::kBitmap);
  object->SetPosition(100, 60);
  object->SetSize(200, 120);
  for (const auto& [from, to] : std::vector<std::pair<KPoint, KPoint>>{{{0, 480}, {320, 240}},
                                                                       {{640, 480}, {320, 0}},
                                                                       {{16385, 480}, {320, 240}},
                                                                       {{640, 480}, {320, 16385}},
                                                                       {{-640, 480}, {320, 240}}}) {
    EXPECT_FALSE(layout.Rescale(from, to));
  }
  EXPECT_EQ(object->Position(), (KPoint{100, 60}));
  EXPECT_TRUE(layout.Rescale({640, 480}, {320, 16384}));
  EXPECT_EQ(object->Position(), (KPoint{50, 2048}));
  EXPECT_EQ(object->Size(), (KPoint{100, 4096}));
}

TEST_F(LayoutModelTest, AutoResizeFitsTheDesignToTheDisplay) {
  TLayout layout;
  EXPECT_FALSE(layout.AutoResize());
  TLayoutObject* object = layout.NewObject(TLayoutServices::kBitmap);
  object->SetPosition(0, 0);
  object->SetSize(320, 240);
  EXPECT_FALSE(layout.AutoResize());  // no display to fit
  TLayoutServices::Get().SetDisplaySize([](KPoint& size) {
    size = KPoint{640, 480};
    return true;
  });
  EXPECT_TRUE(layout.AutoResize());
  EXPECT_EQ(object->Size(), (KPoint{640, 480}));
}

class LayoutFileTest : public LayoutTest {
 protected:
  void SetUp() override {
    LayoutTest::SetUp();
    ASSERT_FALSE(dir.Path().empty());
    TLayoutServices::Get().SetLastUsedPath(dir.File("telvane"));
  }
  std::string Read(const std::string& name) {
    std::ifstream in(dir.Path() + "/" + name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  std::vector<std::string> Files() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  TempDir dir;
};

TEST_F(LayoutFileTest, UntitledNamesCountUpAndSkipExistingFiles) {
  std::ofstream(dir.Path() + "/Untitled 1.tln") << "taken";
  TLayout first;
  TLayout second;
  ASSERT_EQ(first.MakeUntitled(), 0);
  ASSERT_EQ(second.MakeUntitled(), 0);
  EXPECT_TRUE(first.IsUntitled());
  EXPECT_EQ(first.File().Path().ToUtf8(), dir.Path() + "/Untitled 2.tln");
  EXPECT_EQ(second.File().Path().ToUtf8(), dir.Path() + "/Untitled 3.tln");
}

TEST_F(LayoutFileTest, SaveNeedsItsFlagAndAPathFromTheDialog) {
  // Neither untitled nor loaded: there is nowhere to write.
  TLayout nameless;
  EXPECT_EQ(nameless.Save(TLayout::kSave), 3002);

  TLayout layout;
  ASSERT_EQ(layout.MakeUntitled(), 0);
  EXPECT_EQ(layout.Save(0), 0);
  EXPECT_EQ(layout.Save(TLayout::kSaveAs), 0);
  // No dialog connected counts as cancelled.
  EXPECT_EQ(layout.Save(TLayout::kSave), 1004);
  int asked = 0;
  TLayoutServices::Get().SetSaveDialog([&](KString& path) {
    ++asked;
    EXPECT_EQ(path.ToUtf8(), dir.Path() + "/Untitled 1.tln");
    return false;
  });
  EXPECT_EQ(layout.Save(TLayout::kSave), 1004);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(Files(), std::vector<std::string>{});

  TLayoutServices::Get().SetSaveDialog([&](KString& path) {
    path = KString((dir.Path() + "/Race.txt").c_str());
    return true;
  });
  ASSERT_EQ(layout.Save(TLayout::kSave), 0);
  EXPECT_FALSE(layout.IsUntitled());
  EXPECT_EQ(layout.File().Path().ToUtf8(), dir.Path() + "/Race.tln");
  EXPECT_EQ(TLayoutServices::Get().LastUsedPath().ToUtf8(), dir.Path() + "/Race.tln");
  EXPECT_EQ(Files(), std::vector<std::string>{"Race.tln"});
  EXPECT_EQ(Read("Race.tln").size(), 36u);
}

TEST_F(LayoutFileTest, SavingReplacesTheFileWholeAndKeepsItsMode) {
  TLayoutServices::Get().SetSaveDialog([&](KString& path) {
    path = KString((dir.Path() + "/Race.tln").c_str());
    return true;
  });
  TLayout layout;
  ASSERT_EQ(layout.MakeUntitled(), 0);
  for (int i = 0; i < 5; ++i) layout.NewObject(TLayoutServices::kText);
  ASSERT_EQ(layout.Save(TLayout::kSave), 0);
  const size_t big = Read("Race.tln").size();
  ASSERT_EQ(::chmod((dir.Path() + "/Race.tln").c_str(), 0640), 0);
  while (layout.ObjectCount() > 0) layout.DeleteObject(layout.NextObject(nullptr));
  ASSERT_EQ(layout.Save(TLayout::kSave), 0);
  EXPECT_LT(Read("Race.tln").size(), big);
  EXPECT_EQ(Read("Race.tln").size(), 36u);
  struct stat info {};
  ASSERT_EQ(::stat((dir.Path() + "/Race.tln").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  // No temporary file is left beside it.
  EXPECT_EQ(Files(), std::vector<std::string>{"Race.tln"});
}

TEST_F(LayoutFileTest, AFailedSaveKeepsThePreviousFile) {
  TLayoutServices::Get().SetSaveDialog([&](KString& path) {
    path = KString((dir.Path() + "/Race.tln").c_str());
    return true;
  });
  TLayout layout;
  ASSERT_EQ(layout.MakeUntitled(), 0);
  ASSERT_EQ(layout.Save(TLayout::kSave), 0);
  const std::string before = Read("Race.tln");
  layout.NewObject(TLayoutServices::kText);
  // A folder that refuses new files refuses the save, and the old file stays.
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0500), 0);
  const int code = layout.Save(TLayout::kSave);
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0700), 0);
  if (::geteuid() != 0) {
    EXPECT_EQ(code, 3002);
    EXPECT_EQ(Read("Race.tln"), before);
  }
  // A target that is a folder cannot be written.
  std::filesystem::create_directory(dir.Path() + "/Folder.tln");
  TLayoutServices::Get().SetSaveDialog([&](KString& path) {
    path = KString((dir.Path() + "/Folder.tln").c_str());
    return true;
  });
  EXPECT_EQ(layout.Save(TLayout::kSave | TLayout::kSaveAs), 3002);
  EXPECT_EQ(Files(), (std::vector<std::string>{"Folder.tln", "Race.tln"}));
}

TEST_F(LayoutFileTest, LoadTakesThePathOnlyOnSuccess) {
  TLayout layout;
  KFile missing(dir.File("missing.tln"));
  EXPECT_EQ(layout.Load(missing, TLayout::kLoadContent), 3002);
  EXPECT_TRUE(layout.File().Path().IsEmpty());

  std::ofstream(dir.Path() + "/short.tln", std::ios::binary) << std::string("\x05\x00\x03", 3);
  KFile cut(dir.File("short.tln"));
  EXPECT_EQ(layout.Load(cut, TLayout::kLoadContent), 3004);
  EXPECT_TRUE(layout.File().Path().IsEmpty());
  // Without the content flag the file is only opened.
  EXPECT_EQ(layout.Load(cut, 0), 0);
  EXPECT_EQ(layout.File().Path(), cut.Path());
}

TEST_F(LayoutFileTest, AutoResizeFollowsTheModeOfTheLoad) {
  TLayoutServices& services = TLayoutServices::Get();
  services.SetDisplaySize([](KPoint& size) {
    size = KPoint{200, 200};
    return true;
  });
  TLayout source;
  TLayoutObject* object = source.NewObject(TLayoutServices::kBitmap);
  object->SetPosition(0, 0);
  object->SetSize(100, 100);
  {
    KMemoryStream bytes;
    source.StoreContent(bytes);
    std::ofstream(dir.Path() + "/a.tln", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.Bytes().data()),
               static_cast<std::streamsize>(bytes.Bytes().size()));
  }
  KFile file(dir.File("a.tln"));
  const auto loadedWidth = [&](int mode, bool restoring) {
    services.SetAutoResizeMode(mode);
    services.SetRestoring(restoring);
    TLayout layout;
    EXPECT_EQ(layout.Load(file, TLayout::kLoadContent), 0);
    return layout.NextObject(nullptr)->Size().x;
  };
  EXPECT_EQ(loadedWidth(0, false), 100);
  EXPECT_EQ(loadedWidth(1, false), 100);
  EXPECT_EQ(loadedWidth(1, true), 200);
  EXPECT_EQ(loadedWidth(2, true), 100);
  EXPECT_EQ(loadedWidth(2, false), 200);
}

}  // namespace
