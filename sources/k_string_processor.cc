#include "sources/k_string_processor.h"

#include <algorithm>
#include <cstdio>

namespace {

bool IsLowerHexDigit(char16_t ch) {
  return (ch >= u'0' && ch <= u'9') || (ch >= u'a' && ch <= u'f');
}

int LowerHexValue(char16_t ch) {
  return ch <= u'9' ? ch - u'0' : ch - u'a' + 10;
}

bool IsDigit(char16_t ch) {
  return ch >= u'0' && ch <= u'9';
}

int64_t Clamp(int64_t value, int64_t low, int64_t high) {
  return std::clamp(value, low, high);
}

// Register arithmetic wraps at 32 bits instead of overflowing.
int32_t Wrap(uint32_t value) {
  return static_cast<int32_t>(value);
}

}  // namespace

bool KStringProcessor::ParseHexEscape(std::u16string_view text, size_t at, int& code) {
  if (at + 2 >= text.size() || text[at] != u'\\') return false;
  if (!IsLowerHexDigit(text[at + 1]) || !IsLowerHexDigit(text[at + 2])) return false;
  code = LowerHexValue(text[at + 1]) * 16 + LowerHexValue(text[at + 2]);
  return true;
}

int32_t& KStringProcessor::Cell(int64_t number) {
  return number >= 0 && number < kRegisterCount ? registers_[number] : scratch_;
}

int32_t KStringProcessor::Register(int64_t number) const {
  return number >= 0 && number < kRegisterCount ? registers_[number] : scratch_;
}

void KStringProcessor::SetRegister(int64_t number, int32_t value) {
  Cell(number) = value;
}

bool KStringProcessor::FieldHook(int /*unit*/, int /*field*/, KString& /*text*/, int /*at*/,
                                 int /*count*/) {
  return false;
}

bool KStringProcessor::ProcedureHook(int /*procedure*/, KString& /*text*/, int /*at*/,
                                     int /*count*/) {
  return false;
}

KString KStringProcessor::Run(std::u16string_view program, int maxLength) {
  KString out;
  Run(program, out, maxLength);
  return out;
}

void KStringProcessor::Run(std::u16string_view program, KString& out, int maxLength) {
  const auto textStart = reinterpret_cast<uintptr_t>(out.Data());
  const auto textEnd = textStart + sizeof(char16_t) * static_cast<size_t>(out.Capacity());
  const auto programStart = reinterpret_cast<uintptr_t>(program.data());
  if (programStart < textEnd && textStart < programStart + sizeof(char16_t) * program.size()) {
    // The program lies in the output itself: run a copy.
    const std::u16string copy(program);
    Run(copy, out, maxLength);
    return;
  }
  out.Clear();
  const int limit = std::max(0, std::min(maxLength, out.MaxLength()));
  int cursor = 0;
  bool hasX = false;
  bool hasU = false;
  int32_t x = 0;
  int32_t u = 0;

  // Inserts at the cursor what still fits under the limit; returns how much.
  auto insert = [&](std::u16string_view text) -> int {
    const int room = limit - out.Length();
    if (room <= 0 || text.empty()) return 0;
    text = text.substr(0, std::min<size_t>(text.size(), static_cast<size_t>(room)));
    return cursor >= out.Length() ? out.Append(text) : out.Insert(cursor, text);
  };

  size_t i = 0;
  const size_t size = program.size();
  while (i < size) {
    const char16_t ch = program[i];
    if (ch != u'\\') {
      // Plain text goes in as one piece.
      size_t end = program.find(u'\\', i);
      if (end == std::u16string_view::npos) end = size;
      cursor += insert(program.substr(i, end - i));
      i = end;
      continue;
    }
    int code = 0;
    if (ParseHexEscape(program, i, code)) {
      const auto coded = static_cast<char16_t>(code);
      cursor += insert({&coded, 1});
      i += 3;
      continue;
    }
    if (i + 1 >= size) break;  // a backslash that ends the program has no command
    const char16_t command = program[i + 1];
    size_t at = i + 2;
    char16_t modifier = 0;
    if (at < size && program[at] >= u'a' && program[at] <= u'z') modifier = program[at++];
    int operand = 0;
    if (at < size && IsDigit(program[at])) {
      operand = program[at++] - u'0';
    } else if (ParseHexEscape(program, at, operand)) {
      at += 3;
    } else {
      i = at;  // no valid operand: the command is skipped
      continue;
    }
    i = at;

    const int length = out.Length();
    const int before = cursor;
    const int after = length - cursor;
    const int64_t unitCount = hasU ? Register(u) : operand;
    const int64_t count = hasX ? x : 1;
    const int64_t value = hasU ? Register(u) : (hasX ? x : 1);

    switch (command) {
      case u'X':
        x = modifier == u'i' ? Register(operand) : operand;
        hasX = true;
        continue;
      case u'U':
        u = modifier == u'i' ? Register(operand) : operand;
        hasU = true;
        continue;
      case u'L': {
        const int64_t k = unitCount == 0 ? before : unitCount;
        cursor -= static_cast<int>(Clamp(k, 0, before));
        break;
      }
      case u'R': {
        const int64_t k = unitCount == 0 ? after : unitCount;
        cursor += static_cast<int>(Clamp(k, 0, after));
        break;
      }
      case u'B': {
        int64_t k = unitCount == 0 ? before : unitCount;
        if (hasX) k = static_cast<int64_t>(length) - x;
        const int removed = static_cast<int>(Clamp(k, 0, before));
        out.Delete(cursor - removed, removed);
        cursor -= removed;
        break;
      }
      case u'D': {
        int64_t k = unitCount == 0 ? after : unitCount;
        if (hasX) k = static_cast<int64_t>(length) - x;
        out.Delete(cursor, static_cast<int>(Clamp(k, 0, after)));
        break;
      }
      case u'I': {
        int64_t k = unitCount;
        char16_t fill = u' ';
        if (modifier == u'c') {
          if (hasX) fill = static_cast<char16_t>(x);
        } else if (hasX) {
          k = static_cast<int64_t>(x) - length;
        }
        k = Clamp(k, 0, limit - length);
        if (k > 0) {
          const std::u16string fills(static_cast<size_t>(k), fill);
          const int saved = cursor;
          insert(fills);
          cursor = saved;
        }
        break;
      }
      case u'S': {
        if (hasU && (u == 1 || u == 2)) {
          const int k = static_cast<int>(Clamp(count, 0, 4));
          uint32_t scanned = 0;
          for (int j = 0; j < k; ++j) {
            const uint32_t byte = out.At(cursor + j) & 0xFFu;
            scanned = u == 1 ? scanned | (byte << ((8 * j) & 31)) : (scanned << 8) | byte;
          }
          Cell(operand) = Wrap(scanned);
        } else {
          const int k = static_cast<int>(Clamp(count, 0, std::min(10, after)));
          int j = 0;
          while (j < k && (out.At(cursor + j) == u' ' || out.At(cursor + j) == u'\t')) ++j;
          bool negative = false;
          if (j < k && (out.At(cursor + j) == u'-' || out.At(cursor + j) == u'+')) {
            negative = out.At(cursor + j) == u'-';
            ++j;
          }
          int64_t digits = 0;
          bool any = false;
          for (; j < k && IsDigit(out.At(cursor + j)); ++j) {
            digits = digits * 10 + (out.At(cursor + j) - u'0');
            any = true;
          }
          if (any) Cell(operand) = Wrap(static_cast<uint32_t>(negative ? -digits : digits));
        }
        break;
      }
      case u'O': {
        const int k = static_cast<int>(Clamp(count, 0, 10));
        const int32_t reg = Register(operand);
        char16_t printed[16] = {};
        if (hasU && u >= 2 && u <= 5) {
          char digits[32] = {};
          switch (u) {
            case 2:
              std::snprintf(digits, sizeof digits, "%*.*d", k, k, reg);
              break;
            case 3:
              // "%0*.*d": with a precision the zero flag is ignored, as here.
              std::snprintf(digits, sizeof digits, "%*.*d", k, k, reg);
              break;
            case 4:
              std::snprintf(digits, sizeof digits, "%-*.*d", k, k, reg);
              break;
            default:
              // "%-0*.*d": the zero flag means nothing beside "-".
              std::snprintf(digits, sizeof digits, "%-*.*d", k, k, reg);
              break;
          }
          for (int j = 0; j < k; ++j) printed[j] = static_cast<char16_t>(digits[j]);
        } else {
          for (int j = 0; j < k; ++j) {
            const int shift = hasU && u == 1 ? 8 * (k - 1 - j) : 8 * j;
            printed[j] = static_cast<char16_t>((reg >> (shift & 31)) & 0xFFFF);
          }
        }
        cursor += insert({printed, static_cast<size_t>(k)});
        break;
      }
      case u'F':
      case u'P': {
        const int k = hasX ? static_cast<int>(Clamp(x, 0, after)) : after;
        if (command == u'F') {
          FieldHook(hasU ? u : 0, operand, out, cursor, k);
        } else {
          ProcedureHook(operand, out, cursor, k);
        }
        // A hook may change the text; the cursor stays inside it.
        cursor = std::clamp(cursor, 0, out.Length());
        break;
      }
      case u'=':
        Cell(operand) = static_cast<int32_t>(value);
        break;
      case u'+':
        Cell(operand) = Wrap(static_cast<uint32_t>(Cell(operand)) + static_cast<uint32_t>(value));
        break;
      case u'-':
        Cell(operand) = Wrap(static_cast<uint32_t>(Cell(operand)) - static_cast<uint32_t>(value));
        break;
      case u'*':
        Cell(operand) = Wrap(static_cast<uint32_t>(Cell(operand)) * static_cast<uint32_t>(value));
        break;
      case u'/':
      case u'#': {
        int32_t& cell = Cell(operand);
        const auto divisor = static_cast<int32_t>(value);
        if (divisor == 0) {
          cell = 0;
        } else if (divisor == -1) {
          // INT_MIN / -1 does not fit; the wrapped negation is what the hardware would give.
          cell = command == u'/' ? Wrap(0u - static_cast<uint32_t>(cell)) : 0;
        } else {
          cell = command == u'/' ? cell / divisor : cell % divisor;
        }
        break;
      }
      case u'&':
        Cell(operand) &= static_cast<int32_t>(value);
        break;
      case u'|':
        Cell(operand) |= static_cast<int32_t>(value);
        break;
      case u'^':
        Cell(operand) ^= static_cast<int32_t>(value);
        break;
      case u'<':
        Cell(operand) = Wrap(static_cast<uint32_t>(Cell(operand)) << (value & 31));
        break;
      case u'>':
        Cell(operand) = Cell(operand) >> (value & 31);
        break;
      case u'~':
        Cell(operand) = ~Cell(operand);
        break;
      default:
        break;
    }
    hasX = false;
    hasU = false;
    x = 0;
    u = 0;
  }
}
