#pragma once
// Tokens of the dialect, and the statement's shape: the token sequence with
// every literal replaced by its kind. Two texts of one shape translate to the
// same statement of the storage library, with the literals bound.
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jet::sql {

enum class TokenKind : std::uint8_t {
  Name,      // identifier or keyword, as written
  Bracketed, // [any name]: always a name
  Integer,   // digits that fit 32 bits
  Decimal,   // any other number
  String,    // 'text' or "text", quotes undoubled
  Date,      // #...#, the text between the signs
  Symbol,    // operator or punctuation
  End,
};

constexpr bool IsLiteral(TokenKind k) {
  return k == TokenKind::Integer || k == TokenKind::Decimal || k == TokenKind::String ||
         k == TokenKind::Date;
}

// Token texts are views into the statement text (or, for a quoted text
// with doubled quotes, into the Lexed that holds it undoubled): a Lexed is
// used while its statement text lives.
struct Token {
  TokenKind kind = TokenKind::End;
  std::string_view text;
  std::uint32_t begin = 0;  // byte offsets in the statement text
  std::uint32_t end = 0;
  int literal = -1;  // index among the literals, for literal tokens
};

struct Lexed {
  std::vector<Token> tokens;  // ends with an End token
  std::string shape;
  std::vector<std::uint32_t> literals;  // token index of each literal
  // The shape once more, with null, True and False counted as literals and
  // every literal of one kind: INSERTs whose values differ only in kind
  // (a date here, null there) share one plan by it.
  std::string valueShape;
  std::vector<std::uint32_t> values;  // token index of each literal, null, True, False
  bool ok = true;                       // false: a malformed token; tokens end there
  std::deque<std::string> undoubled;    // texts of quoted tokens that held doubled quotes
};

Lexed Lex(std::string_view sql);

// Case-blind comparison of an ASCII keyword with a name token, or with the
// text of one.
bool IsWord(const Token& token, std::string_view upperWord);
bool IsWord(std::string_view name, std::string_view upperWord);

// The scanners of single tokens, shared by the dialect and by a recordset's
// filter criteria. Each reads the token that starts at `at` (blanks already
// skipped) and sets its kind, text, begin and end; nullopt means a
// malformed token (the caller decides what that fails with).
bool IsBlank(char c);
// The end of a run of name characters from `at`: letters, digits, _ and the
// bytes of any character beyond ASCII (`at` itself when there is none).
std::size_t NameEnd(std::string_view text, std::size_t at);
// 'text' or "text", the quote doubled inside; a text that held doubled
// quotes is kept undoubled in `undoubled`, which the token's text views.
std::optional<Token> ScanQuoted(std::string_view text, std::size_t at,
                                std::deque<std::string>& undoubled);
// [any name]: not empty, not nested.
std::optional<Token> ScanBracketed(std::string_view text, std::size_t at);
// #...#: the text between the signs, read as a date by the caller.
std::optional<Token> ScanDate(std::string_view text, std::size_t at);
// An operator or punctuation: <> <= >= and one of =<>(),.;+-*/\&
std::optional<Token> ScanSymbol(std::string_view text, std::size_t at);

}  // namespace jet::sql
