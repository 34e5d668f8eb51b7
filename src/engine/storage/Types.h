#pragma once
// The engine's column types and the shape of a table as the file holds it.
//
// Storage in the file, per type (declared type in the schema, then what a
// value is stored as):
//   COUNTER   INTEGER PRIMARY KEY AUTOINCREMENT   whole number, never reused
//   LONG      LONG       integer, -2147483648 .. 2147483647 (INTEGER too)
//   NUMBER    DOUBLE     real
//   TEXT(n)   TEXT(n)    text of at most n characters
//   DATE      DATETIME   text 'YYYY-MM-DD HH:MM:SS'
//   YESNO     YESNO      integer -1 (True) or 0 (False); never NULL
//   CURRENCY  CURRENCY   integer, ten-thousandths (12.5 is 125000)
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

enum class JetType { Counter, Long, Double, Currency, Date, Boolean, Text };

// The type an expression yields; Null is the bare null literal.
enum class ExprType { Null, Long, Double, Currency, Date, Boolean, Text };

constexpr ExprType ExprTypeOf(JetType t) {
  switch (t) {
    case JetType::Counter:
    case JetType::Long: return ExprType::Long;
    case JetType::Double: return ExprType::Double;
    case JetType::Currency: return ExprType::Currency;
    case JetType::Date: return ExprType::Date;
    case JetType::Boolean: return ExprType::Boolean;
    case JetType::Text: return ExprType::Text;
  }
  return ExprType::Null;
}

constexpr bool IsNumeric(ExprType t) {
  return t == ExprType::Long || t == ExprType::Double || t == ExprType::Currency ||
         t == ExprType::Boolean;
}

inline constexpr int kDefaultTextSize = 255;

struct ColumnInfo {
  std::string name;
  std::string folded;
  JetType type = JetType::Text;
  int size = 0;  // characters, text only
  bool notNull = false;
  bool primaryKey = false;
};

struct TableInfo {
  std::string name;
  std::vector<ColumnInfo> columns;
  // Index of the column of that name (case-blind), or -1.
  int Find(std::string_view columnName) const;
};

// The declared type written into the schema for a column type.
std::string DeclaredType(JetType type, int size);
// Reads a declared type back; types written by other programs map to the
// nearest engine type.
JetType TypeFromDeclared(std::string_view declared, bool primaryKey, int& size);

}  // namespace jet
