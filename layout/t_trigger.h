#pragma once

#include <cstdint>

#include "base/k_string.h"

// A named trigger that shows or hides the objects bound to it: sent by the
// "Trigger" source command and by keys pressed in the display window.
class TTrigger {
 public:
  enum Action : int32_t { kOff = 0, kOn = 1, kToggle = 2 };
  static constexpr int kNameLength = 15;

  TTrigger() = default;
  TTrigger(const KString& name, int32_t action) : name_(name), action_(action) {}

  const KString& Name() const { return name_; }
  void SetName(const KString& name) { name_ = name; }
  // 1 on, 2 toggle, anything else off.
  int32_t Action() const { return action_; }
  void SetAction(int32_t action) { action_ = action; }

  // The toggle trigger of a key typed in the display window: "S+", "C+" and
  // "A+" for the held modifiers, then the character (32 to 127). False for
  // other characters.
  static bool ForCharacter(char16_t ch, bool shift, bool control, bool alt, TTrigger& out);
  // The same for function key F1 to F24.
  static bool ForFunctionKey(int number, bool shift, bool control, bool alt, TTrigger& out);

 private:
  KString15 name_;
  int32_t action_ = kOn;
};
