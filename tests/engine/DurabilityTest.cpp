// Statements that were reported done stay done when the disk fails or a
// statement fails, and the file stays sound. The faults are real: a child
// process whose file-size limit stops the database from growing, and a
// child that ends without closing its connection.
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <new>

#include "EngineFixture.h"
#include "Database.h"

namespace jet::testing {
namespace {

struct ChildReport {
  int done = -1;     // statements reported done
  int sqlState = 0;  // the engine error number of the failure, from the collection
};

class Durability : public EngineTest {
 protected:
  Durability() {
    Run("CREATE TABLE t (id COUNTER PRIMARY KEY, a TEXT(250))");
    for (int i = 0; i < 20; ++i) Run("INSERT INTO t (a) VALUES ('" + std::string(200, 'p') + "')");
    db_.Close();
  }

  // Runs `work` on a new connection in a child process that ends without
  // closing it; the child reports through memory it shares with this one.
  ChildReport InChild(const std::function<void(Connection&, ChildReport&)>& work) {
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
    return copy;
  }

  void ExpectSoundWithRows(int rows) {
    EXPECT_EQ(RawStored("PRAGMA integrity_check"), "text:ok");
    db_.Open(ConnectionString(path_));
    EXPECT_EQ(Scalar("select count(*) from t"), Value::Long(rows));
    Run("INSERT INTO t (a) VALUES ('after')");
  }
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
    for (r.done = 0; r.done < 100000; ++r.done)
      c.Execute("INSERT INTO t (a) VALUES ('" + std::string(250, 'c') + "')");
  });
  ASSERT_GT(report.done, 0) << "the disk filled before any statement";
  ASSERT_LT(report.done, 100000) << "the disk never filled";
  // Disk full (3026) or a disk error (3043), as the system reports it.
  EXPECT_TRUE(report.sqlState == 3026 || report.sqlState == 3043) << report.sqlState;
  ExpectSoundWithRows(20 + report.done);
}

INSTANTIATE_TEST_SUITE_P(BeforeAndAfterGroups, FullDisk,
                         ::testing::Values(std::int64_t{96 * 1024}, kLogRoom + 512 * 1024));

TEST_F(Durability, AFailingStatementKeepsTheStatementsBeforeItWhenTheProcessEnds) {
  const ChildReport report = InChild([](Connection& c, ChildReport& r) {
    for (r.done = 0; r.done < 300; ++r.done) c.Execute("INSERT INTO t (a) VALUES ('kept')");
    c.Execute("INSERT INTO t (a) VALUES ('" + std::string(251, 'x') + "')");
  });
  EXPECT_EQ(report.done, 300);
  EXPECT_EQ(report.sqlState, 3163);
  ExpectSoundWithRows(20 + 300);
}

}  // namespace
}  // namespace jet::testing
