// Whole conversion runs through cmdConvert_Click on sample machines: real
// folders, a real practice database, the real registry file and updater.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "AppTestSupport.h"
#include "diagnostics/ErrorInfo.h"
#include "driver/Driver.h"
#include "jet/Connection.h"
#include "os/FaultInjectingEnv.h"
#include "state/RunState.h"
#include "support/FileBytes.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
using testing::FileTree;
using testing::ReadFileBytes;
using testing::WriteFileBytes;

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
  return names;
}

// Registry values as an export writes them: a string with its NUL, one
// without it (UTF-16LE; the paths here are ASCII), a number.
std::string Text(const char* name, const std::string& text) {
  return std::string("\"") + name + "\"=" + fixture::RegistryString(text);
}
std::string TextWithoutNul(const char* name, const std::string& text) {
  std::string hex;
  char unit[8];
  for (unsigned char c : text) {
    std::snprintf(unit, sizeof unit, "%s%02x,00", hex.empty() ? "" : ",", c);
    hex += unit;
  }
  return std::string("\"") + name + "\"=hex(1):" + hex;
}
std::string Number(const char* name, std::uint32_t number) {
  char dword[16];
  std::snprintf(dword, sizeof dword, "dword:%08x", number);
  return std::string("\"") + name + "\"=" + dword;
}

constexpr char kLogName[] = "conversion_20140305090747.txt";
constexpr char kSummaryName[] = "conversion-summary_20140305090747.txt";
constexpr char kCleanLog[] = "Conversion Completed Successfully\r\n";
// How a log with errors ends, on the fixed system facts.
const std::string kReportEnd =
    std::string("WIN_VERSION#") + testing::FixedSystemFacts::kVersion + "\r\n" +
    testing::FixedSystemFacts::kMemoryRecord +
    "Conversion Completed With Errors\r\n"
    "Please send this log file as an e-mail attachment to support@brindlecote.com\r\n";
constexpr char kCompletion[] = "Conversion complete.";
constexpr char kNoV3[] =
    "Calmora 2014 Upgrade cannot find cannot find your V3 installation.  Please call toll "
    "free: (800) 555-0142 for assistance.";
constexpr char kWrong[] =
    "Calmora 2014 Upgrade can only be used to convert Calmora VERSION 3.1 Databases.  Please "
    "call toll free: (800) 555-0142 for assistance.";
constexpr char kV3Title[] = "Invalid/Incomplete V3 installation";

// What a run copies from the sample: pictures and exports by pattern without
// regard to case, hidden ones left; the document folders' sub-folders whole,
// whatever their names; nothing that lies loose beside them.
const std::set<std::string> kSampleCopies{
    "SOAPPics/spine front.bmp", "SOAPPics/spine side.bmp", "SOAPPics/POSTURE.BMP",
    "ClientDocs/O'Brien, Siobhán/intake form.pdf", "ClientDocs/O'Brien, Siobhán/notes",
    "ClientDocs/O'Brien, Siobhán/2013/x-ray lumbar.jpg", "ClientDocs/Zoë Müller-Østergaard/consent.txt",
    "ClientDocs/Zoë Müller-Østergaard/scans/older/page 1.tif", "ClientDocs/smith.john/referral.doc",
    "ClientDocs/NoDotFolder/README", "RelatedResources/Exercises/low back.pdf",
    "RelatedResources/Exercises/neck", "RelatedResources/Forms.2012/new patient.doc",
    "RelatedResources/Forms.2012/nested/deeper/history form",
    "CMS Batch Exports/batch_20130102.txt", "CMS Batch Exports/BATCH_20130215.TXT"};

class ConversionRun : public testing::MachineTest {
 protected:
  void SetUp() override { NewMachine("machine"); }
  void NewMachine(const std::string& name) {
    summary = Make({24, 11}, name);
    original2014 = ReadFileBytes(machine.Database2014());
    v31Before = FileTree(machine.folderV31);
  }

  std::string LocationV31() const { return Text("Location", machine.folderV31.string()); }
  std::string Location2014() const { return Text("Location", machine.folder2014.string()); }
  // A registry with the two keys' values; a key without values is left out.
  using Values = std::vector<std::string>;
  void WriteRegistry(const Values& v31, const Values& y2014) const {
    std::string text = "Windows Registry Editor Version 5.00\r\n";
    for (const auto& [key, values] : {std::pair{fixture::kKeyV31, v31}, {fixture::kKey2014, y2014}}) {
      if (!values.empty()) text += std::string("\r\n[HKEY_LOCAL_MACHINE\\") + key + "]\r\n";
      for (const std::string& value : values) text += value + "\r\n";
    }
    WriteFileBytes(machine.registryFile, text);
  }
  const std::string kVersionOk = Text("Version", "3.1.0.0");

  void ExpectCopied(const std::set<std::string>& expected) const {
    EXPECT_EQ(testing::CopiedDocuments(FileTree(machine.folder2014), v31Before), expected);
  }
  std::vector<std::string> UpdaterStarts(int patienceMs = 5000) const {
    return testing::UpdaterStarts(machine.updaterStarts, std::chrono::milliseconds(patienceMs));
  }

  fixture::PracticeSummary summary;
  std::string original2014;
  std::map<std::string, std::string> v31Before;
};

// The new database also belongs to whoever owned the one it replaced (as
// root, the test can give it another owner).
TEST_F(ConversionRun, CleanRunConvertsCopiesAndStartsTheUpdaterOnce) {
  const fs::path workingFolder = fs::current_path();
  const uid_t owner = ::geteuid() == 0 ? 4321 : ::geteuid();
  const gid_t group = ::geteuid() == 0 ? 4321 : ::getegid();
  ASSERT_EQ(::chown(machine.Database2014().c_str(), owner, group), 0);
  EXPECT_EQ(cmdConvert_Click(), RunOutcome::Finished);
  ASSERT_EQ(Boxes(), "Conversion complete: Conversion complete.\n");
  EXPECT_EQ(ui.messages()[0].icon, MessageIcon::None);
  // Busy while converting; back to normal before the message.
  EXPECT_EQ(ui.pointers(), (std::vector{MousePointer::Hourglass, MousePointer::Default}));
  EXPECT_EQ(ui.events().back().kind, testing::UiEvent::Kind::Message);

  EXPECT_EQ(testing::LogFilesIn(machine.folder2014), std::vector{machine.folder2014 / kLogName});
  EXPECT_EQ(Log(), kCleanLog);
  EXPECT_TRUE(ReadFileBytes(machine.folder2014 / kSummaryName)
                  .ends_with("\r\nEvery row accounted for.\r\n"));
  EXPECT_EQ(fs::current_path(), workingFolder);
  EXPECT_TRUE(testing::LogFilesIn(workingFolder).empty());
  EXPECT_EQ(FileTree(machine.folderV31), v31Before) << "the V3.1 installation was changed";
  ExpectCopied(kSampleCopies);
  EXPECT_TRUE(fs::is_directory(machine.folder2014 / "ClientDocs/Empty Patient"));

  // Durable before the updater starts: nothing waits in the write-ahead log.
  const fs::path wal = machine.Database2014().string() + "-wal";
  EXPECT_TRUE(!fs::exists(wal) || fs::file_size(wal) == 0);
  EXPECT_EQ(UpdaterStarts(), std::vector{"0 " + machine.folder2014.string()});

  ResetRunState();
  const auto db = testing::OpenPractice(machine.Database2014());
  EXPECT_EQ(testing::CountOf(*db, "select count(*) as n from cms2012"), summary.claims);
  EXPECT_EQ(
      testing::CountOf(*db, "select count(*) as n from conv_hcfa_info where event_id is null"), 0);
  EXPECT_EQ(ReadFileBytes(machine.Database2014().string() + ".bak"), original2014);
  struct stat st {};
  ASSERT_EQ(::stat(machine.Database2014().c_str(), &st), 0);
  EXPECT_EQ(std::pair(st.st_uid, st.st_gid), std::pair(owner, group));
}

// Locations relative to where the run began and stored without their NUL
// (each keeps its last character), a version that merely begins with
// 3.1.0.0, and no V3.1 document folders.
TEST_F(ConversionRun, OddButSoundMachinesConvertCleanly) {
  WriteRegistry({TextWithoutNul("Location", "machine/Calmora V3.1"), Text("Version", "3.1.0.0.12")},
                {TextWithoutNul("Location", "machine/Calmora 2014")});
  for (const char* folder : {"SOAPPics", "ClientDocs", "RelatedResources", "CMS Batch Exports"})
    fs::remove_all(machine.folderV31 / folder);
  const fs::path before = fs::current_path();
  fs::current_path(root);
  const RunOutcome outcome = cmdConvert_Click();
  fs::current_path(before);
  EXPECT_EQ(outcome, RunOutcome::Finished);
  EXPECT_EQ(Log(), kCleanLog) << Boxes();
  ExpectCopied({});
  EXPECT_EQ(UpdaterStarts(), std::vector{"0 " + machine.folder2014.string()});
}

TEST_F(ConversionRun, EachRegistryFaultStopsBeforeTheLogWithItsMessage) {
  struct Stop {
    const char* what;
    std::vector<std::string> v31, y2014;  // neither: no registry file at all
    RunOutcome outcome;
    std::string text, title;
  };
  const auto badLocation = [](int line) {
    return "5 Error on line... " + std::to_string(line) +
           "\r\nInvalid procedure call or argument\r\n (Location:frmMain/cmdConvert_Click)";
  };
  const RunOutcome stopped = RunOutcome::Stopped, errorPath = RunOutcome::ErrorPath;
  const std::string loc = LocationV31();
  const std::vector<std::string> y2014{Location2014()};
  const Stop stops[] = {
      {"no registry file", {}, {}, stopped, kNoV3, kV3Title},
      {"no V3.1 key", {}, y2014, stopped, kNoV3, kV3Title},
      {"V3.1 key without Location", {kVersionOk}, y2014, stopped, kNoV3, kV3Title},
      {"V3.1 key without Version", {loc}, y2014, stopped, kNoV3, kV3Title},
      {"version 3.1.0.1", {loc, Text("Version", "3.1.0.1")}, y2014, stopped, kWrong, kV3Title},
      {"version 3.10.0.0", {loc, Text("Version", "3.10.0.0")}, y2014, stopped, kWrong, kV3Title},
      {"version 3.1", {loc, Text("Version", "3.1")}, y2014, stopped, kWrong, kV3Title},
      {"version stored as a number", {loc, Number("Version", 3)}, y2014, stopped, kWrong, kV3Title},
      {"no 2014 key", {loc, kVersionOk}, {}, stopped,
       "Calmora 2014 Upgrade cannot find your 2014 installation.  Please call toll free: (800) "
       "555-0142 for assistance.",
       "Invalid/Incomplete V3.1 installation"},
      {"2014 folder missing, so no log", {loc, kVersionOk},
       {Text("Location", (machine.folder2014 / "gone").string())}, stopped,
       "Conversion could not open log file. Application exiting.", "Log File Error"},
      {"empty V3.1 Location", {Text("Location", ""), kVersionOk}, y2014, errorPath, badLocation(90),
       "ERROR"},
      {"V3.1 Location stored as a number", {Number("Location", 7), kVersionOk}, y2014, errorPath,
       badLocation(90), "ERROR"},
      {"empty 2014 Location", {loc, kVersionOk}, {Text("Location", "")}, errorPath,
       badLocation(330), "ERROR"},
  };
  const auto tree2014 = FileTree(machine.folder2014);
  for (const Stop& stop : stops) {
    SCOPED_TRACE(stop.what);
    ResetRunState();
    ui.clear();
    if (stop.v31.empty() && stop.y2014.empty()) fs::remove(machine.registryFile);
    else WriteRegistry(stop.v31, stop.y2014);
    EXPECT_EQ(cmdConvert_Click(), stop.outcome);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(Boxes(), stop.title + ": " + stop.text + "\n");
    EXPECT_EQ(ui.messages()[0].icon, MessageIcon::Critical);
    EXPECT_EQ(ErrorsWereReported(), stop.outcome == errorPath);
    EXPECT_EQ(FileTree(machine.folder2014), tree2014);
    EXPECT_FALSE(fs::exists(machine.folder2014 / "gone"));
  }
  EXPECT_EQ(FileTree(machine.folderV31), v31Before);
  EXPECT_TRUE(UpdaterStarts(300).empty());
}

// A copy that fails takes the error path at its line, and nothing after it
// happens; the window stays open, and a second click after the cause is
// mended runs a whole new conversion.
TEST_F(ConversionRun, CopyFailureReportsItsLineAndStopsWithoutClosingTheLog) {
  struct Case {
    const char* what;
    std::function<void()> breakIt;
    int line, number;
    const char* reason;
    std::function<void()> mend = nullptr;
  };
  const char* const kNoSuchFile = "No such file or directory";
  std::optional<FaultInjectingEnv> faults;
  const Case cases[] = {
      {"a full disk under the pictures",
       [&] { faults.emplace().Fail(Call::Write, 1, Fault::DiskFull, "SOAPPics", true); }, 480,
       vberr::DiskFull, "Disk full"},
      // Related resources are copied before the exports: left out, so that
      // nothing was copied before the failure.
      {"2014 batch export folder missing",
       [&] { fs::remove_all(machine.folder2014 / "CMS Batch Exports"), fs::remove_all(machine.folderV31 / "RelatedResources"); },
       670, vberr::PathNotFound, kNoSuchFile},
      {"V3.1 database missing",
       [&] { fs::remove(machine.DatabaseV31()), fs::remove_all(machine.folderV31 / "RelatedResources"); },
       700, vberr::FileNotFound, kNoSuchFile},
      {"2014 picture folder missing", [&] { fs::remove_all(machine.folder2014 / "SOAPPics"); },
       480, vberr::PathNotFound, kNoSuchFile,
       [&] { fs::create_directory(machine.folder2014 / "SOAPPics"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    faults.reset();
    NewMachine(c.what);
    c.breakIt();
    const auto v31 = FileTree(machine.folderV31);
    EXPECT_EQ(cmdConvert_Click(), RunOutcome::ErrorPath);
    EXPECT_TRUE(ErrorsWereReported());
    ASSERT_EQ(ui.messages().size(), 1u);
    const std::string line = std::to_string(c.line), number = std::to_string(c.number);
    EXPECT_EQ(Boxes(), "ERROR: " + number + " Error on line... " + line + "\r\n" + c.reason +
                           "\r\n (Location:frmMain/cmdConvert_Click)\n");
    EXPECT_EQ(ui.currentPointer(), MousePointer::Default);

    const fs::path logFile = machine.folder2014 / kLogName;
    const std::string log = ReadFileBytes(logFile);
    EXPECT_NE(log.find("NUMBER: " + number + "\r\nDESCRIPTION: Error on line... " + line + "\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("LOCATION: frmMain/cmdConvert_Click\r\n"), std::string::npos);
    EXPECT_EQ(log.find("Conversion Completed"), std::string::npos) << "the log was closed";

    EXPECT_TRUE(ReadFileBytes(machine.Database2014()) == original2014);
    EXPECT_EQ(Names(machine.Database2014().parent_path()), std::set<std::string>{"calmora.mdb"});
    EXPECT_TRUE(fs::is_empty(machine.folder2014 / "RelatedResources"));
    EXPECT_EQ(FileTree(machine.folderV31), v31);
    EXPECT_TRUE(UpdaterStarts(300).empty());
    if (!c.mend) continue;

    c.mend();
    facts.now = testing::LocalTime(2014, 3, 5, 9, 12, 30);
    EXPECT_EQ(cmdConvert_Click(), RunOutcome::Finished);
    EXPECT_FALSE(ErrorsWereReported());
    ASSERT_EQ(ui.messages().size(), 2u);
    EXPECT_EQ(ui.messages()[1].text, kCompletion);
    EXPECT_EQ(ReadFileBytes(logFile), log) << "the first log was written again";
    EXPECT_EQ(ReadFileBytes(machine.folder2014 / "conversion_2014030509123012.txt"), kCleanLog);
    ExpectCopied(kSampleCopies);
    EXPECT_EQ(UpdaterStarts().size(), 1u);
  }
}

// A V3.1 database that cannot be opened: the connection's report, then the
// connection message, then the log's final lines; no step, no updater, and
// the 2014 installation keeps the database it had.
TEST_F(ConversionRun, WrongPasswordGivesTheConnectionError) {
  const std::string description =
      "Not a valid password, or the database file is damaged: the engine cannot tell which.";
  fs::remove(machine.DatabaseV31());
  jet::Connection::CreateDatabase(machine.DatabaseV31().string(), "not the practice password");
  EXPECT_EQ(cmdConvert_Click(), RunOutcome::Finished);
  EXPECT_TRUE(ErrorsWereReported());
  EXPECT_EQ(Boxes(), "ERROR: -2147467259 " + description +
                         "\r\nADO error count= 1\r\nADO warning count= 0\r\nCalmoraV31 ADO "
                         "Errors...\r\n1)  " + description +
                         "\r\n\r\n (Location:modADO/COMOpenConnection)\n"
                         "Connection Error: This Conversion Utility failed to connect to one of "
                         "the databases.  Please call toll free: (800)555-0142 for assistance.\n");
  EXPECT_EQ(ui.messages().at(1).icon, MessageIcon::Critical);
  EXPECT_EQ(Log(), "NUMBER: -2147467259\r\nDESCRIPTION: " + description +
                       "\r\nSOURCE: Calmora Jet Engine\r\nLOCATION: modADO/COMOpenConnection\r\n"
                       "LASTDLLERROR: 0\r\nSEVERITY: 1\r\n  CalmoraV31 Error Count:  \t1\r\n"
                       "  Error Number: \t-2147467259\r\n  Description:  \t" + description +
                       "\r\n  Source:       \tCalmora Jet Engine\r\n  SQL State:    \t3031\r\n"
                       "  Native Error: \t26\r\n\r\n\r\n\r\n" + kReportEnd);
  EXPECT_TRUE(UpdaterStarts(500).empty()) << "the updater started after a connection error";
  EXPECT_EQ(ReadFileBytes(machine.Database2014()), original2014);
  EXPECT_EQ(Names(machine.Database2014().parent_path()), std::set<std::string>{"calmora.mdb"});
  EXPECT_FALSE(fs::exists(machine.folder2014 / kSummaryName));
}

// The updater is looked for as a plain file; a start that fails is silent.
TEST(UpdaterStart, IsFileIsForPlainFilesAndAFailedStartIsSilent) {
  ResetRunState();
  testing::TempDir folder;
  testing::RecordingFrontEnd ui;
  calmora::CurrentRun().InstallFolder2014 = folder.str();
  WriteFileBytes(folder / "file.exe", "x");
  for (const auto& [path, plain] : std::map<std::string, bool>{
           {(folder / "file.exe").string(), true}, {folder.str(), false},
           {(folder / "missing.exe").string(), false}, {"", false}})
    EXPECT_EQ(isFile(path), plain) << path;

  StartUpdater();  // no CalmoraUpdate folder at all
  const fs::path updater = folder / "CalmoraUpdate/CalmoraDBUpdate.exe";
  fs::create_directories(updater.parent_path());
  WriteFileBytes(updater, "#!/bin/sh\ntouch \"" + (folder / "ran").string() + "\"\n");
  fs::permissions(updater, fs::perms::owner_read | fs::perms::owner_write);  // not executable
  StartUpdater();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(fs::exists(folder / "ran"));
  EXPECT_TRUE(ui.events().empty());
  ResetRunState();
}

}  // namespace
}  // namespace calmora
