// The real programs: calmora-fixture writes a machine, calmora-import
// converts it through the terminal front end, as the README shows.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "AppTestSupport.h"
#include "jet/Connection.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"
#include "tools/fixture/SampleMachine.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
using testing::ShellWord;

using Outcome = testing::ShellOutcome;

class Programs : public ::testing::Test {
 protected:
  Programs() : machine(fs::canonical(dir.path()) / "machine") {}

  Outcome Fixture(const std::string& arguments) {
    return Run(ShellWord(CALMORA_FIXTURE_PROGRAM) + " " + ShellWord(machine.root.string()) + " " +
               arguments);
  }
  // calmora-import with the terminal front end forced, `input` as its
  // standard input.
  Outcome Import(const std::string& input, const fs::path& registry) {
    testing::WriteFileBytes(dir / "input.txt", input);
    return Run("CALMORA_REGISTRY=" + ShellWord(registry.string()) + " CALMORA_UI=terminal " +
               ShellWord(CALMORA_IMPORT_PROGRAM) + " < " + ShellWord((dir / "input.txt").string()));
  }
  Outcome Run(const std::string& command) { return testing::RunInShell(command, dir.path()); }

  testing::TempDir dir;
  fixture::SampleLayout machine;
};

TEST_F(Programs, ImportOnASampleMachineExitsWithTheStatusItsRunCallsFor) {
  const Outcome made = Fixture("--claims 60 --seed 3");
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_NE(made.out.find("60 claims"), std::string::npos) << made.out;

  // Closed without a click, and stopped before converting: no log.
  EXPECT_EQ(Import("", machine.registryFile).status, 0);
  const Outcome stopped = Import("\n", dir / "no registry.reg");
  EXPECT_EQ(stopped.status, 2);
  EXPECT_NE(stopped.out.find("cannot find cannot find your V3 installation"), std::string::npos)
      << stopped.out;
  EXPECT_TRUE(testing::LogFilesIn(machine.folder2014).empty());

  const Outcome run = Import("\n", machine.registryFile);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("This utility should be run ONE TIME ONLY."), std::string::npos);
  EXPECT_NE(run.out.find("---- Conversion complete ----\nicon: none\nConversion complete.\n[OK]"),
            std::string::npos)
      << run.out;
  // The summary's closing line comes after the outcome message.
  const auto outcome = run.out.find("Conversion complete.\n[OK]\n");
  EXPECT_NE(outcome, std::string::npos);
  EXPECT_EQ(run.out.find("Every row accounted for.\n"), run.out.find("[OK]\n", outcome) + 5)
      << run.out;
  EXPECT_TRUE(run.err.empty()) << "progress on a stream that is not a terminal: " << run.err;
  const auto logs = testing::LogFilesIn(machine.folder2014);
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(testing::ReadFileBytes(logs[0]), "Conversion Completed Successfully\r\n");

  // A run with reported errors.
  fs::remove(machine.DatabaseV31());
  jet::Connection::CreateDatabase(machine.DatabaseV31().string(), "another password");
  const Outcome failed = Import("\n", machine.registryFile);
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.out.find("---- Connection Error ----"), std::string::npos) << failed.out;
}

TEST_F(Programs, ADisplayThatCannotBeReachedFallsBackToTheTerminal) {
  // No X server answers on display 97; the toolkit would end the process.
  const Outcome closed =
      Run("env -u CALMORA_UI -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY DISPLAY=:97 " +
          ShellWord(CALMORA_IMPORT_PROGRAM) + " < /dev/null");
  EXPECT_EQ(closed.status, 0) << closed.err;
  EXPECT_NE(closed.out.find("[ Import Calmora V3.1 into Calmora 2014 ]"), std::string::npos)
      << closed.out;
#if CALMORA_WITH_GUI
  EXPECT_NE(closed.err.find("terminal front end runs instead"), std::string::npos) << closed.err;
#else
  // A build without the window has nothing to fall back from.
  EXPECT_EQ(closed.err.find("terminal front end runs instead"), std::string::npos) << closed.err;
#endif
}

TEST_F(Programs, FixtureRefusesBadArgumentsAndAFolderInUse) {
  EXPECT_EQ(Run(ShellWord(CALMORA_FIXTURE_PROGRAM)).status, 2);
  EXPECT_EQ(Fixture("--claims many").status, 2);
  EXPECT_EQ(Fixture("--claims -4").status, 2);
  EXPECT_EQ(Fixture("--faulty-rows some").status, 2);
  EXPECT_EQ(Fixture("--faulty-rows -1").status, 2);
  ASSERT_EQ(Fixture("--claims 3").status, 0);
  const Outcome again = Fixture("--claims 3");
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("not empty"), std::string::npos) << again.err;
}

}  // namespace
}  // namespace calmora
