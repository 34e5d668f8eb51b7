// The catalogue's indexes and the zero-length rule of text columns.
#include "Database.h"

#include "Failure.h"
#include "storage/Fold.h"
#include "storage/Rules.h"

namespace jet {

bool Database::IsIndexed(const std::string& table, std::string_view column) {
  const TableInfo& info = schema_.Get(table);
  const int c = info.Find(column);
  if (c < 0) Fail(ErrorCode::NoSuchField, {std::string(column), info.name});
  const ColumnInfo& wanted = info.columns[static_cast<std::size_t>(c)];
  // The row id is its own index.
  if (wanted.type == JetType::Counter) return true;
  Statement indexes(db_, "PRAGMA index_list(" + QuoteName(info.name) + ")");
  std::vector<std::string> names;
  while (indexes.Step()) names.push_back(indexes.Text(1));
  for (const auto& index : names) {
    Statement first(db_, "PRAGMA index_info(" + QuoteName(index) + ")");
    while (first.Step()) {
      if (first.Int(0) == 0 && EqualsFolded(first.Text(2), wanted.name)) return true;
    }
  }
  return false;
}

void Database::AppendIndex(const std::string& name, const std::string& table,
                           std::string_view column) {
  const TableInfo& info = schema_.Get(table);
  const int c = info.Find(column);
  if (c < 0) Fail(ErrorCode::NoSuchField, {std::string(column), info.name});
  RefuseReservedName(name);
  EndGroup();
  {
    Statement taken(db_, "SELECT 1 FROM sqlite_master WHERE name = ?1 COLLATE NOCASE");
    taken.BindText(1, name);
    if (taken.Step()) Fail(ErrorCode::ObjectExists, {name});
  }
  Exec(db_, "CREATE INDEX " + QuoteName(name) + " ON " + QuoteName(info.name) + " (" +
                QuoteName(info.columns[static_cast<std::size_t>(c)].name) + ")");
  SchemaChanged();
}

bool Database::AllowsZeroLength(const std::string& table, const std::string& column) {
  Statement s(db_, "SELECT 1 FROM sqlite_master WHERE type = 'trigger' AND name = ?1");
  s.BindText(1, ZeroLengthTriggerNames(table, column)[0]);
  return !s.Step();
}

void Database::SetAllowZeroLength(const std::string& table, const std::string& column, bool allow) {
  if (AllowsZeroLength(table, column) == allow) return;
  InTransaction([&] {
    if (allow) {
      for (const auto& name : ZeroLengthTriggerNames(table, column))
        Exec(db_, "DROP TRIGGER IF EXISTS " + QuoteName(name));
      return;
    }
    Statement existing(db_, "SELECT 1 FROM " + QuoteName(table) + " WHERE " + QuoteName(column) +
                                " = '' LIMIT 1");
    if (existing.Step()) Fail(ErrorCode::ExistingZeroLength, {table, column});
    for (const auto& sql : ZeroLengthRuleSql(table, column)) Exec(db_, sql);
  });
}

}  // namespace jet
