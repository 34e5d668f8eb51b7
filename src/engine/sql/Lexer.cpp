#include "engine/sql/Lexer.h"

#include <charconv>
#include <cstdint>

namespace jet::sql {

namespace {

bool IsNameStart(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
}
bool IsNamePart(unsigned char c) { return IsNameStart(c) || (c >= '0' && c <= '9'); }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

void AppendShape(std::string& shape, const Token& t) {
  switch (t.kind) {
    case TokenKind::Name: shape += 'N'; shape.append(t.text); break;
    case TokenKind::Bracketed: shape += 'B'; shape.append(t.text); break;
    case TokenKind::Integer: shape += 'I'; break;
    case TokenKind::Decimal: shape += 'D'; break;
    case TokenKind::String: shape += 'S'; break;
    case TokenKind::Date: shape += 'T'; break;
    case TokenKind::Symbol: shape.append(t.text); break;
    case TokenKind::End: break;
  }
  shape += '\x01';
}

bool IsValueWord(const Token& t) {
  return IsWord(t, "NULL") || IsWord(t, "TRUE") || IsWord(t, "FALSE");
}

// `t` is the next token, at index out.tokens.size().
void AddToShapes(Lexed& out, const Token& t) {
  AppendShape(out.shape, t);
  if (IsLiteral(t.kind) || IsValueWord(t)) {
    out.values.push_back(static_cast<std::uint32_t>(out.tokens.size()));
    out.valueShape += "L\x01";
  } else {
    AppendShape(out.valueShape, t);
  }
}

}  // namespace

bool IsWord(const Token& token, std::string_view upperWord) {
  if (token.kind != TokenKind::Name || token.text.size() != upperWord.size()) return false;
  for (std::size_t i = 0; i < upperWord.size(); ++i) {
    char c = token.text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != upperWord[i]) return false;
  }
  return true;
}

Lexed Lex(std::string_view sql) {
  Lexed out;
  out.tokens.reserve(sql.size() / 3 + 2);
  out.shape.reserve(sql.size());
  out.valueShape.reserve(sql.size());
  std::size_t i = 0;
  const std::size_t n = sql.size();
  auto at = [&](std::size_t k) -> unsigned char { return k < n ? static_cast<unsigned char>(sql[k]) : 0; };
  while (true) {
    while (i < n && (sql[i] == ' ' || sql[i] == '\t' || sql[i] == '\r' || sql[i] == '\n')) ++i;
    Token t;
    t.begin = static_cast<std::uint32_t>(i);
    if (i >= n) break;
    const unsigned char c = at(i);
    if (IsNameStart(c)) {
      std::size_t j = i;
      while (j < n && IsNamePart(at(j))) ++j;
      t.kind = TokenKind::Name;
      t.text = sql.substr(i, j - i);
      i = j;
    } else if (c == '[') {
      const std::size_t close = sql.find(']', i + 1);
      if (close == std::string_view::npos || close == i + 1) { out.ok = false; break; }
      t.kind = TokenKind::Bracketed;
      t.text = sql.substr(i + 1, close - i - 1);
      i = close + 1;
    } else if (IsDigit(c) || (c == '.' && IsDigit(at(i + 1)))) {
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
      if (IsNameStart(at(j))) { out.ok = false; break; }
      t.text = sql.substr(i, j - i);
      t.kind = TokenKind::Decimal;
      if (integral && t.text.size() <= 10) {
        std::int64_t v = 0;
        std::from_chars(t.text.data(), t.text.data() + t.text.size(), v);
        if (v <= 2147483647) t.kind = TokenKind::Integer;
      }
      i = j;
    } else if (c == '\'' || c == '"') {
      std::size_t j = i + 1;
      bool closed = false, doubled = false;
      while (j < n) {
        if (at(j) == c) {
          if (at(j + 1) == c) { doubled = true; j += 2; continue; }
          closed = true;
          ++j;
          break;
        }
        ++j;
      }
      if (!closed) { out.ok = false; break; }
      t.kind = TokenKind::String;
      t.text = sql.substr(i + 1, j - i - 2);
      if (doubled) {
        std::string& text = out.undoubled.emplace_back();
        for (std::size_t k = 0; k < t.text.size(); ++k) {
          text += t.text[k];
          if (t.text[k] == static_cast<char>(c)) ++k;
        }
        t.text = text;
      }
      i = j;
    } else if (c == '#') {
      const std::size_t close = sql.find('#', i + 1);
      if (close == std::string_view::npos) { out.ok = false; break; }
      t.kind = TokenKind::Date;
      t.text = sql.substr(i + 1, close - i - 1);
      i = close + 1;
    } else {
      const unsigned char d = at(i + 1);
      t.kind = TokenKind::Symbol;
      if ((c == '<' && (d == '>' || d == '=')) || (c == '>' && d == '=')) {
        t.text = sql.substr(i, 2);
        i += 2;
      } else if (std::string_view("=<>(),.;+-*/\\&").find(static_cast<char>(c)) !=
                 std::string_view::npos) {
        t.text = sql.substr(i, 1);
        ++i;
      } else {
        out.ok = false;
        break;
      }
    }
    t.end = static_cast<std::uint32_t>(i);
    if (IsLiteral(t.kind)) {
      t.literal = static_cast<int>(out.literals.size());
      out.literals.push_back(static_cast<std::uint32_t>(out.tokens.size()));
    }
    AddToShapes(out, t);
    out.tokens.push_back(std::move(t));
  }
  Token end;
  end.kind = TokenKind::End;
  end.begin = end.end = static_cast<std::uint32_t>(i < n ? i : n);
  out.tokens.push_back(std::move(end));
  return out;
}

}  // namespace jet::sql
