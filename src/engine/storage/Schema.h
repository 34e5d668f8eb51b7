#pragma once
// The tables of the file as the engine sees them, read from the file's own
// schema and kept until a definition changes (Invalidate).
#include <sqlite3.h>

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "storage/Types.h"

namespace jet {

// The engine's own table of appended foreign keys; hidden from the catalogue.
inline constexpr char kRelationshipTable[] = "jet_relationships";

class Schema {
 public:
  explicit Schema(sqlite3* db) : db_(db) {}

  // The table of that name (case-blind), or null.
  const TableInfo* Find(std::string_view name);
  // The table of that name; fails with TableNotFound.
  const TableInfo& Get(std::string_view name);
  std::vector<std::string> TableNames();
  // True when a table or a column of any table has that name.
  bool IsKnownName(std::string_view name);
  void Invalidate() { loaded_ = false; tables_.clear(); }

 private:
  void Load();

  sqlite3* db_;
  bool loaded_ = false;
  std::unordered_map<std::string, TableInfo> tables_;  // by folded name
};

}  // namespace jet
