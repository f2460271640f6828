#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Finds the first of a few wanted characters in 16-bit text, eight places a
// step. Packet bodies and the gaps between them are mostly ordinary text,
// so the cutter and the field extraction spend most of their time here.
class KCharScan {
 public:
  // The first place from `at` below `end` that holds one of the N `wanted`
  // characters, or `end`.
  template <int N>
  static size_t FindAnyOf(const char16_t* chars, size_t at, size_t end, const char16_t* wanted) {
    using Lanes = uint16_t __attribute__((vector_size(16)));
    constexpr size_t kLanes = sizeof(Lanes) / sizeof(char16_t);
    Lanes broadcast[N];
    for (int i = 0; i < N; ++i) {
      const uint16_t w = wanted[i];
      broadcast[i] = Lanes{w, w, w, w, w, w, w, w};
    }
    for (; at + kLanes <= end; at += kLanes) {
      Lanes lanes;
      std::memcpy(&lanes, chars + at, sizeof lanes);
      auto hit = lanes == broadcast[0];
      for (int i = 1; i < N; ++i) hit |= lanes == broadcast[i];
      uint64_t halves[2];
      std::memcpy(halves, &hit, sizeof halves);
      if (halves[0] != 0) return at + static_cast<size_t>(std::countr_zero(halves[0])) / 16;
      if (halves[1] != 0) return at + 4 + static_cast<size_t>(std::countr_zero(halves[1])) / 16;
    }
    for (; at < end; ++at) {
      for (int i = 0; i < N; ++i) {
        if (chars[at] == wanted[i]) return at;
      }
    }
    return end;
  }

  // The same for one to four wanted characters (more count as four).
  static size_t FindAnyOf(const char16_t* chars, size_t at, size_t end, const char16_t* wanted,
                          int count) {
    switch (count) {
      case 1:
        return FindAnyOf<1>(chars, at, end, wanted);
      case 2:
        return FindAnyOf<2>(chars, at, end, wanted);
      case 3:
        return FindAnyOf<3>(chars, at, end, wanted);
      default:
        return FindAnyOf<4>(chars, at, end, wanted);
    }
  }
};
