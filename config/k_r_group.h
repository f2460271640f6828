#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "base/k_list.h"
#include "config/k_r_node.h"
#include "config/k_rational.h"

class KRBool;
class KRFloat;
class KRInt;
class KRRat;
class KRString;

// A folder of nodes. Paths are relative to the group; on the root a leading
// backslash addresses the root itself.
class KRGroup : public KRNode {
 public:
  enum State : uint32_t { kExpanded = 1 };

  KRGroup() = default;
  ~KRGroup() override;

  bool ParseAttributes(std::u16string_view& text) override;
  void FormatAttributes(KString& out) const override;
  bool ParseValue(std::u16string_view& text) override;
  void FormatValue(KString& /*out*/) const override {}
  const KString& TypeName() const override;
  KRNode* NewOfSameType() const override { return new KRGroup; }
  bool MatchesName(std::u16string_view text) const override;
  bool IsGroup() const override { return true; }

  // A new empty group or value whose parent is this group, not yet inserted.
  virtual KRGroup* NewChildGroup();
  // Null for a type name that is not registered, and for "Group": groups are
  // made only by the path form with a trailing backslash.
  virtual KRNode* NewChildValue(std::u16string_view typeName);

  // Lookups never create or change anything. A group's path ends with a
  // backslash ("\Display\"), a value's with its name ("\Display\Width").
  KRNode* Lookup(std::u16string_view path);
  KRNode* Lookup(const KString& path) { return Lookup(path.View()); }
  KRGroup* LookupGroup(std::u16string_view path);
  KRBool* LookupBool(std::u16string_view path);
  KRInt* LookupInt(std::u16string_view path);
  KRRat* LookupRat(std::u16string_view path);
  KRFloat* LookupFloat(std::u16string_view path);
  KRString* LookupString(std::u16string_view path);
  // The value, or `fallback` when the path names no node of that type.
  bool LookupBool(std::u16string_view path, bool fallback);
  int32_t LookupInt(std::u16string_view path, int32_t fallback);
  KRational LookupRat(std::u16string_view path, KRational fallback);
  double LookupFloat(std::u16string_view path, double fallback);
  // The text of a string value, or a shared empty text; never fails.
  const KString& LookupText(std::u16string_view path);

  KRGroup* LookupGroup(const KString& path) { return LookupGroup(path.View()); }
  KRBool* LookupBool(const KString& path) { return LookupBool(path.View()); }
  KRInt* LookupInt(const KString& path) { return LookupInt(path.View()); }
  KRRat* LookupRat(const KString& path) { return LookupRat(path.View()); }
  KRFloat* LookupFloat(const KString& path) { return LookupFloat(path.View()); }
  KRString* LookupString(const KString& path) { return LookupString(path.View()); }
  bool LookupBool(const KString& path, bool fallback) { return LookupBool(path.View(), fallback); }
  int32_t LookupInt(const KString& path, int32_t fallback) {
    return LookupInt(path.View(), fallback);
  }
  KRational LookupRat(const KString& path, KRational fallback) {
    return LookupRat(path.View(), fallback);
  }
  double LookupFloat(const KString& path, double fallback) {
    return LookupFloat(path.View(), fallback);
  }
  const KString& LookupText(const KString& path) { return LookupText(path.View()); }

  // Applies a null-terminated array of lines in order, ignoring results.
  void ApplyTable(const char16_t* const* lines);
  // Deletes all children.
  void Clear();
  // The n-th child that is a group (0-based), or null.
  KRGroup* ChildGroup(int n) const;
  // Takes ownership; inserts after `previous`, or first when it is null.
  void Insert(KRNode* node, KRNode* previous);
  // Appends at the end, as a created node is.
  void Append(KRNode* node);

  const KList& Children() const { return children_; }
  KRNode* FirstChild() const { return static_cast<KRNode*>(children_.First()); }
  const KString15& Tag() const { return tag_; }
  void SetTag(std::u16string_view tag) { tag_.Assign(tag); }
  uint32_t State() const { return state_; }
  void SetState(uint32_t state) { state_ = state; }
  bool IsExpanded() const { return (state_ & kExpanded) != 0; }
  void SetExpanded(bool on) { state_ = on ? state_ | kExpanded : state_ & ~kExpanded; }

 protected:
  Step WalkStep(std::u16string_view& text, int* result, Mode mode) override;
  void WriteOwnLine(KStream& stream, const KString& path) const override;

 private:
  KRNode* Create(std::u16string_view text, int* result);
  // The children whose name `text` begins with as a path does, in child
  // order. Large groups answer from a name index, so that loading many
  // lines into one group stays linear.
  void Matching(std::u16string_view text, std::vector<KRNode*>& out);
  void BuildIndex();
  void AddToIndex(KRNode* node);
  static uint64_t NameKey(std::u16string_view name);

  friend class KRNode;
  void ForgetIndex() { indexed_ = false; }

  struct Indexed {
    uint64_t order;
    KRNode* node;
  };
  // Below this many children a scan is as quick as the index.
  static constexpr int kIndexFrom = 32;
  std::unordered_map<uint64_t, std::vector<Indexed>> index_;
  bool indexed_ = false;
  uint64_t indexVersion_ = 0;
  uint64_t nextOrder_ = 0;

  KList children_;
  KString15 tag_;
  uint32_t state_ = 0;
};
