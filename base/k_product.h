#pragma once

// The product's identity, shown by --version and the About box.
namespace KProduct {
inline constexpr const char* kName = "Telvane";
inline constexpr const char* kVersion = "6.32";
inline constexpr const char* kReleaseDate = "Apr 28 2025";
}  // namespace KProduct
