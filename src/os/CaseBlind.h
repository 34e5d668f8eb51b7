#pragma once
// Case-blind matching of names as the original file system and registry did
// it: every letter, not only ASCII, by its simple upper-case mapping (one
// code point to one code point). Bytes that are not valid UTF-8 are kept as
// they stand, so a legacy single-byte name still compares with itself.
#include <string>
#include <string_view>

namespace calmora {

// The text with every letter upper-cased; equal keys mean equal names.
std::string CaseBlindKey(std::string_view utf8);

bool EqualsCaseBlind(std::string_view a, std::string_view b);

}  // namespace calmora
