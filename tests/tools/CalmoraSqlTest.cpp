// calmora-sql run as a real process on real database files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "jet/Connection.h"

namespace {

namespace fs = std::filesystem;

struct Result {
  int exitCode = -1;
  std::string out, err;
};

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Standard error holds exactly `count` reports "ERROR <number>: <description>".
bool ErrorLines(const std::string& err, int count) {
  return std::regex_match(err, std::regex("(ERROR -[0-9]+: [^\n]+\n){" + std::to_string(count) + "}"));
}

constexpr char kSchema[] =
    "CREATE TABLE visit (ID COUNTER PRIMARY KEY, name TEXT(50) null, seen DATE, "
    "paid CURRENCY null, ratio NUMBER null, active YESNO, count_of LONG null)\n";

class CalmoraSql : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "calmora-sql-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    db_ = (dir_ / "practice.mdb").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs the tool with the arguments and the text on its standard input.
  Result Run(const std::vector<std::string>& args, const std::string& input) {
    std::ofstream(dir_ / "in", std::ios::binary) << input;
    std::string command = "cd '" + dir_.string() + "' && '" + CALMORA_SQL_PATH + "'";
    for (const auto& arg : args) command += " '" + arg + "'";
    command += " <in >out 2>err";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(dir_ / "out"), ReadFile(dir_ / "err")};
  }

  Result Sql(const std::string& input, bool create = false, const std::string& password = "pw") {
    std::vector<std::string> args{"--password", password, db_};
    if (create) args.insert(args.begin(), "--create");
    return Run(args, input);
  }

  fs::path dir_;
  std::string db_;
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
  EXPECT_EQ(r.exitCode, 0) << r.err;
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
  EXPECT_EQ(r.exitCode, 0) << r.err;
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
  EXPECT_EQ(r.exitCode, 1);
  // Unknown table, overlong text, unknown column: three reports; the refused rows left nothing.
  EXPECT_TRUE(ErrorLines(r.err, 3)) << r.err;
  EXPECT_EQ(r.out, "name\nkept\n");
}

TEST_F(CalmoraSql, DataPersistsEncryptedAndFilesAreNeitherOverwrittenNorCreatedByOpening) {
  ASSERT_EQ(Sql(std::string(kSchema) + "INSERT INTO visit (name, active) VALUES ('Ann', True)\n", true).exitCode,
            0);
  const Result again = Sql("SELECT name, active FROM visit\n");
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(again.out, "name\tactive\nAnn\tTrue\n");
  const Result wrong = Sql("SELECT name FROM visit\n", false, "not-the-password");
  EXPECT_EQ(wrong.exitCode, 1);
  EXPECT_EQ(wrong.out, "");
  EXPECT_TRUE(ErrorLines(wrong.err, 1)) << wrong.err;
  EXPECT_EQ(ReadFile(db_).find("Ann"), std::string::npos);  // encrypted on disk

  std::ofstream(db_, std::ios::binary | std::ios::trunc) << "somebody's file";
  const Result create = Sql("CREATE TABLE t (ID COUNTER PRIMARY KEY)\n", /*create=*/true);
  EXPECT_EQ(create.exitCode, 1);
  EXPECT_TRUE(ErrorLines(create.err, 1)) << create.err;
  EXPECT_EQ(ReadFile(db_), "somebody's file");
  fs::remove(db_);
  const Result open = Sql("SELECT 1 AS one\n");
  EXPECT_EQ(open.exitCode, 1);
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
    EXPECT_EQ(r.exitCode, 2) << testing::PrintToString(args);
    EXPECT_NE(r.err.find("usage: calmora-sql [--create] [--password PW] DATABASE"), std::string::npos);
    EXPECT_EQ(r.out, "");
  }
  EXPECT_FALSE(fs::exists(db_));
  EXPECT_FALSE(fs::exists(db_ + ";x"));
}

}  // namespace
