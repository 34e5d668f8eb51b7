// Whole conversions on broken machines: every kind of file call failing in
// turn through the environment seam, a disk that fills up under the
// database, links, relative folders, the replaced database's owner and
// mode, and a reader of the output that goes away.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "AppTestSupport.h"
#include "MachineCopies.h"
#include "driver/Driver.h"
#include "driver/ExitStatus.h"
#include "os/FaultInjectingEnv.h"
#include "state/RunState.h"
#include "support/FaultyDatabaseWrites.h"
#include "support/FileBytes.h"
#include "support/FixedSystemFacts.h"
#include "support/RecordingFrontEnd.h"
#include "support/TempDir.h"
#include "tools/fixture/SampleMachine.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
using testing::FileTree;
using testing::Occurrences;
using testing::ReadFileBytes;
using testing::WriteFileBytes;

constexpr char kLogName[] = "conversion_20140305090747.txt";

// One sample machine, written once and put back before every run.
class Hardening : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetRunState();
    root = fs::canonical(dir.path());
    machine = fixture::SampleLayout(root / "machine");
    summary = fixture::WriteSampleMachine(machine.root, {12, 5});
    fs::copy(machine.root, root / "pristine", fs::copy_options::recursive);
    ::setenv("CALMORA_REGISTRY", machine.registryFile.c_str(), 1);
    v31 = FileTree(machine.folderV31);
  }
  void TearDown() override {
    ResetRunState();
    ::unsetenv("CALMORA_REGISTRY");
  }
  void FreshMachine() {
    ResetRunState();
    ui.clear();
    testing::RestoreMachine(root / "pristine", machine.root);
  }
  std::string Log() const {
    std::error_code ec;
    return fs::exists(machine.folder2014 / kLogName, ec) ? ReadFileBytes(machine.folder2014 / kLogName)
                                                         : std::string();
  }
  // No copy left half-written: each document in 2014 is its V3.1 file
  // whole, and no staging file is left anywhere.
  void ExpectNoPartialFile() const {
    for (const auto& [path, bytes] : FileTree(machine.folder2014)) {
      const std::string name = fs::path(path).filename().string();
      EXPECT_FALSE(name.ends_with(".copying") || name.ends_with(".importing")) << path;
      if (path.starts_with("Database/") || path.starts_with("CalmoraUpdate/") ||
          path.starts_with("conversion_") || path.starts_with("conversion-summary_"))
        continue;
      ASSERT_TRUE(v31.count(path)) << path;
      EXPECT_EQ(bytes, v31.at(path)) << path;
    }
  }
  std::string Boxes() const {
    std::string all;
    for (const auto& m : ui.messages()) all += m.title + ": " + m.text + "\n";
    return all;
  }

  testing::TempDir dir;
  fs::path root;
  testing::FixedSystemFacts facts;
  testing::RecordingFrontEnd ui;
  fixture::SampleLayout machine{"/nonexistent"};
  fixture::PracticeSummary summary;
  std::map<std::string, std::string> v31;
};

// The number and reason each fault is reported with.
struct FaultReport {
  Fault fault;
  const char* reason;
};
constexpr FaultReport kReports[] = {
    {Fault::DiskFull, "Disk full"},
    {Fault::IoError, "Input/output error"},
    {Fault::PermissionRefused, "Permission denied"},
    {Fault::Vanished, "No such file or directory"},
};

// Every kind of call the run makes fails, at its first, middle and last
// call, with each fault in turn. Whatever fails: the user is told (an ERROR
// box naming the fault's reason, or the log's own box), the run never ends
// as a clean one, nothing is left half-copied, and V3.1 is untouched.
TEST_F(Hardening, EveryFileCallFailingInTurnIsReportedAndLosesNothing) {
  std::map<Call, int> calls;
  std::set<std::string> cleanTree;
  {
    FreshMachine();
    FaultInjectingEnv counting;
    ASSERT_EQ(cmdConvert_Click(), RunOutcome::Finished);
    ASSERT_FALSE(ErrorsWereReported()) << Boxes();
    for (const auto& [path, bytes] : FileTree(machine.folder2014)) cleanTree.insert(path);
    for (std::size_t k = 0; k < kCallKinds; ++k)
      calls[static_cast<Call>(k)] = counting.Calls(static_cast<Call>(k));
  }
  // Asked for, never relied on: a kept time, the updater's start (silent
  // by design), the snapshot's figures.
  const std::set<Call> courtesies{Call::SetModifiedTime, Call::StartProgram,
                                      Call::ReadMemory, Call::SystemVersionLine};
  int runs = 0, reported = 0, faultIndex = 0;
  for (const auto& [call, count] : calls) {
    if (count == 0 || courtesies.count(call)) continue;
    for (const int nth : std::set<int>{1, (count + 1) / 2, count}) {
      const FaultReport* pick = &kReports[faultIndex++ % std::size(kReports)];
      // A folder that vanished before it was listed is one that is not
      // there, which is no error; it fails otherwise here.
      if (pick->fault == Fault::Vanished && (call == Call::ReadFolder || call == Call::Status))
        pick = &kReports[0];
      const FaultReport& report = *pick;
      SCOPED_TRACE(std::string(NameOf(call)) + " #" + std::to_string(nth) + " of " +
                   std::to_string(count) + ", " + NameOf(report.fault));
      FreshMachine();
      FaultInjectingEnv env;
      env.Fail(call, nth, report.fault);
      const RunOutcome outcome = cmdConvert_Click();
      ++runs;
      ASSERT_EQ(env.Failed(), 1);
      const std::string boxes = Boxes();
      const bool clean = outcome == RunOutcome::Finished && !ErrorsWereReported();
      if (clean) {
        // A call whose failure changes nothing (a file counted for the
        // progress window, the log's open folder probe) may pass unseen;
        // then everything must be there.
        std::set<std::string> tree;
        for (const auto& [path, bytes] : FileTree(machine.folder2014)) tree.insert(path);
        EXPECT_EQ(tree, cleanTree) << boxes;
      } else {
        ++reported;
        EXPECT_TRUE(boxes.find(report.reason) != std::string::npos ||
                    boxes.find("Log File Error") != std::string::npos ||
                    outcome == RunOutcome::Stopped)
            << boxes;
        const std::string log = Log();
        if (!log.empty() && boxes.find("Log File Error") == std::string::npos &&
            outcome != RunOutcome::ErrorPath) {
          EXPECT_TRUE(log.ends_with("support@brindlecote.com\r\n")) << log;
        }
      }
      ExpectNoPartialFile();
      EXPECT_EQ(FileTree(machine.folderV31), v31) << "the V3.1 installation changed";
    }
  }
  std::cout << "faults injected: " << runs << " runs, " << reported << " reported\n";
  EXPECT_GT(runs, 25);
  EXPECT_GT(reported, runs * 3 / 4);
}

// A full disk is reported with the runtime's number and words, at the line
// of the copy that met it.
TEST_F(Hardening, AFullDiskDuringACopyIsDiskFull) {
  struct Case {
    const char* what;
    const char* pathPart;
    std::string box;
  };
  const Case cases[] = {
      {"picture", "SOAPPics",
       "61 Error on line... 480\r\nDisk full\r\n (Location:frmMain/cmdConvert_Click)"},
      {"database", "calmora.mdb",
       "61 Error on line... 700\r\nDisk full\r\n (Location:frmMain/cmdConvert_Click)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FreshMachine();
    FaultInjectingEnv env;
    env.Fail(Call::Write, 1, Fault::DiskFull, c.pathPart, true);
    EXPECT_EQ(cmdConvert_Click(), RunOutcome::ErrorPath);
    ASSERT_EQ(ui.messages().size(), 1u) << Boxes();
    EXPECT_EQ(ui.messages()[0].text, c.box);
    EXPECT_NE(Log().find("NUMBER: 61\r\nDESCRIPTION: Error on line"), std::string::npos);
    ExpectNoPartialFile();
  }
  // A folder copy goes on and says how much it left.
  FreshMachine();
  FaultInjectingEnv env;
  env.Fail(Call::Write, 1, Fault::DiskFull, "ClientDocs", true);
  EXPECT_EQ(cmdConvert_Click(), RunOutcome::Finished);
  const std::string boxes = Boxes();
  EXPECT_NE(boxes.find("61 Error on line... 80\r\nThe folder copy did not complete: Disk full. "
                       "Files not copied: "),
            std::string::npos)
      << boxes;
  ExpectNoPartialFile();
}

// The disk fills up under the database at a chosen write: the steps that
// meet it report it in the engine's words, the durability point adds one
// report at most, naming the step, and the log ends with errors.
TEST_F(Hardening, TheDatabaseDiskFillingUpIsReportedOnceAtTheDurabilityPoint) {
  int writes = 0;
  {
    FreshMachine();
    testing::FaultyDatabaseWrites counting;
    ASSERT_EQ(cmdConvert_Click(), RunOutcome::Finished);
    writes = counting.writes();
  }
  ASSERT_GT(writes, 10);
  for (const int from : {1, writes / 4, writes / 2, writes - 2}) {
    SCOPED_TRACE("full from write " + std::to_string(from) + " of " + std::to_string(writes));
    FreshMachine();
    testing::FaultyDatabaseWrites full;
    full.FailFrom(from);
    EXPECT_EQ(cmdConvert_Click(), RunOutcome::Finished);
    EXPECT_TRUE(ErrorsWereReported());
    const std::string boxes = Boxes();
    EXPECT_NE(boxes.find("Not enough space on disk."), std::string::npos) << boxes;
    EXPECT_LE(Occurrences(boxes, "could not be made durable"), 1) << boxes;
    if (boxes.find("could not be made durable") != std::string::npos) {
      EXPECT_NE(boxes.find("The work of COM"), std::string::npos) << boxes;
    }
    const std::string log = Log();
    EXPECT_EQ(Occurrences(log, "NUMBER: "), static_cast<int>(ui.messages().size()) - 1) << log;
    EXPECT_TRUE(log.ends_with("support@brindlecote.com\r\n"));
    EXPECT_EQ(FileTree(machine.folderV31), v31);
  }
  // The data goes in, but syncs fail: the engine says the disk is full,
  // at the open (it syncs as it sets the file up) and at the durability
  // point after the last step (its last sync), once, naming the step.
  int syncs = 0;
  {
    FreshMachine();
    testing::FaultyDatabaseWrites counting;
    counting.FailFrom(0, {}, true);
    ASSERT_EQ(cmdConvert_Click(), RunOutcome::Finished);
    syncs = counting.writes();
  }
  ASSERT_GT(syncs, 1);
  struct SyncCase {
    int from;
    std::string said;
  };
  const SyncCase syncCases[] = {
      {1, "Not enough space on disk.\r\n\r\n (Location:modADO/COMOpenConnection)"},
      {syncs, "The work of COMMoveCMSData could not be made durable: Not enough space on disk."},
  };
  for (const SyncCase& c : syncCases) {
    SCOPED_TRACE("syncs fail from " + std::to_string(c.from) + " of " + std::to_string(syncs));
    FreshMachine();
    testing::FaultyDatabaseWrites unsynced;
    unsynced.FailFrom(c.from, {}, true);
    EXPECT_EQ(cmdConvert_Click(), RunOutcome::Finished);
    const std::string boxes = Boxes();
    EXPECT_EQ(Occurrences(boxes, c.said), 1) << boxes;
    EXPECT_EQ(boxes.find("Disk or network error."), std::string::npos) << boxes;
  }
}

TEST_F(Hardening, LinksInADocumentFolderAreReportedForWhatTheyAreNeverByName) {
  FreshMachine();
  const fs::path patient = machine.folderV31 / "ClientDocs" / "smith.john";
  fs::create_directory_symlink(patient, patient / "Loop to Smith");
  fs::create_symlink(root / "nowhere", patient / "Gone Scan.tif");
  EXPECT_EQ(cmdConvert_Click(), RunOutcome::Finished);
  const std::string boxes = Boxes();
  EXPECT_NE(boxes.find("5 Error on line... 80\r\nThe folder copy did not complete: A link leads "
                       "back into the folder being copied. Files not copied: 2 of 3."),
            std::string::npos)
      << boxes;
  for (const char* name : {"Loop", "Gone", "smith"}) {
    EXPECT_EQ(boxes.find(name), std::string::npos) << name;
    EXPECT_EQ(Log().find(name), std::string::npos) << name;
  }
  EXPECT_EQ(ReadFileBytes(machine.folder2014 / "ClientDocs/smith.john/referral.doc"),
            ReadFileBytes(patient / "referral.doc"));
}

// Relative "Location"s are taken from where the run began: the updater
// starts, the log lands in the 2014 folder, and the database is converted.
TEST_F(Hardening, RelativeInstallationFoldersAreMadeAbsoluteBeforeUse) {
  FreshMachine();
  WriteFileBytes(machine.registryFile,
                 fixture::RegistryText("machine/Calmora V3.1", "machine/Calmora 2014"));
  const fs::path before = fs::current_path();
  fs::current_path(root);
  const RunOutcome outcome = cmdConvert_Click();
  fs::current_path(before);
  EXPECT_EQ(outcome, RunOutcome::Finished);
  EXPECT_FALSE(ErrorsWereReported()) << Boxes();
  EXPECT_TRUE(fs::exists(machine.folder2014 / kLogName));
  const auto starts = testing::UpdaterStarts(machine.updaterStarts, std::chrono::seconds(5));
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0], "0 " + machine.folder2014.string());
}

// The new database keeps the access the 2014 installation gave its file
// (or its folder), not the V3.1 file's; the backup keeps the replaced
// file's. Every single-file copy keeps the source's time.
TEST_F(Hardening, TheNewDatabaseTakesTheReplacedFilesOwnerAndModeAndCopiesKeepTheirTime) {
  const bool root_ = ::geteuid() == 0;
  const uid_t owner = root_ ? 4321 : ::geteuid();
  const gid_t group = root_ ? 4321 : ::getegid();
  struct Case {
    const char* what;
    bool replaced;  // a 2014 database was there
    mode_t mode;    // of that file, else of its folder
    mode_t expected;
  };
  const Case cases[] = {{"replacing a 0640 file", true, 0640, 0640},
                        {"no file, a 0750 folder", false, 0750, 0640}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FreshMachine();
    const fs::path db2014 = machine.Database2014();
    ASSERT_EQ(::chmod(machine.DatabaseV31().c_str(), 0666), 0);
    const fs::path target = c.replaced ? db2014 : db2014.parent_path();
    if (!c.replaced) fs::remove(db2014);
    ASSERT_EQ(::chown(target.c_str(), owner, group), 0);
    ASSERT_EQ(::chmod(target.c_str(), c.mode), 0);
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 900);
    for (const char* f : {"Database/calmora.mdb", "SOAPPics/POSTURE.BMP",
                          "CMS Batch Exports/batch_20130102.txt"})
      fs::last_write_time(machine.folderV31 / f, old);

    EXPECT_EQ(cmdConvert_Click(), RunOutcome::Finished);
    EXPECT_FALSE(ErrorsWereReported()) << Boxes();
    struct stat st {};
    ASSERT_EQ(::stat(db2014.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.expected);
    EXPECT_EQ(st.st_uid, owner);
    EXPECT_EQ(st.st_gid, group);
    if (c.replaced) {
      ASSERT_EQ(::stat((db2014.string() + ".bak").c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, c.mode);
      EXPECT_EQ(st.st_uid, owner);
    }
    for (const char* f : {"SOAPPics/POSTURE.BMP", "CMS Batch Exports/batch_20130102.txt"})
      EXPECT_EQ(fs::last_write_time(machine.folder2014 / f), old) << f;
  }
}

// A reader that goes away (calmora-import | head -3) neither kills the run
// nor cuts the log short, and the database is left without side files.
TEST_F(Hardening, AClosedOutputPipeDoesNotStopTheConversion) {
  FreshMachine();
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
  const auto logs = testing::LogFilesIn(machine.folder2014);
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(ReadFileBytes(logs[0]), "Conversion Completed Successfully\r\n");
  for (const char* side : {"-wal", "-shm", "-journal"})
    EXPECT_FALSE(fs::exists(machine.Database2014().string() + side)) << side;
}

}  // namespace
}  // namespace calmora
