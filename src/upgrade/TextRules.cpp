#include "upgrade/TextRules.h"

#include "jet/Value.h"
#include "os/CaseBlind.h"
#include "upgrade/modCommon.h"

namespace calmora {

std::string EscapeQuotes(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out;
}

namespace {

// Bytes taken by the character that starts at text[i]; a byte that does
// not start a well-formed sequence stands alone.
std::size_t CharacterBytes(std::string_view text, std::size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  std::size_t n = 1;
  if (lead >= 0xC2 && lead <= 0xDF) n = 2;
  else if (lead >= 0xE0 && lead <= 0xEF) n = 3;
  else if (lead >= 0xF0 && lead <= 0xF4) n = 4;
  if (i + n > text.size()) return 1;
  for (std::size_t k = 1; k < n; ++k)
    if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 1;
  return n;
}

}  // namespace

std::size_t CharacterCount(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); i += CharacterBytes(text, i)) ++count;
  return count;
}

std::string FirstCharacters(std::string_view text, std::size_t n) {
  std::size_t i = 0;
  for (std::size_t taken = 0; taken < n && i < text.size(); ++taken)
    i += CharacterBytes(text, i);
  return std::string(text.substr(0, i));
}

std::string UpperCase(std::string_view text) { return CaseBlindKey(text); }

std::string TrimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

std::string TextOf(const jet::Value& value) { return value.IsNull() ? std::string() : value.ToText(); }

std::string DiagnosisText(const jet::Value& firstPart, const jet::Value& secondPart) {
  return TrimBlanks(TextOf(firstPart) + "." + TextOf(secondPart));
}

std::string DiagnosisPartColumn(int k, char part) {
  return "DIAGNOSIS_CODE" + std::to_string(k) + part;
}

}  // namespace calmora
