// A device that fails while a group of statements commits, or while a
// statement of the group runs, undoes none of the statements reported
// done, applies none twice, and fails only the statement at work. The file
// is real; the faults come from a file layer under the storage library that
// fails writes to the write-ahead log, once or for good.
#include <cstdlib>
#include <functional>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "EngineFixture.h"
#include "Database.h"
#include "support/FaultyDatabaseWrites.h"

namespace jet::testing {
namespace {

// The first statements after a durability point commit one by one; these
// many make the next ones share a group.
constexpr int kOneByOne = 64;
constexpr int kDiskFull = 3026;

template <typename Case>
std::string NameOf(const ::testing::TestParamInfo<Case>& c) {
  return c.param.name;
}

class GroupFault : public EngineTest {
 protected:
  GroupFault() {
    Run("CREATE TABLE t (id COUNTER PRIMARY KEY, n LONG, a TEXT(250))");
    // Reopened so that the connection writes through the faulty layer.
    db_.Close();
    db_.Open(ConnectionString(path_));
  }
  ~GroupFault() override {
    try {
      if (db_.IsOpen()) db_.Close();
    } catch (...) {
    }
  }

  // Inserts rows numbered on from the last, each reported done.
  void Insert(int rows) {
    for (int i = 0; i < rows; ++i) {
      done_.push_back(static_cast<int>(done_.size()) + 1);
      Run("INSERT INTO t (n, a) VALUES (" + std::to_string(done_.back()) + ", 'row')");
    }
  }

  // The statement runs; its engine error number, if it raised one, which
  // must also be the collection's only entry. An untouched collection shows
  // that a call that succeeded left it alone.
  std::optional<int> Failure(const std::function<void()>& action) {
    db_.errors().Clear();
    try {
      action();
    } catch (const Error& e) {
      EXPECT_EQ(db_.errors().Count(), 1u);
      if (db_.errors().Count() == 1) {
        EXPECT_EQ(db_.errors().Item(0).number, e.number());
      }
      return std::atoi(db_.errors().Count() == 1 ? db_.errors().Item(0).sqlState.c_str() : "0");
    }
    EXPECT_EQ(db_.errors().Count(), 0u);
    return std::nullopt;
  }

  // After a durability point and a reopening, the file holds every row
  // reported done exactly once, with the values they were told they have.
  void ExpectDoneOnceAndSound() {
    db_.MakeDurable();
    db_.Close();
    EXPECT_EQ(RawStored("PRAGMA integrity_check"), "text:ok");
    db_.Open(ConnectionString(path_));
    const auto rows = static_cast<std::int32_t>(done_.size());
    EXPECT_EQ(Scalar("SELECT count(*) FROM t"), Value::Long(rows));
    EXPECT_EQ(RawStored("SELECT count(*) FROM (SELECT n FROM t GROUP BY n HAVING count(*) > 1)"),
              "integer:0");
    EXPECT_EQ(RawStored("SELECT total(n) FROM t"),
              RawStored("SELECT " + std::to_string(std::accumulate(done_.begin(), done_.end(), 0)) + ".0"));
    EXPECT_EQ(Scalar("SELECT count(*) FROM t WHERE a = 'row'"), Value::Long(rows - changed_));
  }

  ::calmora::testing::FaultyDatabaseWrites faults_;
  std::vector<int> done_;  // the n of every row reported inserted
  int changed_ = 0;        // rows whose text was reported changed
};

// ---- a write that fails once while a group commits ----

struct CommitCase {
  const char* name;
  int inGroup;            // statements done in the group before the fault
  const char* statement;  // the one whose commit meets the fault; null: MakeDurable
  int changes;            // rows it changes (its text) once it is done
};
void PrintTo(const CommitCase& c, std::ostream* os) { *os << c.name; }

class OneFailedWriteAtCommit : public GroupFault, public ::testing::WithParamInterface<CommitCase> {};

TEST_P(OneFailedWriteAtCommit, KeepsEveryStatementReportedDoneAndFailsOnlyTheOneAtWork) {
  const CommitCase& c = GetParam();
  Insert(kOneByOne + c.inGroup);
  faults_.FailFrom(1, "-wal", false, 1);
  const std::string statement = c.statement ? c.statement : "";
  const auto failure = Failure([&] {
    if (c.statement) {
      db_.Execute(statement);
    } else {
      db_.MakeDurable();
    }
  });
  ASSERT_EQ(faults_.failed(), 1) << "the fault was never met";
  if (c.statement) {
    // The statement at work was told it failed, and did nothing; done again
    // by the caller, it counts once.
    EXPECT_EQ(failure, kDiskFull);
    EXPECT_EQ(Scalar("SELECT count(*) FROM t"), Value::Long(static_cast<std::int32_t>(done_.size())));
    EXPECT_EQ(Scalar("SELECT count(*) FROM t WHERE a = 'row'"),
              Value::Long(static_cast<std::int32_t>(done_.size())));
    if (c.changes == 0) done_.push_back(static_cast<int>(done_.size()) + 1);
    Run(statement);
    changed_ = c.changes;
  } else {
    // Everything was kept: nothing to report.
    EXPECT_EQ(failure, std::nullopt);
  }
  ExpectDoneOnceAndSound();
}

INSTANTIATE_TEST_SUITE_P(
    Groups, OneFailedWriteAtCommit,
    ::testing::Values(CommitCase{"AtMakeDurable", 100, nullptr, 0},
                      // The group's 256th statement closes it.
                      CommitCase{"AtTheGroupsBound", 255, "INSERT INTO t (n, a) VALUES (320, 'row')", 0},
                      CommitCase{"AfterManyRowsChanged", 100, "UPDATE t SET a = 'changed' WHERE n <= 40", 40}),
    NameOf<CommitCase>);

// ---- a write that fails once in the middle of a statement of the group ----

struct MidStatementCase {
  const char* name;
  const char* statement;  // changes every row, more pages than the cache holds
};
void PrintTo(const MidStatementCase& c, std::ostream* os) { *os << c.name; }

class OneFailedWriteInAStatement : public GroupFault,
                                   public ::testing::WithParamInterface<MidStatementCase> {};

TEST_P(OneFailedWriteInAStatement, FailsThatStatementAloneAndKeepsTheGroupBeforeIt) {
  Insert(kOneByOne + 200);
  // A cache of a few pages makes the storage library write changed pages to
  // the log while the statement runs, not only when it commits.
  ASSERT_EQ(sqlite3_exec(DatabaseOf(db_).handle(), "PRAGMA cache_size = 4", nullptr, nullptr, nullptr),
            SQLITE_OK);
  faults_.FailFrom(1, "-wal", false, 1);
  EXPECT_EQ(Failure([&] { db_.Execute(GetParam().statement); }), kDiskFull);
  ASSERT_EQ(faults_.failed(), 1) << "the fault was never met";
  ExpectDoneOnceAndSound();
}

INSTANTIATE_TEST_SUITE_P(
    Groups, OneFailedWriteInAStatement,
    // The storage library ends the whole transaction on the update, and
    // undoes the delete alone.
    ::testing::Values(MidStatementCase{"Update", "UPDATE t SET a = 'changed to a longer text than before'"},
                      MidStatementCase{"Delete", "DELETE FROM t WHERE n > 0"}),
    NameOf<MidStatementCase>);

// ---- a disk that stays full ----

// What was reported done is kept, or the next durability point says that
// it is not: a durability point that succeeds has everything reported done.
TEST_F(GroupFault, ADiskThatStaysFullLosesNothingReportedDoneWithoutSayingSo) {
  Insert(kOneByOne + 255);
  faults_.FailFrom(1, "-wal");
  EXPECT_EQ(Failure([&] { db_.Execute("INSERT INTO t (n, a) VALUES (320, 'row')"); }), kDiskFull);
  ASSERT_GT(faults_.failed(), 0) << "the fault was never met";
  const auto durable = Failure([&] { db_.MakeDurable(); });
  faults_.FailFrom(0);
  if (durable) {
    EXPECT_EQ(*durable, kDiskFull);
    // The disk has room again: the next durability point keeps them all.
  }
  ExpectDoneOnceAndSound();
}

}  // namespace
}  // namespace jet::testing
