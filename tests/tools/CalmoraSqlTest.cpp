// calmora-sql run as a real process on real database files.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "jet/Connection.h"
#include "support/FileBytes.h"
#include "support/ProgramRun.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using Result = calmora::testing::ProgramOutcome;

// Standard error holds exactly `count` reports "ERROR <number>: <description>".
bool ErrorLines(const std::string& err, int count) {
  return std::regex_match(err, std::regex("(ERROR -[0-9]+: [^\n]+\n){" + std::to_string(count) + "}"));
}

class CalmoraSql : public ::testing::Test {
 protected:
  // Runs the tool with the arguments and the text on its standard input.
  Result Run(const std::vector<std::string>& args, const std::string& input) {
    return calmora::testing::RunProgram(CALMORA_SQL_PATH, args, dir_.path(), input);
  }
  Result Sql(const std::string& input, bool create = false, const std::string& password = "pw") {
    std::vector<std::string> args{"--password", password, db_};
    if (create) args.insert(args.begin(), "--create");
    return Run(args, input);
  }

  calmora::testing::TempDir dir_;
  std::string db_ = (dir_ / "practice.mdb").string();
};

TEST_F(CalmoraSql, PrintsRowsInDefaultTextFormsAndReportsEachFailingStatement) {
  const Result r = Sql(
      "CREATE TABLE visit (ID COUNTER PRIMARY KEY, name TEXT(50) null, seen DATE, paid CURRENCY null, "
      "ratio NUMBER null, active YESNO, count_of LONG null)\n"
      "\n   \n-- INSERT INTO nowhere VALUES (1): never run\n  -- indented comment\n"
      "INSERT INTO visit (name, seen, paid, ratio, active, count_of) VALUES "
      "('O''Brien, Zoë', #3/5/2014 14:05:00#, 12.5, -0.0001, True, -7)\n"
      "INSERT INTO nowhere (x) VALUES (1)\n"
      "INSERT INTO visit (name, active) VALUES ('" + std::string(51, 'x') + "', True)\n"
      "INSERT INTO visit (name, seen, paid, ratio, active, count_of) VALUES "
      "(null, #12/31/1999#, 1234, 1234.5, False, null)\r\n"
      "SELECT nonsense FROM visit\n"
      "SELECT ID, name, seen, paid, ratio, active, count_of FROM visit ORDER BY ID\n"
      "select Name AS who from VISIT where ID = 99\n",
      /*create=*/true);
  EXPECT_EQ(r.status, 1);
  // Unknown table, overlong text, unknown column: three reports; the refused rows left nothing.
  EXPECT_TRUE(ErrorLines(r.err, 3)) << r.err;
  EXPECT_EQ(r.out,
            "ID\tname\tseen\tpaid\tratio\tactive\tcount_of\n"
            "1\tO'Brien, Zoë\t3/5/2014 14:05:00\t12.5\t-0.0001\tTrue\t-7\n"
            "2\tNull\t12/31/1999\t1234\t1234.5\tFalse\tNull\n"
            "who\n");  // no row matches: the header alone
  EXPECT_EQ(Sql("SELECT count(*) AS n FROM visit\n").out, "n\n2\n");
}

TEST_F(CalmoraSql, ControlCharactersAreEscapedSoEachLineIsOneRow) {
  // A line break cannot be typed into a one-line statement: store it through the engine.
  jet::Connection::CreateDatabase(db_, "pw");
  jet::Connection c;
  c.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + db_ + ";Jet OLEDB:Database Password=pw;");
  c.Execute("CREATE TABLE note (ID COUNTER PRIMARY KEY, body TEXT(100) null)");
  c.Execute("INSERT INTO note (body) VALUES ('a\tb\nc\\d\r\ne')");
  c.Execute("INSERT INTO note (body) VALUES ('C:\\tmp\\new')");
  c.Close();
  const Result r = Sql("SELECT body FROM note ORDER BY ID\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "body\na\\tb\\nc\\\\d\\r\\ne\nC:\\\\tmp\\\\new\n");
}

// Opening, creating and the password are the engine's; here only how the
// tool reports their failures.
TEST_F(CalmoraSql, FilesItCannotUseAreReportedAndLeftAsTheyWere) {
  ASSERT_EQ(Sql("CREATE TABLE t (ID COUNTER PRIMARY KEY)\n", true).status, 0);
  const Result wrong = Sql("SELECT ID FROM t\n", false, "not-the-password");
  calmora::testing::WriteFileBytes(db_, "somebody's file");
  const Result create = Sql("CREATE TABLE t (ID COUNTER PRIMARY KEY)\n", /*create=*/true);
  EXPECT_EQ(calmora::testing::ReadFileBytes(db_), "somebody's file");
  fs::remove(db_);
  const Result open = Sql("SELECT 1 AS one\n");
  EXPECT_FALSE(fs::exists(db_));
  for (const Result& r : {wrong, create, open}) {
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(ErrorLines(r.err, 1)) << r.err;
  }
}

TEST_F(CalmoraSql, UsageErrorsExitTwoAndTouchNothing) {
  const std::vector<std::vector<std::string>> cases{
      {}, {"--create"}, {"--password"}, {db_, "--password"}, {"--bogus", db_}, {db_, db_ + "2"},
      {"--create", "--password", "a;b", db_}, {"--create", db_ + ";x"},
  };
  for (const auto& args : cases) {
    const Result r = Run(args, "CREATE TABLE t (ID COUNTER PRIMARY KEY)\n");
    EXPECT_EQ(r.status, 2) << testing::PrintToString(args);
    EXPECT_NE(r.err.find("usage: calmora-sql [--create] [--password PW] DATABASE"), std::string::npos);
    EXPECT_EQ(r.out, "");
  }
  EXPECT_FALSE(fs::exists(db_));
  EXPECT_FALSE(fs::exists(db_ + ";x"));
}

}  // namespace
