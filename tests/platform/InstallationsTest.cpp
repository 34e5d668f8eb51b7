// The installations as their installers leave them, written out here to the
// letter: the utility must find both, and open the practice database,
// through the platform's one description of an installation.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <variant>

#include "jet/Connection.h"
#include "platform/Installations.h"
#include "platform/modADO.h"
#include "platform/modRegistry.h"
#include "state/RunState.h"
#include "support/FileBytes.h"
#include "support/RecordingFrontEnd.h"
#include "support/TempDir.h"

namespace calmora {
namespace {

using namespace std::string_literals;

class InstalledMachine : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetRunState();
    setenv("CALMORA_REGISTRY", (dir / "machine.reg").c_str(), 1);
    // Both installers write the key with "SOFTWARE" in capitals.
    testing::WriteFileBytes(dir / "machine.reg",
                            "Windows Registry Editor Version 5.00\r\n\r\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brindlecote\\Calmora V3]\r\n"
                            "\"Location\"=\"/opt/Calmora V3\"\r\n"
                            "\"Version\"=\"3.1.0.0\"\r\n\r\n"
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Brindlecote\\Calmora 2014]\r\n"
                            "\"Location\"=\"/opt/Calmora 2014\"\r\n");
  }
  void TearDown() override {
    unsetenv("CALMORA_REGISTRY");
    ResetRunState();
  }

  testing::TempDir dir;
  testing::RecordingFrontEnd ui;
};

TEST_F(InstalledMachine, EachInstallationIsFoundThroughItsKeyAndValues) {
  struct Case {
    const char* key;
    const char* value;
    std::string expected;  // as the reader hands it back, with its NUL
  };
  const Case cases[] = {
      {kKeyV31, kLocation, "/opt/Calmora V3\0"s},
      {kKeyV31, kVersion, "3.1.0.0\0"s},
      {kKey2014, kLocation, "/opt/Calmora 2014\0"s},
  };
  for (const Case& c : cases) {
    RegistryValue read;
    ASSERT_TRUE(ReadRegistryValue(c.key, c.value, 1, read)) << c.key << " " << c.value;
    EXPECT_EQ(std::get<std::string>(read), c.expected) << c.key << " " << c.value;
  }
  EXPECT_TRUE(ui.messages().empty());
}

TEST_F(InstalledMachine, ThePracticeDatabaseOpensWithTheInstalledCredentials) {
  const std::filesystem::path installation = dir / "Calmora 2014";
  std::filesystem::create_directories(installation / "Database");
  jet::Connection::CreateDatabase((installation / "Database" / "calmora.mdb").string(),
                                  "wpqzrv274");

  const std::string database = installation.string() + "/" + kDatabasePath;
  ASSERT_TRUE(COMOpenConnection(CurrentRun().DbConnection, database, kDatabaseUser,
                                kDatabasePassword));
  EXPECT_TRUE(CurrentRun().DbConnection->IsOpen());
  EXPECT_TRUE(ui.messages().empty());
}

}  // namespace
}  // namespace calmora
