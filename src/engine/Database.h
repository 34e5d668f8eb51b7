#pragma once
// The open file behind a connection: the SQLCipher handle, the schema, the
// cache of translated statements, and the operations of the object model.
//
// File format: SQLCipher defaults (AES-256-CBC, PBKDF2-SHA1 64,000
// iterations, HMAC) with 4096-byte pages. While open, the file runs in WAL
// mode with synchronous=NORMAL. MakeDurable commits and checkpoints (with
// sync); Close leaves a single self-contained file in rollback-journal mode.
//
// Statements are committed in groups: in a long run of data statements
// (after the first 64 since the last durability point, which commit one by
// one) consecutive ones share a transaction, committed after a bounded number of them,
// after any statement that changed many rows, and before anything else
// (definitions, catalogue changes, large results, MakeDurable, Close).
// Other programs see the group once it is committed. What a statement
// reported done is never undone:
//   - a failing statement undoes only itself; the group's earlier
//     statements are committed before the failure is reported;
//   - should the storage library end the whole transaction (a full disk,
//     an I/O error, a failed commit), the group's done statements are run
//     again and committed, and only the statement at work fails;
//   - a group is opened only when the write-ahead log has room allocated
//     on disk for everything a group may write, so that the statements run
//     again fit where they were written before. Without that room (a disk
//     nearly full) each statement commits on its own.
// Should the device keep failing while they run again, they stay pending and
// are run again before the next statement, read, durability point or Close,
// each of which fails with the device's error until they are committed: only
// a process that ends (or a Close that fails) while the device still fails
// can lose them, and then the failure has been reported.
#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "jet/Connection.h"
#include "sql/Compiler.h"
#include "sql/Parser.h"
#include "storage/RowSource.h"
#include "storage/Schema.h"
#include "storage/Snapshot.h"

namespace jet {

inline constexpr int kPageSize = 4096;

// Keys a fresh handle with the password and the format's page size; the
// key is only tried by the first read.
void KeyHandle(sqlite3* db, const std::string& password);
// What is at the path, before the storage library is let near it: fails
// with the engine's errors for a missing, unreadable, empty or unencrypted
// file, so that every way of opening refuses the same files alike.
void InspectFile(const std::string& path);
// Names the engine keeps for itself (the storage library's, the record of
// foreign keys) are refused for tables, indexes and keys.
void RefuseReservedName(const std::string& name);
// Room allocated ahead in the write-ahead log before a group of statements
// opens: about 2,000 pages. A group is bounded (see StatementGroups.cpp) to fewer:
// each page it changes is written once per commit.
inline constexpr std::int64_t kLogRoom = 8 << 20;

struct QueryResult {
  std::vector<sql::ResultColumn> columns;
  std::string table;        // the one table read
  bool updatable = false;   // rows carry their id in a last, hidden column
  std::unique_ptr<RowSource> rows;
};

struct ForeignKey {
  std::string name;
  std::string table;          // holds the key
  std::string column;
  std::string relatedTable;
  std::string relatedColumn;
};

class Database;

// The open file behind a connection, for the engine's own objects; fails
// with "connection unusable" when the connection is closed.
Database& DatabaseOf(Connection& connection);

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
  // Commits the open group of statements, if any (not durable yet).
  void EndGroup();
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
    std::shared_ptr<const std::string> sql;  // plan.sql, shared with the group's record
    Statement statement;
  };
  // A statement of the open group, as the storage library ran it.
  struct Done {
    std::shared_ptr<const std::string> sql;
    std::vector<Stored> params;
  };

  Database(sqlite3* db, std::string path, std::string password);
  Cached& Prepare(const sql::Lexed& lexed, sql::StatementKind kind);
  std::vector<Stored> Parameters(const Cached& cached, const sql::Lexed& lexed);
  // Runs a data statement in the group (or on its own when no group can
  // be opened); see the header comment for what a failure keeps.
  void RunGrouped(Statement& statement, std::shared_ptr<const std::string> sql,
                  std::vector<Stored> params);
  bool OpenGroup();
  void CommitGroup(bool statementAtWork);
  void KeepDoneAfterFailure();
  void RunDoneAgain();
  void RunPendingAgain();
  bool ReserveLog();
  static int LogCommitted(void* self, sqlite3* db, const char* name, int frames);
  void ExecuteDefinition(const sql::Statement& statement, const sql::Lexed& lexed);
  void DefineTable(const sql::CreateTable& create, const sql::Lexed& lexed, ErrorCode syntax);
  void AddColumn(const sql::AlterAdd& alter, const sql::Lexed& lexed, ErrorCode syntax);
  void DropTable(const sql::DropTable& drop);
  void SchemaChanged();
  sql::KnownName KnownNames();
  // Runs body in a transaction of its own, after the open group; a failure
  // undoes all of it.
  void InTransaction(const std::function<void()>& body);

  sqlite3* db_;
  std::string path_;
  Schema schema_;
  // Plans by the shape of their text, and plans bound by value by the
  // value shape; internal statements by their SQL, prefixed with \x02.
  std::unordered_map<std::string, std::unique_ptr<Cached>> cache_, byValue_;
  std::shared_ptr<ReaderPool> readers_;

  bool inGroup_ = false;
  std::vector<Done> group_;
  std::size_t groupBytes_ = 0;
  std::int64_t statementsSinceDurable_ = 0;
  std::int64_t logFrames_ = 0;     // frames in the write-ahead log at the last commit
  // Log frames from which a commit tries a checkpoint again after one that
  // could not finish; 0: from kCheckpointFrames, as usual.
  std::int64_t nextCheckpoint_ = 0;
  std::int64_t logAllocated_ = 0;  // bytes of the log known to be allocated on disk
};

}  // namespace jet
