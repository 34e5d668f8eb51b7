// Data statements committed in groups; what was reported done is never
// undone (see Database.h).
#include "Database.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <exception>

#include "Failure.h"

namespace jet {

namespace {

// A group commits after this many statements or bytes of values, or after
// a statement that changed more rows than kGroupRows. So bounded, a group
// changes at most about 250 pages of row data and, per statement, a row's
// page, its index entries' and the counter's: well under kLogRoom.
constexpr std::size_t kGroupStatements = 256;
// Groups start once this many statements ran since the last durability
// point: a few statements (a support session, a small change) still commit
// one by one, and only long runs share transactions.
constexpr std::int64_t kStatementsBeforeGroups = 64;
constexpr std::size_t kGroupBytes = 1 << 20;
constexpr int kGroupRows = 16;
constexpr std::int64_t kLogHeader = 32;
constexpr std::int64_t kFrameHeader = 24;
// The storage library's own checkpoint interval, kept with our log hook.
constexpr int kCheckpointFrames = 1000;

}  // namespace

void Database::RunGrouped(Statement& statement, std::shared_ptr<const std::string> sql,
                          std::vector<Stored> params) {
  RunPendingAgain();
  if (!OpenGroup()) {
    RunBound(statement, params);
    return;
  }
  const int changesBefore = sqlite3_total_changes(db_);
  try {
    RunBound(statement, params);
  } catch (...) {
    KeepDoneAfterFailure();
    throw;
  }
  for (const Stored& p : params) groupBytes_ += sizeof p + p.s.size();
  const bool manyRows = sqlite3_total_changes(db_) - changesBefore > kGroupRows;
  group_.push_back({std::move(sql), std::move(params)});
  if (manyRows || group_.size() >= kGroupStatements || groupBytes_ >= kGroupBytes)
    CommitGroup(true);
}

bool Database::OpenGroup() {
  if (inGroup_) return true;
  if (++statementsSinceDurable_ <= kStatementsBeforeGroups || !ReserveLog()) return false;
  Exec(db_, "BEGIN IMMEDIATE");
  inGroup_ = true;
  return true;
}

void Database::EndGroup() { CommitGroup(false); }

// A statement of the group has failed and undone itself. Its predecessors
// are committed now: the caller may end the process on the report.
void Database::KeepDoneAfterFailure() {
  try {
    if (sqlite3_get_autocommit(db_) != 0) {
      // The storage library ended the whole transaction.
      inGroup_ = false;
      RunDoneAgain();
    } else {
      CommitGroup(false);
    }
  } catch (...) {
    // The statement's own failure is the one reported; the device fails
    // for both alike.
  }
}

// `statementAtWork`: the group's last statement is the caller's, not yet
// reported done; should the commit fail, it fails with it.
void Database::CommitGroup(bool statementAtWork) {
  if (!inGroup_) return RunPendingAgain();
  const int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  if (rc == SQLITE_OK) {
    inGroup_ = false;
    group_.clear();
    groupBytes_ = 0;
    return;
  }
  std::exception_ptr failure;
  try {
    FailFromStorage(db_, rc);
  } catch (...) {
    failure = std::current_exception();
  }
  if (sqlite3_get_autocommit(db_) == 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  inGroup_ = false;
  if (statementAtWork) group_.pop_back();
  RunDoneAgain();
  if (statementAtWork) std::rethrow_exception(failure);
}

// Runs the group's done statements again, in their order, in one
// transaction of their own, and commits it. They fit in the log room that
// held them before.
void Database::RunDoneAgain() {
  if (group_.empty()) return;
  try {
    Exec(db_, "BEGIN IMMEDIATE");
    for (const Done& d : group_) {
      Statement statement(db_, *d.sql);
      RunBound(statement, d.params);
    }
    Exec(db_, "COMMIT");
  } catch (...) {
    // A device that keeps failing: forgetting them here would lose
    // statements reported done while the next durability point succeeds.
    // They stay pending instead (see RunPendingAgain).
    if (sqlite3_get_autocommit(db_) == 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  group_.clear();
  groupBytes_ = 0;
}

// Outside a group, group_ holds only done statements that could not be run
// again. They go before any other statement or read, so that order holds
// and reads see them; until they are committed, every statement, durability
// point and Close fails with the device's error.
void Database::RunPendingAgain() {
  if (!inGroup_) RunDoneAgain();
}

// Makes sure the log file has kLogRoom bytes allocated on disk beyond its
// last frame. Allocated room is written over in place and needs no space
// from a full disk.
bool Database::ReserveLog() {
  const std::int64_t needed = kLogHeader + logFrames_ * (kPageSize + kFrameHeader) + kLogRoom;
  if (needed <= logAllocated_) return true;
  const int fd = ::open((path_ + "-wal").c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  const int rc = ::posix_fallocate(fd, 0, static_cast<off_t>(needed));
  ::close(fd);
  if (rc != 0) return false;
  logAllocated_ = needed;
  return true;
}

// While a snapshot reader holds the log, a checkpoint cannot pass the frame
// it reads at, yet each attempt still sorts the whole log: tried at every
// commit, that made a long copy's time grow with the square of its rows.
// An attempt that cannot finish puts the next off until the log has grown
// by a quarter; one that finishes, or a log that has started over, brings
// back the usual interval.
int Database::LogCommitted(void* self, sqlite3* db, const char* name, int frames) {
  Database& owner = *static_cast<Database*>(self);
  if (frames < owner.logFrames_) owner.nextCheckpoint_ = 0;
  owner.logFrames_ = frames;
  if (frames >= std::max<std::int64_t>(owner.nextCheckpoint_, kCheckpointFrames)) {
    int log = 0, done = 0;
    const int rc = sqlite3_wal_checkpoint_v2(db, name, SQLITE_CHECKPOINT_PASSIVE, &log, &done);
    const bool finished = rc == SQLITE_OK && done >= log;
    owner.nextCheckpoint_ = finished ? 0 : frames + std::max(kCheckpointFrames, frames / 4);
  }
  return SQLITE_OK;
}

}  // namespace jet
