#pragma once

#include <cstdint>
#include <functional>

#include "config/k_r_value.h"

// "String": the rest of the line, unchanged. The two characters backslash and
// "n" stay two characters; a real line break is stored as those two
// characters, since a file line cannot hold it.
class KRString : public KRValue {
 public:
  // Returns whether the value was accepted; the value changes only if the
  // handler stores it (Assign).
  using Handler = std::function<bool(KRString& node, const KString& newValue, intptr_t user)>;

  const KString& Value() const { return value_; }
  // Through the handler.
  bool SetValue(const KString& value);
  // Stores without the handler; what a handler calls.
  void Assign(const KString& value);
  void SetHandler(Handler handler, intptr_t user = 0);
  bool HasHandler() const { return static_cast<bool>(handler_); }

  bool ParseValue(std::u16string_view& text) override;
  void FormatValue(KString& out) const override;
  const KString& TypeName() const override;
  KRNode* NewOfSameType() const override { return new KRString; }

 private:
  KString value_;
  Handler handler_;
  intptr_t user_ = 0;
};
