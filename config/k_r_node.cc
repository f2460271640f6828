#include "config/k_r_node.h"

#include <vector>

#include "base/k_stream.h"
#include "config/k_r_group.h"

namespace {

// A line longer than this is read to its end and dropped, so a damaged file
// cannot make the reader allocate without bound.
constexpr int kMaxLineLength = 1 << 20;

// Reads one line into `line`; false at the end of the stream. An overlong
// line comes back empty with `overlong` set.
bool ReadLine(KStream& stream, KString& line, bool& overlong, bool* ended = nullptr) {
  line.Clear();
  overlong = false;
  if (!stream.HasMore()) return false;
  if (ended) *ended = false;
  while (stream.HasMore()) {
    const char16_t ch = stream.ReadChar();
    if (ch == u'\n') {
      if (ended) *ended = true;
      break;
    }
    if (overlong) continue;
    if (line.Length() >= kMaxLineLength) {
      overlong = true;
      line.Clear();
      continue;
    }
    line.Append(ch);
  }
  return true;
}

// The first of `item` and its later siblings that its group writes.
const KRNode* FirstWritten(const KListItem* item) {
  for (; item; item = item->Next()) {
    const auto* node = static_cast<const KRNode*>(item);
    if (node->IsSaved() && !node->IsDeleted()) return node;
  }
  return nullptr;
}

// The node written after `node` below `top`, or null at the end; `path` is
// kept the written node's parent path. Pre-order along sibling and parent
// links, since a damaged profile can nest groups far deeper than the call
// stack would follow.
const KRNode* NextToWrite(const KRNode* node, const KRNode* top, KString& path) {
  if (node->IsGroup()) {
    if (const KRNode* child = FirstWritten(static_cast<const KRGroup*>(node)->FirstChild())) {
      path.Append(node->Name());
      path.Append(u'\\');
      return child;
    }
  }
  for (; node != top; node = node->Parent()) {
    if (const KRNode* next = FirstWritten(node->Next())) return next;
    path.Truncate(path.Length() - node->Parent()->Name().Length() - 1);
  }
  return nullptr;
}

}  // namespace

KRNode::KRNode() = default;

void KRNode::WriteLine(KStream& stream, KString& line) {
  int encoding = stream.WriteEncoding();
  if (encoding == KStream::kEncodingAuto) encoding = stream.ReadEncoding();
  if (encoding == KStream::kEncodingAuto) encoding = KStream::kEncoding16Bit;
  for (int i = 0; i < line.Length(); ++i) {
    const char16_t ch = line.At(i);
    // 8-bit keeps the low byte only: U+010A would become a line feed and
    // split the line, so characters it cannot hold are written as "?".
    if (encoding == KStream::kEncoding8Bit && ch > 0xFF) line.SetAt(i, u'?');
    // In 16-bit text these units read back as a byte-order mark.
    if (encoding == KStream::kEncoding16Bit && (ch == 0xFEFF || ch == 0xFFFE)) {
      line.SetAt(i, 0xFFFD);
    }
  }
  line.Append(u'\n');
  stream.WriteText(line);
}

void KRNode::Load(KStream& stream) {
  KString line;
  bool overlong = false;
  if (!ReadLine(stream, line, overlong)) return;  // the header, whatever it says
  while (ReadLine(stream, line, overlong)) {
    if (!overlong) Apply(line.View());
  }
}

void KRNode::Store(KStream& stream) const {
  stream.WriteText(KString::MakeView(u"Registry Version: 1.00\n"));
  KString path;
  WriteLines(stream, path);
}

void KRNode::WriteLines(KStream& stream, KString& path) const {
  const int restore = path.Length();
  for (const KRNode* node = this; node; node = NextToWrite(node, this, path)) {
    node->WriteOwnLine(stream, path);
  }
  path.Truncate(restore);
}

KRNode* KRNode::Apply(std::u16string_view line, int* result) {
  if (result) *result = 0;
  return Walk(line, result, Mode::kApply);
}

KRNode* KRNode::Walk(std::u16string_view text, int* result, Mode mode) {
  // A depth-first search with its own stack, since a line may name groups far
  // deeper than the call stack would follow. A frame is a group whose
  // matching children are tried in order; when none of them takes the line,
  // the group may create its last segment.
  struct Frame {
    KRGroup* group;
    std::u16string_view text;
    size_t first;  // its children in `children`
    size_t next;
  };
  std::vector<Frame> frames;
  std::vector<KRNode*> children;
  // Settings paths are mostly a few levels deep.
  frames.reserve(8);
  children.reserve(8);
  KRNode* node = this;
  while (node) {
    if (node->WalkStep(text, result, mode) == Step::kDone) return node;
    auto* group = static_cast<KRGroup*>(node);
    const size_t first = children.size();
    group->Matching(text, children);
    frames.push_back(Frame{group, text, first, first});
    node = nullptr;
    while (!node && !frames.empty()) {
      Frame& top = frames.back();
      if (top.next < children.size()) {
        node = children[top.next++];
        text = top.text;
        continue;
      }
      if (mode == Mode::kApply) {
        if (KRNode* created = top.group->Create(top.text, result)) return created;
      }
      children.resize(top.first);
      frames.pop_back();
    }
  }
  return nullptr;
}

void KRNode::ApplyAfterColon(std::u16string_view& text, int* result) {
  text.remove_prefix(1);  // the colon
  int accepted = 0;
  if (ParseAttributes(text)) accepted |= kAttributesAccepted;
  if (!text.empty() && text.front() == u'=') {
    text.remove_prefix(1);
    if (ParseValue(text)) accepted |= kValueAccepted;
  }
  if (result) *result = accepted;
}

void KRNode::SetName(std::u16string_view name) {
  name_.Assign(name);
  // The parent's name index no longer knows this node under its name.
  if (parent_ && List() != nullptr) parent_->ForgetIndex();
}

bool KRNode::NameEquals(std::u16string_view text) const {
  const int length = name_.Length();
  if (text.size() < static_cast<size_t>(length)) return false;
  // Lookups compare against every sibling; most differ in the first character.
  const char16_t* name = name_.Data();
  for (int i = 0; i < length; ++i) {
    if (name[i] != text[static_cast<size_t>(i)] &&
        KString::FoldCase(name[i]) != KString::FoldCase(text[static_cast<size_t>(i)])) {
      return false;
    }
  }
  return true;
}

void KRNode::FullPath(KString& out) const {
  // Gathered upwards and written root first, without recursing per level.
  std::vector<const KRNode*> chain;
  for (const KRNode* at = this; at->parent_; at = at->parent_) chain.push_back(at);
  for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
    out.Append(u'\\');
    out.Append((*at)->name_);
  }
}

int KRNode::Depth() const {
  int depth = -1;
  for (const KRGroup* at = parent_; at; at = at->Parent()) ++depth;
  return depth;  // -1 for the root
}
