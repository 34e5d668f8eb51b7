#include "text/Case.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cstdint>

#include "text/Utf8.h"

namespace calmora::text {

namespace {

char32_t Fold(char32_t c) {
  return static_cast<char32_t>(u_foldCase(static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
}

char32_t Upper(char32_t c) { return static_cast<char32_t>(u_toupper(static_cast<UChar32>(c))); }

template <typename Map>
std::string MapCharacters(std::string_view text, Map map) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const Character c = CharacterAt(text, i);
    if (c.wellFormed()) {
      std::uint8_t buffer[U8_MAX_LENGTH];
      std::int32_t n = 0;
      UBool failed = false;
      U8_APPEND(buffer, n, U8_MAX_LENGTH, static_cast<UChar32>(map(c.codePoint)), failed);
      (void)failed;  // a code point always fits U8_MAX_LENGTH bytes
      out.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
    } else {
      out += text[i];
    }
    i += c.size;
  }
  return out;
}

char32_t FoldedAt(std::string_view text, std::size_t& i) {
  const Character c = CharacterAt(text, i);
  i += c.size;
  return c.wellFormed() ? Fold(c.codePoint) : c.codePoint;
}

}  // namespace

std::string Folded(std::string_view text) { return MapCharacters(text, Fold); }

std::string UpperCased(std::string_view text) { return MapCharacters(text, Upper); }

bool EqualsUpperCased(std::string_view a, std::string_view b) { return UpperCased(a) == UpperCased(b); }

int CompareFolded(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const char32_t x = FoldedAt(a, i);
    const char32_t y = FoldedAt(b, j);
    if (x != y) return x < y ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

bool EqualsFolded(std::string_view a, std::string_view b) { return CompareFolded(a, b) == 0; }

std::vector<char32_t> FoldedCharacters(std::string_view text) {
  std::vector<char32_t> out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) out.push_back(FoldedAt(text, i));
  return out;
}

}  // namespace calmora::text
