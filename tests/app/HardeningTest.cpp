// Whole conversions on broken machines: every kind of file call failing in
// turn through the environment seam, a disk that fills up under the
// database, and a reader of the output that goes away.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>

#include "AppTestSupport.h"
#include "driver/Driver.h"
#include "driver/ExitStatus.h"
#include "os/FaultInjectingEnv.h"
#include "support/FaultyDatabaseWrites.h"
#include "support/FileBytes.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
using testing::FileTree;
using testing::Occurrences;

class Hardening : public testing::MachineTest {
 protected:
  void SetUp() override {
    Make({12, 5});
    v31 = FileTree(machine.folderV31);
  }
  // No copy left half-written: each document in 2014 is its V3.1 file
  // whole, and no staging file is left anywhere.
  std::set<std::string> Paths2014AndNoPartialFile() const {
    const auto tree = FileTree(machine.folder2014);
    testing::CopiedDocuments(tree, v31);
    std::set<std::string> paths;
    for (const auto& [path, bytes] : tree) {
      EXPECT_FALSE(path.ends_with(".copying") || path.ends_with(".importing")) << path;
      paths.insert(path);
    }
    return paths;
  }

  std::map<std::string, std::string> v31;
};

// Every kind of call the run makes fails, at its first, middle and last
// call, with each fault in turn. Whatever fails: the user is told (an ERROR
// box naming the fault's reason, or the log's own box), the run never ends
// as a clean one, nothing is left half-copied, and V3.1 is untouched.
TEST_F(Hardening, EveryFileCallFailingInTurnIsReportedAndLosesNothing) {
  const std::pair<Fault, const char*> kReports[] = {{Fault::DiskFull, "Disk full"},
                                                    {Fault::IoError, "Input/output error"},
                                                    {Fault::PermissionRefused, "Permission denied"},
                                                    {Fault::Vanished, "No such file or directory"}};
  std::map<Call, int> calls;
  std::set<std::string> cleanTree;
  {
    FaultInjectingEnv counting;
    ASSERT_EQ(cmdConvert_Click(), RunOutcome::Finished);
    ASSERT_FALSE(ErrorsWereReported()) << Boxes();
    cleanTree = Paths2014AndNoPartialFile();
    for (std::size_t k = 0; k < kCallKinds; ++k)
      calls[static_cast<Call>(k)] = counting.Calls(static_cast<Call>(k));
  }
  // Asked for, never relied on: a kept time, the updater's start (silent
  // by design), the snapshot's figures.
  const std::set<Call> courtesies{Call::SetModifiedTime, Call::StartProgram, Call::ReadMemory,
                                  Call::SystemVersionLine};
  int runs = 0, reported = 0;
  std::size_t faultIndex = 0;
  for (const auto& [call, count] : calls) {
    if (count == 0 || courtesies.count(call)) continue;
    for (const int nth : std::set<int>{1, (count + 1) / 2, count}) {
      // A folder that vanished before it was listed is one that is not
      // there, which is no error; it fails otherwise here.
      auto [fault, reason] = kReports[faultIndex++ % std::size(kReports)];
      if (fault == Fault::Vanished && (call == Call::ReadFolder || call == Call::Status))
        std::tie(fault, reason) = kReports[0];
      SCOPED_TRACE(std::string(NameOf(call)) + " #" + std::to_string(nth) + " of " +
                   std::to_string(count) + ", " + NameOf(fault));
      FreshMachine();
      FaultInjectingEnv env;
      env.Fail(call, nth, fault);
      const RunOutcome outcome = cmdConvert_Click();
      ++runs;
      ASSERT_EQ(env.Failed(), 1);
      const std::string boxes = Boxes();
      const bool logBox = boxes.find("Log File Error") != std::string::npos;
      const std::set<std::string> paths = Paths2014AndNoPartialFile();
      EXPECT_EQ(FileTree(machine.folderV31), v31) << "the V3.1 installation changed";
      if (outcome == RunOutcome::Finished && !ErrorsWereReported()) {
        // A call whose failure changes nothing (a file counted for the
        // progress window, the log's open folder probe) may pass unseen;
        // then everything must be there.
        EXPECT_EQ(paths, cleanTree) << boxes;
        continue;
      }
      ++reported;
      EXPECT_TRUE(boxes.find(reason) != std::string::npos || logBox || outcome == RunOutcome::Stopped)
          << boxes;
      if (!Log().empty() && !logBox && outcome != RunOutcome::ErrorPath) {
        EXPECT_TRUE(Log().ends_with("support@brindlecote.com\r\n")) << Log();
      }
    }
  }
  std::cout << "faults injected: " << runs << " runs, " << reported << " reported\n";
  EXPECT_GT(runs, 25);
  EXPECT_GT(reported, runs * 3 / 4);
}

// The disk fills up under the database at a chosen write, or takes the data
// and fails its syncs: the steps that meet it report it in the engine's
// words, the durability point adds one report at most, naming the step,
// and the log ends with errors.
TEST_F(Hardening, TheDatabaseDiskFillingUpIsReportedOnceAtTheDurabilityPoint) {
  const auto count = [&](bool syncsOnly) {
    testing::FaultyDatabaseWrites counting;
    counting.FailFrom(0, {}, syncsOnly);
    EXPECT_EQ(cmdConvert_Click(), RunOutcome::Finished);
    return counting.writes();
  };
  const int writes = count(false);
  ASSERT_GT(writes, 10);
  for (const int from : {1, writes / 4, writes / 2, writes - 2}) {
    SCOPED_TRACE("full from write " + std::to_string(from) + " of " + std::to_string(writes));
    FreshMachine();
    testing::FaultyDatabaseWrites full;
    full.FailFrom(from);
    EXPECT_EQ(cmdConvert_Click(), RunOutcome::Finished);
    const std::string boxes = Boxes();
    EXPECT_NE(boxes.find("Not enough space on disk."), std::string::npos) << boxes;
    const int durable = Occurrences(boxes, "could not be made durable");
    EXPECT_LE(durable, 1) << boxes;
    EXPECT_EQ(durable, Occurrences(boxes, "The work of COM")) << boxes;
    EXPECT_EQ(Occurrences(Log(), "NUMBER: "), static_cast<int>(ui.messages().size()) - 1) << Log();
    EXPECT_TRUE(Log().ends_with("support@brindlecote.com\r\n"));
    EXPECT_EQ(FileTree(machine.folderV31), v31);
  }
  // Syncs fail at the open (it syncs as it sets the file up) and at the
  // durability point after the last step (its last sync).
  FreshMachine();
  const int syncs = count(true);
  ASSERT_GT(syncs, 1);
  for (const auto& [from, said] : std::map<int, std::string>{
           {1, "Not enough space on disk.\r\n\r\n (Location:modADO/COMOpenConnection)"},
           {syncs, "The work of COMMoveCMSData could not be made durable: Not enough space on "
                   "disk."}}) {
    SCOPED_TRACE("syncs fail from " + std::to_string(from) + " of " + std::to_string(syncs));
    FreshMachine();
    testing::FaultyDatabaseWrites unsynced;
    unsynced.FailFrom(from, {}, true);
    EXPECT_EQ(cmdConvert_Click(), RunOutcome::Finished);
    EXPECT_EQ(Occurrences(Boxes(), said), 1) << Boxes();
    EXPECT_EQ(Boxes().find("Disk or network error."), std::string::npos) << Boxes();
  }
}

// A reader that goes away (calmora-import | head -3) neither kills the run
// nor cuts the log short, and the database is left without side files.
TEST_F(Hardening, AClosedOutputPipeDoesNotStopTheConversion) {
  int output[2], input[2];
  ASSERT_EQ(::pipe(output), 0);
  ASSERT_EQ(::pipe(input), 0);
  ASSERT_EQ(::write(input[1], "\n", 1), 1);
  ::close(input[1]);
  ::close(output[0]);  // nobody reads: the first line printed meets EPIPE
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::dup2(input[0], 0);
    ::dup2(output[1], 1);
    ::setenv("CALMORA_UI", "terminal", 1);
    ::signal(SIGPIPE, SIG_DFL);  // as a shell gives it
    ::execl(CALMORA_IMPORT_PROGRAM, CALMORA_IMPORT_PROGRAM, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(output[1]);
  ::close(input[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), kExitClean);
  EXPECT_EQ(Log(), "Conversion Completed Successfully\r\n");
  for (const char* side : {"-wal", "-shm", "-journal"})
    EXPECT_FALSE(fs::exists(machine.Database2014().string() + side)) << side;
}

}  // namespace
}  // namespace calmora
