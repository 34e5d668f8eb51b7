#pragma once
// The open file behind a connection: the SQLCipher handle, the schema, the
// cache of translated statements, and the operations of the object model.
//
// File format: SQLCipher defaults (AES-256-CBC, PBKDF2-SHA1 64,000
// iterations, HMAC) with 4096-byte pages. While open, the file runs in WAL
// mode with synchronous=NORMAL: every statement commits on its own (no disk
// sync), so a failing statement, a full disk or an I/O error never undoes a
// statement that was reported done. MakeDurable checkpoints (with sync);
// Close leaves a single self-contained file in rollback-journal mode.
#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/sql/Compiler.h"
#include "engine/sql/Parser.h"
#include "engine/storage/RowStore.h"
#include "engine/storage/Schema.h"

namespace jet {

inline constexpr int kPageSize = 4096;

struct QueryResult {
  std::vector<sql::ResultColumn> columns;
  std::string table;        // the one table read
  bool updatable = false;   // rows carry their id in a last, hidden column
  RowStore rows;
};

struct ForeignKey {
  std::string name;
  std::string table;          // holds the key
  std::string column;
  std::string relatedTable;
  std::string relatedColumn;
};

class Database {
 public:
  // Fail with the engine's errors for a missing, empty, unencrypted or
  // unreadable file, a wrong password or a damaged file.
  static std::unique_ptr<Database> Open(const std::string& path, const std::string& password);
  static void Create(const std::string& path, const std::string& password);

  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  void Execute(std::string_view sql);
  // A SELECT's rows; any other statement runs and gives no result (null).
  std::unique_ptr<QueryResult> Query(std::string_view sql);
  // Writes changed columns (by name) of the row with that id; returns the
  // values as stored.
  std::vector<Stored> UpdateRow(const std::string& table, std::int64_t rowid,
                                const std::vector<std::pair<std::string, Value>>& changes);

  void MakeDurable();
  // Makes everything durable, leaves the file self-contained and releases it.
  void Close();

  Schema& schema() { return schema_; }
  sqlite3* handle() { return db_; }
  const std::string& path() const { return path_; }

  // Catalogue operations; each changes the file completely or not at all.
  bool AllowsZeroLength(const std::string& table, const std::string& column);
  void SetAllowZeroLength(const std::string& table, const std::string& column, bool allow);
  void AppendForeignKey(const ForeignKey& key);
  std::vector<ForeignKey> ForeignKeys(const std::string& table);
  bool IsIndexed(const std::string& table, std::string_view column);
  void AppendIndex(const std::string& name, const std::string& table, std::string_view column);

 private:
  struct Cached {
    sql::Plan plan;
    Statement statement;
  };

  Database(sqlite3* db, std::string path);
  Cached& Prepare(const sql::Lexed& lexed, sql::StatementKind kind);
  void Bind(Cached& cached, const sql::Lexed& lexed);
  void ExecuteDefinition(const sql::Statement& statement, const sql::Lexed& lexed);
  void SchemaChanged();
  sql::KnownName KnownNames();
  template <typename F>
  void InTransaction(F&& body);

  sqlite3* db_;
  std::string path_;
  Schema schema_;
  std::unordered_map<std::string, std::unique_ptr<Cached>> cache_;
};

}  // namespace jet
