#pragma once

#include <string_view>
#include <vector>

#include "base/k_string.h"

// A source command line ("Command=Trigger;Name=Go") taken apart: items at
// ";" (double quotes protect a ";"), each "Key=value". The two commands the
// program knows are checked here, so the caller only acts on the result.
class TSourceCommand {
 public:
  enum Kind : int { kNone = 0, kLayoutDraw, kTrigger };
  enum Clear : int { kClearNothing = 0, kClearIfHidden = 1, kClearAlways = 2 };
  enum Action : int { kActionOn = 0, kActionOff, kActionToggle };
  static constexpr int kTriggerNameCapacity = 15;

  TSourceCommand() = default;
  explicit TSourceCommand(std::u16string_view line);

  // The items of a line, enclosing quotes removed.
  static std::vector<KString> SplitItems(std::u16string_view line);
  // The first comma field of a value, enclosing quotes removed.
  static KString FirstField(std::u16string_view value);
  // A decimal integer with optional sign at the start of `text`; false when
  // no digit stands there.
  static bool ReadDecimal(std::u16string_view text, int& value);

  // The rest of the first item that begins with `key` and "=", case ignored.
  bool Value(std::u16string_view key, KString& value) const;
  // The first comma field of that value.
  bool Field(std::u16string_view key, KString& field) const;
  // That field as a number; false when missing or not a number.
  bool Number(std::u16string_view key, int& value) const;

  const std::vector<KString>& Items() const { return items_; }
  // The "Command" parameter; empty when there is none.
  const KString& Command() const { return command_; }
  // kNone for a command the program ignores or one that is not valid.
  Kind GetKind() const { return kind_; }

  // LayoutDraw: the window by title and/or by Window menu position (from 1).
  bool HasName() const { return hasName_; }
  const KString& Name() const { return name_; }
  bool HasWindow() const { return hasWindow_; }
  int Window() const { return window_; }
  // -1 when absent: the caller uses \Sources\LayoutDrawDelay.
  int Delay() const { return delay_; }
  bool HasDelay() const { return hasDelay_; }
  Clear ClearMode() const { return clear_; }

  // Trigger: the name (at most 15 characters, never empty) and the action.
  Action TriggerAction() const { return action_; }

 private:
  std::vector<KString> items_;
  KString command_;
  Kind kind_ = kNone;
  bool hasName_ = false;
  KString name_;
  bool hasWindow_ = false;
  int window_ = 0;
  bool hasDelay_ = false;
  int delay_ = -1;
  Clear clear_ = kClearNothing;
  Action action_ = kActionOn;
};
