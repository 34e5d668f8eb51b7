// The database file: its format as other programs meet it, and the errors
// of opening and creating it.
#include <fstream>
#include <vector>

#include "EngineFixture.h"
#include "support/ProgramRun.h"

namespace jet::testing {
namespace {

namespace fs = std::filesystem;

constexpr char kWrongOrDamaged[] =
    "Not a valid password, or the database file is damaged: the engine cannot tell which.";

// The exit status of another program on the file.
int StatusOf(const fs::path& folder, const std::string& program, const std::string& path, const std::string& sql) {
  return calmora::testing::RunProgram(program, {path, sql}, folder).status;
}

void FlipByte(const std::string& path, std::streamoff offset) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekg(offset);
  const int c = f.get();
  f.seekp(offset);
  f.put(static_cast<char>(c ^ 0x5a));
}

TEST_F(EngineTest, TheClientReadsTheFileWithKeyAndPageSizeAndNothingElseDoes) {
  Run("CREATE TABLE Person (ID COUNTER PRIMARY KEY, LastName TEXT(30))");
  Run("INSERT INTO Person (LastName) VALUES ('Quist')");
  db_.MakeDurable();
  const std::string key = std::string("PRAGMA key='") + kPassword + "'; ", select = "SELECT * FROM Person;";
  const auto read = calmora::testing::RunProgram("sqlcipher", {path_, key + "PRAGMA cipher_page_size=4096; " + select},
                                                 folder_.path());
  EXPECT_EQ(read.out + read.err, "1|Quist\n");
  EXPECT_EQ(read.status, 0);
  for (const auto& [program, sql] : std::vector<std::pair<const char*, std::string>>{
           {"sqlcipher", select}, {"sqlite3", select}, {"sqlcipher", key + select}})
    EXPECT_NE(StatusOf(folder_.path(), program, path_, sql), 0) << program << " " << sql;  // the last: no page size
}

TEST_F(EngineTest, EveryStatementDoneIsSeenByOthersAfterADurabilityPointAndCloseLeavesOneFile) {
  Run("CREATE TABLE t (id COUNTER PRIMARY KEY, a TEXT(5))");
  Run("INSERT INTO t (a) VALUES ('x')");
  EXPECT_EQ(RawStored("select count(*) from t"), "integer:1");  // after the durability point it makes
  sqlite3_close_v2(raw_);
  raw_ = nullptr;
  db_.Close();
  for (const char* side : {"-wal", "-shm", "-journal"}) EXPECT_FALSE(fs::exists(path_ + side)) << side;
  // A copy of the file alone holds everything; settings come in any order and case.
  const std::string copy = (folder_ / "copy.mdb").string();
  fs::copy_file(path_, copy);
  Connection other;
  other.Open(std::string("jet oledb:database password=") + kPassword + "; DATA SOURCE=" + copy +
             ";user id=Admin;provider=microsoft.jet.oledb.4.0");
  Recordset rs;
  rs.Open("select a from t", other);
  EXPECT_EQ(rs.Field("a"), Value::Text("x"));
}

TEST_F(EngineTest, EachKindOfUnopenableFileHasItsOwnError) {
  db_.Close();
  const std::string missing = (folder_ / "missing.mdb").string(), empty = (folder_ / "empty.mdb").string(),
                    plain = (folder_ / "plain.db").string(), damaged = (folder_ / "damaged.mdb").string();
  std::ofstream(empty).close();
  ASSERT_EQ(StatusOf(folder_.path(), "sqlite3", plain, "CREATE TABLE t (a);"), 0);
  fs::copy_file(path_, damaged);
  FlipByte(damaged, 100);
  const struct {
    std::string connectionString, sqlState, description;
  } cases[] = {
      {ConnectionString(missing), "3024", "Could not find file '" + missing + "'."},
      {ConnectionString(empty), "3343", "Unrecognized database format '" + empty + "'.  The file is empty."},
      {ConnectionString(plain), "3343", "Unrecognized database format '" + plain +
                                            "'.  The file is a SQLite database without a password; a practice "
                                            "database is always encrypted."},
      {ConnectionString(path_, "wrong"), "3031", kWrongOrDamaged},
      {ConnectionString(damaged), "3031", kWrongOrDamaged},
      {ConnectionString(folder_.str()), "3051", ""},
      {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source", "3001", ""},
  };
  for (const auto& c : cases) {
    const Error e = EngineError([&] { db_.Open(c.connectionString); });
    EXPECT_FALSE(db_.IsOpen());
    EXPECT_EQ(SqlState(), c.sqlState) << c.connectionString;
    if (!c.description.empty()) {
      EXPECT_EQ(e.description(), c.description);
    }
  }
  EXPECT_EQ(EngineError([&] { db_.Open("Provider=Microsoft.Jet.OLEDB.4.0;Jet OLEDB:Database Password=x"); }).number(),
            kFail);
  EXPECT_EQ(ObjectModelError([&] { db_.Open("Provider=SQLOLEDB;Data Source=" + path_); }).description(),
            "Provider cannot be found. It may not be properly installed.");
}

TEST_F(EngineTest, ADamagedPageFailsItsReadWithoutHarm) {
  Run("CREATE TABLE t (id COUNTER PRIMARY KEY, a TEXT(200))");
  for (int i = 0; i < 40; ++i) Run("INSERT INTO t (a) VALUES ('" + std::string(150, 'x') + "')");
  db_.Close();
  FlipByte(path_, 4096 * 3 + 500);
  db_.Open(ConnectionString(path_));
  EXPECT_EQ(Refused("select * from t").number(), -2147467259);
}

TEST_F(EngineTest, CreatingNeverTouchesAnExistingFileAndTheConnectionChecksItsState) {
  EXPECT_EQ(ObjectModelError([&] { db_.Open(ConnectionString(path_)); }).number(), -2146824583);
  Run("CREATE TABLE t (id COUNTER PRIMARY KEY)");
  db_.Close();
  const auto size = fs::file_size(path_);
  try {
    Connection::CreateDatabase(path_, kPassword);
    ADD_FAILURE() << "created over an existing file";
  } catch (const Error& e) {
    EXPECT_EQ(e.description(), "Database '" + path_ + "' already exists.");
  }
  EXPECT_EQ(fs::file_size(path_), size);
  const std::string fresh = (folder_ / "fresh.mdb").string();
  EXPECT_THROW(Connection::CreateDatabase(fresh, ""), Error);
  EXPECT_FALSE(fs::exists(fresh));
  EXPECT_EQ(ObjectModelError([&] { db_.Execute("select 1 from t"); }).number(), -2146824584);
  EXPECT_EQ(ObjectModelError([&] { db_.Close(); }).number(), -2146824584);
}

}  // namespace
}  // namespace jet::testing
