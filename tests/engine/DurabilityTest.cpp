// Statements that were reported done stay done when the disk fails, and the
// file stays sound. The fault is real: a child process whose file-size limit
// stops the database from growing.
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <new>

#include "EngineFixture.h"

namespace jet::testing {
namespace {

struct ChildReport {
  int done = -1;     // statements reported done
  int sqlState = 0;  // the engine error number of the failure, from the collection
};

TEST_F(EngineTest, AFullDiskNeverUndoesAStatementReportedDone) {
  Run("CREATE TABLE t (id COUNTER PRIMARY KEY, a TEXT(250))");
  for (int i = 0; i < 20; ++i) Run("INSERT INTO t (a) VALUES ('" + std::string(200, 'p') + "')");
  db_.Close();
  const auto limit = static_cast<rlim_t>(std::filesystem::file_size(path_) + 96 * 1024);

  // The child reports through memory it shares with this process.
  void* shared = ::mmap(nullptr, sizeof(ChildReport), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(shared, MAP_FAILED);
  ChildReport& report = *new (shared) ChildReport;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    Connection c;
    try {
      ::signal(SIGXFSZ, SIG_IGN);
      c.Open(ConnectionString(path_));
      const rlimit r{limit, limit};
      ::setrlimit(RLIMIT_FSIZE, &r);
      for (report.done = 0; report.done < 5000; ++report.done)
        c.Execute("INSERT INTO t (a) VALUES ('" + std::string(200, 'c') + "')");
    } catch (const Error&) {
      if (c.errors().Count() == 1) report.sqlState = std::atoi(c.errors().Item(0).sqlState.c_str());
    }
    ::_exit(0);
  }
  ::waitpid(child, nullptr, 0);
  ASSERT_GT(report.done, 0) << "the disk filled before any statement";
  ASSERT_LT(report.done, 5000) << "the disk never filled";
  // Disk full (3026) or a disk error (3043), as the system reports it.
  EXPECT_TRUE(report.sqlState == 3026 || report.sqlState == 3043) << report.sqlState;

  EXPECT_EQ(RawStored("PRAGMA integrity_check"), "text:ok");
  db_.Open(ConnectionString(path_));
  EXPECT_EQ(Scalar("select count(*) from t"), Value::Long(20 + report.done));
  Run("INSERT INTO t (a) VALUES ('after')");
}

}  // namespace
}  // namespace jet::testing
