#pragma once

#include "base/k_string.h"

// The name of a key pressed on the display window as a key trigger sees it:
// "S+", "C+", "A+" for the held modifiers, then "F1" to "F24" for a function
// key (`functionKey` 1 to 24, else 0) or the character 32 to 127. Empty when
// the key names nothing (a modifier alone).
KString DisplayKeyTriggerName(bool shift, bool ctrl, bool alt, int functionKey, char16_t ch);
