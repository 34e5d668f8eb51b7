#include "storage/Schema.h"

#include "Failure.h"
#include "storage/Fold.h"
#include "storage/Sqlite.h"

namespace jet {

void Schema::Load() {
  if (loaded_) return;
  tables_.clear();
  std::vector<std::string> names;
  {
    Statement list(db_,
                   "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
                   "'sqlite\\_%' ESCAPE '\\' AND name <> 'jet_relationships' ORDER BY name");
    while (list.Step()) names.push_back(list.Text(0));
  }
  for (const std::string& name : names) {
    TableInfo table;
    table.name = name;
    Statement info(db_, "PRAGMA table_info(" + QuoteName(name) + ")");
    while (info.Step()) {
      ColumnInfo column;
      column.name = info.Text(1);
      column.folded = Fold(column.name);
      column.primaryKey = info.Int(5) != 0;
      column.notNull = info.Int(3) != 0;
      column.type = TypeFromDeclared(info.Text(2), column.primaryKey, column.size);
      table.columns.push_back(std::move(column));
    }
    tables_.emplace(Fold(name), std::move(table));
  }
  loaded_ = true;
}

const TableInfo* Schema::Find(std::string_view name) {
  Load();
  const auto it = tables_.find(Fold(name));
  return it == tables_.end() ? nullptr : &it->second;
}

const TableInfo& Schema::Get(std::string_view name) {
  const TableInfo* table = Find(name);
  if (table == nullptr) Fail(ErrorCode::TableNotFound, {std::string(name)});
  return *table;
}

bool Schema::IsKnownName(std::string_view name) {
  Load();
  const std::string folded = Fold(name);
  for (const auto& [tableFolded, table] : tables_) {
    if (tableFolded == folded || table.Find(name) >= 0) return true;
  }
  return false;
}

std::vector<std::string> Schema::TableNames() {
  Load();
  std::vector<std::string> names;
  for (const auto& [folded, table] : tables_) names.push_back(table.name);
  return names;
}

}  // namespace jet
