// Statements reported done stay done when the disk fails or a statement
// fails, none is applied twice, only the statement at work fails, and the
// file stays sound. The faults are real where they can be: a child process
// whose file-size limit stops the database from growing, a child that ends
// without closing its connection; a file layer under the storage library
// fails writes to the write-ahead log, once or for good.
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <new>
#include <numeric>
#include <optional>

#include "Database.h"
#include "EngineFixture.h"
#include "support/FaultyDatabaseWrites.h"

namespace jet::testing {
namespace {

struct ChildReport {
  int done = -1;     // statements reported done
  int sqlState = 0;  // the engine error number of the failure, from the collection
};

// The first statements after a durability point commit one by one; these
// many make the next ones share a group.
constexpr int kOneByOne = 64;
constexpr int kDiskFull = 3026;

class Durability : public EngineTest {
 protected:
  Durability() {
    Run("CREATE TABLE t (id COUNTER PRIMARY KEY, n LONG, a TEXT(250))");
    db_.Close();  // reopened to write through the faulty layer
    db_.Open(ConnectionString(path_));
  }
  ~Durability() override {  // the connection goes before the layer under it
    try {
      if (db_.IsOpen()) db_.Close();
    } catch (...) {
    }
  }

  // Runs `work` on a new connection in a child process that ends without
  // closing it; the child reports through memory it shares with this one.
  // Its rows are numbered 1 to done; their text is not 'row'.
  ChildReport InChild(const std::function<void(Connection&, ChildReport&)>& work) {
    db_.Close();
    void* shared = ::mmap(nullptr, sizeof(ChildReport), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    EXPECT_NE(shared, MAP_FAILED);
    ChildReport& report = *new (shared) ChildReport;
    const pid_t child = ::fork();
    if (child == 0) {
      Connection c;
      try {
        ::signal(SIGXFSZ, SIG_IGN);
        c.Open(ConnectionString(path_));
        work(c, report);
      } catch (const Error&) {
        if (c.errors().Count() == 1) report.sqlState = std::atoi(c.errors().Item(0).sqlState.c_str());
      }
      ::_exit(0);
    }
    EXPECT_GE(child, 0);
    ::waitpid(child, nullptr, 0);
    const ChildReport copy = report;
    ::munmap(shared, sizeof(ChildReport));
    for (int n = 1; n <= copy.done; ++n) done_.push_back(n);
    changed_ = copy.done;
    return copy;
  }
  static std::string Numbered(int n, const std::string& text) {
    return "INSERT INTO t (n, a) VALUES (" + std::to_string(n) + ", '" + text + "')";
  }

  // Inserts rows numbered on from the last, each reported done.
  void Insert(int rows) {
    for (int i = 0; i < rows; ++i) {
      done_.push_back(static_cast<int>(done_.size()) + 1);
      Run(Numbered(done_.back(), "row"));
    }
  }

  // The engine error number the action raised, also the collection's only
  // entry; a call that succeeds leaves the collection empty.
  std::optional<int> Failure(const std::function<void()>& action) {
    db_.errors().Clear();
    try {
      action();
    } catch (const Error& e) {
      EXPECT_TRUE(db_.errors().Count() == 1 && db_.errors().Item(0).number == e.number());
      return std::atoi(SqlState().c_str());
    }
    EXPECT_EQ(db_.errors().Count(), 0u);
    return std::nullopt;
  }

  // After a durability point and a reopening, the file holds every row
  // reported done exactly once, with the values they were told they have,
  // and takes more.
  void ExpectDoneOnceAndSound() {
    if (db_.IsOpen()) {
      db_.MakeDurable();
      db_.Close();
    }
    EXPECT_EQ(RawStored("PRAGMA integrity_check"), "text:ok");
    db_.Open(ConnectionString(path_));
    const auto rows = static_cast<std::int32_t>(done_.size());
    EXPECT_EQ(Count("t"), Value::Long(rows));
    EXPECT_EQ(RawStored("SELECT count(*) FROM (SELECT n FROM t GROUP BY n HAVING count(*) > 1)"), "integer:0");
    EXPECT_EQ(RawStored("SELECT total(n) FROM t"),
              RawStored("SELECT " + std::to_string(std::accumulate(done_.begin(), done_.end(), 0)) + ".0"));
    EXPECT_EQ(Count("t WHERE a = 'row'"), Value::Long(rows - changed_));
    Run(Numbered(0, "after"));
  }

  ::calmora::testing::FaultyDatabaseWrites faults_;
  std::vector<int> done_;  // the n of every row reported inserted
  int changed_ = 0;        // rows whose text is not 'row'
};

// The disk fills before the engine can set room aside in the log for a
// group of statements, and after many groups (the file then grows by the
// rows, moved from the log into it).
class FullDisk : public Durability, public ::testing::WithParamInterface<std::int64_t> {};

TEST_P(FullDisk, NeverUndoesAStatementReportedDone) {
  const auto limit = static_cast<rlim_t>(std::filesystem::file_size(path_) + static_cast<std::uintmax_t>(GetParam()));
  const ChildReport report = InChild([&](Connection& c, ChildReport& r) {
    const rlimit l{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &l);
    for (r.done = 0; r.done < 100000; ++r.done) c.Execute(Numbered(r.done + 1, std::string(250, 'c')));
  });
  ASSERT_GT(report.done, 0) << "the disk filled before any statement";
  ASSERT_LT(report.done, 100000) << "the disk never filled";
  // Disk full (3026) or a disk error (3043), as the system reports it.
  EXPECT_TRUE(report.sqlState == kDiskFull || report.sqlState == 3043) << report.sqlState;
  ExpectDoneOnceAndSound();
}

INSTANTIATE_TEST_SUITE_P(BeforeAndAfterGroups, FullDisk,
                         ::testing::Values(std::int64_t{96 * 1024}, kLogRoom + 512 * 1024));

TEST_F(Durability, AFailingStatementKeepsTheStatementsBeforeItWhenTheProcessEnds) {
  const ChildReport report = InChild([](Connection& c, ChildReport& r) {
    for (r.done = 0; r.done < 300; ++r.done) c.Execute(Numbered(r.done + 1, "kept"));
    c.Execute(Numbered(301, std::string(251, 'x')));
  });
  EXPECT_EQ(report.done, 300);
  EXPECT_EQ(report.sqlState, 3163);
  ExpectDoneOnceAndSound();
}

// ---- faults while statements share a group ----

struct OneFault {
  const char* name;
  int inGroup;            // statements done in the group before the fault
  const char* statement;  // the one that meets the fault; null: MakeDurable
  int changes;            // rows it changes once done again; -1: while it runs, not done again
};

class OneFailedWrite : public Durability, public ::testing::WithParamInterface<OneFault> {};

TEST_P(OneFailedWrite, KeepsEveryStatementReportedDoneAndFailsOnlyTheOneAtWork) {
  const OneFault& c = GetParam();
  Insert(kOneByOne + c.inGroup);
  // A cache of a few pages makes the storage library write changed pages to
  // the log while a statement runs, not only when it commits.
  if (c.changes < 0) {
    ASSERT_EQ(sqlite3_exec(DatabaseOf(db_).handle(), "PRAGMA cache_size = 4", nullptr, nullptr, nullptr), SQLITE_OK);
  }
  faults_.FailFrom(1, "-wal", false, 1);
  const std::string statement = c.statement ? c.statement : "";
  const auto failure = Failure([&] { c.statement ? db_.Execute(statement) : db_.MakeDurable(); });
  ASSERT_EQ(faults_.failed(), 1) << "the fault was never met";
  // The statement at work was told it failed, and did nothing; done again
  // by the caller, it counts once. A durability point keeps everything.
  EXPECT_EQ(failure, c.statement ? std::optional<int>(kDiskFull) : std::nullopt);
  if (c.statement && c.changes >= 0) {
    EXPECT_EQ(Count("t WHERE a = 'row'"), Value::Long(static_cast<std::int32_t>(done_.size())));
    if (c.changes == 0) done_.push_back(static_cast<int>(done_.size()) + 1);
    Run(statement);
    changed_ = c.changes;
  }
  ExpectDoneOnceAndSound();
}

INSTANTIATE_TEST_SUITE_P(
    Groups, OneFailedWrite,
    ::testing::Values(OneFault{"AtMakeDurable", 100, nullptr, 0},
                      // The group's 256th statement closes it.
                      OneFault{"AtTheGroupsBound", 255, "INSERT INTO t (n, a) VALUES (320, 'row')", 0},
                      OneFault{"AfterManyRowsChanged", 100, "UPDATE t SET a = 'changed' WHERE n <= 40", 40},
                      // Changing more pages than the cache holds: the storage library ends the
                      // whole transaction on the update, and undoes the delete alone.
                      OneFault{"InAnUpdate", 200, "UPDATE t SET a = 'changed to a longer text than before'", -1},
                      OneFault{"InADelete", 200, "DELETE FROM t WHERE n > 0", -1}),
    [](const ::testing::TestParamInfo<OneFault>& c) { return std::string(c.param.name); });

// What was reported done is kept, or the next durability point says that
// it is not: a durability point that succeeds has everything reported done.
TEST_F(Durability, ADiskThatStaysFullLosesNothingReportedDoneWithoutSayingSo) {
  Insert(kOneByOne + 255);
  faults_.FailFrom(1, "-wal");
  EXPECT_EQ(Failure([&] { db_.Execute("INSERT INTO t (n, a) VALUES (320, 'row')"); }), kDiskFull);
  ASSERT_GT(faults_.failed(), 0) << "the fault was never met";
  EXPECT_EQ(Failure([&] { db_.MakeDurable(); }).value_or(kDiskFull), kDiskFull);  // fails as full, or not at all
  faults_.FailFrom(0);  // the disk has room again: the next durability point keeps them all
  ExpectDoneOnceAndSound();
}

}  // namespace
}  // namespace jet::testing
