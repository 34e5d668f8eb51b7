#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "jet/Error.h"
#include "platform/Installations.h"
#include "platform/modADO.h"
#include "state/RunState.h"
#include "support/RecordingFrontEnd.h"
#include "support/TempDir.h"

namespace calmora {
namespace {

constexpr char kPassword[] = "wpqzrv274";  // as the 2014 installer sets it

TEST(ConnectionStringTest, CredentialsAreAddedWhenEitherIsGiven) {
  EXPECT_EQ(BuildConnectionString("/opt/C2014/Database/calmora.mdb", "", ""),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/opt/C2014/Database/calmora.mdb;");
  EXPECT_EQ(BuildConnectionString("/db", "", "pw"),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/db;User Id=;"
            "Jet OLEDB:Database Password=pw;");
}

// An installed 2014 database, where the installation's layout puts it.
class OpenConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetRunState();
    std::filesystem::create_directories(dir / "Calmora 2014" / "Database");
    jet::Connection::CreateDatabase((dir / "Calmora 2014/Database/calmora.mdb").string(),
                                    kPassword);
  }
  void TearDown() override { ResetRunState(); }

  testing::TempDir dir;
  testing::RecordingFrontEnd ui;
  std::string database = (dir / "Calmora 2014").string() + "/" + kDatabasePath;
};

TEST_F(OpenConnectionTest, TheInstalledCredentialsOpenTheSharedConnectionAndRecordsetsClose) {
  auto& connection = CurrentRun().DbConnection;
  ASSERT_TRUE(COMOpenConnection(connection, database, kDatabaseUser, kDatabasePassword));
  ASSERT_TRUE(connection != nullptr && connection->IsOpen());
  connection->Execute("CREATE TABLE t (id LONG)");
  std::unique_ptr<jet::Recordset> none;
  COMCloseRecordset(none);
  for (bool closeFirst : {false, true}) {
    auto recordset = std::make_unique<jet::Recordset>();
    recordset->Open("SELECT id FROM t", *connection);
    if (closeFirst) recordset->Close();
    COMCloseRecordset(recordset);
    EXPECT_EQ(recordset, nullptr);
  }
  EXPECT_TRUE(ui.messages().empty());
}

// A wrong password and a missing file: one report with the engine's own
// number and description, the connection left in place, no file made.
TEST_F(OpenConnectionTest, AFailedOpenIsReportedOnceAndCreatesNothing) {
  const std::pair<std::string, const char*> cases[] = {{database, "wrong"},
                                                       {(dir / "none.mdb").string(), kPassword}};
  for (const auto& [path, password] : cases) {
    SCOPED_TRACE(path);
    ResetRunState();
    ui.clear();
    const bool existed = std::filesystem::exists(path);
    std::optional<jet::Error> expected;  // what a plain open of the same file raises
    try {
      jet::Connection().Open(BuildConnectionString(path, "Admin", password));
    } catch (const jet::Error& e) {
      expected = e;
    }
    ASSERT_TRUE(expected);
    auto& connection = CurrentRun().DbConnection;
    EXPECT_FALSE(COMOpenConnection(connection, path, "Admin", password));
    ASSERT_NE(connection, nullptr);
    EXPECT_FALSE(connection->IsOpen());
    EXPECT_EQ(std::filesystem::exists(path), existed);
    EXPECT_TRUE(CurrentRun().log.ErrorsReported);
    // The description as it stands (no line prefix), the provider's errors
    // read from the connection left in place, and never the password.
    ASSERT_EQ(ui.messages().size(), 1u);
    const std::string& text = ui.messages()[0].text;
    EXPECT_EQ(ui.messages()[0].title, "ERROR");
    EXPECT_TRUE(text.starts_with(std::to_string(expected->number()) + " " + expected->description() + "\r\n" +
                                 (expected->number() < 0 ? "ADO error count= " : "")) &&
                text.ends_with("\r\n (Location:modADO/COMOpenConnection)")) << text;
    EXPECT_EQ(text.find(kPassword), std::string::npos);
  }
}

}  // namespace
}  // namespace calmora
