#pragma once

#include <cstdint>
#include <vector>

// The corner logo built into the program: 176 × 52 pixels, 24 bits, blue
// first, rows top to bottom; empty if the embedded picture cannot be read.
std::vector<uint8_t> TDisplayLogo();
