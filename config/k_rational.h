#pragma once

#include <cstdint>

// A rational value kept reduced, with a positive denominator.
struct KRational {
  int32_t numerator = 0;
  int32_t denominator = 1;

  // Reduces n/d by their greatest common divisor and moves the sign to the
  // numerator. A zero denominator gives 0/1; a result that does not fit 32 bits
  // wraps, as integer texts do.
  static KRational Reduced(int64_t n, int64_t d);

  friend bool operator==(const KRational& a, const KRational& b) {
    return a.numerator == b.numerator && a.denominator == b.denominator;
  }
};
