#include "layout/t_layout_object.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "layout/t_bitmap_object.h"
#include "layout/t_layout.h"
#include "layout/t_object_editor.h"
#include "layout/t_object_editor_window.h"
#include "layout/t_text_object.h"
#include "layout/t_trigger.h"
#include "layout/t_video_display_object.h"
#include "sources/t_field_string_processor.h"
#include "sources/t_fields.h"
#include "tests/layout/layout_fixture.h"

namespace {

// A packet definition holding fields with fixed values, as a completed
// packet leaves them.
class Packet {
 public:
  explicit Packet(std::vector<std::pair<std::u16string, std::string>> fields)
      : definition_(nullptr, processor_, 64) {
    for (const auto& [name, value] : fields) {
      definition_.AddField(KString(name)).SetMatch(KString(value.c_str()).View());
    }
  }
  const TFields& Fields() const { return definition_; }

 private:
  TFieldStringProcessor processor_;
  TFields definition_;
};

std::string Value(const TLayoutObject* object) {
  return static_cast<const TTextObject*>(object)->Value().ToUtf8();
}

using LayoutObjectTest = LayoutTest;

TEST_F(LayoutObjectTest, SettersClampAndReportChanges) {
  TLayout layout;
  TLayoutObject* object = layout.NewObject(TLayoutServices::kBitmap);
  layout.ClearModified();
  EXPECT_TRUE(object->SetSize(5, 200));
  EXPECT_EQ(object->Size(), (KPoint{10, 200}));
  EXPECT_FALSE(object->SetSize(10, 200));
  EXPECT_FALSE(object->SetSize(-3, 200));
  EXPECT_TRUE(layout.IsModified());
  layout.ClearModified();
  EXPECT_FALSE(object->SetPosition(10, 10));
  EXPECT_FALSE(object->SetDynamic(false));
  EXPECT_FALSE(object->SetSourceSelected(32, true));
  EXPECT_FALSE(object->SetField(KString()));
  EXPECT_FALSE(layout.IsModified());
  EXPECT_TRUE(object->SetLocalOverride(true));
  EXPECT_TRUE(object->SetSelected(true));
  EXPECT_EQ(object->Flags(), 6u);
  // Stretching is the bitmap's: low two bits into flag bits 3 and 4.
  EXPECT_TRUE(object->SetStretch(7));
  EXPECT_EQ(object->StretchMode(), 3);
  TLayoutObject* text = layout.NewObject(TLayoutServices::kText);
  EXPECT_FALSE(text->SetStretch(1));
  EXPECT_EQ(text->StretchMode(), 0);
}

TEST_F(LayoutObjectTest, EditorWindowIsRefreshedForItsOwnChangesOnly) {
  struct Window : TObjectEditorWindow {
    void Refresh() override { ++refreshes; }
    int refreshes = 0;
  };
  struct Editor : TObjectEditor {
    TObjectEditorWindow* NewObjectWindow(TLayoutObject&, TObjectEditorWindow* previous) override {
      replaced = previous;
      windows.push_back(std::make_unique<Window>());
      return windows.back().get();
    }
    std::vector<std::unique_ptr<Window>> windows;
    TObjectEditorWindow* replaced = nullptr;
  } editor;
  TLayout layout;
  TLayoutObject* a = layout.NewObject(TLayoutServices::kText);
  TLayoutObject* b = layout.NewObject(TLayoutServices::kText);
  a->CreateEditorWindow(editor);
  a->CreateEditorWindow(editor);
  EXPECT_EQ(editor.replaced, editor.windows[0].get());
  a->SetPosition(1, 2);
  b->SetPosition(3, 4);
  layout.SetBackground(KColor::Palette(2));
  EXPECT_EQ(editor.windows[1]->refreshes, 1);
  EXPECT_EQ(a->EditorWindow(), editor.windows[1].get());
}

TEST_F(LayoutObjectTest, TriggerNamesIgnoreCaseAndToggle) {
  TLayout layout;
  TLayoutObject* object = layout.NewObject(TLayoutServices::kText);
  EXPECT_TRUE(object->IsVisible());
  // A trigger that never fires leaves a triggerless object alone.
  object->OnTrigger(TTrigger(KString(u"F1"), TTrigger::kOff));
  EXPECT_TRUE(object->IsVisible());

  redraws.clear();
  ASSERT_TRUE(object->SetTrigger(KString(u"f1")));
  EXPECT_FALSE(object->IsVisible());  // starts hidden
  ASSERT_EQ(redraws.size(), 1u);
  EXPECT_EQ(redraws[0].second, object->Id());
  object->OnTrigger(TTrigger(KString(u"F2"), TTrigger::kOn));
  EXPECT_FALSE(object->IsVisible());
  object->OnTrigger(TTrigger(KString(u"F1"), TTrigger::kOn));
  EXPECT_TRUE(object->IsVisible());
  EXPECT_EQ(object->TriggerDeadline(), 1u);
  object->OnTrigger(TTrigger(KString(u"F1"), TTrigger::kToggle));
  EXPECT_FALSE(object->IsVisible());
  object->OnTrigger(TTrigger(KString(u"f1"), TTrigger::kToggle));
  EXPECT_TRUE(object->IsVisible());
  object->OnTrigger(TTrigger(KString(u"F1"), 7));  // anything else is off
  EXPECT_FALSE(object->IsVisible());
  EXPECT_EQ(redraws.size(), 5u);
  // The name holds 15 characters.
  object->SetTrigger(KString(u"ABCDEFGHIJKLMNOPQRS"));
  EXPECT_EQ(object->TriggerName(), KString(u"ABCDEFGHIJKLMNO"));
  // Untimed triggers never expire.
  object->OnTrigger(TTrigger(KString(u"abcdefghijklmno"), TTrigger::kOn));
  now += 1000000;
  layout.ExpireTriggers();
  EXPECT_TRUE(object->IsVisible());
}

TEST_F(LayoutObjectTest, TimedTriggersExpireAndRestart) {
  TLayout layout;
  TLayoutObject* object = layout.NewObject(TLayoutServices::kText);
  object->SetTrigger(KString(u"Go"));
  object->SetTriggerTime(3000);
  const TTrigger go(KString(u"go"), TTrigger::kOn);
  object->OnTrigger(go);
  EXPECT_TRUE(object->IsVisible());
  now += 2999;
  layout.ExpireTriggers();
  EXPECT_TRUE(object->IsVisible());
  object->OnTrigger(go);  // restarts the 3000 ms
  now += 2999;
  layout.ExpireTriggers();
  EXPECT_TRUE(object->IsVisible());
  now += 1;
  layout.ExpireTriggers();
  EXPECT_FALSE(object->IsVisible());
  // Toggle of a running timed trigger switches it off.
  object->OnTrigger(TTrigger(KString(u"Go"), TTrigger::kToggle));
  EXPECT_TRUE(object->IsVisible());
  object->OnTrigger(TTrigger(KString(u"Go"), TTrigger::kToggle));
  EXPECT_FALSE(object->IsVisible());
  // Changing the time drops a pending deadline.
  object->OnTrigger(go);
  object->SetTriggerTime(5000);
  EXPECT_FALSE(object->IsVisible());
}

TEST_F(LayoutObjectTest, TimedTriggersSurviveTheTickWrap) {
  TLayout layout;
  TLayoutObject* object = layout.NewObject(TLayoutServices::kText);
  object->SetTrigger(KString(u"Go"));
  object->SetTriggerTime(3000);
  now = 0xFFFFFFFFu - 1000;
  object->OnTrigger(TTrigger(KString(u"Go"), TTrigger::kOn));
  EXPECT_EQ(object->TriggerDeadline(), 1999u);
  now = 0xFFFFFFFFu;
  layout.ExpireTriggers();
  EXPECT_TRUE(object->IsVisible());
  now = 1998;
  layout.ExpireTriggers();
  EXPECT_TRUE(object->IsVisible());
  now = 1999;
  layout.ExpireTriggers();
  EXPECT_FALSE(object->IsVisible());
  // A deadline landing on 0 would read as "not triggered": it becomes 1.
  now = 0xFFFFFFFFu - 2999;
  object->OnTrigger(TTrigger(KString(u"Go"), TTrigger::kOn));
  EXPECT_EQ(object->TriggerDeadline(), 1u);
  EXPECT_TRUE(object->IsVisible());
}

TEST_F(LayoutObjectTest, KeyTriggerNames) {
  TTrigger trigger;
  EXPECT_EQ(trigger.Action(), TTrigger::kOn);
  ASSERT_TRUE(TTrigger::ForCharacter(u'a', false, false, false, trigger));
  EXPECT_EQ(trigger.Name(), KString(u"a"));
  EXPECT_EQ(trigger.Action(), TTrigger::kToggle);
  ASSERT_TRUE(TTrigger::ForCharacter(u'X', true, true, true, trigger));
  EXPECT_EQ(trigger.Name(), KString(u"S+C+A+X"));
  ASSERT_TRUE(TTrigger::ForFunctionKey(12, false, true, false, trigger));
  EXPECT_EQ(trigger.Name(), KString(u"C+F12"));
  ASSERT_TRUE(TTrigger::ForFunctionKey(24, true, false, true, trigger));
  EXPECT_EQ(trigger.Name(), KString(u"S+A+F24"));
  EXPECT_FALSE(TTrigger::ForCharacter(u'\x1f', false, false, false, trigger));
  EXPECT_FALSE(TTrigger::ForCharacter(u'\x80', false, false, false, trigger));
  EXPECT_FALSE(TTrigger::ForFunctionKey(0, false, false, false, trigger));
  EXPECT_FALSE(TTrigger::ForFunctionKey(25, false, false, false, trigger));
}

TEST_F(LayoutObjectTest, PacketsFollowTheSourceChoice) {
  TLayout layout;
  TLayoutObject* object = layout.NewObject(TLayoutServices::kText);
  object->SetField(KString(u"Name"));
  const Packet ada({{u"Lane", "4"}, {u"Name", "Ada"}});
  const Packet lena({{u"Name", "Lena"}});

  layout.OnPacket(ada.Fields(), 3);
  EXPECT_EQ(Value(object), "Ada");
  // The layout's choice: definition 3 is not selected.
  layout.SetSourceMode(1);
  layout.OnPacket(lena.Fields(), 3);
  EXPECT_EQ(Value(object), "Ada");
  layout.SetSourceSelected(3, true);
  layout.OnPacket(lena.Fields(), 3);
  EXPECT_EQ(Value(object), "Lena");
  // Definitions beyond the first 32 cannot be selected.
  layout.OnPacket(ada.Fields(), 35);
  layout.OnPacket(ada.Fields(), -1);
  EXPECT_EQ(Value(object), "Lena");
  layout.SetSourceMode(2);
  layout.OnPacket(ada.Fields(), 3);
  EXPECT_EQ(Value(object), "Lena");

  // The object's own choice overrides the layout's.
  object->SetLocalOverride(true);
  layout.OnPacket(ada.Fields(), 0);
  EXPECT_EQ(Value(object), "Ada");
  object->SetSourceMode(1);
  layout.OnPacket(lena.Fields(), 3);
  EXPECT_EQ(Value(object), "Ada");  // empty mask
  object->SetSourceSelected(3, true);
  layout.OnPacket(lena.Fields(), 3);
  EXPECT_EQ(Value(object), "Lena");

  // A packet without the field, a differently spelt field, or a static
  // object: nothing changes.
  const Packet other({{u"Lane", "5"}, {u"name", "lower"}});
  layout.OnPacket(other.Fields(), 3);
  EXPECT_EQ(Value(object), "Lena");
  object->SetDynamic(false);
  layout.OnPacket(ada.Fields(), 3);
  layout.ClearValues();
  EXPECT_EQ(Value(object), "Lena");
  object->SetDynamic(true);
  layout.ClearValues();
  EXPECT_EQ(Value(object), "");
}

TEST_F(LayoutObjectTest, AnObjectWithoutALayoutTakesNoPackets) {
  TTextObject loose;
  loose.SetField(KString(u"Name"));
  loose.OnPacket(Packet({{u"Name", "Ada"}}).Fields(), 0);
  EXPECT_EQ(loose.Value().ToUtf8(), "");
}

TEST_F(LayoutObjectTest, ClonesCopyPropertiesButNotIdOrPendingTrigger) {
  TLayout layout;
  auto* original = static_cast<TBitmapObject*>(layout.NewObject(TLayoutServices::kBitmap));
  original->SetPosition(-7, 33);
  original->SetSize(70, 80);
  original->SetStretch(1);
  original->SetLocalOverride(true);
  original->SetSourceMode(1);
  original->SetSourceSelected(9, true);
  original->SetField(KString(u"Logo"));
  original->SetTrigger(KString(u"T"));
  original->SetTriggerTime(500);
  original->SetFile(KString(u"logo.tga"));
  original->SetPattern(KString(u"flag-%s.gif"));
  original->SetDirectory(KString(u"/pictures"));
  original->SetBlackTransparent(false);
  original->SetSpeed(-50);
  original->OnTrigger(TTrigger(KString(u"T"), TTrigger::kOn));
  ASSERT_NE(original->TriggerDeadline(), 0u);

  auto* copy = static_cast<TBitmapObject*>(layout.AddObject(*original));
  EXPECT_EQ(copy->Id(), 2);
  EXPECT_EQ(copy->Flags(), original->Flags());
  EXPECT_EQ(copy->Position(), original->Position());
  EXPECT_EQ(copy->Size(), original->Size());
  EXPECT_EQ(copy->SourceMode(), 1);
  EXPECT_EQ(copy->SourceMask(), 1u << 9);
  EXPECT_EQ(copy->FieldName(), KString(u"Logo"));
  EXPECT_EQ(copy->TriggerName(), KString(u"T"));
  EXPECT_EQ(copy->TriggerTime(), 500);
  EXPECT_EQ(copy->TriggerDeadline(), 0u);
  EXPECT_EQ(copy->File(), KString(u"logo.tga"));
  EXPECT_EQ(copy->Pattern(), KString(u"flag-%s.gif"));
  EXPECT_EQ(copy->Directory(), KString(u"/pictures"));
  EXPECT_FALSE(copy->BlackTransparent());
  EXPECT_EQ(copy->Speed(), -50);

  // Copying between kinds takes the common part only.
  TTextObject text;
  text.CopyFrom(*original);
  EXPECT_EQ(text.Position(), original->Position());
  EXPECT_EQ(text.Text(), KString(u"%s"));
}

TEST_F(LayoutObjectTest, DynamicBitmapFileFollowsPatternAndValue) {
  TLayout layout;
  auto* bitmap = static_cast<TBitmapObject*>(layout.NewObject(TLayoutServices::kBitmap));
  EXPECT_TRUE(bitmap->SetFile(KString(u"static.tga")));
  bitmap->SetDynamic(true);
  bitmap->SetField(KString(u"Lane"));
  EXPECT_FALSE(bitmap->SetFile(KString(u"refused.tga")));
  EXPECT_EQ(bitmap->File(), KString(u".tga"));
  redraws.clear();
  layout.OnPacket(Packet({{u"Lane", "12"}}).Fields(), 0);
  EXPECT_EQ(bitmap->File(), KString(u"12.tga"));
  EXPECT_EQ(redraws.size(), 1u);
  layout.OnPacket(Packet({{u"Lane", "12"}}).Fields(), 0);
  EXPECT_EQ(redraws.size(), 1u);
  bitmap->SetPattern(KString(u"%s-%s.%d"));
  EXPECT_EQ(bitmap->File(), KString(u"12-12.%d"));
}

TEST_F(LayoutObjectTest, InfoLineAndLabels) {
  TLayout layout;
  TLayoutObject* text = layout.NewObject(TLayoutServices::kText);
  text->SetTrigger(KString(u"F1"));
  text->SetLocalOverride(true);
  KString info;
  text->Info(info);
  EXPECT_EQ(info.ToUtf8(), "DYN | TXT | TRG \"F1\" | OVR");

  auto* bitmap = static_cast<TBitmapObject*>(layout.NewObject(TLayoutServices::kBitmap));
  bitmap->SetFile(KString(u"logo.tga"));
  info.Clear();
  bitmap->Info(info);
  EXPECT_EQ(info.ToUtf8(), "STA | BMP");
  KString label;
  EXPECT_TRUE(bitmap->FieldLabel(label));
  EXPECT_EQ(label.ToUtf8(), "logo.tga");

  TLayoutObject* video = layout.NewObject(TLayoutServices::kVideoDisplay);
  info.Clear();
  video->Info(info);
  EXPECT_EQ(info.ToUtf8(), "DYN | VID");
  label.Clear();
  EXPECT_TRUE(video->FieldLabel(label));
  EXPECT_EQ(label.ToUtf8(), "Video Display Data");
  video->SetDynamic(false);
  EXPECT_FALSE(video->FieldLabel(label));
}

}  // namespace
