// The real programs: calmora-fixture writes a machine, calmora-import
// converts it through the terminal front end, as the README shows.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "AppTestSupport.h"
#include "support/ProgramRun.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
using testing::ProgramOutcome;
using testing::RunProgram;

class Programs : public testing::MachineTest {
 protected:
  Programs() { machine = fixture::SampleLayout(root / "machine"); }
  ProgramOutcome Fixture(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), machine.root.string());
    return RunProgram(CALMORA_FIXTURE_PROGRAM, arguments, root);
  }
  // calmora-import with the terminal front end forced.
  ProgramOutcome Import(const std::string& input, const fs::path& registry) {
    return RunProgram(CALMORA_IMPORT_PROGRAM, {}, root, input,
                      {{"CALMORA_REGISTRY", registry.string()}, {"CALMORA_UI", "terminal"}});
  }
};

TEST_F(Programs, ImportOnASampleMachineExitsWithTheStatusItsRunCallsFor) {
  const ProgramOutcome made = Fixture({"--claims", "60", "--seed", "3"});
  ASSERT_EQ(made.status, 0) << made.err;
  EXPECT_NE(made.out.find("60 claims"), std::string::npos) << made.out;

  // Closed without a click, and stopped before converting: no log.
  EXPECT_EQ(Import("", machine.registryFile).status, 0);
  const ProgramOutcome stopped = Import("\n", root / "no registry.reg");
  EXPECT_EQ(stopped.status, 2);
  EXPECT_NE(stopped.out.find("cannot find cannot find your V3 installation"), std::string::npos)
      << stopped.out;
  EXPECT_EQ(Log(), "");

  // The summary's closing line comes after the outcome message; progress
  // stays off a stream that is not a terminal.
  const ProgramOutcome run = Import("\n", machine.registryFile);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_TRUE(run.out.ends_with("\n---- Conversion complete ----\nicon: none\nConversion complete.\n"
                                "[OK]\nEvery row accounted for.\n"))
      << run.out;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(Log(), "Conversion Completed Successfully\r\n");
  // A run with errors answers 1: the interrupted and no-patient-data runs.
}

TEST_F(Programs, ADisplayThatCannotBeReachedFallsBackToTheTerminal) {
  // No X server answers on display 97; the toolkit would end the process.
  const ProgramOutcome closed =
      RunProgram("env", {"-u", "CALMORA_UI", "-u", "QT_QPA_PLATFORM", "-u", "WAYLAND_DISPLAY",
                         "DISPLAY=:97", CALMORA_IMPORT_PROGRAM}, root);
  EXPECT_EQ(closed.status, 0) << closed.err;
  EXPECT_NE(closed.out.find("[ Import Calmora V3.1 into Calmora 2014 ]"), std::string::npos)
      << closed.out;
  // A build without the window has nothing to fall back from.
  EXPECT_EQ(closed.err.find("terminal front end runs instead") != std::string::npos,
            CALMORA_WITH_GUI == 1)
      << closed.err;
}

TEST_F(Programs, FixtureRefusesBadArgumentsAndAFolderInUse) {
  for (const auto& wrong : std::vector<std::vector<std::string>>{
           {"--claims", "many"}, {"--claims", "-4"}, {"--faulty-rows", "some"}, {"--faulty-rows", "-1"}})
    EXPECT_EQ(Fixture(wrong).status, 2) << wrong[0] << " " << wrong[1];
  EXPECT_EQ(RunProgram(CALMORA_FIXTURE_PROGRAM, {}, root).status, 2);
  ASSERT_EQ(Fixture({"--claims", "3"}).status, 0);
  const ProgramOutcome again = Fixture({"--claims", "3"});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("not empty"), std::string::npos) << again.err;
}

}  // namespace
}  // namespace calmora
