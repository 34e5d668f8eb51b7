#pragma once
// The statements of the dialect, as the parser reads them.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "storage/Types.h"

namespace jet::sql {

enum class StatementKind { Select, Insert, Update, Delete, CreateTable, AlterTable, DropTable, Unknown };

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

struct Expr {
  enum class Kind { Literal, Null, Boolean, Column, Negate, Not, Binary, IsNull, Like, Aggregate };
  Kind kind = Kind::Null;
  int literal = -1;        // Literal: index among the statement's literals
  bool negative = false;   // Literal: a minus sign written before it
  bool flag = false;       // Boolean: its value; IsNull, Like: negated (IS NOT, NOT LIKE)
  std::string qualifier;   // Column: the table name written before it, if any
  std::string name;        // Column: the column; Aggregate: COUNT SUM AVG MIN MAX
  std::string op;          // Binary: = <> < > <= >= AND OR + - * / \ MOD &
  ExprPtr left, right;     // operands; Aggregate: the argument (none for COUNT(*))
  std::uint32_t firstToken = 0, lastToken = 0;
  int depth = 0;  // operators between this node and its deepest leaf
};

struct ColumnSpec {
  std::string name;
  JetType type = JetType::Text;
  int size = 0;
  bool primaryKey = false;
  bool unique = false;
  enum class Nulls { Unspecified, Null, NotNull } nulls = Nulls::Unspecified;
  ExprPtr defaultValue;  // a literal, True/False or Null
};

struct CreateTable {
  std::string table;
  std::vector<ColumnSpec> columns;
};

struct AlterAdd {
  std::string table;
  ColumnSpec column;
};

struct DropTable {
  std::string table;
};

struct Insert {
  std::string table;
  std::vector<std::string> columns;  // empty: every column in order
  std::vector<ExprPtr> values;
};

struct Update {
  std::string table;
  std::vector<std::pair<std::string, ExprPtr>> sets;
  ExprPtr where;
};

struct Delete {
  std::string table;
  ExprPtr where;
};

struct SelectItem {
  ExprPtr expr;           // null for * and table.*
  std::string alias;
  std::string starTable;  // the table of table.*
};

struct OrderItem {
  ExprPtr expr;
  bool descending = false;
};

struct Select {
  std::vector<SelectItem> items;
  std::string table;
  ExprPtr where;
  std::vector<OrderItem> order;
};

struct Statement {
  StatementKind kind = StatementKind::Unknown;
  std::variant<std::monostate, Select, Insert, Update, Delete, CreateTable, AlterAdd, DropTable> body;
};

}  // namespace jet::sql
