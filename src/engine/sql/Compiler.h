#pragma once
// Translates a data statement (SELECT, INSERT, UPDATE, DELETE) into the
// storage library's SQL with every literal as a parameter, checking names
// and types against the schema. The plan depends only on the statement's
// shape, so one plan serves every text of that shape.
#include <optional>
#include <string>
#include <vector>

#include "sql/Ast.h"
#include "sql/Lexer.h"
#include "storage/Schema.h"

namespace jet::sql {

// How one literal of the text is bound: converted for a column of `target`,
// or in its own type when there is none.
struct Param {
  int literal = -1;  // index among the literals, or
  int value = -1;    // with Plan::byValue: index among the values (null, True, False too)
  bool negative = false;
  std::optional<JetType> target;
};

struct ResultColumn {
  std::string name;
  std::string folded;
  ExprType type = ExprType::Null;
  int tableColumn = -1;  // the table's column it reads plainly, or -1
};

struct Plan {
  StatementKind kind = StatementKind::Unknown;
  std::string sql;
  std::vector<Param> params;          // parameter i+1
  std::vector<ResultColumn> columns;  // SELECT only
  std::string table;
  bool rowidLast = false;  // SELECT: a last, hidden column holds the row's id
  // INSERT of plain values only: every value, null, True and False
  // included, is a parameter, so the plan serves every text of the same
  // value shape (Lexed::valueShape).
  bool byValue = false;
};

// Throws Failure for unknown names, type mismatches and refused forms.
Plan Compile(const Statement& statement, const Lexed& lexed, Schema& schema);

// The function and collation names the translated SQL uses; they are
// registered on the engine's own connection only, never used in the schema.
inline constexpr char kCollation[] = "jet_nocase";
inline constexpr char kLikeFunction[] = "jet_like";
inline constexpr char kTextFunction[] = "jet_text";
inline constexpr char kConcatFunction[] = "jet_cat";

}  // namespace jet::sql
