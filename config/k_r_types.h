#pragma once

#include <string_view>

class KRNode;

// The process-wide list of value types, one prototype each, in the order
// Group, String, Int, Rat, Bool, Float. New nodes are made by type name.
namespace KRTypes {

// Registers the six types unless they already are.
void Register();
// Empties the list (at shutdown).
void Clear();
int Count();
// The prototype at `index` in registration order, or null.
const KRNode* At(int index);
// A new node of the type named (case ignored), or null when none is registered.
KRNode* New(std::u16string_view typeName);

}  // namespace KRTypes
