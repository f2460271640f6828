#include "config/k_registry.h"

#include "config/k_r_types.h"

KRegistry::KRegistry(const char16_t* const* lines) {
  KRTypes::Register();
  ApplyTable(lines);
}
