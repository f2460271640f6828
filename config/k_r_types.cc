#include "config/k_r_types.h"

#include "base/k_list.h"
#include "config/k_r_bool.h"
#include "config/k_r_float.h"
#include "config/k_r_group.h"
#include "config/k_r_int.h"
#include "config/k_r_rat.h"
#include "config/k_r_string.h"

namespace KRTypes {

namespace {

KList& Prototypes() {
  static KList list;
  return list;
}

}  // namespace

void Register() {
  KList& list = Prototypes();
  if (!list.IsEmpty()) return;
  list.Append(new KRGroup);
  list.Append(new KRString);
  list.Append(new KRInt);
  list.Append(new KRRat);
  list.Append(new KRBool);
  list.Append(new KRFloat);
}

void Clear() {
  Prototypes().DeleteAll();
}

int Count() {
  return Prototypes().Count();
}

const KRNode* At(int index) {
  return static_cast<const KRNode*>(Prototypes().At(index));
}

KRNode* New(std::u16string_view typeName) {
  for (const KRNode* prototype : Prototypes().Items<KRNode>()) {
    if (prototype->TypeName().EqualsNoCase(typeName)) return prototype->NewOfSameType();
  }
  return nullptr;
}

}  // namespace KRTypes
