// telvane-cli layout, run in-process: dump and build are each other's inverse.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "layout/t_layout.h"
#include "layout/t_text_object.h"
#include "tests/base/temp_dir.h"
#include "tests/layout/layout_fixture.h"
#include "tools/telvane-cli/command_registry.h"

namespace {

using nlohmann::json;

class LayoutCliTest : public LayoutTest {
 protected:
  void SetUp() override {
    LayoutTest::SetUp();
    ASSERT_FALSE(dir.Path().empty());
  }
  int Run(std::vector<std::string> args, std::string* out = nullptr) {
    args.insert(args.begin(), "telvane-cli");
    std::vector<const char*> argv;
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    std::ostringstream captured;
    std::ostringstream errors;
    std::streambuf* savedOut = std::cout.rdbuf(captured.rdbuf());
    std::streambuf* savedErr = std::cerr.rdbuf(errors.rdbuf());
    const int status = RunCli(static_cast<int>(argv.size()), argv.data());
    std::cout.rdbuf(savedOut);
    std::cerr.rdbuf(savedErr);
    if (out) *out = captured.str();
    lastError = errors.str();
    return status;
  }
  std::string Path(const std::string& name) const { return dir.Path() + "/" + name; }
  std::string Read(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  void Write(const std::string& name, const std::string& text) const {
    std::ofstream(Path(name), std::ios::binary) << text;
  }

  TempDir dir;
  std::string lastError;
};

// Every kind, every member away from its default, colours of each form.
const char kEveryKind[] = R"({
  "counter": 12, "reserved": -3, "background": 2147483648, "sourceMode": 1,
  "sourceMask": 4294967295,
  "objects": [
    {"class": "TTextObject", "id": 4, "flags": 11, "x": -5, "y": 7, "width": 300, "height": 61,
     "field": "Name", "sourceMode": 1, "sourceMask": 6, "trigger": "S+C+F3",
     "triggerTime": 4000,
     "font": {"name": "Liberation Serif", "size": 61, "width": 90, "shrinkToFit": true,
              "shrinkLimit": 20, "face": 10, "border": "#ff0000", "shadow": 0,
              "background": 4278190080},
     "justification": 2, "lines": 3, "lineSpacing": -2, "text": "Lane %s: ä€😀",
     "value": "Ada"},
    {"class": "TBitmapObject", "id": 9, "flags": 25, "x": 0, "y": 0, "width": 64, "height": 48,
     "field": "Flag", "file": "x.tga", "pattern": "flags/%s.gif", "value": "GER",
     "blackTransparent": false, "directory": "/srv/flags", "speed": -200},
    {"class": "TVideoDisplayObject", "id": 11, "rotation": 2, "blackTransparent": true}
  ]
})";

TEST_F(LayoutCliTest, DumpAndBuildRoundTripEveryKind) {
  Write("every.json", kEveryKind);
  ASSERT_EQ(Run({"layout", "build", Path("every.json"), "--out", Path("every.tln")}), 0)
      << lastError;
  std::string dumped;
  ASSERT_EQ(Run({"layout", "dump", "--pretty", Path("every.tln")}, &dumped), 0) << lastError;
  EXPECT_GT(std::count(dumped.begin(), dumped.end(), '\n'), 50);
  const json document = json::parse(dumped);
  EXPECT_EQ(document["version"], "3.5");
  EXPECT_EQ(document["counter"], 12);
  // Custom black is written as a colour; a word that is no colour stays a number.
  EXPECT_EQ(document["background"], "#000000");
  ASSERT_EQ(document["objects"].size(), 3u);
  EXPECT_EQ(document["objects"][0]["font"]["border"], "#ff0000");
  EXPECT_EQ(document["objects"][0]["font"]["background"], 4278190080u);
  EXPECT_EQ(document["objects"][0]["text"], "Lane %s: ä€😀");
  EXPECT_EQ(document["objects"][2]["field"], "Video Display Data");

  Write("again.json", dumped);
  ASSERT_EQ(Run({"layout", "build", Path("again.json"), "--out", Path("again.tln")}), 0)
      << lastError;
  EXPECT_EQ(Read("again.tln"), Read("every.tln"));

  // The program reads what the tool wrote.
  TLayout layout;
  KFile file(KString(Path("every.tln").c_str()));
  ASSERT_EQ(layout.Load(file, TLayout::kLoadContent), 0);
  ASSERT_EQ(layout.ObjectCount(), 3);
  auto* text = static_cast<TTextObject*>(layout.NextObject(nullptr));
  EXPECT_EQ(text->Lines(), 3);
  EXPECT_EQ(text->Font().Font(), KString(u"Liberation Serif"));
}

TEST_F(LayoutCliTest, ALayoutSavedByTheProgramSurvivesDumpAndBuild) {
  TLayout layout;
  layout.NewObject(TLayoutServices::kText)->SetTrigger(KString(u"Go"));
  layout.NewObject(TLayoutServices::kBitmap)->SetStretch(1);
  layout.NewObject(TLayoutServices::kVideoDisplay);
  layout.SetSourceSelected(4, true);
  ASSERT_EQ(layout.SaveTo(KString(Path("saved.tln").c_str())), 0);
  std::string dumped;
  ASSERT_EQ(Run({"layout", "dump", Path("saved.tln")}, &dumped), 0);
  EXPECT_EQ(dumped.find('\n'), dumped.size() - 1);  // one JSON line
  Write("saved.json", dumped);
  ASSERT_EQ(Run({"layout", "build", Path("saved.json"), "--out", Path("rebuilt.tln")}), 0)
      << lastError;
  EXPECT_EQ(Read("rebuilt.tln"), Read("saved.tln"));
}

TEST_F(LayoutCliTest, MissingMembersTakeTheDefaultsOfNewObjects) {
  Write("short.json", R"({"objects": [{"class": "TTextObject"}]})");
  ASSERT_EQ(Run({"layout", "build", Path("short.json"), "--out", Path("short.tln")}), 0);
  TLayout expected;
  expected.AddObject(*TLayoutServices::Get().Prototype(TLayoutServices::kText))->SetId(0);
  ASSERT_EQ(expected.SaveTo(KString(Path("expected.tln").c_str())), 0);
  // Only the counter differs: the model handed out id 1.
  std::string built = Read("short.tln");
  std::string model = Read("expected.tln");
  ASSERT_EQ(built.size(), model.size());
  model[4] = 0;
  EXPECT_EQ(built, model);
}

TEST_F(LayoutCliTest, BadInputIsReportedNotWritten) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"not json", "parse"},
      {R"([1, 2])", "expected an object"},
      {R"({"objects": [{"class": "TShape"}]})", "objects[0].class"},
      {R"({"objects": [{"class": "TTextObject", "widht": 3}]})", "objects[0].widht"},
      {R"({"objects": [{"class": "TTextObject", "x": 4294967296}]})", "objects[0].x"},
      {R"({"background": "#12345"})", "layout.background"},
      {R"({"sourceMask": -1})", "layout.sourceMask"},
      {R"({"objects": [{"class": "TTextObject", "font": {"size": "big"}}]})", "font.size"},
      {R"({"objects": {}})", "layout.objects"},
  };
  for (const auto& [text, message] : cases) {
    Write("bad.json", text);
    EXPECT_EQ(Run({"layout", "build", Path("bad.json"), "--out", Path("bad.tln")}), 1) << text;
    EXPECT_NE(lastError.find(message), std::string::npos) << text << " -> " << lastError;
  }
  EXPECT_FALSE(std::ifstream(Path("bad.tln")).good());

  Write("damaged.tln", std::string("\x05\x00\x03\x00\x01", 5));
  EXPECT_EQ(Run({"layout", "dump", Path("damaged.tln")}), 1);
  EXPECT_NE(lastError.find("3004"), std::string::npos);
  EXPECT_EQ(Run({"layout", "dump", Path("missing.tln")}), 1);
  EXPECT_NE(lastError.find("3002"), std::string::npos);
}

}  // namespace
