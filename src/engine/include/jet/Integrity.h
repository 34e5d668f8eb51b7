#pragma once
// What an open practice database holds and whether it holds together: the
// rows of each table, the storage library's own integrity check, and a check
// of every foreign key recorded in the file. Reads only, and changes
// nothing. Results name tables, columns, keys and counts, never a value of
// a row. Each call fails with jet::Error (and the connection's collection
// filled) when the file cannot be read.
#include <cstdint>
#include <string>
#include <vector>

namespace jet {

class Connection;

struct TableRows {
  std::string table;
  std::int64_t rows = 0;
};

// Every table of the catalogue, by name, with its number of rows.
std::vector<TableRows> CountRows(Connection& connection);

// The storage library's full integrity check: {"ok"} for a sound file,
// otherwise its findings (pages, indexes and row numbers).
std::vector<std::string> IntegrityCheck(Connection& connection);

// One appended foreign key and the child rows whose key names no parent.
struct KeyCheck {
  std::string name;
  std::string table;
  std::string column;
  std::string relatedTable;
  std::string relatedColumn;
  std::int64_t orphans = 0;
};

// Every foreign key recorded in the file, in the order they were appended;
// empty when the file has none.
std::vector<KeyCheck> ForeignKeyCheck(Connection& connection);

}  // namespace jet
