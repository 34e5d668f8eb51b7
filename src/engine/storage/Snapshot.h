#pragma once
// Results too large to hold in memory, read from a snapshot of the file:
// a connection of its own that only reads, inside one read transaction, so
// that it sees the file as last committed when the result was opened and
// nothing written afterwards (through any connection). Memory stays that of
// one row and the reader's page cache, however many rows there are.
//
// Readers are kept for reuse (keying a connection costs a key derivation).
// While a snapshot is open the write-ahead log cannot be emptied past it:
// the owner closes results before a durability point.
#include <sqlite3.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "storage/Codec.h"
#include "storage/RowSource.h"

namespace jet {

class ReaderPool : public std::enable_shared_from_this<ReaderPool> {
 public:
  // `setup` keys a new connection and readies it like the owner's own;
  // it fails with the engine's errors.
  using Setup = std::function<void(sqlite3*)>;
  static std::shared_ptr<ReaderPool> Make(std::string path, Setup setup);
  ~ReaderPool();
  ReaderPool(const ReaderPool&) = delete;
  ReaderPool& operator=(const ReaderPool&) = delete;

  // The rows of `sql` (the storage library's SQL, with `params` bound to
  // ?1...), counted exactly.
  std::unique_ptr<RowSource> Open(const std::string& sql, std::vector<Stored> params);
  // Closes the idle readers; readers still in use close when released.
  void Close();

 private:
  ReaderPool(std::string path, Setup setup) : path_(std::move(path)), setup_(std::move(setup)) {}
  friend class SnapshotRows;
  sqlite3* Take();
  void Give(sqlite3* db);

  std::string path_;
  Setup setup_;
  std::vector<sqlite3*> idle_;
  bool closed_ = false;
};

}  // namespace jet
