#include "sql/Compiler.h"

#include <fmt/format.h>

#include <algorithm>

#include "Failure.h"
#include "sql/Parser.h"
#include "storage/Codec.h"
#include "storage/Fold.h"
#include "storage/Sqlite.h"

namespace jet::sql {

namespace {

struct Compiled {
  std::string sql;
  ExprType type = ExprType::Null;
  bool predicate = false;   // yields the storage library's 1/0/NULL, not a value
  bool aggregate = false;   // contains an aggregate
  bool bareColumn = false;  // reads a column outside any aggregate
  int column = -1;          // a plain column reference: its index
};

ExprType NaturalType(TokenKind kind) {
  switch (kind) {
    case TokenKind::Integer: return ExprType::Long;
    case TokenKind::Decimal: return ExprType::Double;
    case TokenKind::Date: return ExprType::Date;
    default: return ExprType::Text;
  }
}

class Compiler {
 public:
  Compiler(const Lexed& lexed, Schema& schema, StatementKind kind)
      : lx_(lexed), schema_(schema) {
    plan_.kind = kind;
  }

  Plan Run(const Statement& st) {
    std::visit(
        [this](const auto& body) {
          using T = std::decay_t<decltype(body)>;
          if constexpr (std::is_same_v<T, Select>) CompileSelect(body);
          else if constexpr (std::is_same_v<T, Insert>) CompileInsert(body);
          else if constexpr (std::is_same_v<T, Update>) CompileUpdate(body);
          else if constexpr (std::is_same_v<T, Delete>) CompileDelete(body);
          else Fail(ErrorCode::InvalidStatement);
        },
        st.body);
    return std::move(plan_);
  }

 private:
  // ---- statements ----

  void UseTable(const std::string& name) {
    table_ = &schema_.Get(name);
    plan_.table = table_->name;
  }

  void CompileSelect(const Select& s) {
    UseTable(s.table);
    std::string items;
    int unnamed = 0;
    bool anyAggregate = false;
    const Expr* bare = nullptr;
    auto add = [&](const std::string& sql, ResultColumn column) {
      if (!items.empty()) items += ", ";
      items += sql;
      column.folded = Fold(column.name);
      plan_.columns.push_back(std::move(column));
    };
    for (const SelectItem& item : s.items) {
      if (!item.expr) {
        if (!item.starTable.empty() && Fold(item.starTable) != Fold(table_->name))
          Fail(ErrorCode::TableNotFound, {item.starTable});
        for (std::size_t i = 0; i < table_->columns.size(); ++i) {
          const ColumnInfo& c = table_->columns[i];
          add(QuoteName(c.name), {c.name, "", ExprTypeOf(c.type), static_cast<int>(i)});
        }
        starSeen_ = true;
        continue;
      }
      Compiled c = AsValue(Compile(*item.expr, std::nullopt));
      anyAggregate = anyAggregate || c.aggregate;
      if (c.bareColumn && bare == nullptr) bare = item.expr.get();
      std::string name = item.alias;
      if (name.empty()) {
        name = c.column >= 0 ? table_->columns[static_cast<std::size_t>(c.column)].name
                             : fmt::format("Expr{}", 1000 + unnamed++);
      }
      add(c.sql, {name, "", c.type, c.column});
    }
    if (anyAggregate && (starSeen_ || bare != nullptr)) {
      const std::string text =
          bare != nullptr ? MaskedText(lx_, bare->firstToken, bare->lastToken) : "*";
      Fail(ErrorCode::NotAggregated, {text});
    }
    std::string sql = "SELECT " + items;
    bool rowidFree = table_->Find("rowid") < 0 && table_->Find("_rowid_") < 0 &&
                     table_->Find("oid") < 0;
    if (!anyAggregate && rowidFree) {
      sql += ", rowid";
      plan_.rowidLast = true;
    }
    sql += " FROM " + QuoteName(table_->name);
    AppendWhere(sql, s.where.get());
    if (!s.order.empty()) {
      sql += " ORDER BY ";
      for (std::size_t i = 0; i < s.order.size(); ++i) {
        const OrderItem& o = s.order[i];
        Compiled c = AsValue(Compile(*o.expr, std::nullopt));
        if (anyAggregate && c.bareColumn)
          Fail(ErrorCode::NotAggregated, {MaskedText(lx_, o.expr->firstToken, o.expr->lastToken)});
        if (i > 0) sql += ", ";
        sql += "(" + c.sql + ")";
        if (c.type == ExprType::Text) sql += std::string(" COLLATE ") + kCollation;
        if (o.descending) sql += " DESC";
      }
    }
    plan_.sql = std::move(sql);
  }

  void CompileInsert(const Insert& s) {
    UseTable(s.table);
    std::vector<int> targets;
    if (s.columns.empty()) {
      for (std::size_t i = 0; i < table_->columns.size(); ++i) targets.push_back(static_cast<int>(i));
    } else {
      for (const std::string& name : s.columns) {
        const int index = table_->Find(name);
        if (index < 0) Fail(ErrorCode::UnknownInsertField, {name});
        for (int t : targets) {
          if (t == index) Fail(ErrorCode::SyntaxInsert);
        }
        targets.push_back(index);
      }
    }
    if (targets.size() != s.values.size()) Fail(ErrorCode::ValueCountMismatch);
    plan_.byValue = std::all_of(s.values.begin(), s.values.end(), [](const ExprPtr& v) {
      return v->kind == Expr::Kind::Literal || v->kind == Expr::Kind::Null ||
             v->kind == Expr::Kind::Boolean;
    });
    std::string names, values;
    for (std::size_t i = 0; i < targets.size(); ++i) {
      const ColumnInfo& column = table_->columns[static_cast<std::size_t>(targets[i])];
      if (i > 0) {
        names += ", ";
        values += ", ";
      }
      names += QuoteName(column.name);
      values += plan_.byValue ? ValueParameter(*s.values[i], column.type)
                              : Assigned(*s.values[i], column.type);
    }
    plan_.sql = "INSERT INTO " + QuoteName(table_->name) + " (" + names + ") VALUES (" + values + ")";
  }

  void CompileUpdate(const Update& s) {
    UseTable(s.table);
    std::string sql = "UPDATE " + QuoteName(table_->name) + " SET ";
    for (std::size_t i = 0; i < s.sets.size(); ++i) {
      const int index = table_->Find(s.sets[i].first);
      if (index < 0) Fail(ErrorCode::NoSuchField, {s.sets[i].first, table_->name});
      const ColumnInfo& column = table_->columns[static_cast<std::size_t>(index)];
      if (i > 0) sql += ", ";
      sql += QuoteName(column.name) + " = " + Assigned(*s.sets[i].second, column.type);
    }
    AppendWhere(sql, s.where.get());
    plan_.sql = std::move(sql);
  }

  void CompileDelete(const Delete& s) {
    UseTable(s.table);
    std::string sql = "DELETE FROM " + QuoteName(table_->name);
    AppendWhere(sql, s.where.get());
    plan_.sql = std::move(sql);
  }

  void AppendWhere(std::string& sql, const Expr* where) {
    if (where == nullptr) return;
    inWhere_ = true;
    Compiled c = Compile(*where, std::nullopt);
    inWhere_ = false;
    sql += " WHERE " + AsPredicate(c).sql;
  }

  // The SQL of a value stored into a column of `target`.
  std::string Assigned(const Expr& e, JetType target) {
    if (e.kind == Expr::Kind::Literal) return Parameter(e, target);
    if (e.kind == Expr::Kind::Null) return "NULL";
    if (e.kind == Expr::Kind::Boolean) {
      return StoredSql(ToStored(Value::Boolean(e.flag), target));
    }
    Compiled c = AsValue(Compile(e, std::nullopt));
    if (c.aggregate) Fail(ErrorCode::Unsupported, {"an aggregate outside SELECT"});
    return Convert(c, target);
  }

  // A plain value (literal, null, True, False) bound by its place among
  // the text's values, whatever its kind.
  std::string ValueParameter(const Expr& e, JetType target) {
    const std::uint32_t token =
        e.kind == Expr::Kind::Literal ? lx_.literals[static_cast<std::size_t>(e.literal)]
                                      : e.firstToken;
    const auto at = std::lower_bound(lx_.values.begin(), lx_.values.end(), token);
    Param p;
    p.value = static_cast<int>(at - lx_.values.begin());
    p.negative = e.negative;
    p.target = target;
    plan_.params.push_back(p);
    return "?" + std::to_string(plan_.params.size());
  }

  // ---- expressions ----

  std::string Parameter(const Expr& literal, std::optional<JetType> target) {
    Param p;
    p.literal = literal.literal;
    p.negative = literal.negative;
    p.target = target;
    plan_.params.push_back(p);
    return "?" + std::to_string(plan_.params.size());
  }

  TokenKind LiteralKind(const Expr& e) const {
    return lx_.tokens[lx_.literals[static_cast<std::size_t>(e.literal)]].kind;
  }

  // A literal compared with (or combined with) a value of type `other`.
  Compiled LiteralAgainst(const Expr& e, std::optional<ExprType> other) {
    const TokenKind kind = LiteralKind(e);
    const ExprType natural = NaturalType(kind);
    Compiled c;
    if (!other || *other == ExprType::Null) {
      c.type = natural;
      c.sql = Parameter(e, std::nullopt);
      return c;
    }
    const ExprType t = *other;
    const bool number = kind == TokenKind::Integer || kind == TokenKind::Decimal;
    if (t == ExprType::Text) {
      if (kind != TokenKind::String) Fail(ErrorCode::TypeMismatch);
      c.type = ExprType::Text;
      c.sql = Parameter(e, std::nullopt);
    } else if (t == ExprType::Date) {
      if (kind != TokenKind::Date && kind != TokenKind::String) Fail(ErrorCode::TypeMismatch);
      c.type = ExprType::Date;
      c.sql = Parameter(e, JetType::Date);
    } else if (t == ExprType::Currency) {
      if (!number) Fail(ErrorCode::TypeMismatch);
      c.type = ExprType::Currency;
      c.sql = Parameter(e, JetType::Currency);
    } else {
      if (!number) Fail(ErrorCode::TypeMismatch);
      c.type = natural;
      c.sql = Parameter(e, std::nullopt);
    }
    return c;
  }

  Compiled Compile(const Expr& e, std::optional<ExprType> context) {
    switch (e.kind) {
      case Expr::Kind::Literal: return LiteralAgainst(e, context);
      case Expr::Kind::Null: return Compiled{"NULL", ExprType::Null};
      case Expr::Kind::Boolean: return Compiled{e.flag ? "-1" : "0", ExprType::Boolean};
      case Expr::Kind::Column: return ColumnRef(e);
      case Expr::Kind::Negate: {
        Compiled c = AsValue(Compile(*e.left, context));
        if (c.type == ExprType::Null) return c;
        if (!IsNumeric(c.type)) Fail(ErrorCode::TypeMismatch);
        c.sql = "(-(" + c.sql + "))";
        if (c.type == ExprType::Boolean) c.type = ExprType::Long;
        c.column = -1;
        return c;
      }
      case Expr::Kind::Not: {
        Compiled c = AsPredicate(Compile(*e.left, std::nullopt));
        c.sql = "(NOT " + c.sql + ")";
        return c;
      }
      case Expr::Kind::IsNull: {
        Compiled c = AsValue(Compile(*e.left, std::nullopt));
        Compiled r = Derived(c, c);
        r.sql = "((" + c.sql + ")" + (e.flag ? " IS NOT NULL)" : " IS NULL)");
        r.predicate = true;
        r.type = ExprType::Boolean;
        return r;
      }
      case Expr::Kind::Like: return Like(e);
      case Expr::Kind::Aggregate: return Aggregate(e);
      case Expr::Kind::Binary: break;
    }
    const std::string& op = e.op;
    if (op == "AND" || op == "OR") {
      Compiled l = AsPredicate(Compile(*e.left, std::nullopt));
      Compiled r = AsPredicate(Compile(*e.right, std::nullopt));
      Compiled c = Derived(l, r);
      c.sql = "(" + l.sql + " " + op + " " + r.sql + ")";
      c.predicate = true;
      c.type = ExprType::Boolean;
      return c;
    }
    auto [l, r] = Operands(e);
    if (op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=") {
      return Comparison(op, l, r);
    }
    if (op == "&") {
      Compiled c = Derived(l, r);
      c.sql = fmt::format("{}(({}), {}, ({}), {})", kConcatFunction, l.sql, static_cast<int>(l.type),
                          r.sql, static_cast<int>(r.type));
      c.type = ExprType::Text;
      return c;
    }
    return Arithmetic(op, l, r);
  }

  // Both operands of a binary operator; a literal takes its type from the
  // other side.
  std::pair<Compiled, Compiled> Operands(const Expr& e) {
    const bool leftLiteral = e.left->kind == Expr::Kind::Literal;
    const bool rightLiteral = e.right->kind == Expr::Kind::Literal;
    const bool contextual = e.op != "&";
    if (leftLiteral && !rightLiteral && contextual) {
      Compiled r = AsValue(Compile(*e.right, std::nullopt));
      Compiled l = Compile(*e.left, r.type);
      return {std::move(l), std::move(r)};
    }
    Compiled l = AsValue(Compile(*e.left, std::nullopt));
    Compiled r = AsValue(Compile(*e.right, contextual ? std::optional<ExprType>(l.type) : std::nullopt));
    return {std::move(l), std::move(r)};
  }

  static Compiled Derived(const Compiled& a, const Compiled& b) {
    Compiled c;
    c.aggregate = a.aggregate || b.aggregate;
    c.bareColumn = a.bareColumn || b.bareColumn;
    return c;
  }

  Compiled ColumnRef(const Expr& e) {
    if (!e.qualifier.empty() && Fold(e.qualifier) != Fold(table_->name))
      Fail(ErrorCode::UnknownField);
    const int index = table_->Find(e.name);
    if (index < 0) Fail(ErrorCode::UnknownField);
    const ColumnInfo& column = table_->columns[static_cast<std::size_t>(index)];
    Compiled c;
    c.sql = QuoteName(column.name);
    c.type = ExprTypeOf(column.type);
    c.bareColumn = true;
    c.column = index;
    return c;
  }

  Compiled Comparison(const std::string& op, const Compiled& l, const Compiled& r) {
    Compiled c = Derived(l, r);
    c.predicate = true;
    c.type = ExprType::Boolean;
    if (l.type == ExprType::Null || r.type == ExprType::Null) {
      c.sql = "NULL";
      return c;
    }
    std::string a = l.sql, b = r.sql;
    const bool text = l.type == ExprType::Text && r.type == ExprType::Text;
    if (text) {
      c.sql = "((" + a + ") COLLATE " + kCollation + " " + op + " (" + b + "))";
      return c;
    }
    if (l.type == ExprType::Date || r.type == ExprType::Date || l.type == ExprType::Text ||
        r.type == ExprType::Text) {
      if (l.type != r.type) Fail(ErrorCode::TypeMismatch);
    } else if (l.type == ExprType::Currency && r.type != ExprType::Currency) {
      b = "(" + b + ") * 10000";
    } else if (r.type == ExprType::Currency && l.type != ExprType::Currency) {
      a = "(" + a + ") * 10000";
    }
    c.sql = "((" + a + ") " + op + " (" + b + "))";
    return c;
  }

  Compiled Arithmetic(const std::string& op, const Compiled& l, const Compiled& r) {
    Compiled c = Derived(l, r);
    if (l.type == ExprType::Null || r.type == ExprType::Null) {
      c.sql = "NULL";
      c.type = ExprType::Null;
      return c;
    }
    if (op == "+" && l.type == ExprType::Text && r.type == ExprType::Text) {
      c.sql = "((" + l.sql + ") || (" + r.sql + "))";
      c.type = ExprType::Text;
      return c;
    }
    if (!IsNumeric(l.type) || !IsNumeric(r.type)) Fail(ErrorCode::TypeMismatch);
    const bool lc = l.type == ExprType::Currency, rc = r.type == ExprType::Currency;
    const bool anyDouble = l.type == ExprType::Double || r.type == ExprType::Double;
    auto asReal = [](const Compiled& x) {
      return x.type == ExprType::Currency ? "((" + x.sql + ") / 10000.0)" : "(" + x.sql + ")";
    };
    if ((op == "+" || op == "-") && (lc || rc) && !anyDouble) {
      const std::string a = lc ? "(" + l.sql + ")" : "((" + l.sql + ") * 10000)";
      const std::string b = rc ? "(" + r.sql + ")" : "((" + r.sql + ") * 10000)";
      c.sql = "(" + a + " " + op + " " + b + ")";
      c.type = ExprType::Currency;
    } else if (op == "*" && (lc != rc) && !anyDouble) {
      c.sql = "((" + l.sql + ") * (" + r.sql + "))";
      c.type = ExprType::Currency;
    } else if (op == "+" || op == "-" || op == "*") {
      c.sql = "(" + asReal(l) + " " + op + " " + asReal(r) + ")";
      c.type = (anyDouble || lc || rc) ? ExprType::Double : ExprType::Long;
    } else if (op == "/") {
      c.sql = "(CAST(" + asReal(l) + " AS REAL) / " + asReal(r) + ")";
      c.type = ExprType::Double;
    } else {  // \ and MOD work on whole numbers
      auto whole = [&](const Compiled& x) { return "CAST(round(" + asReal(x) + ") AS INTEGER)"; };
      c.sql = "(" + whole(l) + (op == "MOD" ? " % " : " / ") + whole(r) + ")";
      c.type = ExprType::Long;
    }
    return c;
  }

  Compiled Like(const Expr& e) {
    Compiled l = AsValue(Compile(*e.left, std::nullopt));
    Compiled p = AsValue(Compile(*e.right, ExprType::Text));
    if (p.type != ExprType::Text && p.type != ExprType::Null) Fail(ErrorCode::TypeMismatch);
    Compiled c = Derived(l, p);
    const std::string text = l.type == ExprType::Text ? l.sql : TextOf(l);
    c.sql = std::string("(") + (e.flag ? "NOT " : "") + kLikeFunction + "((" + text + "), (" +
            p.sql + ")))";
    c.predicate = true;
    c.type = ExprType::Boolean;
    return c;
  }

  Compiled Aggregate(const Expr& e) {
    if (inWhere_) Fail(ErrorCode::AggregateInWhere, {MaskedText(lx_, e.firstToken, e.lastToken)});
    if (inAggregate_) Fail(ErrorCode::Unsupported, {"an aggregate inside an aggregate"});
    Compiled c;
    c.aggregate = true;
    const std::string& f = e.name;
    if (!e.left) {
      c.sql = "count(*)";
      c.type = ExprType::Long;
      return c;
    }
    inAggregate_ = true;
    Compiled a = AsValue(Compile(*e.left, std::nullopt));
    inAggregate_ = false;
    const std::string arg = "(" + a.sql + ")";
    if (f == "COUNT") {
      c.sql = "count" + arg;
      c.type = ExprType::Long;
    } else if (f == "MIN" || f == "MAX") {
      const std::string name = f == "MIN" ? "min" : "max";
      c.sql = a.type == ExprType::Text ? name + "(" + arg + " COLLATE " + kCollation + ")"
                                       : name + arg;
      c.type = a.type;
    } else if (a.type == ExprType::Null) {
      c.sql = "NULL";
      c.type = ExprType::Null;
    } else if (!IsNumeric(a.type)) {
      Fail(ErrorCode::TypeMismatch);
    } else if (f == "SUM") {
      c.sql = "sum" + arg;
      c.type = a.type == ExprType::Boolean ? ExprType::Long : a.type;
    } else {  // AVG
      if (a.type == ExprType::Currency) {
        c.sql = "CAST(round(avg" + arg + ") AS INTEGER)";
        c.type = ExprType::Currency;
      } else {
        c.sql = "avg" + arg;
        c.type = ExprType::Double;
      }
    }
    return c;
  }

  // ---- conversions ----

  static Compiled AsValue(Compiled c) {
    if (c.predicate) {
      c.sql = "(-(" + c.sql + "))";
      c.predicate = false;
      c.type = ExprType::Boolean;
      c.column = -1;
    }
    return c;
  }

  static Compiled AsPredicate(Compiled c) {
    if (c.predicate) return c;
    if (c.type == ExprType::Null) {
      c.sql = "NULL";
    } else if (IsNumeric(c.type)) {
      c.sql = "((" + c.sql + ") <> 0)";
    } else {
      Fail(ErrorCode::TypeMismatch);
    }
    c.predicate = true;
    c.column = -1;
    return c;
  }

  static std::string TextOf(const Compiled& c) {
    return fmt::format("{}(({}), {})", kTextFunction, c.sql, static_cast<int>(c.type));
  }

  static std::string Convert(const Compiled& c, JetType target) {
    const ExprType from = c.type;
    const ExprType to = ExprTypeOf(target);
    if (from == ExprType::Null) return "NULL";
    if (from == to) return c.sql;
    const std::string x = "(" + c.sql + ")";
    if (to == ExprType::Text) return TextOf(c);
    if (!IsNumeric(from) || !IsNumeric(to)) Fail(ErrorCode::TypeMismatch);
    const std::string real = from == ExprType::Currency ? "(" + x + " / 10000.0)" : x;
    switch (to) {
      case ExprType::Boolean:
        return "(CASE WHEN " + x + " IS NULL THEN NULL WHEN " + x + " <> 0 THEN -1 ELSE 0 END)";
      case ExprType::Double: return real;
      case ExprType::Currency:
        return from == ExprType::Double ? "CAST(round(" + x + " * 10000) AS INTEGER)"
                                        : "(" + x + " * 10000)";
      default:  // Long
        return from == ExprType::Boolean ? x : "CAST(round(" + real + ") AS INTEGER)";
    }
  }

  const Lexed& lx_;
  Schema& schema_;
  Plan plan_;
  const TableInfo* table_ = nullptr;
  bool inWhere_ = false;
  bool inAggregate_ = false;
  bool starSeen_ = false;
};

}  // namespace

Plan Compile(const Statement& statement, const Lexed& lexed, Schema& schema) {
  return Compiler(lexed, schema, statement.kind).Run(statement);
}

}  // namespace jet::sql
