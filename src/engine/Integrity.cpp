#include "jet/Integrity.h"

#include "jet/Connection.h"
#include "Database.h"
#include "Failure.h"
#include "storage/Schema.h"
#include "storage/Sqlite.h"

namespace jet {

std::vector<TableRows> CountRows(Connection& connection) {
  std::vector<TableRows> counts;
  Guard(&connection.errors(), [&] {
    Database& db = DatabaseOf(connection);
    for (const std::string& table : db.schema().TableNames()) {
      Statement count(db.handle(), "SELECT count(*) FROM " + QuoteName(table));
      count.Step();
      counts.push_back({table, count.Int(0)});
    }
  });
  return counts;
}

std::vector<std::string> IntegrityCheck(Connection& connection) {
  std::vector<std::string> findings;
  Guard(&connection.errors(), [&] {
    Statement check(DatabaseOf(connection).handle(), "PRAGMA integrity_check");
    while (check.Step()) findings.push_back(check.Text(0));
  });
  return findings;
}

std::vector<KeyCheck> ForeignKeyCheck(Connection& connection) {
  std::vector<KeyCheck> checks;
  Guard(&connection.errors(), [&] {
    Database& db = DatabaseOf(connection);
    Statement recorded(db.handle(),
                       "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = " +
                           QuoteText(kRelationshipTable));
    if (!recorded.Step()) return;
    Statement keys(db.handle(),
                   "SELECT name, foreign_table, foreign_column, primary_table, primary_column "
                   "FROM jet_relationships ORDER BY rowid");
    while (keys.Step())
      checks.push_back({keys.Text(0), keys.Text(1), keys.Text(2), keys.Text(3), keys.Text(4), 0});
    // The same test the key's triggers make when a row is written: a key
    // that is set must name an existing parent.
    for (KeyCheck& key : checks) {
      Statement orphans(db.handle(),
                        "SELECT count(*) FROM " + QuoteName(key.table) + " AS c WHERE c." +
                            QuoteName(key.column) + " IS NOT NULL AND NOT EXISTS (SELECT 1 FROM " +
                            QuoteName(key.relatedTable) + " AS p WHERE p." +
                            QuoteName(key.relatedColumn) + " = c." + QuoteName(key.column) + ")");
      orphans.Step();
      key.orphans = orphans.Int(0);
    }
  });
  return checks;
}

}  // namespace jet
