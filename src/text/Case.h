#pragma once
// Case-blind text (namespace calmora::text), every letter and not only
// ASCII, one character to one character by ICU's simple mappings: a text's
// length in characters never changes (ß stays ß). Read over the walk of
// text/Utf8.h: bytes that are not well-formed UTF-8 are kept as they stand
// and compare only with themselves, so a legacy single-byte name still
// matches itself. Nothing throws.
#include <string>
#include <string_view>
#include <vector>

namespace calmora::text {

// Simple case folding: how names and text compare in the database engine.
std::string Folded(std::string_view text);
// Compares character by character after folding (stray bytes after every
// real character); -1, 0 or 1.
int CompareFolded(std::string_view a, std::string_view b);
bool EqualsFolded(std::string_view a, std::string_view b);
// The folded characters, stray bytes as kStrayByte + the byte.
std::vector<char32_t> FoldedCharacters(std::string_view text);

// Simple upper-case mapping: claim text as the upgrade writes it, and the
// key under which the registry file and the file listing match names.
std::string UpperCased(std::string_view text);
bool EqualsUpperCased(std::string_view a, std::string_view b);

}  // namespace calmora::text
