#include "sql/Parser.h"

#include <array>

#include "Failure.h"

namespace jet::sql {

namespace {

// Words that never name a column or table unless written in brackets.
constexpr std::array<std::string_view, 36> kReserved = {
    "SELECT", "FROM",   "WHERE",  "AND",   "OR",     "NOT",    "IS",     "NULL",   "LIKE",
    "ORDER",  "BY",     "AS",     "TRUE",  "FALSE",  "MOD",    "ASC",    "DESC",   "INSERT",
    "INTO",   "VALUES", "UPDATE", "SET",   "DELETE", "CREATE", "TABLE",  "ALTER",  "ADD",
    "DROP",   "BETWEEN", "IN",    "GROUP", "HAVING", "UNION",  "JOIN",   "DISTINCT", "ON"};

bool IsReserved(const Token& t) {
  for (auto word : kReserved) {
    if (IsWord(t, word)) return true;
  }
  return false;
}

// Deeper expressions are refused: the translation and the storage library
// recurse over them, and a text must never exhaust the stack.
constexpr int kMaxDepth = 200;

class Parser {
 public:
  Parser(const Lexed& lexed, StatementKind kind, const KnownName& known)
      : lx_(lexed), kind_(kind), known_(known) {}

  Statement Run() {
    Statement st;
    st.kind = kind_;
    if (!lx_.ok) SyntaxError();
    switch (kind_) {
      case StatementKind::Select: st.body = ParseSelect(); break;
      case StatementKind::Insert: st.body = ParseInsert(); break;
      case StatementKind::Update: st.body = ParseUpdate(); break;
      case StatementKind::Delete: st.body = ParseDelete(); break;
      case StatementKind::CreateTable: st.body = ParseCreate(); break;
      case StatementKind::AlterTable: st.body = ParseAlter(); break;
      case StatementKind::DropTable: st.body = ParseDrop(); break;
      case StatementKind::Unknown: Fail(ErrorCode::InvalidStatement);
    }
    Accept(";");
    if (Peek().kind != TokenKind::End) SyntaxError();
    return st;
  }

 private:
  const Token& Peek(std::size_t ahead = 0) const {
    const std::size_t i = std::min(pos_ + ahead, lx_.tokens.size() - 1);
    return lx_.tokens[i];
  }
  const Token& Next() {
    const Token& t = Peek();
    if (pos_ + 1 < lx_.tokens.size()) ++pos_;
    return t;
  }
  bool IsSymbol(std::string_view s, std::size_t ahead = 0) const {
    const Token& t = Peek(ahead);
    return t.kind == TokenKind::Symbol && t.text == s;
  }
  bool Accept(std::string_view symbol) {
    if (!IsSymbol(symbol)) return false;
    Next();
    return true;
  }
  bool AcceptWord(std::string_view word) {
    if (!IsWord(Peek(), word)) return false;
    Next();
    return true;
  }
  void Expect(std::string_view symbol) {
    if (!Accept(symbol)) SyntaxError();
  }
  void ExpectWord(std::string_view word) {
    if (!AcceptWord(word)) SyntaxError();
  }

  [[noreturn]] void SyntaxError() const {
    if (inExpression_) {
      const std::uint32_t last = static_cast<std::uint32_t>(
          std::max<std::size_t>(expressionStart_, std::min(pos_, lx_.tokens.size() - 1)));
      Fail(ErrorCode::SyntaxExpression, {MaskedText(lx_, expressionStart_, last, known_)});
    }
    Fail(SyntaxErrorOf(kind_));
  }

  std::string Name() {
    const Token& t = Peek();
    if (t.kind == TokenKind::Bracketed || (t.kind == TokenKind::Name && !IsReserved(t))) {
      Next();
      return std::string(t.text);
    }
    SyntaxError();
  }

  // WHERE and ORDER BY expressions report their own text when malformed.
  ExprPtr ClauseExpression() {
    inExpression_ = true;
    expressionStart_ = static_cast<std::uint32_t>(pos_);
    ExprPtr e = Or();
    inExpression_ = false;
    return e;
  }

  ExprPtr Make(Expr::Kind kind, std::size_t first) const {
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    e->firstToken = static_cast<std::uint32_t>(first);
    e->lastToken = static_cast<std::uint32_t>(pos_ == 0 ? 0 : pos_ - 1);
    return e;
  }
  ExprPtr Binary(std::string op, ExprPtr l, ExprPtr r) const {
    if (std::max(l->depth, r->depth) >= kMaxDepth) SyntaxError();
    auto e = std::make_unique<Expr>();
    e->depth = std::max(l->depth, r->depth) + 1;
    e->kind = Expr::Kind::Binary;
    e->op = std::move(op);
    e->firstToken = l->firstToken;
    e->lastToken = r->lastToken;
    e->left = std::move(l);
    e->right = std::move(r);
    return e;
  }

  // Every way down into a nested expression passes here.
  struct Nesting {
    Parser& p;
    explicit Nesting(Parser& parser) : p(parser) {
      if (++p.nesting_ > kMaxDepth) p.SyntaxError();
    }
    ~Nesting() { --p.nesting_; }
  };

  ExprPtr Or() {
    Nesting nesting(*this);
    ExprPtr e = And();
    while (AcceptWord("OR")) e = Binary("OR", std::move(e), And());
    return e;
  }
  ExprPtr And() {
    ExprPtr e = Not();
    while (AcceptWord("AND")) e = Binary("AND", std::move(e), Not());
    return e;
  }
  ExprPtr Not() {
    const std::size_t first = pos_;
    if (AcceptWord("NOT")) {
      Nesting nesting(*this);
      ExprPtr operand = Not();
      ExprPtr e = Make(Expr::Kind::Not, first);
      e->depth = operand->depth + 1;
      e->left = std::move(operand);
      return e;
    }
    return Comparison();
  }
  ExprPtr Comparison() {
    ExprPtr e = Concat();
    const Token& t = Peek();
    if (t.kind == TokenKind::Symbol &&
        (t.text == "=" || t.text == "<>" || t.text == "<" || t.text == ">" || t.text == "<=" ||
         t.text == ">=")) {
      const std::string op(Next().text);
      return Binary(op, std::move(e), Concat());
    }
    if (AcceptWord("IS")) {
      const bool negated = AcceptWord("NOT");
      ExpectWord("NULL");
      ExprPtr r = Make(Expr::Kind::IsNull, e->firstToken);
      r->depth = e->depth + 1;
      r->flag = negated;
      r->left = std::move(e);
      return r;
    }
    bool negated = false;
    if (IsWord(Peek(), "NOT") && IsWord(Peek(1), "LIKE")) {
      Next();
      negated = true;
    }
    if (AcceptWord("LIKE")) {
      ExprPtr pattern = Concat();
      ExprPtr r = Make(Expr::Kind::Like, e->firstToken);
      r->depth = std::max(e->depth, pattern->depth) + 1;
      r->flag = negated;
      r->left = std::move(e);
      r->right = std::move(pattern);
      return r;
    }
    return e;
  }
  ExprPtr Concat() {
    ExprPtr e = Additive();
    while (Accept("&")) e = Binary("&", std::move(e), Additive());
    return e;
  }
  ExprPtr Additive() {
    ExprPtr e = Modulo();
    while (IsSymbol("+") || IsSymbol("-")) {
      const std::string op(Next().text);
      e = Binary(op, std::move(e), Modulo());
    }
    return e;
  }
  ExprPtr Modulo() {
    ExprPtr e = IntDivide();
    while (AcceptWord("MOD")) e = Binary("MOD", std::move(e), IntDivide());
    return e;
  }
  ExprPtr IntDivide() {
    ExprPtr e = Multiplicative();
    while (Accept("\\")) e = Binary("\\", std::move(e), Multiplicative());
    return e;
  }
  ExprPtr Multiplicative() {
    ExprPtr e = Unary();
    while (IsSymbol("*") || IsSymbol("/")) {
      const std::string op(Next().text);
      e = Binary(op, std::move(e), Unary());
    }
    return e;
  }
  ExprPtr Unary() {
    const std::size_t first = pos_;
    Nesting nesting(*this);
    if (Accept("+")) return Unary();
    if (Accept("-")) {
      ExprPtr operand = Unary();
      if (operand->kind == Expr::Kind::Literal && !operand->negative &&
          (lx_.tokens[operand->firstToken].kind == TokenKind::Integer ||
           lx_.tokens[operand->firstToken].kind == TokenKind::Decimal)) {
        operand->negative = true;
        operand->firstToken = static_cast<std::uint32_t>(first);
        return operand;
      }
      ExprPtr e = Make(Expr::Kind::Negate, first);
      e->depth = operand->depth + 1;
      e->left = std::move(operand);
      return e;
    }
    return Primary();
  }
  ExprPtr Primary() {
    const std::size_t first = pos_;
    const Token& t = Peek();
    if (IsLiteral(t.kind)) {
      Next();
      ExprPtr e = Make(Expr::Kind::Literal, first);
      e->literal = t.literal;
      return e;
    }
    if (Accept("(")) {
      ExprPtr e = Or();
      Expect(")");
      return e;
    }
    if (AcceptWord("NULL")) return Make(Expr::Kind::Null, first);
    if (IsWord(t, "TRUE") || IsWord(t, "FALSE")) {
      Next();
      ExprPtr e = Make(Expr::Kind::Boolean, first);
      e->flag = IsWord(t, "TRUE");
      return e;
    }
    if (t.kind == TokenKind::Name && IsSymbol("(", 1) && !IsReserved(t)) {
      return Call();
    }
    std::string name = Name();
    std::string qualifier;
    if (Accept(".")) {
      qualifier = std::move(name);
      name = Name();
    }
    ExprPtr e = Make(Expr::Kind::Column, first);
    e->qualifier = std::move(qualifier);
    e->name = std::move(name);
    return e;
  }
  ExprPtr Call() {
    const std::size_t first = pos_;
    const Token& t = Next();
    std::string function;
    for (auto word : {"COUNT", "SUM", "AVG", "MIN", "MAX"}) {
      if (IsWord(t, word)) function = word;
    }
    if (function.empty()) Fail(ErrorCode::UndefinedFunction, {std::string(t.text)});
    Expect("(");
    ExprPtr argument;
    if (function == "COUNT" && IsSymbol("*")) {
      Next();
    } else {
      argument = Or();
    }
    Expect(")");
    ExprPtr e = Make(Expr::Kind::Aggregate, first);
    e->name = function;
    e->left = std::move(argument);
    return e;
  }

  Select ParseSelect() {
    Select s;
    ExpectWord("SELECT");
    AcceptWord("ALL");
    do {
      SelectItem item;
      if (Accept("*")) {
        s.items.push_back(std::move(item));
        continue;
      }
      if ((Peek().kind == TokenKind::Name || Peek().kind == TokenKind::Bracketed) &&
          IsSymbol(".", 1) && IsSymbol("*", 2)) {
        item.starTable = Name();
        Next();
        Next();
        s.items.push_back(std::move(item));
        continue;
      }
      item.expr = Or();
      if (AcceptWord("AS")) item.alias = Name();
      s.items.push_back(std::move(item));
    } while (Accept(","));
    ExpectWord("FROM");
    s.table = Name();
    if (AcceptWord("WHERE")) s.where = ClauseExpression();
    if (AcceptWord("ORDER")) {
      ExpectWord("BY");
      do {
        OrderItem o;
        o.expr = ClauseExpression();
        if (AcceptWord("DESC")) o.descending = true;
        else AcceptWord("ASC");
        s.order.push_back(std::move(o));
      } while (Accept(","));
    }
    return s;
  }

  Insert ParseInsert() {
    Insert s;
    ExpectWord("INSERT");
    ExpectWord("INTO");
    s.table = Name();
    if (Accept("(")) {
      do s.columns.push_back(Name());
      while (Accept(","));
      Expect(")");
    }
    ExpectWord("VALUES");
    Expect("(");
    do s.values.push_back(Or());
    while (Accept(","));
    Expect(")");
    return s;
  }

  Update ParseUpdate() {
    Update s;
    ExpectWord("UPDATE");
    s.table = Name();
    ExpectWord("SET");
    do {
      std::string column = Name();
      if (Accept(".")) column = Name();  // table.column
      Expect("=");
      s.sets.emplace_back(std::move(column), Or());
    } while (Accept(","));
    if (AcceptWord("WHERE")) s.where = ClauseExpression();
    return s;
  }

  Delete ParseDelete() {
    Delete s;
    ExpectWord("DELETE");
    Accept("*");
    ExpectWord("FROM");
    s.table = Name();
    if (AcceptWord("WHERE")) s.where = ClauseExpression();
    return s;
  }

  ColumnSpec ParseColumn() {
    ColumnSpec c;
    c.name = Name();
    const Token& type = Next();
    if (IsWord(type, "COUNTER")) c.type = JetType::Counter;
    else if (IsWord(type, "LONG") || IsWord(type, "INTEGER")) c.type = JetType::Long;
    else if (IsWord(type, "NUMBER")) c.type = JetType::Double;
    else if (IsWord(type, "DATE")) c.type = JetType::Date;
    else if (IsWord(type, "YESNO")) c.type = JetType::Boolean;
    else if (IsWord(type, "CURRENCY")) c.type = JetType::Currency;
    else if (IsWord(type, "TEXT")) {
      c.type = JetType::Text;
      c.size = kDefaultTextSize;
      if (Accept("(")) {
        const Token& size = Next();
        if (size.kind != TokenKind::Integer) SyntaxError();
        c.size = std::stoi(std::string(size.text));
        if (c.size < 1 || c.size > kDefaultTextSize) SyntaxError();
        Expect(")");
      }
    } else {
      SyntaxError();
    }
    while (true) {
      if (AcceptWord("PRIMARY")) {
        ExpectWord("KEY");
        c.primaryKey = true;
      } else if (AcceptWord("UNIQUE")) {
        c.unique = true;
      } else if (IsWord(Peek(), "NOT") && IsWord(Peek(1), "NULL")) {
        Next();
        Next();
        c.nulls = ColumnSpec::Nulls::NotNull;
      } else if (AcceptWord("NULL")) {
        c.nulls = ColumnSpec::Nulls::Null;
      } else if (AcceptWord("DEFAULT")) {
        ExprPtr value = Unary();
        if (value->kind != Expr::Kind::Literal && value->kind != Expr::Kind::Boolean &&
            value->kind != Expr::Kind::Null)
          SyntaxError();
        c.defaultValue = std::move(value);
      } else {
        break;
      }
    }
    return c;
  }

  CreateTable ParseCreate() {
    CreateTable s;
    ExpectWord("CREATE");
    ExpectWord("TABLE");
    s.table = Name();
    Expect("(");
    do s.columns.push_back(ParseColumn());
    while (Accept(","));
    Expect(")");
    return s;
  }

  AlterAdd ParseAlter() {
    AlterAdd s;
    ExpectWord("ALTER");
    ExpectWord("TABLE");
    s.table = Name();
    ExpectWord("ADD");
    AcceptWord("COLUMN");
    s.column = ParseColumn();
    return s;
  }

  DropTable ParseDrop() {
    DropTable s;
    ExpectWord("DROP");
    ExpectWord("TABLE");
    s.table = Name();
    return s;
  }

  const Lexed& lx_;
  StatementKind kind_;
  const KnownName& known_;
  std::size_t pos_ = 0;
  bool inExpression_ = false;
  std::uint32_t expressionStart_ = 0;
  int nesting_ = 0;
};

}  // namespace

StatementKind KindOf(const Lexed& lexed) {
  const Token& first = lexed.tokens.front();
  const Token& second = lexed.tokens.size() > 1 ? lexed.tokens[1] : first;
  if (IsWord(first, "SELECT")) return StatementKind::Select;
  if (IsWord(first, "INSERT")) return StatementKind::Insert;
  if (IsWord(first, "UPDATE")) return StatementKind::Update;
  if (IsWord(first, "DELETE")) return StatementKind::Delete;
  if (IsWord(first, "CREATE") && IsWord(second, "TABLE")) return StatementKind::CreateTable;
  if (IsWord(first, "ALTER") && IsWord(second, "TABLE")) return StatementKind::AlterTable;
  if (IsWord(first, "DROP") && IsWord(second, "TABLE")) return StatementKind::DropTable;
  return StatementKind::Unknown;
}

ErrorCode SyntaxErrorOf(StatementKind kind) {
  switch (kind) {
    case StatementKind::Select: return ErrorCode::SyntaxSelect;
    case StatementKind::Insert: return ErrorCode::SyntaxInsert;
    case StatementKind::Update: return ErrorCode::SyntaxUpdate;
    case StatementKind::Delete: return ErrorCode::SyntaxDelete;
    case StatementKind::CreateTable: return ErrorCode::SyntaxCreateTable;
    case StatementKind::AlterTable: return ErrorCode::SyntaxAlterTable;
    case StatementKind::DropTable: return ErrorCode::SyntaxDropTable;
    case StatementKind::Unknown: return ErrorCode::InvalidStatement;
  }
  return ErrorCode::InvalidStatement;
}

Statement Parse(const Lexed& lexed, const KnownName& known) {
  return Parser(lexed, KindOf(lexed), known).Run();
}

std::string MaskedText(const Lexed& lexed, std::uint32_t first, std::uint32_t last,
                       const KnownName& known) {
  std::string out;
  for (std::uint32_t i = first; i <= last && i < lexed.tokens.size(); ++i) {
    const Token& t = lexed.tokens[i];
    if (t.kind == TokenKind::End) break;
    const bool call = t.kind == TokenKind::Symbol && t.text == "(" && i > first &&
                      lexed.tokens[i - 1].kind == TokenKind::Name;
    const bool tight =
        call || (t.kind == TokenKind::Symbol && (t.text == "," || t.text == ")" || t.text == "."));
    const bool afterTight = !out.empty() && (out.back() == '(' || out.back() == '.');
    if (!out.empty() && !tight && !afterTight) out += ' ';
    const bool function = i + 1 < lexed.tokens.size() && lexed.tokens[i + 1].kind == TokenKind::Symbol &&
                          lexed.tokens[i + 1].text == "(";
    const bool name = t.kind == TokenKind::Name || t.kind == TokenKind::Bracketed;
    if (IsLiteral(t.kind) || (name && known && !IsReserved(t) && !function && !known(t.text))) {
      out += '?';
    } else if (t.kind == TokenKind::Bracketed) {
      out += '[';
      out += t.text;
      out += ']';
    } else {
      out += t.text;
    }
  }
  return out;
}

}  // namespace jet::sql
