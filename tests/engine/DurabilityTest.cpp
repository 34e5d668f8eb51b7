// Statements that were reported done stay done when the disk fails, and the
// file stays sound. The fault is real: a child process whose file-size limit
// stops the database from growing.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "EngineFixture.h"
#include "RawClient.h"

namespace jet::testing {
namespace {

struct ChildReport {
  int done = -1;        // statements reported done
  int sqlState = 0;     // the engine error number of the failure
};

TEST_F(EngineTest, AFullDiskNeverUndoesAStatementReportedDone) {
  Run("CREATE TABLE t (id COUNTER PRIMARY KEY, a TEXT(250))");
  for (int i = 0; i < 20; ++i) Run("INSERT INTO t (a) VALUES ('" + std::string(200, 'p') + "')");
  db_.Close();
  const auto limit = std::filesystem::file_size(path_) + 96 * 1024;

  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(fds[0]);
    ChildReport report;
    try {
      ::signal(SIGXFSZ, SIG_IGN);
      Connection c;
      c.Open(ConnectionString(path_));
      rlimit r{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
      ::setrlimit(RLIMIT_FSIZE, &r);
      report.done = 0;
      for (int i = 0; i < 5000; ++i) {
        c.Execute("INSERT INTO t (a) VALUES ('" + std::string(200, 'c') + "')");
        ++report.done;
      }
    } catch (const Error&) {
      // The collection holds the failure's engine number.
    }
    (void)::write(fds[1], &report, sizeof report);
    ::_exit(0);
  }
  ::close(fds[1]);
  ChildReport report;
  ASSERT_EQ(::read(fds[0], &report, sizeof report), static_cast<ssize_t>(sizeof report));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_GT(report.done, 0) << "the disk filled before any statement";
  ASSERT_LT(report.done, 5000) << "the disk never filled";

  RawClient raw(path_, kPassword);
  EXPECT_EQ(raw.Stored("PRAGMA integrity_check"), "text:ok");
  Connection after;
  after.Open(ConnectionString(path_));
  Recordset rs;
  rs.Open("select count(*) from t", after);
  EXPECT_EQ(rs.FieldAt(0), Value::Long(20 + report.done));
  after.Execute("INSERT INTO t (a) VALUES ('after')");
}

TEST_F(EngineTest, TheDiskFailureIsReportedThroughTheCollection) {
  Run("CREATE TABLE t (id COUNTER PRIMARY KEY, a TEXT(250))");
  db_.Close();
  const auto limit = std::filesystem::file_size(path_) + 64 * 1024;
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(fds[0]);
    ChildReport report;
    Connection c;
    try {
      ::signal(SIGXFSZ, SIG_IGN);
      c.Open(ConnectionString(path_));
      rlimit r{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
      ::setrlimit(RLIMIT_FSIZE, &r);
      for (int i = 0; i < 5000; ++i) c.Execute("INSERT INTO t (a) VALUES ('" + std::string(240, 'c') + "')");
    } catch (const Error&) {
      if (c.errors().Count() == 1) report.sqlState = std::atoi(c.errors().Item(0).sqlState.c_str());
    }
    (void)::write(fds[1], &report, sizeof report);
    ::_exit(0);
  }
  ::close(fds[1]);
  ChildReport report;
  ASSERT_EQ(::read(fds[0], &report, sizeof report), static_cast<ssize_t>(sizeof report));
  ::close(fds[0]);
  ::waitpid(child, nullptr, 0);
  // Disk full (3026) or a disk error (3043), as the system reports it.
  EXPECT_TRUE(report.sqlState == 3026 || report.sqlState == 3043) << report.sqlState;
}

}  // namespace
}  // namespace jet::testing
