// Foreign keys appended to a table: checked against the rows there are,
// then enforced inside the file by rules any client meets, and recorded so
// that the catalogue can list them.
#include "Database.h"

#include "Failure.h"
#include "storage/Fold.h"
#include "storage/Rules.h"

namespace jet {

std::vector<ForeignKey> Database::ForeignKeys(const std::string& table) {
  std::vector<ForeignKey> keys;
  Statement exists(db_, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'jet_relationships'");
  if (!exists.Step()) return keys;
  Statement s(db_,
              "SELECT name, foreign_table, foreign_column, primary_table, primary_column FROM "
              "jet_relationships WHERE foreign_table = ?1 COLLATE NOCASE ORDER BY rowid");
  s.BindText(1, table);
  while (s.Step()) keys.push_back({s.Text(0), s.Text(1), s.Text(2), s.Text(3), s.Text(4)});
  return keys;
}

void Database::AppendForeignKey(const ForeignKey& requested) {
  const TableInfo& child = schema_.Get(requested.table);
  const TableInfo& parent = schema_.Get(requested.relatedTable);
  const int c = child.Find(requested.column);
  if (c < 0) Fail(ErrorCode::NoSuchField, {requested.column, child.name});
  const int p = parent.Find(requested.relatedColumn);
  if (p < 0) Fail(ErrorCode::NoSuchField, {requested.relatedColumn, parent.name});
  const ColumnInfo& childColumn = child.columns[static_cast<std::size_t>(c)];
  const ColumnInfo& parentColumn = parent.columns[static_cast<std::size_t>(p)];
  ForeignKey key{requested.name, child.name, childColumn.name, parent.name, parentColumn.name};
  RefuseReservedName(key.name);

  InTransaction([&] {
    Exec(db_, kRelationshipTableSql);
    {
      Statement taken(db_, "SELECT 1 FROM jet_relationships WHERE name = ?1");
      taken.BindText(1, key.name);
      if (taken.Step()) Fail(ErrorCode::ObjectExists, {key.name});
    }
    // The related column must identify one row: the whole primary key, or a
    // unique index of that column alone.
    bool unique = false;
    int keyColumns = 0;
    for (const auto& col : parent.columns) keyColumns += col.primaryKey ? 1 : 0;
    if (parentColumn.primaryKey && keyColumns == 1) unique = true;
    if (!unique) {
      Statement indexes(db_, "PRAGMA index_list(" + QuoteName(parent.name) + ")");
      std::vector<std::string> uniqueIndexes;
      while (indexes.Step()) {
        if (indexes.Int(2) != 0) uniqueIndexes.push_back(indexes.Text(1));
      }
      for (const auto& index : uniqueIndexes) {
        Statement info(db_, "PRAGMA index_info(" + QuoteName(index) + ")");
        std::vector<std::string> columns;
        while (info.Step()) columns.push_back(info.Text(2));
        if (columns.size() == 1 && EqualsFolded(columns[0], parentColumn.name)) unique = true;
      }
    }
    if (!unique) Fail(ErrorCode::NotUniquelyIndexed, {parent.name});
    auto family = [](JetType t) { return t == JetType::Counter ? JetType::Long : t; };
    if (family(childColumn.type) != family(parentColumn.type)) Fail(ErrorCode::RelationTypes);
    {
      Statement orphans(db_, "SELECT 1 FROM " + QuoteName(child.name) + " AS c WHERE c." +
                                 QuoteName(childColumn.name) + " IS NOT NULL AND NOT EXISTS (SELECT 1 FROM " +
                                 QuoteName(parent.name) + " AS p WHERE p." + QuoteName(parentColumn.name) +
                                 " = c." + QuoteName(childColumn.name) + ") LIMIT 1");
      if (orphans.Step()) Fail(ErrorCode::ExistingDataViolates, {child.name, parent.name});
    }
    for (const auto& sql : ForeignKeyRuleSql(key.name, key.table, key.column, key.relatedTable,
                                             key.relatedColumn))
      Exec(db_, sql);
    Statement insert(db_, "INSERT INTO jet_relationships VALUES (?1, ?2, ?3, ?4, ?5)");
    insert.BindText(1, key.name);
    insert.BindText(2, key.table);
    insert.BindText(3, key.column);
    insert.BindText(4, key.relatedTable);
    insert.BindText(5, key.relatedColumn);
    insert.Step();
  });
  SchemaChanged();
}

}  // namespace jet
