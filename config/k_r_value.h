#pragma once

#include "config/k_r_node.h"

// A typed value: one line "path:Type,mark[,min,max]=value".
class KRValue : public KRNode {
 public:
  bool ParseAttributes(std::u16string_view& text) override;
  void FormatAttributes(KString& out) const override;
  bool MatchesName(std::u16string_view text) const override;

 protected:
  Step WalkStep(std::u16string_view& text, int* result, Mode mode) override;
  void WriteOwnLine(KStream& stream, const KString& path) const override;
  // Fields past the mark (the limits of Int and Float).
  virtual void ParseLimits(std::u16string_view /*attributes*/) {}
  virtual void FormatLimits(KString& /*out*/) const {}
};
