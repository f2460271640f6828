#pragma once

#include <cstdint>
#include <functional>
#include <limits>

#include "config/k_r_value.h"

// "Int": a signed 32-bit value with a change handler. Minimum and maximum
// are attributes only: kept and written, never enforced.
class KRInt : public KRValue {
 public:
  // Called with the new value whenever it is set; the value changes only if
  // the handler stores it (Assign). A null handler stores it.
  using Handler = std::function<void(KRInt& node, int32_t newValue, intptr_t user)>;
  static constexpr int32_t kNoMaximum = std::numeric_limits<int32_t>::max();
  static constexpr int32_t kNoMinimum = std::numeric_limits<int32_t>::min();

  int32_t Value() const { return value_; }
  // Through the handler.
  void SetValue(int32_t value);
  // Stores without the handler; what a handler calls.
  void Assign(int32_t value) { value_ = value; }
  // Null restores the default handler; a watcher installs null before it goes away.
  void SetHandler(Handler handler, intptr_t user = 0);
  bool HasHandler() const { return static_cast<bool>(handler_); }

  int32_t Minimum() const { return minimum_; }
  int32_t Maximum() const { return maximum_; }
  void SetMinimum(int32_t minimum) { minimum_ = minimum; }
  void SetMaximum(int32_t maximum) { maximum_ = maximum; }

  bool ParseValue(std::u16string_view& text) override;
  void FormatValue(KString& out) const override;
  const KString& TypeName() const override;
  KRNode* NewOfSameType() const override { return new KRInt; }

 protected:
  void ParseLimits(std::u16string_view attributes) override;
  void FormatLimits(KString& out) const override;

 private:
  int32_t value_ = 0;
  int32_t minimum_ = kNoMinimum;
  int32_t maximum_ = kNoMaximum;
  Handler handler_;
  intptr_t user_ = 0;
};
