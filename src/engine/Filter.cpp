#include "Filter.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <utility>

#include "jet/Error.h"
#include "Failure.h"
#include "sql/Lexer.h"
#include "storage/Fold.h"

namespace jet {

enum class FilterOp { Eq, Ne, Lt, Gt, Le, Ge, Like };
enum class Joiner { And, Or };

namespace {

// A literal as written in the criteria. Numbers keep their exact decimal
// value when they have one, so that currency compares without rounding.
struct Literal {
  enum class Kind { Null, Number, Text, Date } kind = Kind::Null;
  double number = 0;
  std::optional<Currency> exact;
  std::string text;  // for LIKE, with * and ? already written as % and _
  DateTime date;
};

struct Clause {
  std::string field;
  FilterOp op = FilterOp::Eq;
  Literal value;
};

// Raised as the public error straight away: these are the object model's
// failures and never touch a connection's error collection.
[[noreturn]] void Raise(ErrorCode code) {
  const ErrorEntry entry = Failure(code).Entry();
  throw Error(entry.number, entry.description, entry.source);
}

[[noreturn]] void Malformed() { Raise(ErrorCode::BadArguments); }
[[noreturn]] void UnknownField() { Raise(ErrorCode::ItemNotFound); }
[[noreturn]] void TypeMismatch() { Raise(ErrorCode::FilterWrongType); }

using sql::IsBlank;

// Names, quoted texts, #dates#, operators and keywords are read by the
// dialect's own scanners, so criteria and statements agree on them; bare
// numbers and dates are the criteria's own.
class Parser {
 public:
  explicit Parser(std::string_view s) : s_(s) {}

  void Parse(std::vector<Clause>& clauses, std::vector<Joiner>& joiners) {
    SkipBlanks();
    if (AtEnd()) Malformed();
    clauses.push_back(ParseClause());
    for (;;) {
      SkipBlanks();
      if (AtEnd()) return;
      if (TakeKeyword("AND")) {
        joiners.push_back(Joiner::And);
      } else if (TakeKeyword("OR")) {
        joiners.push_back(Joiner::Or);
      } else {
        Malformed();
      }
      clauses.push_back(ParseClause());
    }
  }

 private:
  bool AtEnd() const { return pos_ >= s_.size(); }
  char Peek(std::size_t ahead = 0) const {
    return pos_ + ahead < s_.size() ? s_[pos_ + ahead] : '\0';
  }
  void SkipBlanks() {
    while (!AtEnd() && IsBlank(s_[pos_])) ++pos_;
  }

  // A keyword in any case, not followed by a name character.
  bool TakeKeyword(std::string_view word) {
    const std::size_t end = sql::NameEnd(s_, pos_);
    if (!sql::IsWord(s_.substr(pos_, end - pos_), word)) return false;
    pos_ = end;
    return true;
  }

  // The token a scanner read, or Malformed when it read none.
  std::string_view Take(const std::optional<sql::Token>& token) {
    if (!token) Malformed();
    pos_ = token->end;
    return token->text;
  }

  Clause ParseClause() {
    Clause clause;
    SkipBlanks();
    clause.field = ParseField();
    SkipBlanks();
    clause.op = ParseOp();
    SkipBlanks();
    clause.value = ParseValue();
    if (clause.value.kind == Literal::Kind::Null && clause.op != FilterOp::Eq &&
        clause.op != FilterOp::Ne) {
      Malformed();
    }
    if (clause.op == FilterOp::Like) {
      if (clause.value.kind != Literal::Kind::Text) Malformed();
      // Both spellings of each wildcard mean the same: keep one of them.
      for (char& ch : clause.value.text) {
        if (ch == '*') ch = '%';
        if (ch == '?') ch = '_';
      }
    }
    return clause;
  }

  std::string ParseField() {
    if (Peek() == '[') return std::string(Take(sql::ScanBracketed(s_, pos_)));
    const std::size_t start = pos_;
    pos_ = sql::NameEnd(s_, pos_);
    if (pos_ == start) Malformed();
    return std::string(s_.substr(start, pos_ - start));
  }

  FilterOp ParseOp() {
    if (TakeKeyword("LIKE")) return FilterOp::Like;
    static constexpr std::pair<std::string_view, FilterOp> kOps[] = {
        {"=", FilterOp::Eq}, {"<>", FilterOp::Ne}, {"<", FilterOp::Lt},
        {">", FilterOp::Gt}, {"<=", FilterOp::Le}, {">=", FilterOp::Ge}};
    const std::optional<sql::Token> symbol = sql::ScanSymbol(s_, pos_);
    for (const auto& [text, op] : kOps) {
      if (symbol && symbol->text == text) return pos_ = symbol->end, op;
    }
    Malformed();
  }

  Literal ParseValue() {
    if (AtEnd()) Malformed();
    Literal lit;
    const char c = Peek();
    if (c == '\'' || c == '"') {
      lit.kind = Literal::Kind::Text;
      std::deque<std::string> undoubled;
      lit.text = std::string(Take(sql::ScanQuoted(s_, pos_, undoubled)));
      return lit;
    }
    if (c == '#') {
      const auto date = ParseDate(Take(sql::ScanDate(s_, pos_)));
      if (!date) Malformed();
      lit.kind = Literal::Kind::Date;
      lit.date = *date;
      return lit;
    }
    if (TakeKeyword("NULL")) return lit;
    const bool isTrue = TakeKeyword("TRUE");
    if (isTrue || TakeKeyword("FALSE")) {
      lit.kind = Literal::Kind::Number;
      lit.number = isTrue ? -1 : 0;
      lit.exact = Currency{isTrue ? -10000 : 0};
      return lit;
    }
    return ParseNumberOrDate();
  }

  // A word of digits and punctuation: a date when it has a '/' or the shape
  // yyyy-mm-dd (then a following time of day belongs to it), else a number.
  Literal ParseNumberOrDate() {
    const std::size_t start = pos_;
    while (!AtEnd() && !IsBlank(s_[pos_]) && s_[pos_] != '(' && s_[pos_] != ')') ++pos_;
    std::string word(s_.substr(start, pos_ - start));
    if (word.empty()) Malformed();
    Literal lit;
    const bool isoDate = word.size() == 10 && word[4] == '-' && word[7] == '-';
    if (word.find('/') != std::string::npos || isoDate) {
      TakeTimeOfDay(word);
      const auto date = ParseDate(word);
      if (!date) Malformed();
      lit.kind = Literal::Kind::Date;
      lit.date = *date;
      return lit;
    }
    std::string number = word;
    std::size_t dollar = number.find('$');
    if (dollar != std::string::npos) {
      // $12.50 or -$12.50
      if (dollar > 1 || (dollar == 1 && number[0] != '-' && number[0] != '+')) Malformed();
      number.erase(dollar, 1);
    }
    if (number.empty() || !(std::isdigit(static_cast<unsigned char>(number.back())) || number.back() == '.')) {
      Malformed();
    }
    for (char ch : number) {
      if (!(std::isdigit(static_cast<unsigned char>(ch)) || ch == '.' || ch == '-' ||
            ch == '+' || ch == 'e' || ch == 'E')) {
        Malformed();
      }
    }
    errno = 0;
    char* end = nullptr;
    lit.number = std::strtod(number.c_str(), &end);
    if (end != number.c_str() + number.size() || errno == ERANGE || !std::isfinite(lit.number)) {
      Malformed();
    }
    lit.kind = Literal::Kind::Number;
    // Exact only when nothing beyond the fourth decimal would be rounded away.
    const std::size_t point = number.find('.');
    if (point == std::string::npos ||
        number.find_first_not_of('0', point + 5) == std::string::npos) {
      lit.exact = ParseCurrency(number);
    }
    return lit;
  }

  // After a bare date: " 14:05", " 14:05:00", optionally " AM" / " PM".
  void TakeTimeOfDay(std::string& word) {
    std::size_t p = pos_;
    while (p < s_.size() && IsBlank(s_[p])) ++p;
    std::size_t q = p;
    while (q < s_.size() && !IsBlank(s_[q]) && s_[q] != '(' && s_[q] != ')') ++q;
    const std::string_view time = s_.substr(p, q - p);
    if (time.empty() || time.find(':') == std::string_view::npos ||
        !std::isdigit(static_cast<unsigned char>(time.front()))) {
      return;
    }
    word += ' ';
    word += time;
    pos_ = q;
    const std::size_t save = pos_;
    SkipBlanks();
    if (TakeKeyword("AM")) {
      word += " AM";
    } else if (TakeKeyword("PM")) {
      word += " PM";
    } else {
      pos_ = save;
    }
  }

  std::string_view s_;
  std::size_t pos_ = 0;
};

// Numeric view of a field value: Long, Boolean (-1/0), Currency exactly when
// that is possible, Double otherwise.
struct Number {
  double approx = 0;
  std::optional<std::int64_t> tenThousandths;
};

std::optional<Number> NumberOf(const Value& v) {
  switch (v.kind()) {
    case Value::Kind::Long:
      return Number{static_cast<double>(v.AsLong()), std::int64_t{v.AsLong()} * 10000};
    case Value::Kind::Boolean:
      return Number{v.AsBoolean() ? -1.0 : 0.0, v.AsBoolean() ? -10000 : 0};
    case Value::Kind::Currency:
      return Number{static_cast<double>(v.AsCurrency().tenThousandths) / 10000.0,
                    v.AsCurrency().tenThousandths};
    case Value::Kind::Double:
      return Number{v.AsDouble(), std::nullopt};
    default:
      return std::nullopt;
  }
}

template <typename T>
int Compare3(const T& a, const T& b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

bool Holds(FilterOp op, int cmp) {
  switch (op) {
    case FilterOp::Eq: return cmp == 0;
    case FilterOp::Ne: return cmp != 0;
    case FilterOp::Lt: return cmp < 0;
    case FilterOp::Gt: return cmp > 0;
    case FilterOp::Le: return cmp <= 0;
    case FilterOp::Ge: return cmp >= 0;
    case FilterOp::Like: break;
  }
  return false;
}

bool ClauseMatches(const Clause& clause, const Value& field) {
  const Literal& lit = clause.value;
  if (lit.kind == Literal::Kind::Null) {
    return clause.op == FilterOp::Eq ? field.IsNull() : !field.IsNull();
  }
  if (field.IsNull()) return false;

  if (clause.op == FilterOp::Like) {
    if (field.kind() != Value::Kind::Text) TypeMismatch();
    return LikeMatch(field.AsText(), lit.text);
  }

  switch (lit.kind) {
    case Literal::Kind::Number: {
      const auto n = NumberOf(field);
      if (!n) TypeMismatch();
      if (n->tenThousandths && lit.exact) {
        return Holds(clause.op, Compare3(*n->tenThousandths, lit.exact->tenThousandths));
      }
      if (n->tenThousandths) {
        // An exact field against a literal beyond currency's reach or
        // precision: long double holds both without loss of order.
        const long double a = static_cast<long double>(*n->tenThousandths) / 10000.0L;
        return Holds(clause.op, Compare3(a, static_cast<long double>(lit.number)));
      }
      return Holds(clause.op, Compare3(n->approx, lit.number));
    }
    case Literal::Kind::Date: {
      std::optional<DateTime> d;
      if (field.kind() == Value::Kind::Date) d = field.AsDate();
      if (field.kind() == Value::Kind::Text) d = ParseDate(field.AsText());
      if (!d) TypeMismatch();
      return Holds(clause.op, Compare3(*d, lit.date));
    }
    case Literal::Kind::Text: {
      if (field.kind() == Value::Kind::Text) {
        return Holds(clause.op, CompareFolded(field.AsText(), lit.text));
      }
      if (field.kind() == Value::Kind::Date) {
        const auto d = ParseDate(lit.text);
        if (!d) TypeMismatch();
        return Holds(clause.op, Compare3(field.AsDate(), *d));
      }
      TypeMismatch();
    }
    case Literal::Kind::Null: break;
  }
  return false;
}

}  // namespace

class FilterExpression {
 public:
  std::vector<Clause> clauses;
  std::vector<Joiner> joiners;  // joiners[i] sits between clause i and i + 1
  std::vector<std::string> fields;
};

std::shared_ptr<const FilterExpression> ParseFilter(std::string_view criteria) {
  auto expr = std::make_shared<FilterExpression>();
  Parser(criteria).Parse(expr->clauses, expr->joiners);
  for (const Clause& c : expr->clauses) expr->fields.push_back(c.field);
  return expr;
}

const std::vector<std::string>& FilterFieldNames(const FilterExpression& filter) {
  return filter.fields;
}

bool FilterMatches(const FilterExpression& filter, const FilterFieldLookup& fieldOf) {
  bool result = false;
  // Every clause is evaluated, so an unknown field or a mismatch is reported
  // on every row, not only on rows where earlier clauses leave it undecided.
  for (std::size_t i = 0; i < filter.clauses.size(); ++i) {
    const Clause& clause = filter.clauses[i];
    const std::optional<Value> field = fieldOf(clause.field);
    if (!field) UnknownField();
    const bool m = ClauseMatches(clause, *field);
    if (i == 0) {
      result = m;
    } else if (filter.joiners[i - 1] == Joiner::And) {
      result = result && m;
    } else {
      result = result || m;
    }
  }
  return result;
}

}  // namespace jet
