#pragma once
// The one walk over UTF-8 text in the project (namespace calmora::text).
// A character is a well-formed UTF-8 sequence (by the Unicode rules, ICU's
// reading of them: no overlong form, no surrogate, nothing past U+10FFFF);
// a byte that does not start one stands alone as a character of its own,
// so that no input is rejected and every byte of it is kept. Nothing here
// allocates except where a string is returned; nothing throws.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace calmora::text {

// A byte that does not start a well-formed sequence reads as this plus the
// byte: past the Unicode range, so it never equals a real character.
inline constexpr char32_t kStrayByte = 0x110000;

struct Character {
  char32_t codePoint = 0;  // kStrayByte + the byte when not well-formed
  std::size_t size = 1;    // bytes taken from the text
  bool wellFormed() const { return codePoint < kStrayByte; }
};

Character MultiByteCharacterAt(std::string_view text, std::size_t offset);

// The character that starts at offset (< text.size()).
inline Character CharacterAt(std::string_view text, std::size_t offset) {
  const auto lead = static_cast<std::uint8_t>(text[offset]);
  if (lead < 0x80) return {lead, 1};
  return MultiByteCharacterAt(text, offset);
}

std::size_t CharacterCount(std::string_view text);
// The first n characters (all of the text when it has fewer).
std::string_view FirstCharacters(std::string_view text, std::size_t n);

}  // namespace calmora::text
