#pragma once
// Case-blind text as the engine compares it: simple case folding, one
// character at a time (text/Case.h), so a text's length never changes
// (ß stays ß). Malformed UTF-8 is compared byte by byte, never rejected.
#include <string>
#include <string_view>

#include "text/Case.h"

namespace jet {

inline std::string Fold(std::string_view text) { return calmora::text::Folded(text); }
using calmora::text::CompareFolded;
using calmora::text::EqualsFolded;

// LIKE as the provider reads it: % any run, _ one character, case ignored.
bool LikeMatch(std::string_view text, std::string_view pattern);

}  // namespace jet
