// calmora-sql run as a real process on real database files.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "engine/Connection.h"

namespace {

namespace fs = std::filesystem;

struct Result {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

class CalmoraSql : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "calmora-sql-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    db_ = (dir_ / "practice.mdb").string();
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs the tool with the arguments and the text on its standard input.
  Result Run(const std::vector<std::string>& args, const std::string& input) {
    const fs::path in = dir_ / "stdin", out = dir_ / "stdout", err = dir_ / "stderr";
    WriteFile(in, input);
    std::vector<std::string> argv{CALMORA_SQL_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);

    const pid_t pid = fork();
    if (pid == 0) {
      const int i = open(in.c_str(), O_RDONLY);
      const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (i < 0 || o < 0 || e < 0 || dup2(i, 0) < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(127);
      execv(cargv[0], cargv.data());
      _exit(127);
    }
    Result r;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid) {
      r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    r.out = ReadFile(out);
    r.err = ReadFile(err);
    return r;
  }

  Result Sql(const std::string& input, bool create = false, const std::string& password = "pw") {
    std::vector<std::string> args;
    if (create) args.push_back("--create");
    args.insert(args.end(), {"--password", password, db_});
    return Run(args, input);
  }

  fs::path dir_;
  std::string db_;
};

// Every line of standard error is one well-formed error report.
::testing::AssertionResult OnlyErrorLines(const std::string& err, std::size_t expected) {
  static const std::regex kLine("ERROR -[0-9]+: [^\n]+");
  std::istringstream lines(err);
  std::string line;
  std::size_t count = 0;
  while (std::getline(lines, line)) {
    if (!std::regex_match(line, kLine)) return ::testing::AssertionFailure() << "bad line: " << line;
    ++count;
  }
  if (count != expected) {
    return ::testing::AssertionFailure() << count << " error lines, expected " << expected << ":\n" << err;
  }
  return ::testing::AssertionSuccess();
}

constexpr char kSchema[] =
    "CREATE TABLE visit (ID COUNTER PRIMARY KEY, name TEXT(50) null, seen DATE, "
    "paid CURRENCY null, ratio NUMBER null, active YESNO, count_of LONG null)\n";

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
  // A line break cannot be typed into a one-line statement: store it through
  // the engine, then read it with the tool.
  jet::Connection::CreateDatabase(db_, "pw");
  {
    jet::Connection c;
    c.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + db_ +
           ";User Id=Admin;Jet OLEDB:Database Password=pw;");
    c.Execute("CREATE TABLE note (ID COUNTER PRIMARY KEY, body TEXT(100) null)");
    c.Execute("INSERT INTO note (body) VALUES ('a\tb\nc\\d\r\ne')");
    c.Execute("INSERT INTO note (body) VALUES ('C:\\tmp\\new')");
    c.Close();
  }
  const Result r = Sql("SELECT body FROM note ORDER BY ID\n");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "body\na\\tb\\nc\\\\d\\r\\ne\nC:\\\\tmp\\\\new\n");
}

TEST_F(CalmoraSql, FailingStatementsAreReportedAndTheRestStillRun) {
  const Result r = Sql(std::string(kSchema) +
                           "\n"
                           "   \n"
                           "-- INSERT INTO nowhere VALUES (1): a comment, never run\n"
                           "  -- indented comment\n"
                           "INSERT INTO nowhere (x) VALUES (1)\n"
                           "INSERT INTO visit (name, active) VALUES ('" + std::string(51, 'x') + "', True)\n"
                           "INSERT INTO visit (name, active) VALUES ('kept', False)\r\n"
                           "SELECT nonsense FROM visit\n"
                           "SELECT name FROM visit\n",
                       /*create=*/true);
  EXPECT_EQ(r.exitCode, 1);
  // Unknown table, overlong text, unknown column: three reports, and the
  // refused rows left nothing behind.
  EXPECT_TRUE(OnlyErrorLines(r.err, 3));
  EXPECT_EQ(r.out, "name\nkept\n");
}

TEST_F(CalmoraSql, DataPersistsAndTheFileNeedsItsPassword) {
  ASSERT_EQ(Sql(std::string(kSchema) + "INSERT INTO visit (name, active) VALUES ('Ann', True)\n",
                /*create=*/true)
                .exitCode,
            0);
  const Result again = Sql("SELECT name, active FROM visit\n");
  EXPECT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(again.out, "name\tactive\nAnn\tTrue\n");

  const Result wrong = Sql("SELECT name FROM visit\n", false, "not-the-password");
  EXPECT_EQ(wrong.exitCode, 1);
  EXPECT_EQ(wrong.out, "");
  EXPECT_TRUE(OnlyErrorLines(wrong.err, 1));
  EXPECT_EQ(ReadFile(db_).find("Ann"), std::string::npos);  // encrypted on disk
}

TEST_F(CalmoraSql, CreateNeverOverwritesAndOpenNeverCreates) {
  WriteFile(db_, "somebody's file");
  const Result create = Sql("CREATE TABLE t (ID COUNTER PRIMARY KEY)\n", /*create=*/true);
  EXPECT_EQ(create.exitCode, 1);
  EXPECT_TRUE(OnlyErrorLines(create.err, 1));
  EXPECT_EQ(ReadFile(db_), "somebody's file");

  fs::remove(db_);
  const Result open = Sql("SELECT 1 AS one\n");
  EXPECT_EQ(open.exitCode, 1);
  EXPECT_TRUE(OnlyErrorLines(open.err, 1));
  EXPECT_FALSE(fs::exists(db_));
}

TEST_F(CalmoraSql, UsageErrorsExitTwoAndTouchNothing) {
  const std::vector<std::vector<std::string>> cases{
      {},
      {"--create"},
      {"--password"},
      {db_, "--password"},
      {"--bogus", db_},
      {db_, db_ + "2"},
      {"--create", "--password", "a;b", db_},
      {"--create", db_ + ";x"},
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
