#pragma once
// An open practice database: the stand-in for an ADO connection over the Jet
// provider. Owns the SQLCipher handle, the statement cache and the error
// collection. Not thread-safe; one thread uses a connection at a time.
//
// Connection string: "Name=Value;" settings in any order, names without
// regard to case, values unquoted: Provider (must be
// "Microsoft.Jet.OLEDB.4.0"), Data Source (the file), User Id, and
// "Jet OLEDB:Database Password" (the key of the file).
//
// Every failure raises jet::Error. A failure inside the engine first
// replaces errors() with its entries; Clear() empties it; calls that succeed
// leave it as it was.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "jet/Error.h"

namespace jet {

class Errors {
 public:
  std::size_t Count() const { return entries_.size(); }
  const ErrorEntry& Item(std::size_t index) const { return entries_.at(index); }
  void Clear() { entries_.clear(); }
  // Replaces the collection with one failure's entries.
  void Replace(std::vector<ErrorEntry> entries) { entries_ = std::move(entries); }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }

 private:
  std::vector<ErrorEntry> entries_;
};

class Database;  // the open file: private to the engine


class Connection {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Makes a new, empty, keyed database file; refuses an existing path.
  static void CreateDatabase(const std::string& path, const std::string& password);

  void Open(const std::string& connectionString);
  bool IsOpen() const;
  // Makes everything executed durable, then releases the file (as
  // MakeDurable, after the recordsets over large results are closed).
  void Close();

  // Runs one statement in the Jet dialect. A statement that fails changes
  // nothing, and undoes no statement done before it; any rows a SELECT
  // returns are discarded. Statements are committed in groups: other
  // programs see them at the latest at the next durability point, or when
  // a statement fails (the statements before it are then committed).
  void Execute(const std::string& sql);

  // The durability point: on return everything executed so far is on disk
  // and visible to other programs that open the file. Recordsets over large
  // results read a snapshot of the file; close them first, or it fails as
  // locked.
  void MakeDurable();

  Errors& errors() { return errors_; }
  const Errors& errors() const { return errors_; }

 private:
  // The engine's own objects reach the open file through this; callers
  // have the operations above only.
  friend Database& DatabaseOf(Connection& connection);

  std::unique_ptr<Database> db_;
  Errors errors_;
};

}  // namespace jet
