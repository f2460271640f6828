#pragma once

#include <cstdint>
#include <string>

// Writes a top-down picture of 32-bit pixels 0x00RRGGBB as an RGB PNG; the
// transparent pixel 0xFF000000 becomes fully transparent in an RGBA file when
// `keepTransparency` is set, black otherwise. False with `error` set on failure.
bool CliWritePng(const std::string& path, int width, int height, const uint32_t* pixels,
                 std::string& error, bool keepTransparency = false);
