#pragma once

#include <limits>

#include "config/k_r_value.h"

// "Float": a double written with six decimals. Minimum and maximum are
// attributes only.
class KRFloat : public KRValue {
 public:
  static constexpr double kNoMaximum = std::numeric_limits<double>::max();
  static constexpr double kNoMinimum = std::numeric_limits<double>::min();

  double Value() const { return value_; }
  void SetValue(double value) { value_ = value; }
  double Minimum() const { return minimum_; }
  double Maximum() const { return maximum_; }
  void SetMinimum(double minimum) { minimum_ = minimum; }
  void SetMaximum(double maximum) { maximum_ = maximum; }

  bool ParseValue(std::u16string_view& text) override;
  void FormatValue(KString& out) const override;
  const KString& TypeName() const override;
  KRNode* NewOfSameType() const override { return new KRFloat; }

 protected:
  void ParseLimits(std::u16string_view attributes) override;
  void FormatLimits(KString& out) const override;

 private:
  double value_ = 0.0;
  double minimum_ = kNoMinimum;
  double maximum_ = kNoMaximum;
};
