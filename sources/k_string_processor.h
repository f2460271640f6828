#pragma once

#include <cstdint>

#include "base/k_string.h"

// A tiny command language that rewrites a string in place around a cursor:
// plain characters are inserted, "\hh" (lowercase hex) inserts a code, and
// "\" + command + optional modifier + operand moves, deletes, pads, scans and
// prints registers. Program text may come from the wire, so every count is
// clamped and every register operation is defined for every value.
class KStringProcessor {
 public:
  static constexpr int kRegisterCount = 10;

  KStringProcessor() = default;
  KStringProcessor(const KStringProcessor&) = delete;
  KStringProcessor& operator=(const KStringProcessor&) = delete;
  virtual ~KStringProcessor() = default;

  // Runs `program` and returns its output, at most `maxLength` characters.
  KString Run(std::u16string_view program, int maxLength = KString::kMaxLength);
  // The same, writing into `out` (emptied first; a fixed string caps it too).
  // The program may lie in `out` itself.
  void Run(std::u16string_view program, KString& out, int maxLength = KString::kMaxLength);

  // Registers 0 to 9; any other number is the one shared scratch cell.
  int32_t Register(int64_t number) const;
  void SetRegister(int64_t number, int32_t value);

  // Reads "\hh" with lowercase hexadecimal digits at `at`; false when none stands there.
  static bool ParseHexEscape(std::u16string_view text, size_t at, int& code);

 protected:
  // Command F: (unit, field number, the text, the cursor, the count of
  // characters after it the hook may look at). Nothing here.
  virtual bool FieldHook(int unit, int field, KString& text, int at, int count);
  // Command P: (procedure number, the text, the cursor, count). Nothing here.
  virtual bool ProcedureHook(int procedure, KString& text, int at, int count);

 private:
  int32_t& Cell(int64_t number);

  int32_t registers_[kRegisterCount] = {};
  int32_t scratch_ = 0;
};
