#pragma once
// The V3.1 practice tables that the upgrade steps read: Person, Condition,
// event and the claim table conv_hcfa_info, each defined once, as data.
// The fixture generator and the tests build legacy databases from these
// definitions, so that both stand on the same shape.
//
// Every function raises jet::Error when the engine refuses a statement, and
// std::invalid_argument for a table or column name the definitions lack.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "jet/Value.h"

namespace jet {
class Connection;
}

namespace calmora::legacy {

// The type of a legacy column as the V3.1 release declared it.
enum class ColumnKind {
  Counter,   // COUNTER PRIMARY KEY
  KeyLong,   // LONG PRIMARY KEY
  Long,      // LONG
  Integer,   // INTEGER (32-bit in this dialect; legacy unit counts)
  Text,      // TEXT(width)
  Date,      // DATE, may hold NULL
  YesNo,     // YESNO
  Currency,  // CURRENCY
};

struct ColumnDef {
  std::string name;  // as the V3.1 release spelled it
  ColumnKind kind;
  int width = 0;     // characters, text columns only
};

struct TableDef {
  std::string name;
  std::vector<ColumnDef> columns;  // in the order of the table
};

// Person, Condition, event, conv_hcfa_info, in that order.
const std::vector<TableDef>& LegacyTables();
// The definition of one of them, by name without regard to case.
const TableDef& LegacyTable(std::string_view name);

// "CREATE TABLE name (col TYPE, ...)" for a definition.
std::string CreateTableSql(const TableDef& table);
// Creates the four tables on an open connection (no rows).
void CreateLegacySchema(jet::Connection& connection);

// Column name (any case) to value. Columns left out take the engine's
// default (NULL, or the next number of a COUNTER).
struct NameLess {
  bool operator()(const std::string& a, const std::string& b) const;
};
using Row = std::map<std::string, jet::Value, NameLess>;

// A value as an SQL literal: null, 'text' with quotes doubled, #date#,
// or the bare default text form of numbers and yes/no values.
std::string SqlLiteral(const jet::Value& value);
// "INSERT INTO table (c1, c2, ...) VALUES (v1, v2, ...)"; every column of
// the row must belong to the table.
std::string InsertSql(std::string_view table, const Row& row);
void InsertRow(jet::Connection& connection, std::string_view table, const Row& row);

// Convenience for the three kinds of row the fixture and tests write.
inline void InsertPerson(jet::Connection& c, const Row& row) { InsertRow(c, "Person", row); }
inline void InsertEvent(jet::Connection& c, const Row& row) { InsertRow(c, "event", row); }
inline void InsertClaim(jet::Connection& c, const Row& row) { InsertRow(c, "conv_hcfa_info", row); }

}  // namespace calmora::legacy
