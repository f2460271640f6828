#pragma once

// The catalogue of settings applied to the empty tree at start-up: every
// configuration value with its default, every text under \Strings\ and every
// setting comment under \Strings\Registry\Comments\.
namespace KDefaultSettings {

// Null-terminated lines in tree order ("Display\Width:Int=640").
const char16_t* const* Table();
// The number of lines in Table().
int Count();
// Applied instead only on a first run (no profile read); empty in this catalogue.
const char16_t* const* FirstRunTable();

}  // namespace KDefaultSettings
