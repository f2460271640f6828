#pragma once

#include <cstdint>
#include <functional>

#include "config/k_r_value.h"
#include "config/k_rational.h"

// "Rat": a reduced rational with a change handler; written "1 1/4".
class KRRat : public KRValue {
 public:
  using Handler = std::function<void(KRRat& node, KRational newValue, intptr_t user)>;

  KRational Value() const { return value_; }
  // Through the handler; the value is reduced first.
  void SetValue(KRational value);
  void Assign(KRational value) { value_ = value; }
  void SetHandler(Handler handler, intptr_t user = 0);
  bool HasHandler() const { return static_cast<bool>(handler_); }

  bool ParseValue(std::u16string_view& text) override;
  void FormatValue(KString& out) const override;
  const KString& TypeName() const override;
  KRNode* NewOfSameType() const override { return new KRRat; }

 private:
  KRational value_;
  Handler handler_;
  intptr_t user_ = 0;
};
