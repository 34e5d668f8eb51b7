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

using calmora::testing::ReadFileBytes;
using Result = calmora::testing::ProgramOutcome;

// Standard error holds exactly `count` reports "ERROR <number>: <description>".
bool ErrorLines(const std::string& err, int count) {
  return std::regex_match(err, std::regex("(ERROR -[0-9]+: [^\n]+\n){" + std::to_string(count) + "}"));
}

constexpr char kSchema[] =
    "CREATE TABLE visit (ID COUNTER PRIMARY KEY, name TEXT(50) null, seen DATE, "
    "paid CURRENCY null, ratio NUMBER null, active YESNO, count_of LONG null)\n";

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

TEST_F(CalmoraSql, SelectPrintsHeaderAndRowsInDefaultTextForms) {
  const Result r = Sql(std::string(kSchema) +
                           "INSERT INTO visit (name, seen, paid, ratio, active, count_of) VALUES "
                           "('O''Brien, Zoë', #3/5/2014 14:05:00#, 12.5, -0.0001, True, -7)\n"
                           "INSERT INTO visit (name, seen, paid, ratio, active, count_of) VALUES "
                           "(null, #12/31/1999#, 1234, 1234.5, False, null)\n"
                           "SELECT ID, name, seen, paid, ratio, active, count_of FROM visit ORDER BY ID\n"
                           "select Name AS who from VISIT where ID = 99\n",
                       /*create=*/true);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "ID\tname\tseen\tpaid\tratio\tactive\tcount_of\n"
            "1\tO'Brien, Zoë\t3/5/2014 14:05:00\t12.5\t-0.0001\tTrue\t-7\n"
            "2\tNull\t12/31/1999\t1234\t1234.5\tFalse\tNull\n"
            "who\n");  // no row matches: the header alone
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

TEST_F(CalmoraSql, FailingStatementsAreReportedAndTheRestStillRun) {
  const Result r = Sql(std::string(kSchema) +
                           "\n   \n-- INSERT INTO nowhere VALUES (1): never run\n  -- indented comment\n"
                           "INSERT INTO nowhere (x) VALUES (1)\nINSERT INTO visit (name, active) VALUES ('" +
                           std::string(51, 'x') + "', True)\n"
                           "INSERT INTO visit (name, active) VALUES ('kept', False)\r\n"
                           "SELECT nonsense FROM visit\nSELECT name FROM visit\n",
                       /*create=*/true);
  EXPECT_EQ(r.status, 1);
  // Unknown table, overlong text, unknown column: three reports; the refused rows left nothing.
  EXPECT_TRUE(ErrorLines(r.err, 3)) << r.err;
  EXPECT_EQ(r.out, "name\nkept\n");
}

TEST_F(CalmoraSql, DataPersistsEncryptedAndFilesAreNeitherOverwrittenNorCreatedByOpening) {
  ASSERT_EQ(Sql(std::string(kSchema) + "INSERT INTO visit (name, active) VALUES ('Ann', True)\n", true).status,
            0);
  const Result again = Sql("SELECT name, active FROM visit\n");
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.out, "name\tactive\nAnn\tTrue\n");
  const Result wrong = Sql("SELECT name FROM visit\n", false, "not-the-password");
  EXPECT_EQ(wrong.status, 1);
  EXPECT_EQ(wrong.out, "");
  EXPECT_TRUE(ErrorLines(wrong.err, 1)) << wrong.err;
  EXPECT_EQ(ReadFileBytes(db_).find("Ann"), std::string::npos);  // encrypted on disk

  calmora::testing::WriteFileBytes(db_, "somebody's file");
  const Result create = Sql("CREATE TABLE t (ID COUNTER PRIMARY KEY)\n", /*create=*/true);
  EXPECT_EQ(create.status, 1);
  EXPECT_TRUE(ErrorLines(create.err, 1)) << create.err;
  EXPECT_EQ(ReadFileBytes(db_), "somebody's file");
  fs::remove(db_);
  const Result open = Sql("SELECT 1 AS one\n");
  EXPECT_EQ(open.status, 1);
  EXPECT_TRUE(ErrorLines(open.err, 1)) << open.err;
  EXPECT_FALSE(fs::exists(db_));
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
