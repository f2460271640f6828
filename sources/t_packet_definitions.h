#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "base/k_list.h"
#include "sources/t_fields.h"

// The ordered packet definitions of one source, in script order.
//
// Every received character goes to every definition that it can concern: a
// definition hunting for a plain header with nothing collected can only
// move on the header's first character, so it waits in an index by that
// character and costs nothing for any other. Definitions collecting a
// header or a body, and those whose header needs the full cutter (a process
// string, no length), see every character. They are fed in script order,
// so packets and debug events come out exactly as when every definition
// sees every character.
class TPacketDefinitions {
 public:
  TPacketDefinitions() = default;
  TPacketDefinitions(const TPacketDefinitions&) = delete;
  TPacketDefinitions& operator=(const TPacketDefinitions&) = delete;

  // Changing the list or a definition's header through it rebuilds the index.
  KList& List() {
    indexed_ = false;
    return list_;
  }
  const KList& List() const { return list_; }
  int Count() const { return list_.Count(); }
  TFields* At(int index) const { return static_cast<TFields*>(list_.At(index)); }
  // The first definition with exactly this name, or null.
  TFields* Find(std::u16string_view name) const;
  void Clear() {
    list_.DeleteAll();
    indexed_ = false;
  }
  // Call after changing a definition's header other than through List().
  void Reindex() { indexed_ = false; }

  // Gives one received character to every definition it concerns, in script
  // order. True when any of them was inside a packet before it or is after
  // it: then the character is packet traffic, not part of a command line.
  bool Feed(char16_t ch) {
    if (!indexed_) BuildIndex();
    if (words_ == 1) return FeedWord(0, ch);
    bool traffic = false;
    for (size_t word = 0; word < words_; ++word) traffic = FeedWord(word, ch) || traffic;
    return traffic;
  }

 private:
  bool FeedWord(size_t word, char16_t ch) {
    uint64_t due = busy_[word] | always_[word];
    if (ch < kIndexed) due |= byFirst_[static_cast<size_t>(ch) * words_ + word];
    bool traffic = false;
    while (due != 0) {
      const int bit = __builtin_ctzll(due);
      due &= due - 1;
      const size_t at = word * 64 + static_cast<size_t>(bit);
      TFields* fields = order_[at];
      const bool before = fields->InPacket();
      fields->Feed(ch);
      const bool after = fields->InPacket();
      traffic = traffic || before || after;
      const uint64_t mask = uint64_t{1} << bit;
      if (after || !fields->Buffer().IsEmpty()) {
        busy_[word] |= mask;
      } else {
        busy_[word] &= ~mask;
      }
    }
    return traffic;
  }
  void BuildIndex();

  // First characters below this are indexed; a header starting above it
  // makes its definition see every character.
  static constexpr char16_t kIndexed = 256;

  KList list_;
  bool indexed_ = false;
  size_t words_ = 0;
  std::vector<TFields*> order_;
  // Bit sets over the definitions in script order, 64 a word.
  std::vector<uint64_t> busy_;
  std::vector<uint64_t> always_;
  std::vector<uint64_t> byFirst_;  // kIndexed rows of words_ words
};
