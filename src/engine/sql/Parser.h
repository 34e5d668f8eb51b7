#pragma once
// Reads one statement of the dialect. Anything outside it is refused with the
// syntax error of the statement's kind (or of the expression), never guessed.
#include <functional>
#include <string_view>

#include "ErrorTable.h"
#include "sql/Ast.h"
#include "sql/Lexer.h"

namespace jet::sql {

// The kind of statement the text starts as, for choosing its syntax error.
StatementKind KindOf(const Lexed& lexed);
ErrorCode SyntaxErrorOf(StatementKind kind);

// Tells whether a name is a table or column of the database: only such names
// are shown in the text of a malformed expression.
using KnownName = std::function<bool(std::string_view)>;

// Throws Failure with the statement's syntax error.
Statement Parse(const Lexed& lexed, const KnownName& known = nullptr);

// The text of tokens first..last, literals shown as '?' so that no value of
// a row reaches an error description; with `known`, so are names that are
// neither keywords nor known (a value written without quotes).
std::string MaskedText(const Lexed& lexed, std::uint32_t first, std::uint32_t last,
                       const KnownName& known = nullptr);

}  // namespace jet::sql
