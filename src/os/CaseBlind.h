#pragma once
// Case-blind matching of names as the original file system and registry did
// it: by the simple upper-case mapping of text/Case.h. Names kept for the
// callers above that match table names and product types this way.
#include <string>
#include <string_view>

#include "text/Case.h"

namespace calmora {

// The text with every letter upper-cased; equal keys mean equal names.
inline std::string CaseBlindKey(std::string_view utf8) { return text::UpperCased(utf8); }
inline bool EqualsCaseBlind(std::string_view a, std::string_view b) {
  return text::EqualsUpperCased(a, b);
}

}  // namespace calmora
