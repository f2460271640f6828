#pragma once

#include <cstdint>
#include <string_view>

#include "base/k_list.h"
#include "base/k_string.h"

class KRGroup;
class KStream;

// A node of the settings tree: a group or a typed value. Nodes are filled
// from settings lines ("Display\Width:Int,1,,=640") and written back as them.
class KRNode : public KListItem {
 public:
  enum Flag : uint32_t {
    kDeleted = 1,   // kept and found, but not written
    kAssigned = 2,  // a value was parsed into the node
    kSave = 4,      // written with its parent
  };
  // Bits of the result word of Apply.
  enum Accepted : int { kAttributesAccepted = 1, kValueAccepted = 2 };
  static constexpr int kMaxNameLength = 15;

  KRNode();
  KRNode(const KRNode&) = delete;
  KRNode& operator=(const KRNode&) = delete;
  ~KRNode() override = default;

  // Reads a settings text: the first line is skipped, every further line applied.
  void Load(KStream& stream) override;
  // Writes the header line and then this node's lines.
  void Store(KStream& stream) const override;

  // Finds the node a line names and applies its attributes and value; may
  // create the last segment of the path. Null when the line fits nowhere.
  // `result` receives kAttributesAccepted | kValueAccepted for the node returned.
  KRNode* Apply(std::u16string_view line, int* result = nullptr);
  KRNode* Apply(const KString& line, int* result = nullptr) { return Apply(line.View(), result); }

  virtual bool ParseAttributes(std::u16string_view& text) = 0;
  virtual void FormatAttributes(KString& out) const = 0;
  // Parses the rest of the line; sets the assigned flag when it was accepted.
  virtual bool ParseValue(std::u16string_view& text) = 0;
  virtual void FormatValue(KString& out) const = 0;
  // This node's line and, for a group, those of its saved subtree in
  // pre-order; `path` is the parent's path with its trailing backslash, and
  // is restored on return.
  void WriteLines(KStream& stream, KString& path) const;
  virtual const KString& TypeName() const = 0;
  virtual KRNode* NewOfSameType() const = 0;
  // Whether `text` begins with this node's name the way a path does.
  virtual bool MatchesName(std::u16string_view text) const = 0;
  virtual bool IsGroup() const { return false; }

  KRGroup* Parent() const { return parent_; }
  const KString15& Name() const { return name_; }
  // Longer names are cut; the tree itself never creates them.
  void SetName(std::u16string_view name);
  int32_t Mark() const { return mark_; }
  void SetMark(int32_t mark) { mark_ = mark; }
  uint32_t Flags() const { return flags_; }
  void SetFlags(uint32_t flags) { flags_ = flags; }
  bool HasFlag(Flag flag) const { return (flags_ & flag) != 0; }
  void SetFlag(Flag flag, bool on) { flags_ = on ? flags_ | flag : flags_ & ~flag; }
  bool IsDeleted() const { return HasFlag(kDeleted); }
  void SetDeleted(bool on) { SetFlag(kDeleted, on); }
  bool IsSaved() const { return HasFlag(kSave); }
  void SetSaved(bool on) { SetFlag(kSave, on); }

  // Appends "\Group\Name" (the root adds nothing).
  void FullPath(KString& out) const;
  // 0 for children of the root.
  int Depth() const;

 protected:
  friend class KRGroup;
  enum class Mode { kApply, kFind };
  enum class Step { kDone, kChildren };
  // The line operation over a view whose start moves; `text` is left as it came.
  KRNode* Walk(std::u16string_view text, int* result, Mode mode);
  // One node's share of Walk: takes its name off `text`, then either ends the
  // line here or hands the rest to its children (groups only).
  virtual Step WalkStep(std::u16string_view& text, int* result, Mode mode) = 0;
  // This node's line alone; `path` as for WriteLines.
  virtual void WriteOwnLine(KStream& stream, const KString& path) const = 0;
  // Attributes and value after the name, common to groups and values.
  void ApplyAfterColon(std::u16string_view& text, int* result);
  void SetParent(KRGroup* parent) { parent_ = parent; }
  bool NameEquals(std::u16string_view text) const;
  // Writes one line and its line end, replacing what the stream's encoding
  // would turn into a line break or a byte-order mark on reading.
  static void WriteLine(KStream& stream, KString& line);

 private:
  KRGroup* parent_ = nullptr;
  KString15 name_;
  int32_t mark_ = 1;
  uint32_t flags_ = kSave;
};
