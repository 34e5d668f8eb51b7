#include "storage/Snapshot.h"

#include <utility>

#include "Failure.h"

namespace jet {

class SnapshotRows final : public RowSource {
 public:
  SnapshotRows(std::shared_ptr<ReaderPool> pool, const std::string& sql, std::vector<Stored> params)
      : pool_(std::move(pool)), db_(pool_->Take()), params_(std::move(params)) {
    try {
      // The read transaction is the snapshot: the count and the rows see
      // the same file, whatever is written meanwhile.
      Exec(db_, "BEGIN");
      Statement count(db_, "SELECT count(*) FROM (" + sql + ")");
      BindAll(count, params_);
      count_ = count.Step() ? count.Int(0) : 0;
      rows_ = Statement(db_, sql);
      Rewind();
    } catch (...) {
      Release();
      throw;
    }
  }
  ~SnapshotRows() override { Release(); }
  SnapshotRows(const SnapshotRows&) = delete;
  SnapshotRows& operator=(const SnapshotRows&) = delete;

  std::int64_t Count() const override { return count_; }
  void Rewind() override {
    rows_.Reset();
    BindAll(rows_, params_);
    written_.clear();
    atEnd_ = !rows_.Step();
  }
  bool AtEnd() const override { return atEnd_; }
  void Next() override {
    written_.clear();
    atEnd_ = !rows_.Step();
  }
  Stored Get(std::size_t column) const override {
    for (const auto& [c, value] : written_) {
      if (c == column) return value;
    }
    return ReadStored(rows_.get(), static_cast<int>(column));
  }
  void Set(std::size_t column, const Stored& value) override {
    for (auto& [c, stored] : written_) {
      if (c == column) {
        stored = value;
        return;
      }
    }
    written_.emplace_back(column, value);
  }

 private:
  void Release() {
    if (db_ == nullptr) return;
    rows_ = Statement();
    sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    pool_->Give(std::exchange(db_, nullptr));
  }

  std::shared_ptr<ReaderPool> pool_;
  sqlite3* db_;
  std::vector<Stored> params_;
  std::int64_t count_ = 0;
  Statement rows_;
  bool atEnd_ = true;
  std::vector<std::pair<std::size_t, Stored>> written_;  // this row's updated columns
};

std::shared_ptr<ReaderPool> ReaderPool::Make(std::string path, Setup setup) {
  return std::shared_ptr<ReaderPool>(new ReaderPool(std::move(path), std::move(setup)));
}

ReaderPool::~ReaderPool() { Close(); }

void ReaderPool::Close() {
  closed_ = true;
  for (sqlite3* db : idle_) sqlite3_close_v2(db);
  idle_.clear();
}

sqlite3* ReaderPool::Take() {
  if (closed_) Fail(ErrorCode::ObjectClosed);
  if (!idle_.empty()) {
    sqlite3* db = idle_.back();
    idle_.pop_back();
    return db;
  }
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path_.c_str(), &db, kOpenReadWrite, nullptr) != SQLITE_OK) {
    sqlite3_close_v2(db);
    Fail(ErrorCode::CannotOpenFile, {path_});
  }
  try {
    sqlite3_extended_result_codes(db, 1);
    setup_(db);
    Exec(db, "PRAGMA query_only = 1");
  } catch (...) {
    sqlite3_close_v2(db);
    throw;
  }
  return db;
}

void ReaderPool::Give(sqlite3* db) {
  if (closed_) {
    sqlite3_close_v2(db);
    return;
  }
  idle_.push_back(db);
}

std::unique_ptr<RowSource> ReaderPool::Open(const std::string& sql, std::vector<Stored> params) {
  return std::make_unique<SnapshotRows>(shared_from_this(), sql, std::move(params));
}

}  // namespace jet
