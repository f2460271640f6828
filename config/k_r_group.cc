#include "config/k_r_group.h"

#include <algorithm>

#include "base/k_number.h"
#include "base/k_stream.h"
#include "config/k_r_bool.h"
#include "config/k_r_float.h"
#include "config/k_r_int.h"
#include "config/k_r_rat.h"
#include "config/k_r_string.h"
#include "config/k_r_text.h"
#include "config/k_r_types.h"

namespace {

bool HasLineBreak(std::u16string_view text) {
  return text.find_first_of(u"\r\n") != std::u16string_view::npos;
}

}  // namespace

KRGroup::~KRGroup() {
  Clear();
}

const KString& KRGroup::TypeName() const {
  static const KString name = KString::MakeView(u"Group");
  return name;
}

bool KRGroup::MatchesName(std::u16string_view text) const {
  const auto length = static_cast<size_t>(Name().Length());
  return text.size() > length && text[length] == u'\\' && NameEquals(text);
}

bool KRGroup::ParseAttributes(std::u16string_view& text) {
  const size_t equals = text.find(u'=');
  const std::u16string_view attributes = text.substr(0, equals);
  const std::u16string_view tag = KRText::Field(attributes, 0);
  // The first tag met stays; a tag with a line break could not be written back.
  if (!tag.empty() && Tag().IsEmpty() && !HasLineBreak(tag)) SetTag(tag);
  std::u16string_view mark = KRText::Trim(KRText::Field(attributes, 1));
  int32_t value = 0;
  if (KRText::ReadInt(mark, value)) SetMark(value);
  text.remove_prefix(attributes.size());
  return true;
}

void KRGroup::FormatAttributes(KString& out) const {
  out.Append(Tag());
  out.Append(u',');
  out.AppendInt(Mark());
}

bool KRGroup::ParseValue(std::u16string_view& text) {
  text = {};
  SetFlag(kAssigned, true);
  return true;
}

void KRGroup::WriteOwnLine(KStream& stream, const KString& path) const {
  KString line(path);
  line.Append(Name());
  line.Append(u'\\');
  line.Append(u':');
  FormatAttributes(line);
  line.Append(u'=');
  WriteLine(stream, line);
}

KRNode::Step KRGroup::WalkStep(std::u16string_view& text, int* result, Mode mode) {
  if (MatchesName(text)) text.remove_prefix(static_cast<size_t>(Name().Length()) + 1);
  const char16_t next = text.empty() ? u'\0' : text.front();
  if (next == u':') {
    if (mode == Mode::kApply) ApplyAfterColon(text, result);
    return Step::kDone;
  }
  return KRText::IsNameStart(next) ? Step::kChildren : Step::kDone;
}

KRNode* KRGroup::Create(std::u16string_view text, int* result) {
  constexpr size_t npos = std::u16string_view::npos;
  // Only the last segment of a path is ever created: "name:" or "name\:".
  // Looking no further than the first segment keeps a failed deep line
  // linear, as every group on its way back up tries again.
  const size_t end = text.find_first_of(u":\\");
  if (end == npos) return nullptr;
  const bool group = text[end] == u'\\';
  const size_t colon = group ? end + 1 : end;
  if (colon >= text.size() || text[colon] != u':') return nullptr;
  if (text.find(u'=', colon + 1) == npos) return nullptr;
  const std::u16string_view name = text.substr(0, end);
  if (name.size() > static_cast<size_t>(kMaxNameLength) || HasLineBreak(name)) return nullptr;

  KRNode* node = nullptr;
  if (group) {
    node = NewChildGroup();
  } else {
    std::u16string_view type = text.substr(colon + 1);
    while (!type.empty() && KRText::IsBlank(type.front())) type.remove_prefix(1);
    size_t length = 0;
    while (length < type.size() &&
           (KRText::IsLetter(type[length]) || KRText::IsDigit(type[length]))) {
      ++length;
    }
    node = NewChildValue(type.substr(0, length));
  }
  if (!node) return nullptr;
  node->SetName(name);
  int accepted = 0;
  node->Walk(text, &accepted, Mode::kApply);
  if (accepted != (kAttributesAccepted | kValueAccepted)) {
    delete node;
    return nullptr;
  }
  Append(node);
  if (result) *result = accepted;
  return node;
}

uint64_t KRGroup::NameKey(std::u16string_view name) {
  uint64_t hash = 14695981039346656037ull;
  for (const char16_t ch : name) hash = (hash ^ KString::FoldCase(ch)) * 1099511628211ull;
  return hash;
}

void KRGroup::BuildIndex() {
  index_.clear();
  nextOrder_ = 0;
  for (KRNode* child : children_.Items<KRNode>()) AddToIndex(child);
  indexVersion_ = children_.Version();
  indexed_ = true;
}

void KRGroup::AddToIndex(KRNode* node) {
  index_[NameKey(node->Name().View())].push_back(Indexed{nextOrder_++, node});
}

void KRGroup::Matching(std::u16string_view text, std::vector<KRNode*>& out) {
  if (children_.Count() < kIndexFrom) {
    for (KRNode* child : children_.Items<KRNode>()) {
      if (child->MatchesName(text)) out.push_back(child);
    }
    return;
  }
  if (!indexed_ || indexVersion_ != children_.Version()) BuildIndex();
  // A name is at most 15 characters and is followed in the text by a
  // character that ends it, so only the first few prefixes can name a child.
  std::vector<Indexed> found;
  const size_t longest = std::min<size_t>(text.size(), kMaxNameLength);
  for (size_t length = 1; length <= longest; ++length) {
    const auto bucket = index_.find(NameKey(text.substr(0, length)));
    if (bucket == index_.end()) continue;
    for (const Indexed& entry : bucket->second) {
      if (static_cast<size_t>(entry.node->Name().Length()) == length &&
          entry.node->MatchesName(text)) {
        found.push_back(entry);
      }
    }
  }
  std::sort(found.begin(), found.end(),
            [](const Indexed& a, const Indexed& b) { return a.order < b.order; });
  for (const Indexed& entry : found) out.push_back(entry.node);
}

KRGroup* KRGroup::NewChildGroup() {
  auto* group = new KRGroup;
  group->SetParent(this);
  return group;
}

KRNode* KRGroup::NewChildValue(std::u16string_view typeName) {
  if (TypeName().EqualsNoCase(typeName)) return nullptr;
  KRNode* node = KRTypes::New(typeName);
  if (node) node->SetParent(this);
  return node;
}

KRNode* KRGroup::Lookup(std::u16string_view path) {
  return Walk(path, nullptr, Mode::kFind);
}

KRGroup* KRGroup::LookupGroup(std::u16string_view path) {
  KRNode* node = Lookup(path);
  return node && node->IsGroup() ? static_cast<KRGroup*>(node) : nullptr;
}

KRBool* KRGroup::LookupBool(std::u16string_view path) {
  return dynamic_cast<KRBool*>(Lookup(path));
}

KRInt* KRGroup::LookupInt(std::u16string_view path) {
  return dynamic_cast<KRInt*>(Lookup(path));
}

KRRat* KRGroup::LookupRat(std::u16string_view path) {
  return dynamic_cast<KRRat*>(Lookup(path));
}

KRFloat* KRGroup::LookupFloat(std::u16string_view path) {
  return dynamic_cast<KRFloat*>(Lookup(path));
}

KRString* KRGroup::LookupString(std::u16string_view path) {
  return dynamic_cast<KRString*>(Lookup(path));
}

bool KRGroup::LookupBool(std::u16string_view path, bool fallback) {
  const KRBool* node = LookupBool(path);
  return node ? node->Value() : fallback;
}

int32_t KRGroup::LookupInt(std::u16string_view path, int32_t fallback) {
  const KRInt* node = LookupInt(path);
  return node ? node->Value() : fallback;
}

KRational KRGroup::LookupRat(std::u16string_view path, KRational fallback) {
  const KRRat* node = LookupRat(path);
  return node ? node->Value() : fallback;
}

double KRGroup::LookupFloat(std::u16string_view path, double fallback) {
  const KRFloat* node = LookupFloat(path);
  return node ? node->Value() : fallback;
}

const KString& KRGroup::LookupText(std::u16string_view path) {
  static const KString empty;
  const KRString* node = LookupString(path);
  return node ? node->Value() : empty;
}

void KRGroup::ApplyTable(const char16_t* const* lines) {
  if (!lines) return;
  for (; *lines; ++lines) Apply(std::u16string_view(*lines));
}

void KRGroup::Clear() {
  // A group's children are moved in behind it and deleted before it, so that
  // no destructor has a subtree left to free and a deep tree takes no stack.
  // The order is that of deleting each subtree in turn, last child first.
  while (auto* last = static_cast<KRNode*>(children_.Last())) {
    if (last->IsGroup()) {
      KList& below = static_cast<KRGroup*>(last)->children_;
      if (!below.IsEmpty()) {
        children_.MoveAllFrom(below);
        continue;
      }
    }
    delete children_.Unlink(last);
  }
}

KRGroup* KRGroup::ChildGroup(int n) const {
  if (n < 0) return nullptr;
  for (KRNode* child : children_.Items<KRNode>()) {
    if (child->IsGroup() && n-- == 0) return static_cast<KRGroup*>(child);
  }
  return nullptr;
}

void KRGroup::Insert(KRNode* node, KRNode* previous) {
  if (!node) return;
  node->SetParent(this);
  if (previous && previous->List() == &children_) {
    children_.InsertAfter(node, previous);
  } else {
    children_.Prepend(node);
  }
}

void KRGroup::Append(KRNode* node) {
  if (!node) return;
  node->SetParent(this);
  // An index that was current stays so: the new node goes at its end.
  const bool current = indexed_ && indexVersion_ == children_.Version();
  children_.Append(node);
  if (current) {
    AddToIndex(node);
    indexVersion_ = children_.Version();
  }
}
