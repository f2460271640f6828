#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/k_list.h"
#include "sources/t_fields.h"

class TCommandLineCollector;

// The ordered packet definitions of one source, in script order.
//
// Every received character goes to every definition that it can concern. A
// definition hunting for a plain header with nothing collected can only
// enter a packet on the header's last character, when the characters just
// received spell the header: so it waits in an index by that character and
// is checked against a short history of what arrived, costing nothing for
// any other character. Definitions inside a packet, those still holding
// part of a header, and those whose header needs the full cutter (a process
// string, no length) see every character. They are fed in script order, so
// packets and debug events come out exactly as when every definition sees
// every character.
//
// A run of characters that concerns nobody but the one definition inside a
// packet, or nobody at all, is taken in one step.
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
  bool Feed(char16_t ch);

  // Gives received characters to the definitions and those outside packets
  // to `collector`, as Feed(char16_t) would one by one, stopping after the
  // character that completes a command line. Returns how many were taken;
  // `completed` tells whether the last of them completed a line.
  size_t Feed(std::u16string_view chars, TCommandLineCollector& collector, bool& completed);

 private:
  // Takes a run of characters that is all traffic or all not and concerns
  // at most the one definition inside a packet, or returns 0 when the first
  // character must go to the definitions one by one. `stopped` tells that
  // the character after the run must.
  size_t QuickRun(const char16_t* chars, size_t size, bool& traffic, bool& stopped);
  // How long a quick run starting at `chars` is, the first character
  // already known not to stop it.
  size_t ScanRun(const char16_t* chars, size_t limit, bool inPacket, int trailerLast) const;
  bool FeedOne(char16_t ch);
  bool FeedWord(size_t word, char16_t ch, uint64_t position);
  // Whether the characters received up to `position` end with `header`.
  bool HistoryEndsWith(std::u16string_view header, uint64_t position) const;
  void Remember(const char16_t* chars, size_t count);
  void SetBusy(size_t at, bool busy, uint64_t position);
  // The one busy definition, when there is exactly one: `hint` when it is
  // known, else the busy set tells.
  void FindInside(int hint = -1);
  void BuildIndex();

  // Headers longer than this are hunted character by character.
  static constexpr int kLongestIndexed = 4096;

  KList list_;
  bool indexed_ = false;
  size_t words_ = 0;
  std::vector<TFields*> order_;
  // Bit sets over the definitions in script order, 64 a word.
  std::vector<uint64_t> busy_;
  std::vector<uint64_t> always_;
  std::vector<uint64_t> byLast_;  // 256 rows of words_ words, by the last character's low byte
  int busyCount_ = 0;
  TFields* inside_ = nullptr;
  bool anyAlways_ = false;
  // Per definition in script order: the plain header to match, and where its
  // hunt began (the number of characters received before it).
  std::vector<std::u16string> headers_;
  std::vector<uint64_t> huntFrom_;
  // By the low bytes of two characters in a row: whether the second may end
  // a header after the first, or is LF, which may end a command line. A run
  // stops before such a character.
  std::vector<uint8_t> stops_;
  // By one low byte: whether it ends any header or trailer, or is LF; the
  // quick test before the one by pairs.
  uint8_t mayStop_[256] = {};
  // The characters that may come before a header's last one, and the
  // one-character headers, when there are few enough for a vector scan
  // (-1 otherwise); scanSelf_ tells the latter by low byte.
  char16_t scanWanted_[3] = {};
  int scanCount_ = -1;
  uint8_t scanSelf_[256] = {};
  // The last characters received, a ring whose size is a power of two.
  std::vector<char16_t> history_;
  uint64_t received_ = 0;
};
