#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "engine/Error.h"
#include "platform/modADO.h"
#include "state/RunState.h"
#include "support/RecordingFrontEnd.h"
#include "support/TempDir.h"

namespace calmora {
namespace {

constexpr char kPassword[] = "wpqzrv274";
constexpr char kLocation[] = " (Location:modADO/COMOpenConnection)";

TEST(ConnectionStringTest, CredentialsAreAddedWhenEitherIsGiven) {
  EXPECT_EQ(BuildConnectionString("/opt/C2014/Database/calmora.mdb", "", ""),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/opt/C2014/Database/calmora.mdb;");
  EXPECT_EQ(BuildConnectionString("/db", "", "pw"),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/db;User Id=;"
            "Jet OLEDB:Database Password=pw;");
}

class OpenConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetRunState();
    database = (dir / "calmora.mdb").string();
    jet::Connection::CreateDatabase(database, kPassword);
  }
  void TearDown() override { ResetRunState(); }

  // What a plain open of the same database raises.
  static jet::Error DirectOpenFailure(const std::string& connectionString) {
    jet::Connection connection;
    try {
      connection.Open(connectionString);
    } catch (const jet::Error& e) {
      return e;
    }
    throw std::logic_error("the open did not fail");
  }

  void ExpectOneReportOf(const jet::Error& expected) {
    const auto shown = ui.messages();
    ASSERT_EQ(shown.size(), 1u);
    const std::string& text = shown[0].text;
    // The description is handed over as it stands: no line prefix.
    const std::string head =
        std::to_string(expected.number()) + " " + expected.description() + "\r\n";
    EXPECT_EQ(text.substr(0, head.size()), head) << text;
    ASSERT_GE(text.size(), std::string(kLocation).size());
    EXPECT_EQ(text.substr(text.size() - std::string(kLocation).size()), kLocation);
    EXPECT_EQ(text.find("Error on line"), std::string::npos);
    EXPECT_EQ(text.find(kPassword), std::string::npos) << "the password is not shown";
    EXPECT_EQ(shown[0].title, "ERROR");
  }

  testing::TempDir dir;
  testing::RecordingFrontEnd ui;
  std::string database;
};

TEST_F(OpenConnectionTest, TheRightPasswordOpensTheSharedConnection) {
  ASSERT_TRUE(COMOpenConnection(calmora::Run().DbConnection, database, "Admin", kPassword));
  ASSERT_NE(calmora::Run().DbConnection, nullptr);
  EXPECT_TRUE(calmora::Run().DbConnection->IsOpen());
  EXPECT_NO_THROW(calmora::Run().DbConnection->Execute("CREATE TABLE probe (id LONG)"));
  EXPECT_TRUE(ui.messages().empty());
}

TEST_F(OpenConnectionTest, AWrongPasswordIsReportedAndLeavesTheConnectionInPlace) {
  const jet::Error expected =
      DirectOpenFailure(BuildConnectionString(database, "Admin", "wrong"));
  EXPECT_FALSE(COMOpenConnection(calmora::Run().DbConnection, database, "Admin", "wrong"));
  ASSERT_NE(calmora::Run().DbConnection, nullptr);
  EXPECT_FALSE(calmora::Run().DbConnection->IsOpen());
  ExpectOneReportOf(expected);
  // The handler read the provider's errors from the connection left in place.
  if (expected.number() < 0) {
    EXPECT_NE(ui.messages()[0].text.find("ADO error count= "), std::string::npos);
  }
  EXPECT_TRUE(calmora::Run().log.ErrorsReported);
}

TEST_F(OpenConnectionTest, AMissingFileIsReportedAndNotCreated) {
  const std::string missing = (dir / "none.mdb").string();
  const jet::Error expected = DirectOpenFailure(BuildConnectionString(missing, "Admin", kPassword));
  EXPECT_FALSE(COMOpenConnection(calmora::Run().DbConnection, missing, "Admin", kPassword));
  ExpectOneReportOf(expected);
  EXPECT_FALSE(std::filesystem::exists(missing)) << "a failed open creates no file";

}

TEST_F(OpenConnectionTest, ClosingARecordsetReleasesItWhateverItsState) {
  ASSERT_TRUE(COMOpenConnection(calmora::Run().DbConnection, database, "Admin", kPassword));
  calmora::Run().DbConnection->Execute("CREATE TABLE t (id LONG)");

  std::unique_ptr<jet::Recordset> none;
  COMCloseRecordset(none);
  EXPECT_EQ(none, nullptr);

  auto open = std::make_unique<jet::Recordset>();
  open->Open("SELECT id FROM t", *calmora::Run().DbConnection);
  COMCloseRecordset(open);
  EXPECT_EQ(open, nullptr);

  auto closed = std::make_unique<jet::Recordset>();
  closed->Open("SELECT id FROM t", *calmora::Run().DbConnection);
  closed->Close();
  COMCloseRecordset(closed);
  EXPECT_EQ(closed, nullptr);

  EXPECT_TRUE(ui.messages().empty());
}

}  // namespace
}  // namespace calmora
