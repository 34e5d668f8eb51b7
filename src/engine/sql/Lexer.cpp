#include "sql/Lexer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>

namespace jet::sql {

namespace {

// Name characters by byte, looked up once per byte of the statement: a
// claim INSERT is some 4 KB of names and values.
constexpr auto kNameClass = [] {
  std::array<std::uint8_t, 256> table{};  // 1: may start a name, 2: may continue one
  for (int c = 0; c < 256; ++c) {
    const bool start = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
    table[static_cast<std::size_t>(c)] =
        static_cast<std::uint8_t>((start ? 1 : 0) | (start || (c >= '0' && c <= '9') ? 2 : 0));
  }
  return table;
}();

bool IsNameStart(unsigned char c) { return (kNameClass[c] & 1) != 0; }
bool IsNamePart(unsigned char c) { return (kNameClass[c] & 2) != 0; }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// The two shapes are written through cursors into buffers sized for the
// longest possible shape (three bytes per byte of text: a one-letter name
// becomes its kind, the letter and the separator), then copied out once;
// appending character by character cost as much as the scan itself.
class ShapeWriter {
 public:
  explicit ShapeWriter(std::size_t textSize)
      : buffer_(new char[3 * textSize + 1]), at_(buffer_.get()) {}
  void Put(char c) { *at_++ = c; }
  void Put(std::string_view text) {
    if (!text.empty()) std::memcpy(at_, text.data(), text.size());
    at_ += text.size();
  }
  void CopyTo(std::string& shape) const {
    shape.assign(buffer_.get(), static_cast<std::size_t>(at_ - buffer_.get()));
  }

 private:
  std::unique_ptr<char[]> buffer_;
  char* at_;
};

void AppendShape(ShapeWriter& shape, const Token& t) {
  switch (t.kind) {
    case TokenKind::Name: shape.Put('N'); shape.Put(t.text); break;
    case TokenKind::Bracketed: shape.Put('B'); shape.Put(t.text); break;
    case TokenKind::Integer: shape.Put('I'); break;
    case TokenKind::Decimal: shape.Put('D'); break;
    case TokenKind::String: shape.Put('S'); break;
    case TokenKind::Date: shape.Put('T'); break;
    case TokenKind::Symbol: shape.Put(t.text); break;
    case TokenKind::End: break;
  }
  shape.Put('\x01');
}

bool IsValueWord(const Token& t) {
  return IsWord(t, "NULL") || IsWord(t, "TRUE") || IsWord(t, "FALSE");
}

struct ShapeWriters {
  ShapeWriter shape;
  ShapeWriter valueShape;
};

// `t` is the next token, at index out.tokens.size().
void AddToShapes(Lexed& out, ShapeWriters& shapes, const Token& t) {
  AppendShape(shapes.shape, t);
  if (IsLiteral(t.kind) || IsValueWord(t)) {
    out.values.push_back(static_cast<std::uint32_t>(out.tokens.size()));
    shapes.valueShape.Put('L');
    shapes.valueShape.Put('\x01');
  } else {
    AppendShape(shapes.valueShape, t);
  }
}

}  // namespace

bool IsWord(const Token& token, std::string_view upperWord) {
  return token.kind == TokenKind::Name && IsWord(token.text, upperWord);
}

bool IsWord(std::string_view name, std::string_view upperWord) {
  if (name.size() != upperWord.size()) return false;
  for (std::size_t i = 0; i < upperWord.size(); ++i) {
    char c = name[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != upperWord[i]) return false;
  }
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::size_t NameEnd(std::string_view text, std::size_t at) {
  while (at < text.size() && IsNamePart(static_cast<unsigned char>(text[at]))) ++at;
  return at;
}

namespace {

Token Scanned(TokenKind kind, std::string_view text, std::size_t begin, std::size_t end) {
  Token t;
  t.kind = kind;
  t.text = text;
  t.begin = static_cast<std::uint32_t>(begin);
  t.end = static_cast<std::uint32_t>(end);
  return t;
}

unsigned char ByteAt(std::string_view text, std::size_t k) {
  return k < text.size() ? static_cast<unsigned char>(text[k]) : 0;
}

// Digits, a fraction and an exponent; a 32-bit whole number is an Integer.
std::optional<Token> ScanNumber(std::string_view sql, std::size_t i) {
  auto at = [&](std::size_t k) { return ByteAt(sql, k); };
  std::size_t j = i;
  bool integral = true;
  while (IsDigit(at(j))) ++j;
  if (at(j) == '.') {
    integral = false;
    ++j;
    while (IsDigit(at(j))) ++j;
  }
  if (at(j) == 'e' || at(j) == 'E') {
    std::size_t k = j + 1;
    if (at(k) == '+' || at(k) == '-') ++k;
    if (IsDigit(at(k))) {
      integral = false;
      while (IsDigit(at(k))) ++k;
      j = k;
    }
  }
  if (IsNameStart(at(j))) return std::nullopt;
  Token t = Scanned(TokenKind::Decimal, sql.substr(i, j - i), i, j);
  if (integral && t.text.size() <= 10) {
    std::int64_t v = 0;
    std::from_chars(t.text.data(), t.text.data() + t.text.size(), v);
    if (v <= 2147483647) t.kind = TokenKind::Integer;
  }
  return t;
}

// The text between a sign at `at` and the next one.
std::optional<Token> ScanEnclosed(TokenKind kind, std::string_view text, std::size_t at, char close) {
  const std::size_t end = text.find(close, at + 1);
  if (end == std::string_view::npos) return std::nullopt;
  return Scanned(kind, text.substr(at + 1, end - at - 1), at, end + 1);
}

std::optional<Token> ScanToken(std::string_view sql, std::size_t i, std::deque<std::string>& undoubled) {
  const unsigned char c = ByteAt(sql, i);
  if (IsNameStart(c)) {
    const std::size_t end = NameEnd(sql, i);
    return Scanned(TokenKind::Name, sql.substr(i, end - i), i, end);
  }
  if (c == '[') return ScanBracketed(sql, i);
  if (IsDigit(c) || (c == '.' && IsDigit(ByteAt(sql, i + 1)))) return ScanNumber(sql, i);
  if (c == '\'' || c == '"') return ScanQuoted(sql, i, undoubled);
  if (c == '#') return ScanDate(sql, i);
  return ScanSymbol(sql, i);
}

void AddToken(Lexed& out, ShapeWriters& shapes, Token t) {
  if (IsLiteral(t.kind)) {
    t.literal = static_cast<int>(out.literals.size());
    out.literals.push_back(static_cast<std::uint32_t>(out.tokens.size()));
  }
  AddToShapes(out, shapes, t);
  out.tokens.push_back(t);
}

}  // namespace

std::optional<Token> ScanQuoted(std::string_view sql, std::size_t i, std::deque<std::string>& undoubled) {
  const char quote = sql[i];
  std::size_t j = i + 1;
  bool closed = false, doubled = false;
  while (j < sql.size()) {
    if (sql[j] == quote) {
      if (ByteAt(sql, j + 1) == static_cast<unsigned char>(quote)) {
        doubled = true;
        j += 2;
        continue;
      }
      closed = true;
      ++j;
      break;
    }
    ++j;
  }
  if (!closed) return std::nullopt;
  Token t = Scanned(TokenKind::String, sql.substr(i + 1, j - i - 2), i, j);
  if (doubled) {
    std::string& text = undoubled.emplace_back();
    for (std::size_t k = 0; k < t.text.size(); ++k) {
      text += t.text[k];
      if (t.text[k] == quote) ++k;
    }
    t.text = text;
  }
  return t;
}

std::optional<Token> ScanBracketed(std::string_view text, std::size_t at) {
  auto t = ScanEnclosed(TokenKind::Bracketed, text, at, ']');
  if (t && t->text.empty()) return std::nullopt;
  return t;
}

std::optional<Token> ScanDate(std::string_view text, std::size_t at) {
  return ScanEnclosed(TokenKind::Date, text, at, '#');
}

std::optional<Token> ScanSymbol(std::string_view sql, std::size_t i) {
  const unsigned char c = ByteAt(sql, i), d = ByteAt(sql, i + 1);
  if ((c == '<' && (d == '>' || d == '=')) || (c == '>' && d == '='))
    return Scanned(TokenKind::Symbol, sql.substr(i, 2), i, i + 2);
  if (c != 0 && std::string_view("=<>(),.;+-*/\\&").find(static_cast<char>(c)) != std::string_view::npos)
    return Scanned(TokenKind::Symbol, sql.substr(i, 1), i, i + 1);
  return std::nullopt;
}

Lexed Lex(std::string_view sql) {
  Lexed out;
  out.tokens.reserve(sql.size() / 3 + 2);
  ShapeWriters shapes{ShapeWriter(sql.size()), ShapeWriter(sql.size())};
  std::size_t i = 0;
  for (;;) {
    while (i < sql.size() && IsBlank(sql[i])) ++i;
    if (i >= sql.size()) break;
    std::optional<Token> t = ScanToken(sql, i, out.undoubled);
    if (!t) {
      out.ok = false;
      break;
    }
    i = t->end;
    AddToken(out, shapes, *t);
  }
  shapes.shape.CopyTo(out.shape);
  shapes.valueShape.CopyTo(out.valueShape);
  Token end;
  end.kind = TokenKind::End;
  end.begin = end.end = static_cast<std::uint32_t>(std::min(i, sql.size()));
  out.tokens.push_back(end);
  return out;
}

}  // namespace jet::sql
