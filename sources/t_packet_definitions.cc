#include "sources/t_packet_definitions.h"

#include <algorithm>
#include <bit>

#include "base/k_char_scan.h"
#include "sources/t_command_line_collector.h"

TFields* TPacketDefinitions::Find(std::u16string_view name) const {
  for (TFields* fields : list_.Items<TFields>()) {
    if (fields->Name().View() == name) return fields;
  }
  return nullptr;
}

bool TPacketDefinitions::Feed(char16_t ch) {
  if (!indexed_) BuildIndex();
  return FeedOne(ch);
}

size_t TPacketDefinitions::Feed(std::u16string_view chars, TCommandLineCollector& collector,
                                bool& completed) {
  completed = false;
  if (!indexed_) BuildIndex();
  const char16_t* const data = chars.data();
  const size_t size = chars.size();
  size_t at = 0;
  bool stopped = false;  // the run before ended on a character that stops runs
  while (at < size) {
    bool traffic = false;
    size_t run = stopped ? 0 : QuickRun(data + at, size - at, traffic, stopped);
    if (run == 0) {
      traffic = FeedOne(data[at]);
      run = 1;
      stopped = false;
    }
    const size_t end = at + run;
    if (traffic) {
      collector.Reset();
      at = end;
      continue;
    }
    // A run outside packets holds no LF but perhaps as its last character.
    const bool lineEnds = data[end - 1] == 10;
    collector.Append({data + at, run - (lineEnds ? 1 : 0)});
    at = end;
    if (lineEnds) {
      collector.Feed(char16_t{10});
      completed = true;
      break;
    }
  }
  return at;
}

size_t TPacketDefinitions::QuickRun(const char16_t* chars, size_t size, bool& traffic,
                                    bool& stopped) {
  if (anyAlways_ || busyCount_ > 1) return 0;
  TFields* const inside = inside_;
  size_t limit = size;
  int trailerLast = -1;
  if (inside) {
    const TPacketBuffer& buffer = inside->Buffer();
    const int trailerLength = inside->Trailer().Length();
    limit = std::min(limit, static_cast<size_t>(buffer.Capacity() - buffer.Length()));
    // A header in collection, or a body about to overflow.
    if (!inside->InPacket() || limit == 0) return 0;
    if (inside->BodyLength() >= 0) {
      // The character that reaches the length completes the packet.
      const int64_t before = int64_t{inside->BodyLength()} - buffer.Length() - 1;
      if (before <= 0) return 0;
      limit = std::min(limit, static_cast<size_t>(before));
    } else if (trailerLength > 0 && inside->Trailer().Process().IsEmpty()) {
      // Only the trailer's last character can end the body.
      trailerLast = inside->Trailer().Name().At(trailerLength - 1);
    } else if (trailerLength >= 0) {
      return 0;
    }
  }
  const uint8_t* const stops = stops_.data();
  auto stopsBefore = [&](char16_t previous, char16_t ch) {
    return mayStop_[ch & 0xFF] != 0 &&
           (ch == trailerLast ||
            stops[static_cast<size_t>(previous & 0xFF) << 8 | (ch & 0xFF)] != 0);
  };
  // Before the first character of a hunt nothing can end a header of
  // two or more, so what the history holds then does not matter.
  if (stopsBefore(history_[(received_ - 1) & (history_.size() - 1)], chars[0])) return 0;
  size_t count = 1;
  if (scanCount_ >= 0) {
    count = ScanRun(chars, limit, inside != nullptr, trailerLast);
    if (count == 0) return 0;
  } else {
    while (count < limit && !stopsBefore(chars[count - 1], chars[count])) ++count;
  }
  // Short of the limit, the next character is one that stops runs.
  stopped = count < limit;
  if (inside) inside->AppendBody(chars, static_cast<int>(count));
  Remember(chars, count);
  traffic = inside != nullptr;
  return count;
}

size_t TPacketDefinitions::ScanRun(const char16_t* chars, size_t limit, bool inPacket,
                                   int trailerLast) const {
  // What can stop a run here: a character that may come before a header's
  // last one or is a one-character header, then the packet's trailer, or
  // outside packets the LF that ends a command line.
  char16_t wanted[4] = {scanWanted_[0], scanWanted_[1], scanWanted_[2], 0};
  int count = scanCount_;
  if (!inPacket || trailerLast >= 0) {
    wanted[count++] = inPacket ? static_cast<char16_t>(trailerLast) : char16_t{10};
  }
  if (count == 0) return limit;
  // The first character is known not to stop the run, but a header may end after it.
  size_t at = 0;
  while (true) {
    at = KCharScan::FindAnyOf(chars, at, limit, wanted, count);
    if (at == limit) return limit;
    const char16_t ch = chars[at];
    if ((inPacket && ch == trailerLast) || (!inPacket && ch == 10) || scanSelf_[ch & 0xFF] != 0) {
      return at;
    }
    // A character a header may end after: the run stops before that end.
    if (at + 1 == limit) return limit;
    if (stops_[static_cast<size_t>(ch & 0xFF) << 8 | (chars[at + 1] & 0xFF)] != 0) return at + 1;
    ++at;
  }
}

bool TPacketDefinitions::FeedOne(char16_t ch) {
  const uint64_t position = received_;
  Remember(&ch, 1);
  if (words_ == 1) return FeedWord(0, ch, position);
  bool traffic = false;
  for (size_t word = 0; word < words_; ++word) traffic = FeedWord(word, ch, position) || traffic;
  return traffic;
}

bool TPacketDefinitions::FeedWord(size_t word, char16_t ch, uint64_t position) {
  const uint64_t fed = busy_[word] | always_[word];
  uint64_t due = fed | byLast_[static_cast<size_t>(ch & 0xFF) * words_ + word];
  bool traffic = false;
  while (due != 0) {
    const int bit = std::countr_zero(due);
    due &= due - 1;
    const uint64_t mask = uint64_t{1} << bit;
    const size_t at = word * 64 + static_cast<size_t>(bit);
    TFields* fields = order_[at];
    if ((fed & mask) != 0) {
      const bool before = fields->InPacket();
      fields->Feed(ch);
      const bool after = fields->InPacket();
      traffic = traffic || before || after;
      if ((always_[word] & mask) == 0) SetBusy(at, after || !fields->Buffer().IsEmpty(), position);
      continue;
    }
    // An idle hunter whose header ends with this character's low byte.
    const std::u16string& header = headers_[at];
    if (position + 1 - huntFrom_[at] >= header.size() && HistoryEndsWith(header, position)) {
      fields->EnterPacket(header);
      SetBusy(at, true, position);
      traffic = true;
    }
  }
  return traffic;
}

bool TPacketDefinitions::HistoryEndsWith(std::u16string_view header, uint64_t position) const {
  const size_t mask = history_.size() - 1;
  uint64_t from = position + 1 - header.size();
  for (const char16_t ch : header) {
    if (history_[from++ & mask] != ch) return false;
  }
  return true;
}

void TPacketDefinitions::Remember(const char16_t* chars, size_t count) {
  const size_t size = history_.size();
  if (count > size) {
    received_ += count - size;
    chars += count - size;
    count = size;
  }
  const size_t mask = size - 1;
  for (size_t i = 0; i < count; ++i) history_[(received_ + i) & mask] = chars[i];
  received_ += count;
}

void TPacketDefinitions::SetBusy(size_t at, bool busy, uint64_t position) {
  const size_t word = at / 64;
  const uint64_t mask = uint64_t{1} << (at % 64);
  const bool was = (busy_[word] & mask) != 0;
  if (busy == was) return;
  if (busy) {
    busy_[word] |= mask;
    ++busyCount_;
  } else {
    busy_[word] &= ~mask;
    --busyCount_;
    // Nothing collected: the hunt starts over after this character.
    huntFrom_[at] = position + 1;
  }
  FindInside(busy ? static_cast<int>(at) : -1);
}

void TPacketDefinitions::FindInside(int hint) {
  inside_ = nullptr;
  if (busyCount_ != 1) return;
  if (hint >= 0) {
    inside_ = order_[static_cast<size_t>(hint)];
    return;
  }
  size_t word = 0;
  while (busy_[word] == 0) ++word;
  inside_ = order_[word * 64 + static_cast<size_t>(std::countr_zero(busy_[word]))];
}

void TPacketDefinitions::BuildIndex() {
  order_.clear();
  for (TFields* fields : list_.Items<TFields>()) order_.push_back(fields);
  words_ = order_.empty() ? 1 : (order_.size() + 63) / 64;
  busy_.assign(words_, 0);
  always_.assign(words_, 0);
  byLast_.assign(256 * words_, 0);
  headers_.assign(order_.size(), {});
  huntFrom_.assign(order_.size(), received_);
  busyCount_ = 0;
  anyAlways_ = false;
  stops_.assign(size_t{256} * 256, 0);
  auto stopAt = [this](int before, size_t last) {
    if (before >= 0) {
      stops_[static_cast<size_t>(before) << 8 | last] = 1;
      return;
    }
    for (size_t first = 0; first < 256; ++first) stops_[first << 8 | last] = 1;
  };
  std::fill(std::begin(mayStop_), std::end(mayStop_), uint8_t{0});
  stopAt(-1, 10);
  mayStop_[10] = 1;
  std::fill(std::begin(scanSelf_), std::end(scanSelf_), uint8_t{0});
  std::u16string scanned;  // exactly what may stop a run, for the vector scan
  auto scanFor = [&scanned](char16_t ch) {
    if (scanned.find(ch) == std::u16string::npos) scanned += ch;
  };
  size_t longest = 1;
  for (size_t at = 0; at < order_.size(); ++at) {
    const TFields& fields = *order_[at];
    const uint64_t mask = uint64_t{1} << (at % 64);
    const size_t word = at / 64;
    if (fields.InPacket() || !fields.Buffer().IsEmpty()) {
      busy_[word] |= mask;
      ++busyCount_;
    }
    const TField& trailer = fields.Trailer();
    if (trailer.Length() > 0) mayStop_[trailer.Name().At(trailer.Length() - 1) & 0xFF] = 1;
    // The cutter's own fast hunt: a plain header with room to spare. Only
    // then does an empty buffer mean that nothing before matters.
    const TField& header = fields.Header();
    const int length = header.Length();
    const bool plain = length > 0 && length < fields.Buffer().Capacity() &&
                       header.Process().IsEmpty() && header.Name().Length() >= 1;
    if (!plain || length > kLongestIndexed) {
      always_[word] |= mask;
      anyAlways_ = true;
      continue;
    }
    // A name of another length than the header's can never match.
    if (header.Name().Length() != length) continue;
    headers_[at] = std::u16string(header.Name().View());
    const auto last = static_cast<size_t>(header.Name().Last() & 0xFF);
    byLast_[last * words_ + word] |= mask;
    stopAt(length >= 2 ? header.Name().At(length - 2) & 0xFF : -1, last);
    mayStop_[last] = 1;
    if (length >= 2) {
      scanFor(header.Name().At(length - 2));
    } else {
      scanFor(header.Name().At(0));
      scanSelf_[last] = 1;
    }
    longest = std::max(longest, static_cast<size_t>(length));
  }
  // Always-fed definitions keep their own state; the busy set leaves them out.
  for (size_t word = 0; word < words_; ++word) {
    busyCount_ -= std::popcount(busy_[word] & always_[word]);
    busy_[word] &= ~always_[word];
  }
  FindInside();
  history_.assign(std::bit_ceil(longest), char16_t{0});
  scanCount_ = scanned.size() < std::size(scanWanted_) + 1 ? static_cast<int>(scanned.size()) : -1;
  std::fill(std::begin(scanWanted_), std::end(scanWanted_), char16_t{0});
  if (scanCount_ > 0) std::copy(scanned.begin(), scanned.end(), scanWanted_);
  indexed_ = true;
}
