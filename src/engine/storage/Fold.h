#pragma once
// Case-blind text as the engine compares it: ICU simple case folding, one
// code point at a time, so a text's length never changes (ß stays ß).
// Malformed UTF-8 is compared byte by byte, never rejected.
#include <string>
#include <string_view>

namespace jet {

std::string Fold(std::string_view text);
int CompareFolded(std::string_view a, std::string_view b);
bool EqualsFolded(std::string_view a, std::string_view b);
// LIKE as the provider reads it: % any run, _ one character, case ignored.
bool LikeMatch(std::string_view text, std::string_view pattern);

}  // namespace jet
