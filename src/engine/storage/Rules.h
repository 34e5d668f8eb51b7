#pragma once
// The rules the engine writes into the file so that every program that opens
// it is held to them: column definitions with their checks, the zero-length
// rule of text columns, and appended foreign keys. Only built-in features of
// the storage library are used (CHECK, NOT NULL, triggers, indexes).
//
// Checks are named "[nnnn] table.column" and trigger messages start with
// "[nnnn] " so that a failure carries the engine's error number:
//   3464 value of the wrong kind, 3349 whole number beyond 32 bits,
//   3163 text longer than the column, 3314 required value missing (columns
//   added to an empty table), 3315 zero-length text refused, 3201 no parent
//   row, 3200 parent row still referenced.
//
// Zero-length rule: a text column accepts '' until the property is set to
// false, which creates the triggers jet_zl_<table>_<column>_insert/_update.
// Foreign keys: one row in jet_relationships, an index on the key column
// (jet_fk_<name>_index) and four triggers (jet_fk_<name>_child_insert,
// _child_update, _parent_delete, _parent_update); nothing cascades.
#include <optional>
#include <string>
#include <vector>

#include "storage/Codec.h"
#include "storage/Types.h"

namespace jet {

struct ColumnRule {
  std::string name;
  JetType type = JetType::Text;
  int size = 0;
  bool primaryKey = false;
  bool unique = false;
  bool notNull = false;
  bool requiredByCheck = false;  // NOT NULL as a check (added to an empty table)
  std::optional<Stored> defaultValue;
};

std::string ColumnDefinitionSql(const std::string& table, const ColumnRule& column);
// The condition a DATE column's check puts on its quoted column name.
std::string StoredDateCondition(const std::string& quotedColumn);

std::vector<std::string> ZeroLengthTriggerNames(const std::string& table, const std::string& column);
std::vector<std::string> ZeroLengthRuleSql(const std::string& table, const std::string& column);

struct KeyNames {
  std::string index;
  std::vector<std::string> triggers;
};
KeyNames ForeignKeyObjectNames(const std::string& keyName);
std::vector<std::string> ForeignKeyRuleSql(const std::string& keyName, const std::string& table,
                                           const std::string& column,
                                           const std::string& relatedTable,
                                           const std::string& relatedColumn);

inline constexpr char kRelationshipTableSql[] =
    "CREATE TABLE IF NOT EXISTS jet_relationships (name TEXT NOT NULL PRIMARY KEY COLLATE "
    "NOCASE, foreign_table TEXT NOT NULL, foreign_column TEXT NOT NULL, primary_table TEXT NOT "
    "NULL, primary_column TEXT NOT NULL)";

}  // namespace jet
