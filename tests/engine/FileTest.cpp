// The database file: its format as other programs meet it, and the errors
// of opening and creating it.
#include <cstdio>
#include <fstream>

#include "EngineFixture.h"

namespace jet::testing {
namespace {

namespace fs = std::filesystem;

// Output and exit status of a shell command line.
std::pair<std::string, int> RunProgram(const std::string& command) {
  std::string output;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return {"", -1};
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  const int status = ::pclose(pipe);
  return {output, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

void FlipByte(const std::string& path, std::streamoff offset) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekg(offset);
  char c = 0;
  f.get(c);
  f.seekp(offset);
  f.put(static_cast<char>(c ^ 0x5a));
}

class DatabaseFile : public EngineTest {
 protected:
  // The error of opening a connection on `path`; the collection is checked
  // to hold that error alone.
  Error OpenFails(const std::string& connectionString) {
    Connection c;
    try {
      c.Open(connectionString);
    } catch (const Error& e) {
      EXPECT_FALSE(c.IsOpen());
      if (e.source() == kEngineSource) {
        EXPECT_EQ(c.errors().Count(), 1u);
        if (c.errors().Count() == 1) {
          EXPECT_EQ(c.errors().Item(0).description, e.description());
        }
      }
      return e;
    }
    ADD_FAILURE() << "opened: " << connectionString;
    return Error(0, "", "");
  }
};

TEST_F(DatabaseFile, TheClientReadsItWithKeyAndPageSizeAndNothingElseDoes) {
  Run("CREATE TABLE Person (ID COUNTER PRIMARY KEY, LastName TEXT(30))");
  Run("INSERT INTO Person (LastName) VALUES ('Quist')");
  db_.MakeDurable();
  const std::string keyed = std::string("PRAGMA key='") + kPassword + "'; PRAGMA cipher_page_size=4096; ";
  auto [rows, status] = RunProgram("sqlcipher " + path_ + " \"" + keyed + "SELECT * FROM Person;\"");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(rows, "1|Quist\n");
  EXPECT_NE(RunProgram("sqlcipher " + path_ + " \"SELECT * FROM Person;\"").second, 0);
  EXPECT_NE(RunProgram("sqlite3 " + path_ + " \"SELECT * FROM Person;\"").second, 0);
  const auto withoutPageSize = RunProgram("sqlcipher " + path_ + " \"PRAGMA key='" +
                                          std::string(kPassword) + "'; SELECT * FROM Person;\"");
  EXPECT_NE(withoutPageSize.second, 0);
}

TEST_F(DatabaseFile, CloseLeavesOneSelfContainedFile) {
  Run("CREATE TABLE t (id COUNTER PRIMARY KEY, a TEXT(5))");
  Run("INSERT INTO t (a) VALUES ('x')");
  db_.Close();
  EXPECT_FALSE(fs::exists(path_ + "-wal"));
  EXPECT_FALSE(fs::exists(path_ + "-shm"));
  EXPECT_FALSE(fs::exists(path_ + "-journal"));
  // A copy of the file alone holds everything.
  const std::string copy = (folder_ / "copy.mdb").string();
  fs::copy_file(path_, copy);
  Connection other;
  other.Open(ConnectionString(copy));
  Recordset rs;
  rs.Open("select a from t", other);
  EXPECT_EQ(rs.Field("a"), Value::Text("x"));
}

TEST_F(DatabaseFile, AnotherConnectionSeesEveryStatementDone) {
  Run("CREATE TABLE t (id COUNTER PRIMARY KEY, a TEXT(5))");
  Run("INSERT INTO t (a) VALUES ('x')");
  Connection other;
  other.Open(ConnectionString(path_));
  Recordset rs;
  rs.Open("select count(*) from t", other);
  EXPECT_EQ(rs.FieldAt(0), Value::Long(1));
}

TEST_F(DatabaseFile, ConnectionStringSettingsComeInAnyOrderAndCase) {
  db_.Close();
  Connection c;
  c.Open(std::string("jet oledb:database password=") + kPassword + "; DATA SOURCE=" + path_ +
         ";user id=Admin;provider=microsoft.jet.oledb.4.0");
  EXPECT_TRUE(c.IsOpen());
}

TEST_F(DatabaseFile, EachKindOfUnopenableFileHasItsOwnError) {
  db_.Close();
  const std::string missing = (folder_ / "missing.mdb").string();
  Error e = OpenFails(ConnectionString(missing));
  EXPECT_EQ(e.description(), "Could not find file '" + missing + "'.");
  EXPECT_EQ(e.number(), -2147467259);
  EXPECT_EQ(e.source(), kEngineSource);

  const std::string empty = (folder_ / "empty.mdb").string();
  std::ofstream(empty).close();
  EXPECT_EQ(OpenFails(ConnectionString(empty)).description(),
            "Unrecognized database format '" + empty + "'.  The file is empty.");

  const std::string plain = (folder_ / "plain.db").string();
  ASSERT_EQ(RunProgram("sqlite3 " + plain + " \"CREATE TABLE t (a);\"").second, 0);
  EXPECT_NE(OpenFails(ConnectionString(plain)).description().find("without a password"),
            std::string::npos);

  EXPECT_EQ(OpenFails(ConnectionString(path_, "wrong")).description(),
            "Not a valid password, or the database file is damaged: the engine cannot tell which.");
  const std::string damaged = (folder_ / "damaged.mdb").string();
  fs::copy_file(path_, damaged);
  FlipByte(damaged, 100);
  EXPECT_EQ(OpenFails(ConnectionString(damaged)).description(),
            "Not a valid password, or the database file is damaged: the engine cannot tell which.");
  EXPECT_NE(OpenFails(ConnectionString(folder_.string())).description().find("cannot open the file"),
            std::string::npos);
  EXPECT_EQ(OpenFails("Provider=Microsoft.Jet.OLEDB.4.0;Jet OLEDB:Database Password=x").number(),
            -2147467259);
  EXPECT_EQ(OpenFails("Provider=Microsoft.Jet.OLEDB.4.0;Data Source").number(), -2147217805);
}

TEST_F(DatabaseFile, ADamagedPageFailsItsReadWithoutHarm) {
  Run("CREATE TABLE t (id COUNTER PRIMARY KEY, a TEXT(200))");
  for (int i = 0; i < 40; ++i) Run("INSERT INTO t (a) VALUES ('" + std::string(150, 'x') + "')");
  db_.Close();
  FlipByte(path_, 4096 * 3 + 500);
  Connection c;
  c.Open(ConnectionString(path_));
  Recordset rs;
  try {
    rs.Open("select * from t", c);
    FAIL() << "damaged page read";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), -2147467259);
    EXPECT_EQ(c.errors().Count(), 1u);
  }
}

TEST_F(DatabaseFile, AnUnknownProviderLeavesTheCollectionAlone) {
  db_.Close();
  Connection c;
  EXPECT_THROW(c.Open(ConnectionString((folder_ / "missing.mdb").string())), Error);
  ASSERT_EQ(c.errors().Count(), 1u);
  try {
    c.Open("Provider=SQLOLEDB;Data Source=" + path_);
    FAIL() << "opened";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), -2146824582);
    EXPECT_EQ(e.description(), "Provider cannot be found. It may not be properly installed.");
  }
  EXPECT_EQ(c.errors().Item(0).sqlState, "3024");
}

TEST_F(DatabaseFile, CreatingNeverTouchesAnExistingFileAndNeedsAPassword) {
  Run("CREATE TABLE t (id COUNTER PRIMARY KEY)");
  db_.Close();
  const auto size = fs::file_size(path_);
  try {
    Connection::CreateDatabase(path_, kPassword);
    FAIL() << "created over an existing file";
  } catch (const Error& e) {
    EXPECT_EQ(e.description(), "Database '" + path_ + "' already exists.");
  }
  EXPECT_EQ(fs::file_size(path_), size);
  const std::string fresh = (folder_ / "fresh.mdb").string();
  EXPECT_THROW(Connection::CreateDatabase(fresh, ""), Error);
  EXPECT_FALSE(fs::exists(fresh));
}

TEST_F(DatabaseFile, ObjectStateIsChecked) {
  EXPECT_THROW(db_.Open(ConnectionString(path_)), Error);
  db_.Close();
  try {
    db_.Execute("select 1 from t");
    FAIL() << "executed on a closed connection";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), -2146824584);
  }
  EXPECT_THROW(db_.Close(), Error);
}

}  // namespace
}  // namespace jet::testing
