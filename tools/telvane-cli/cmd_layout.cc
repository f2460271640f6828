// telvane-cli layout: a layout file as JSON and back, so layouts can be
// made, compared and mended by hand.
//   layout dump FILE.tln [--pretty]       the whole layout as one JSON document
//   layout build FILE.json --out FILE.tln  the inverse
// build writes the JSON as a record of the current versions, reads that
// through the program's own loader (so it is checked exactly as the program
// would check it) and saves the result the way the program saves.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <limits>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

#include "base/k_buffered_file.h"
#include "base/k_memory_stream.h"
#include "base/k_record.h"
#include "base/k_x.h"
#include "layout/t_bitmap_object.h"
#include "layout/t_layout.h"
#include "layout/t_layout_services.h"
#include "layout/t_text_object.h"
#include "layout/t_video_display_object.h"
#include "render/k_3d_font_info.h"
#include "tools/telvane-cli/command_registry.h"

namespace {

using json = nlohmann::ordered_json;

struct Options {
  std::string input;
  std::string json;
  std::string out;
  bool pretty = false;
  CLI::App* dump = nullptr;
  CLI::App* build = nullptr;
} options;

std::string ErrorText(int code) {
  return std::to_string(code);
}

std::string Utf8(const KString& text) {
  return text.ToUtf8();
}

std::string VersionText(int32_t version) {
  return std::to_string(version >> 16) + "." + std::to_string(version & 0xFFFF);
}

// Palette colours as their index, custom colours as "#rrggbb"; any other
// word as the number it is, so nothing is lost.
json ColorJson(KColor color) {
  if (color.IsDirect() && (color.value & 0x7F000000u) == 0) {
    char text[8];
    std::snprintf(text, sizeof text, "#%06x", color.value & 0xFFFFFFu);
    return text;
  }
  return color.value;
}

json FontJson(const K3DFontInfo& font) {
  return {{"name", Utf8(font.Font())},
          {"size", font.Size()},
          {"width", font.Width()},
          {"shrinkToFit", font.ShrinkToFit()},
          {"shrinkLimit", font.ShrinkLimit()},
          {"face", ColorJson(font.FaceColor())},
          {"border", ColorJson(font.BorderColor())},
          {"shadow", ColorJson(font.ShadowColor())},
          {"background", ColorJson(font.BackgroundColor())}};
}

json ObjectJson(const TLayoutObject& object) {
  json out = {{"class", Utf8(object.ClassName())},
              {"id", object.Id()},
              {"flags", object.Flags()},
              {"x", object.Position().x},
              {"y", object.Position().y},
              {"width", object.Size().x},
              {"height", object.Size().y},
              {"field", Utf8(object.FieldName())},
              {"sourceMode", object.SourceMode()},
              {"sourceMask", object.SourceMask()},
              {"trigger", Utf8(object.TriggerName())},
              {"triggerTime", object.TriggerTime()}};
  if (const auto* text = dynamic_cast<const TTextObject*>(&object)) {
    out["font"] = FontJson(text->Font());
    out["justification"] = text->Justification();
    out["lines"] = text->Lines();
    out["lineSpacing"] = text->LineSpacing();
    out["text"] = Utf8(text->Text());
    out["value"] = Utf8(text->Value());
  } else if (const auto* bitmap = dynamic_cast<const TBitmapObject*>(&object)) {
    out["file"] = Utf8(bitmap->File());
    out["pattern"] = Utf8(bitmap->Pattern());
    out["value"] = Utf8(bitmap->Value());
    out["blackTransparent"] = bitmap->BlackTransparent();
    out["directory"] = Utf8(bitmap->Directory());
    out["speed"] = bitmap->Speed();
  } else if (const auto* video = dynamic_cast<const TVideoDisplayObject*>(&object)) {
    out["rotation"] = video->Rotation();
    out["blackTransparent"] = video->BlackTransparent();
  }
  return out;
}

json LayoutJson(const TLayout& layout) {
  json objects = json::array();
  for (const TLayoutObject* object = layout.NextObject(nullptr); object;
       object = layout.NextObject(object)) {
    objects.push_back(ObjectJson(*object));
  }
  return {{"version", VersionText(layout.LoadedVersion())},
          {"counter", layout.IdCounter()},
          {"reserved", layout.ReservedWord()},
          {"background", ColorJson(layout.Background())},
          {"sourceMode", layout.SourceMode()},
          {"sourceMask", layout.SourceMask()},
          {"objects", objects}};
}

// Reading the JSON: every member checked, a missing one taken from the
// defaults of a new object, an unknown one refused (a typo would otherwise
// be lost without a word).
class Reader {
 public:
  Reader(const json& node, std::string where) : node_(node), where_(std::move(where)) {
    if (!node_.is_object()) Fail(where_, "expected an object");
  }

  int32_t Int(const char* key, int32_t fallback) {
    const json* value = Take(key);
    if (!value) return fallback;
    if (!value->is_number_integer() ||
        value->get<int64_t>() < std::numeric_limits<int32_t>::min() ||
        value->get<int64_t>() > std::numeric_limits<int32_t>::max()) {
      Fail(Path(key), "expected a 32-bit integer");
    }
    return value->get<int32_t>();
  }
  uint32_t Mask(const char* key, uint32_t fallback) {
    const json* value = Take(key);
    if (!value) return fallback;
    if (!value->is_number_integer() || value->get<int64_t>() < 0 ||
        value->get<int64_t>() > std::numeric_limits<uint32_t>::max()) {
      Fail(Path(key), "expected an integer from 0 to 4294967295");
    }
    return value->get<uint32_t>();
  }
  bool Bool(const char* key, bool fallback) {
    const json* value = Take(key);
    if (!value) return fallback;
    if (!value->is_boolean()) Fail(Path(key), "expected true or false");
    return value->get<bool>();
  }
  KString String(const char* key, const KString& fallback) {
    const json* value = Take(key);
    if (!value) return fallback;
    if (!value->is_string()) Fail(Path(key), "expected a string");
    return KString(std::string_view(value->get_ref<const std::string&>()));
  }
  KColor Color(const char* key, KColor fallback) {
    const json* value = Take(key);
    if (!value) return fallback;
    if (value->is_number_integer() && value->get<int64_t>() >= 0 &&
        value->get<int64_t>() <= std::numeric_limits<uint32_t>::max()) {
      return KColor{value->get<uint32_t>()};
    }
    if (value->is_string()) {
      const std::string& text = value->get_ref<const std::string&>();
      if (text.size() == 7 && text[0] == '#' &&
          text.find_first_not_of("0123456789abcdefABCDEF", 1) == std::string::npos) {
        return KColor{KColor::kDirect |
                      static_cast<uint32_t>(std::stoul(text.substr(1), nullptr, 16))};
      }
    }
    Fail(Path(key),
         "expected a colour: a palette index 0 to 10 (or any stored word) or \"#rrggbb\"");
    return fallback;
  }
  const json* Member(const char* key) { return Take(key); }
  std::string Path(const char* key) const { return where_ + "." + key; }

  // Every member must have been asked for.
  void Finish() const {
    for (const auto& [key, value] : node_.items()) {
      if (!used_.contains(key)) Fail(where_ + "." + key, "unknown member");
    }
  }

  [[noreturn]] static void Fail(const std::string& where, const std::string& what) {
    throw std::runtime_error(where + ": " + what);
  }

 private:
  const json* Take(const char* key) {
    used_.insert(key);
    const auto found = node_.find(key);
    return found == node_.end() ? nullptr : &*found;
  }

  const json& node_;
  std::string where_;
  std::set<std::string> used_;
};

void WriteFont(KStream& stream, const json* node, const std::string& where) {
  const K3DFontInfo defaults;
  if (!node) {
    defaults.Store(stream);
    return;
  }
  Reader font(*node, where);
  stream.WriteInt32(K3DFontInfo::kTag);
  stream.WriteInt32(font.Int("size", defaults.Size()));
  KRecord::StoreColor(stream, font.Color("face", defaults.FaceColor()));
  KRecord::StoreColor(stream, font.Color("border", defaults.BorderColor()));
  KRecord::StoreColor(stream, font.Color("shadow", defaults.ShadowColor()));
  KRecord::StoreString(stream, font.String("name", defaults.Font()));
  KRecord::StoreColor(stream, font.Color("background", defaults.BackgroundColor()));
  stream.WriteInt32(font.Bool("shrinkToFit", defaults.ShrinkToFit()) ? 1 : 0);
  stream.WriteInt32(font.Int("shrinkLimit", defaults.ShrinkLimit()));
  stream.WriteInt32(font.Int("width", defaults.Width()));
  font.Finish();
}

void WriteObject(KStream& stream, const json& node, const std::string& where) {
  Reader object(node, where);
  const json* classNode = object.Member("class");
  if (!classNode || !classNode->is_string())
    Reader::Fail(object.Path("class"), "expected a class name");
  const KString className(std::string_view(classNode->get_ref<const std::string&>()));
  const TLayoutObject* prototype = TLayoutServices::Get().FindPrototype(className);
  if (!prototype) {
    Reader::Fail(object.Path("class"), "not TTextObject, TBitmapObject or TVideoDisplayObject");
  }
  KRecord::StoreString(stream, className);

  stream.WriteInt32(TLayoutObject::kVersion);
  stream.WriteInt32(object.Int("id", 0));
  stream.WriteInt32(static_cast<int32_t>(object.Mask("flags", prototype->Flags())));
  stream.WriteInt32(object.Int("x", prototype->Position().x));
  stream.WriteInt32(object.Int("y", prototype->Position().y));
  stream.WriteInt32(object.Int("width", prototype->Size().x));
  stream.WriteInt32(object.Int("height", prototype->Size().y));
  stream.WriteInt32(0);
  KRecord::StoreString(stream, object.String("field", prototype->FieldName()));
  stream.WriteInt32(object.Int("sourceMode", prototype->SourceMode()));
  stream.WriteInt32(static_cast<int32_t>(object.Mask("sourceMask", prototype->SourceMask())));
  KRecord::StoreString(stream, object.String("trigger", prototype->TriggerName()));
  stream.WriteInt32(object.Int("triggerTime", prototype->TriggerTime()));

  if (const auto* text = dynamic_cast<const TTextObject*>(prototype)) {
    stream.WriteInt32(TTextObject::kVersion);
    WriteFont(stream, object.Member("font"), object.Path("font"));
    stream.WriteInt32(object.Int("justification", text->Justification()));
    KRecord::StoreString(stream, object.String("text", text->Text()));
    KRecord::StoreString(stream, object.String("value", text->Value()));
    stream.WriteInt32(object.Int("lines", text->Lines()));
    stream.WriteInt32(object.Int("lineSpacing", text->LineSpacing()));
  } else if (const auto* bitmap = dynamic_cast<const TBitmapObject*>(prototype)) {
    stream.WriteInt32(TBitmapObject::kVersion);
    KRecord::StoreString(stream, object.String("file", bitmap->File()));
    KRecord::StoreString(stream, object.String("pattern", bitmap->Pattern()));
    KRecord::StoreString(stream, object.String("value", bitmap->Value()));
    stream.WriteInt32(object.Bool("blackTransparent", bitmap->BlackTransparent()) ? 1 : 0);
    KRecord::StoreString(stream, object.String("directory", bitmap->Directory()));
    stream.WriteInt32(object.Int("speed", bitmap->Speed()));
  } else if (const auto* video = dynamic_cast<const TVideoDisplayObject*>(prototype)) {
    stream.WriteInt32(TVideoDisplayObject::kVersion);
    stream.WriteInt32(object.Int("rotation", video->Rotation()));
    stream.WriteInt32(object.Bool("blackTransparent", video->BlackTransparent()) ? 1 : 0);
  }
  object.Finish();
}

void WriteLayout(KStream& stream, const json& node) {
  Reader layout(node, "layout");
  layout.Member("version");  // informative: build always writes the current versions
  stream.WriteInt32(TLayout::kVersion);
  const int32_t counter = layout.Int("counter", 0);
  stream.WriteInt32(counter);
  stream.WriteInt32(layout.Int("reserved", 0));
  const json* objects = layout.Member("objects");
  if (objects && !objects->is_array()) Reader::Fail(layout.Path("objects"), "expected an array");
  stream.WriteInt32(KRecord::kListTag);
  stream.WriteInt32(objects ? static_cast<int32_t>(objects->size()) : 0);
  if (objects) {
    for (size_t i = 0; i < objects->size(); ++i)
      WriteObject(stream, (*objects)[i], "layout.objects[" + std::to_string(i) + "]");
  }
  KRecord::StoreColor(stream, layout.Color("background", TLayoutState::kDefaultBackground));
  stream.WriteInt32(layout.Int("sourceMode", 0));
  stream.WriteInt32(static_cast<int32_t>(layout.Mask("sourceMask", 0)));
  layout.Finish();
}

int Dump() {
  TLayout layout;
  int code = 0;
  try {
    KBufferedFile file(KString(std::string_view(options.input)), 4096);
    file.Open(KFile::kRead, KFile::kOpenExisting);
    code = layout.LoadContent(file);
  } catch (const KX& error) {
    code = error.Code();
  }
  if (code != 0) {
    std::cerr << "telvane-cli layout dump: " << options.input << ": error " << ErrorText(code)
              << "\n";
    return 1;
  }
  std::cout << LayoutJson(layout).dump(options.pretty ? 2 : -1, ' ', false,
                                       json::error_handler_t::replace)
            << '\n';
  return 0;
}

int Build() {
  json document;
  {
    std::ifstream in(options.json, std::ios::binary);
    if (!in) {
      std::cerr << "telvane-cli layout build: cannot read " << options.json << "\n";
      return 1;
    }
    try {
      document = json::parse(in);
    } catch (const json::exception& error) {
      std::cerr << "telvane-cli layout build: " << options.json << ": " << error.what() << "\n";
      return 1;
    }
  }
  KMemoryStream record;
  try {
    WriteLayout(record, document);
  } catch (const std::exception& error) {
    std::cerr << "telvane-cli layout build: " << options.json << ": " << error.what() << "\n";
    return 1;
  }
  TLayout layout;
  if (const int code = layout.LoadContent(record); code != 0) {
    std::cerr << "telvane-cli layout build: " << options.json
              << ": the layout does not load: error " << ErrorText(code) << "\n";
    return 1;
  }
  if (const int code = layout.SaveTo(KString(std::string_view(options.out))); code != 0) {
    std::cerr << "telvane-cli layout build: cannot write " << options.out << ": error "
              << ErrorText(code) << "\n";
    return 1;
  }
  return 0;
}

int Run() {
  if (options.dump && options.dump->parsed()) return Dump();
  if (options.build && options.build->parsed()) return Build();
  std::cerr << "telvane-cli layout: choose dump or build\n";
  return 1;
}

CLI::App* Add(CLI::App& app) {
  options = Options{};  // the tool may be run more than once in one process
  CLI::App* sub = app.add_subcommand("layout", "Layout files as JSON and back");
  sub->require_subcommand(1);
  options.dump = sub->add_subcommand("dump", "Print a layout file (*.tln) as JSON");
  options.dump->add_option("file", options.input, "the layout file")->required();
  options.dump->add_flag("--pretty", options.pretty,
                         "an indented document for reading, diffing and editing");
  options.build = sub->add_subcommand("build", "Make a layout file from JSON as dump prints it");
  options.build->add_option("file", options.json, "the JSON file")->required();
  options.build->add_option("--out", options.out, "the layout file to write")->required();
  return sub;
}

const CliRegistration registration{{"layout", Add, Run}};

}  // namespace
