#pragma once

#include <string>

#include "config/k_registry.h"

// Applies the profile an operator named with --profile over the default
// settings; false, with a message on stderr naming `command`, when it cannot
// be read. An empty path leaves the defaults as they are.
bool CliLoadProfile(KRegistry& registry, const std::string& path, const char* command);
