#pragma once

#include "base/k_string.h"
#include "sources/k_string_processor.h"

// The program's one string processor: every escape processing of a script
// and every process= evaluation of every source goes through the same
// instance, so register values carry from one evaluation to the next. The
// owner (the application, or a tool) creates it once and hands it to the
// script reader and the packet definitions.
class TFieldStringProcessor : public KStringProcessor {
 public:
  TFieldStringProcessor();

  // Escape processing of a header, trailer or stop text, in place.
  void Escape(KString& text, int maxLength = KString::kMaxLength);
  // Replaces `value` by the process string's formatting of it, run as a program.
  void Process(const KString& process, KString& value, int maxLength = KString::kMaxLength);

  // The percent formatting alone: "%%", "%-w.ps"; other conversions are dropped.
  static void Format(std::u16string_view process, std::u16string_view value, KString& out,
                     int maxLength = KString::kMaxLength);

 protected:
  // Procedure 0 removes blanks at both ends of the counted text after the cursor.
  bool ProcedureHook(int procedure, KString& text, int at, int count) override;

 private:
  KString scratch_;
};
