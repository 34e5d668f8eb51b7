#include "text/Utf8.h"

#include <unicode/utf8.h>

#include <algorithm>

namespace calmora::text {

Character MultiByteCharacterAt(std::string_view text, std::size_t offset) {
  // At most four bytes are read, so ICU's 32-bit offsets hold for any text.
  const std::string_view window = text.substr(offset, 4);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(window.data());
  std::int32_t end = 0;
  UChar32 c = 0;
  U8_NEXT(bytes, end, static_cast<std::int32_t>(window.size()), c);
  // ICU takes the longest ill-formed prefix as one unit; here each of its
  // bytes stands alone, so a cut-off sequence never hides the bytes after it.
  if (c < 0) return {kStrayByte + bytes[0], 1};
  return {static_cast<char32_t>(c), static_cast<std::size_t>(end)};
}

std::size_t CharacterCount(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); i += CharacterAt(text, i).size) ++count;
  return count;
}

std::string_view FirstCharacters(std::string_view text, std::size_t n) {
  std::size_t i = 0;
  for (std::size_t taken = 0; taken < n && i < text.size(); ++taken) i += CharacterAt(text, i).size;
  return text.substr(0, i);
}

}  // namespace calmora::text
