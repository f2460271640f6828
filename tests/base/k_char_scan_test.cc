#include "base/k_char_scan.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A text of exactly `length` characters on the heap, so the sanitizer sees
// any read beyond it: 'x' everywhere, and look-alikes of the wanted
// characters by low byte (0x1A00 + a wanted low byte) at every third place.
std::unique_ptr<char16_t[]> Text(size_t length, const char16_t* wanted) {
  std::unique_ptr<char16_t[]> text(new char16_t[length == 0 ? 1 : length]);
  for (size_t i = 0; i < length; ++i) {
    text[i] = i % 3 == 2 ? static_cast<char16_t>(0x1A00 | (wanted[i % 4] & 0xFF)) : u'x';
  }
  return text;
}

}  // namespace

TEST(KCharScan, FindsTheFirstWantedCharacterAtEveryPlace) {
  const char16_t wanted[4] = {u'\x02', u'\u0103', u'\n', u'R'};
  for (int count = 1; count <= 4; ++count) {
    for (size_t length = 0; length <= 40; ++length) {
      const auto text = Text(length, wanted);
      ASSERT_EQ(KCharScan::FindAnyOf(text.get(), 0, length, wanted, count), length)
          << "nothing wanted in " << length;
      for (size_t place = 0; place < length; ++place) {
        const auto scanned = Text(length, wanted);
        scanned[place] = wanted[place % static_cast<size_t>(count)];
        if (place + 3 < length) scanned[place + 3] = wanted[0];  // a later one does not count
        for (size_t from = 0; from <= place; from += 5) {
          ASSERT_EQ(KCharScan::FindAnyOf(scanned.get(), from, length, wanted, count), place)
              << count << " wanted, " << length << " long, at " << place << " from " << from;
        }
        // Searching from beyond it finds the later one or nothing.
        const size_t later = place + 3 < length ? place + 3 : length;
        ASSERT_EQ(KCharScan::FindAnyOf(scanned.get(), place + 1, length, wanted, count), later);
      }
    }
  }
}

TEST(KCharScan, StopsAtTheEndItIsGiven) {
  const char16_t wanted[1] = {u','};
  const char16_t text[] = u"abc,def,";
  EXPECT_EQ(KCharScan::FindAnyOf<1>(text, 0, 3, wanted), 3u);
  EXPECT_EQ(KCharScan::FindAnyOf<1>(text, 0, 8, wanted), 3u);
  EXPECT_EQ(KCharScan::FindAnyOf<1>(text, 4, 8, wanted), 7u);
  EXPECT_EQ(KCharScan::FindAnyOf<1>(text, 8, 8, wanted), 8u);
}
