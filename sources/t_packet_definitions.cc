#include "sources/t_packet_definitions.h"

TFields* TPacketDefinitions::Find(std::u16string_view name) const {
  for (TFields* fields : list_.Items<TFields>()) {
    if (fields->Name().View() == name) return fields;
  }
  return nullptr;
}

void TPacketDefinitions::BuildIndex() {
  order_.clear();
  for (TFields* fields : list_.Items<TFields>()) order_.push_back(fields);
  words_ = order_.empty() ? 1 : (order_.size() + 63) / 64;
  busy_.assign(words_, 0);
  always_.assign(words_, 0);
  byFirst_.assign(static_cast<size_t>(kIndexed) * words_, 0);
  for (size_t at = 0; at < order_.size(); ++at) {
    const TFields& fields = *order_[at];
    const uint64_t mask = uint64_t{1} << (at % 64);
    const size_t word = at / 64;
    if (fields.InPacket() || !fields.Buffer().IsEmpty()) busy_[word] |= mask;
    // The cutter's own fast hunt: a plain header with room to spare. Only
    // then does an empty buffer mean that just the first character matters.
    const TField& header = fields.Header();
    const int length = header.Length();
    const bool plain = length > 0 && length < fields.Buffer().Capacity() &&
                       header.Process().IsEmpty() && header.Name().Length() >= 1;
    const char16_t first = plain ? header.Name().At(0) : char16_t{0};
    if (!plain || first >= kIndexed) {
      always_[word] |= mask;
    } else {
      byFirst_[static_cast<size_t>(first) * words_ + word] |= mask;
    }
  }
  indexed_ = true;
}
