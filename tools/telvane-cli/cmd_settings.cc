// telvane-cli settings: builds a settings tree the way start-up does (the
// default table, profiles, a language file), applies lines, looks nodes up
// and writes the result, so an operator can check a profile by hand.
#include <iostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/k_buffered_file.h"
#include "base/k_memory_stream.h"
#include "base/k_x.h"
#include "config/k_default_settings.h"
#include "config/k_language_files.h"
#include "config/k_profile.h"
#include "config/k_r_group.h"
#include "config/k_r_string.h"
#include "config/k_registry.h"
#include "tools/telvane-cli/command_registry.h"

namespace {

using nlohmann::json;

struct Options {
  bool empty = false;
  std::vector<std::string> loads;
  std::vector<std::string> applies;
  std::vector<std::string> lookups;
  std::string write;
  int encoding = 0;  // 0: 16-bit for a file, 8-bit for "-"
  std::string lineEnd = "crlf";
  bool profile = false;
  std::string languageHome;
  std::string choice;
  bool choiceGiven = false;
} options;

void Print(const json& line) {
  std::cout << line.dump(-1, ' ', false, json::error_handler_t::replace) << '\n';
}

std::string PathOf(const KRNode& node) {
  KString path;
  node.FullPath(path);
  if (node.IsGroup()) path.Append(u'\\');
  return path.ToUtf8();
}

json Describe(const KRNode& node) {
  KString value;
  node.FormatValue(value);
  KString attributes;
  node.FormatAttributes(attributes);
  json out = {{"path", PathOf(node)},        {"type", node.TypeName().ToUtf8()},
              {"value", value.ToUtf8()},     {"attributes", attributes.ToUtf8()},
              {"mark", node.Mark()},         {"flags", node.Flags()},
              {"deleted", node.IsDeleted()}, {"assigned", node.HasFlag(KRNode::kAssigned)},
              {"save", node.IsSaved()}};
  if (node.IsGroup()) {
    const auto& group = static_cast<const KRGroup&>(node);
    out["tag"] = group.Tag().ToUtf8();
    out["children"] = group.Children().Count();
  }
  return out;
}

int LineMode() {
  if (options.lineEnd == "lf") return KStream::kLineLF;
  if (options.lineEnd == "cr") return KStream::kLineCR;
  return KStream::kLineCRLF;
}

void WriteTree(KRegistry& root, KStream& stream) {
  stream.WriteByteOrderMark();
  if (options.profile) {
    KProfile::Write(root, stream);
  } else {
    root.Store(stream);
  }
}

int Write(KRegistry& root) {
  const bool toStdout = options.write == "-";
  const int encoding = options.encoding == 8    ? KStream::kEncoding8Bit
                       : options.encoding == 16 ? KStream::kEncoding16Bit
                       : toStdout               ? KStream::kEncoding8Bit
                                                : KStream::kEncoding16Bit;
  if (toStdout) {
    KMemoryStream stream;
    stream.SetWriteEncoding(encoding);
    stream.SetWriteLineMode(LineMode());
    WriteTree(root, stream);
    std::cout.write(reinterpret_cast<const char*>(stream.Bytes().data()),
                    static_cast<std::streamsize>(stream.Bytes().size()));
    return 0;
  }
  try {
    KBufferedFile file(KString(options.write), 4096);
    file.Open(KFile::kWrite, KFile::kOpenOrCreate);
    file.SetSize(0);
    file.SetWriteEncoding(encoding);
    file.SetWriteLineMode(LineMode());
    WriteTree(root, file);
    file.Flush();
  } catch (const KX& error) {
    std::cerr << "telvane-cli settings: cannot write " << options.write << " (" << error.Code()
              << ")\n";
    return 1;
  }
  return 0;
}

int Run() {
  KRegistry root(options.empty ? nullptr : KDefaultSettings::Table());
  for (const std::string& load : options.loads) {
    KProfile profile{KString(load)};
    try {
      if (!profile.Load(root) && !KFile(KString(load)).Exists()) {
        std::cerr << "telvane-cli settings: no such file " << load << "\n";
        return 1;
      }
    } catch (const KX& error) {
      // What was read before the failure stays, as at start-up.
      std::cerr << "telvane-cli settings: error " << error.Code() << " reading " << load << "\n";
      return 1;
    }
  }
  if (!options.languageHome.empty()) {
    if (options.choiceGiven) {
      KString line(u"Language\\Choice:String=");
      line.Append(KString(options.choice));
      root.Apply(line);
    }
    KLanguageFiles languages{KString(options.languageHome)};
    const int found = languages.Discover(root);
    const bool chosen = languages.Choose(root);
    const bool loaded = chosen && languages.Load(root);
    json entries = json::array();
    if (const KRGroup* choices = root.LookupGroup(u"\\Language\\Choices\\")) {
      for (const KRNode* node : choices->Children().Items<KRNode>()) {
        if (const auto* entry = dynamic_cast<const KRString*>(node)) {
          entries.push_back({{"name", entry->Name().ToUtf8()}, {"value", entry->Value().ToUtf8()}});
        }
      }
    }
    json language = {{"type", "language"},
                     {"choice", root.LookupText(u"\\Language\\Choice").ToUtf8()},
                     {"found", found},
                     {"entries", entries},
                     {"chosen", chosen ? json(languages.ChosenEntry().ToUtf8()) : json(nullptr)}};
    if (chosen) {
      language["file"] = languages.ChosenFile().ToUtf8();
      language["loaded"] = loaded;
      language["encoding"] = languages.Encoding() == KStream::kEncoding16Bit ? 16 : 8;
    }
    Print(language);
  }
  const bool quiet = options.write == "-";
  for (const std::string& text : options.applies) {
    int result = 0;
    const KRNode* node = root.Apply(KString(text), &result);
    if (quiet) continue;
    Print({{"type", "apply"},
           {"line", text},
           {"node", node ? json(PathOf(*node)) : json(nullptr)},
           {"attributes", (result & KRNode::kAttributesAccepted) != 0},
           {"value", (result & KRNode::kValueAccepted) != 0}});
  }
  for (const std::string& path : options.lookups) {
    const KRNode* node = root.Lookup(KString(path));
    json line = node ? Describe(*node) : json{{"path", path}};
    line["type"] = node ? line["type"] : json(nullptr);
    line["lookup"] = path;
    line["found"] = node != nullptr;
    Print(line);
  }
  if (!options.write.empty()) return Write(root);
  return 0;
}

CLI::App* Add(CLI::App& app) {
  options = Options{};
  CLI::App* sub = app.add_subcommand(
      "settings", "Build a settings tree, apply lines, look nodes up and write it");
  sub->add_flag("--empty", options.empty, "Start from an empty tree instead of the defaults");
  // One value per occurrence, so a line is never taken for the next option's value.
  sub->add_option("--load", options.loads, "Read a settings file over the tree (repeatable)")
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  sub->add_option("--apply", options.applies,
                  "Apply a settings line (repeatable); prints what it reached unless writing to -")
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  sub->add_option("--lookup", options.lookups, "Print a node as JSON (repeatable)")
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  sub->add_option("--write", options.write, "Write the tree to FILE, or - for standard output");
  sub->add_option("--encoding", options.encoding,
                  "8 or 16 (default 16 for a file with a byte-order mark, 8 for -)")
      ->check(CLI::IsMember({8, 16}));
  sub->add_option("--line-end", options.lineEnd, "crlf (default), lf or cr")
      ->check(CLI::IsMember({"crlf", "lf", "cr"}));
  sub->add_flag("--profile", options.profile,
                "Write as a profile: without \\Strings\\ and \\Language\\Choices\\");
  sub->add_option("--language-home", options.languageHome,
                  "Find *.lng files here, choose and load one as start-up does");
  sub->add_option("--choice", options.choice, "The wanted language code (\\Language\\Choice)")
      ->each([](const std::string&) { options.choiceGiven = true; });
  return sub;
}

CliRegistration registration{{"settings", Add, Run}};

}  // namespace
