#pragma once

#include "config/k_r_value.h"

// "Bool": any non-zero number is true; written "0" or "1".
class KRBool : public KRValue {
 public:
  bool Value() const { return value_; }
  void SetValue(bool value) { value_ = value; }

  bool ParseValue(std::u16string_view& text) override;
  void FormatValue(KString& out) const override;
  const KString& TypeName() const override;
  KRNode* NewOfSameType() const override { return new KRBool; }

 private:
  bool value_ = false;
};
