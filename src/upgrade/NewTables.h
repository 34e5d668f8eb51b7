#pragma once
// The three tables the 2014 release adds (condition_url, statement_temp,
// cms2012), each defined once as data: column name, type and null clause in
// table order, and the zero-length rule of its text columns. The CREATE
// TABLE texts and the zero-length passes are built from these definitions.
#include <optional>
#include <string>
#include <vector>

namespace calmora {

enum class ColumnType { Counter, Long, Integer, Number, Text, Date, YesNo, Currency };

struct NewColumn {
  std::string name;
  ColumnType type;
  int width = 0;            // characters, Text only
  bool primaryKey = false;
  std::string nullClause;   // written after the type as it stands; empty: none

  bool IsText() const { return type == ColumnType::Text; }
  // "TEXT(41)", "COUNTER PRIMARY KEY", ...
  std::string TypeText() const;
  // Name, blank, type and, when there is one, blank and null clause.
  std::string Definition() const;
};

struct NewTable {
  std::string name;
  std::vector<NewColumn> columns;
  // The "Jet OLEDB:Allow Zero Length" value given to every text column
  // after the table is created; none: the table gets no property pass.
  std::optional<bool> textAllowsZeroLength;

  // "CREATE TABLE name (def, def, ...)".
  std::string CreateText() const;
  std::vector<std::string> TextColumnNames() const;
  // The column of that name, by exact spelling; nullptr when absent.
  const NewColumn* Find(const std::string& column) const;
};

const NewTable& ConditionUrlTable();
const NewTable& StatementTempTable();
const NewTable& Cms2012Table();

}  // namespace calmora
