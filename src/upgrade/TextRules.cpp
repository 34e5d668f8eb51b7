#include "upgrade/TextRules.h"

#include "jet/Value.h"
#include "text/Case.h"
#include "text/Utf8.h"

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
