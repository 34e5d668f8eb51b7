#pragma once
// The text rules the data steps apply before a value goes into SQL.
// Lengths and cuts are text/Utf8.h's: characters, as the engine's TEXT(n)
// counts them; upper-casing is text/Case.h's.
#include <cstddef>
#include <string>
#include <string_view>

namespace jet {
class Value;
}

namespace calmora {

// Every single quote doubled; the caller writes the enclosing quotes.
std::string EscapeQuotes(const std::string& text);

// Blanks removed from both ends (only blanks, as the legacy Trim did).
std::string TrimBlanks(std::string_view text);

// A value as text for a text rule: NULL counts as the empty text.
std::string TextOf(const jet::Value& value);

// A legacy diagnosis code from its two parts: first part, ".", second part,
// blanks trimmed from the ends of the whole; a NULL part counts as empty.
std::string DiagnosisText(const jet::Value& firstPart, const jet::Value& secondPart);
// The legacy column names of diagnosis code k (1 to 4): "DIAGNOSIS_CODE<k>a"
// and "DIAGNOSIS_CODE<k>b".
std::string DiagnosisPartColumn(int k, char part);

}  // namespace calmora
