// Whole conversion runs through cmdConvert_Click on a sample machine: real
// folders, a real practice database, the real registry file and updater.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <ostream>
#include <set>
#include <string>
#include <thread>

#include "AppTestSupport.h"
#include "app/Driver.h"
#include "diagnostics/ErrorInfo.h"
#include "engine/Connection.h"
#include "engine/Error.h"
#include "engine/Recordset.h"
#include "platform/modADO.h"
#include "state/RunState.h"
#include "support/FileBytes.h"
#include "support/FixedSystemFacts.h"
#include "support/RecordingFrontEnd.h"
#include "support/TempDir.h"
#include "tools/fixture/SampleMachine.h"
#include "tools/legacy/LegacySchema.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
using testing::FileTree;
using testing::ReadFileBytes;
using testing::RegistryFile;
using testing::RegistryKey;
using testing::StringValue;
using testing::WriteFileBytes;

constexpr int kClaims = 24;
constexpr char kLogName[] = "conversion_20140305090747.txt";
constexpr char kCleanLog[] = "Conversion Completed Successfully\r\n";
constexpr char kWithErrorsEnd[] =
    "Conversion Completed With Errors\r\n"
    "Please send this log file as an e-mail attachment to support@brindlecote.com\r\n";
constexpr char kCompletion[] = "Conversion complete.";
constexpr char kNoV3[] =
    "Calmora 2014 Upgrade cannot find cannot find your V3 installation.  Please call toll "
    "free: (800) 555-0142 for assistance.";
constexpr char kWrongVersion[] =
    "Calmora 2014 Upgrade can only be used to convert Calmora VERSION 3.1 Databases.  Please "
    "call toll free: (800) 555-0142 for assistance.";
constexpr char kNo2014[] =
    "Calmora 2014 Upgrade cannot find your 2014 installation.  Please call toll free: (800) "
    "555-0142 for assistance.";
constexpr char kV3Title[] = "Invalid/Incomplete V3 installation";

class ConversionRun : public ::testing::Test {
 protected:
  ConversionRun() : machine(fs::canonical(dir.path()) / "machine") {}

  void SetUp() override {
    ResetRunState();
    summary = fixture::WriteSampleMachine(machine.root, {kClaims, 11});
    ::setenv("CALMORA_REGISTRY", machine.registryFile.c_str(), 1);
    original2014 = ReadFileBytes(machine.Database2014());
    v31Before = FileTree(machine.folderV31);
  }
  void TearDown() override {
    ResetRunState();
    ::unsetenv("CALMORA_REGISTRY");
  }

  std::string LocationV31() const { return StringValue("Location", machine.folderV31.string()); }
  std::string Location2014() const { return StringValue("Location", machine.folder2014.string()); }
  std::string KeyV31(const std::vector<std::string>& values) const {
    return RegistryKey(fixture::kKeyV31, values);
  }
  std::string Key2014(const std::vector<std::string>& values) const {
    return RegistryKey(fixture::kKey2014, values);
  }
  void WriteRegistry(const std::vector<std::string>& keys) const {
    WriteFileBytes(machine.registryFile, RegistryFile(keys));
  }

  fs::path Log() const { return machine.folder2014 / kLogName; }
  fs::path DatabaseFolder2014() const { return machine.Database2014().parent_path(); }
  std::set<std::string> DatabaseFolderNames() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(DatabaseFolder2014()))
      names.insert(e.path().filename().string());
    return names;
  }
  // What the run put into the 2014 document folders.
  std::map<std::string, std::string> CopiedDocuments() const {
    std::map<std::string, std::string> copied;
    for (const auto& [path, bytes] : FileTree(machine.folder2014)) {
      if (path.rfind("Database/", 0) == 0 || path.rfind("CalmoraUpdate/", 0) == 0) continue;
      if (path.rfind("conversion_", 0) == 0) continue;
      copied[path] = bytes;
    }
    return copied;
  }
  void ExpectConnectionErrorRun();
  std::vector<std::string> UpdaterStarts(int patienceMs = 5000) const {
    return testing::UpdaterStarts(machine.updaterStarts, std::chrono::milliseconds(patienceMs));
  }

  testing::TempDir dir;
  testing::FixedSystemFacts facts;
  testing::RecordingFrontEnd ui;
  fixture::SampleLayout machine;
  fixture::PracticeSummary summary;
  std::string original2014;
  std::map<std::string, std::string> v31Before;
};

// ---- a clean run ----

TEST_F(ConversionRun, CleanRunShowsOnlyTheCompletionAndLeavesAOneLineLog) {
  const fs::path workingFolder = fs::current_path();
  EXPECT_EQ(cmdConvert_Click(), RunOutcome::Finished);
  EXPECT_FALSE(ErrorsWereReported());

  const auto shown = ui.messages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, kCompletion);
  EXPECT_EQ(shown[0].title, "Conversion complete");
  EXPECT_EQ(shown[0].icon, MessageIcon::None);

  // Busy while converting; back to normal before the message.
  const auto pointers = ui.pointers();
  ASSERT_GE(pointers.size(), 2u);
  EXPECT_EQ(pointers.front(), MousePointer::Hourglass);
  EXPECT_EQ(ui.events().back().kind, testing::UiEvent::Kind::Message);
  EXPECT_EQ(ui.currentPointer(), MousePointer::Default);

  EXPECT_EQ(ReadFileBytes(Log()), kCleanLog);
  EXPECT_EQ(testing::LogFilesIn(machine.folder2014).size(), 1u);
  EXPECT_EQ(fs::current_path(), workingFolder);
  EXPECT_TRUE(testing::LogFilesIn(workingFolder).empty());
  EXPECT_EQ(FileTree(machine.folderV31), v31Before) << "the V3.1 installation was changed";
}

TEST_F(ConversionRun, CopiesPicturesExportsAndWholeSubFoldersOnly) {
  ASSERT_EQ(cmdConvert_Click(), RunOutcome::Finished);
  // Pictures and exports by pattern without regard to case, hidden ones
  // left; the document folders' sub-folders whole, whatever their names;
  // nothing that lies loose beside them.
  const std::set<std::string> expected{
      "SOAPPics/spine front.bmp",
      "SOAPPics/spine side.bmp",
      "SOAPPics/POSTURE.BMP",
      "ClientDocs/O'Brien, Siobhán/intake form.pdf",
      "ClientDocs/O'Brien, Siobhán/notes",
      "ClientDocs/O'Brien, Siobhán/2013/x-ray lumbar.jpg",
      "ClientDocs/Zoë Müller-Østergaard/consent.txt",
      "ClientDocs/Zoë Müller-Østergaard/scans/older/page 1.tif",
      "ClientDocs/smith.john/referral.doc",
      "ClientDocs/NoDotFolder/README",
      "RelatedResources/Exercises/low back.pdf",
      "RelatedResources/Exercises/neck",
      "RelatedResources/Forms.2012/new patient.doc",
      "RelatedResources/Forms.2012/nested/deeper/history form",
      "CMS Batch Exports/batch_20130102.txt",
      "CMS Batch Exports/BATCH_20130215.TXT",
  };
  const auto copied = CopiedDocuments();
  std::set<std::string> names;
  for (const auto& [path, bytes] : copied) {
    names.insert(path);
    EXPECT_EQ(bytes, v31Before.at(path)) << path;
  }
  EXPECT_EQ(names, expected);
  EXPECT_TRUE(fs::is_directory(machine.folder2014 / "ClientDocs/Empty Patient"));
  EXPECT_FALSE(fs::exists(machine.folder2014 / "SOAPPics/old.bmp"));
}

TEST_F(ConversionRun, ConvertedDatabaseHoldsEveryClaimLinkedToAnEventAndIsDurable) {
  ASSERT_EQ(cmdConvert_Click(), RunOutcome::Finished);
  ASSERT_FALSE(ErrorsWereReported());
  // Durable before the updater starts: nothing waits in the write-ahead log.
  const fs::path wal = machine.Database2014().string() + "-wal";
  EXPECT_TRUE(!fs::exists(wal) || fs::file_size(wal) == 0);

  ResetRunState();
  const auto db = testing::OpenPractice(machine.Database2014());
  EXPECT_EQ(testing::CountOf(*db, "select count(*) as n from cms2012"), summary.claims);
  EXPECT_EQ(testing::CountOf(*db, "select count(*) as n from conv_hcfa_info where event_id is null"),
            0);
  // The replaced 2014 database is kept, byte for byte.
  EXPECT_EQ(ReadFileBytes(machine.Database2014().string() + ".bak"), original2014);
}

TEST_F(ConversionRun, UpdaterIsStartedOnceWithoutArgumentsInThe2014FolderAndCollected) {
  ASSERT_EQ(cmdConvert_Click(), RunOutcome::Finished);
  const auto starts = UpdaterStarts();
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0], "0 " + fs::canonical(machine.folder2014).string());
  int zombies = testing::ZombieChildren();
  for (int i = 0; i < 100 && zombies > 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    zombies = testing::ZombieChildren();
  }
  EXPECT_EQ(zombies, 0);
}

TEST_F(ConversionRun, VersionThatMerelyBeginsWith3100Passes) {
  WriteRegistry({KeyV31({LocationV31(), StringValue("Version", "3.1.0.0.12")}),
                 Key2014({Location2014()})});
  EXPECT_EQ(cmdConvert_Click(), RunOutcome::Finished);
  EXPECT_EQ(ReadFileBytes(Log()), kCleanLog);
}

// ---- stops before converting ----

TEST_F(ConversionRun, EachStopShowsItsMessageAndTouchesNothing) {
  struct Stop {
    const char* what;
    std::vector<std::string> keys;
    std::string text, title;
  };
  const std::string versionOk = StringValue("Version", "3.1.0.0");
  const auto wrongVersion = [&](std::string version) {
    return std::vector<std::string>{KeyV31({LocationV31(), StringValue("Version", version)}),
                                    Key2014({Location2014()})};
  };
  const std::vector<Stop> stops{
      {"no V3.1 key", {Key2014({Location2014()})}, kNoV3, kV3Title},
      {"V3.1 key without Location", {KeyV31({versionOk}), Key2014({Location2014()})}, kNoV3,
       kV3Title},
      {"V3.1 key without Version", {KeyV31({LocationV31()}), Key2014({Location2014()})}, kNoV3,
       kV3Title},
      {"version 3.1.0.1", wrongVersion("3.1.0.1"), kWrongVersion, kV3Title},
      {"version 3.10.0.0", wrongVersion("3.10.0.0"), kWrongVersion, kV3Title},
      {"version 3.1", wrongVersion("3.1"), kWrongVersion, kV3Title},
      {"version stored as a number",
       {KeyV31({LocationV31(), testing::NumberValue("Version", 3)}), Key2014({Location2014()})},
       kWrongVersion, kV3Title},
      {"no 2014 key", {KeyV31({LocationV31(), versionOk})}, kNo2014,
       "Invalid/Incomplete V3.1 installation"},
      {"2014 folder missing, so no log",
       {KeyV31({LocationV31(), versionOk}),
        Key2014({StringValue("Location", (machine.folder2014 / "gone").string())})},
       "Conversion could not open log file. Application exiting.", "Log File Error"},
  };
  const auto tree2014 = FileTree(machine.folder2014);
  for (const Stop& stop : stops) {
    SCOPED_TRACE(stop.what);
    ResetRunState();
    ui.clear();
    WriteRegistry(stop.keys);
    EXPECT_EQ(cmdConvert_Click(), RunOutcome::Stopped);
    const auto shown = ui.messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, stop.text);
    EXPECT_EQ(shown[0].title, stop.title);
    EXPECT_EQ(shown[0].icon, MessageIcon::Critical);
    EXPECT_FALSE(ErrorsWereReported());
    EXPECT_EQ(FileTree(machine.folder2014), tree2014);
    EXPECT_FALSE(fs::exists(machine.folder2014 / "gone"));
  }
  // Without any registry file the machine has neither installation.
  ResetRunState();
  ui.clear();
  ::setenv("CALMORA_REGISTRY", (machine.root / "absent.reg").c_str(), 1);
  EXPECT_EQ(cmdConvert_Click(), RunOutcome::Stopped);
  ASSERT_EQ(ui.messages().size(), 1u);
  EXPECT_EQ(ui.messages()[0].text, kNoV3);
  EXPECT_EQ(FileTree(machine.folderV31), v31Before);
  EXPECT_TRUE(UpdaterStarts(300).empty());
}

// ---- the driver's own errors ----

struct ErrorPathCase {
  const char* what;
  std::function<void(const fixture::SampleLayout&)> breakIt;
  int line;
  int number;
};

void PrintTo(const ErrorPathCase& c, std::ostream* os) { *os << c.what; }

class DriverErrorPath : public ConversionRun,
                        public ::testing::WithParamInterface<ErrorPathCase> {};

TEST_P(DriverErrorPath, ReportsTheLineAndStopsWithoutClosingTheLog) {
  const ErrorPathCase& c = GetParam();
  c.breakIt(machine);
  const auto v31 = FileTree(machine.folderV31);
  EXPECT_EQ(cmdConvert_Click(), RunOutcome::ErrorPath);

  const auto shown = ui.messages();
  ASSERT_EQ(shown.size(), 1u);
  const std::string head =
      std::to_string(c.number) + " Error on line... " + std::to_string(c.line) + "\r\n";
  EXPECT_EQ(shown[0].text.substr(0, head.size()), head);
  EXPECT_TRUE(shown[0].text.ends_with("\r\n (Location:frmMain/cmdConvert_Click)"))
      << shown[0].text;
  EXPECT_EQ(shown[0].title, "ERROR");
  EXPECT_EQ(ui.currentPointer(), MousePointer::Default);
  EXPECT_TRUE(ErrorsWereReported());

  const std::string log = ReadFileBytes(Log());
  EXPECT_NE(log.find("NUMBER: " + std::to_string(c.number) + "\r\nDESCRIPTION: Error on line... " +
                     std::to_string(c.line) + "\r\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("LOCATION: frmMain/cmdConvert_Click\r\n"), std::string::npos);
  EXPECT_EQ(log.find("Conversion Completed"), std::string::npos) << "the log was closed";

  // Nothing after the failing statement happened.
  EXPECT_EQ(ReadFileBytes(machine.Database2014()), original2014);
  EXPECT_EQ(DatabaseFolderNames(), std::set<std::string>{"calmora.mdb"});
  EXPECT_TRUE(fs::is_empty(machine.folder2014 / "RelatedResources"));
  EXPECT_EQ(FileTree(machine.folderV31), v31);
  EXPECT_TRUE(UpdaterStarts(300).empty());
}

INSTANTIATE_TEST_SUITE_P(
    CopyFailures, DriverErrorPath,
    ::testing::Values(
        ErrorPathCase{"2014 picture folder missing",
                      [](const fixture::SampleLayout& m) {
                        fs::remove_all(m.folder2014 / "SOAPPics");
                      },
                      480, vberr::PathNotFound},
        ErrorPathCase{"2014 batch export folder missing",
                      [](const fixture::SampleLayout& m) {
                        fs::remove_all(m.folder2014 / "CMS Batch Exports");
                        // Related resources are copied before the exports.
                        fs::remove_all(m.folderV31 / "RelatedResources");
                      },
                      670, vberr::PathNotFound},
        ErrorPathCase{"V3.1 database missing",
                      [](const fixture::SampleLayout& m) {
                        fs::remove(m.DatabaseV31());
                        fs::remove_all(m.folderV31 / "RelatedResources");
                      },
                      700, vberr::FileNotFound}),
    [](const auto& testInfo) { return std::string("Line") + std::to_string(testInfo.param.line); });

TEST_F(ConversionRun, DatabaseIsNeverCopiedOntoItself) {
  // Both keys naming the V3.1 folder: its database must stay where it is.
  WriteRegistry({KeyV31({LocationV31(), StringValue("Version", "3.1.0.0")}),
                 Key2014({LocationV31()})});
  for (const char* folder : {"SOAPPics", "ClientDocs", "RelatedResources", "CMS Batch Exports"})
    fs::remove_all(machine.folderV31 / folder);
  const std::string database = ReadFileBytes(machine.DatabaseV31());
  EXPECT_EQ(cmdConvert_Click(), RunOutcome::ErrorPath);
  ASSERT_EQ(ui.messages().size(), 1u);
  EXPECT_EQ(ui.messages()[0].text.rfind("5 Error on line... 700\r\n", 0), 0u)
      << ui.messages()[0].text;
  EXPECT_EQ(ReadFileBytes(machine.DatabaseV31()), database);
  const fs::directory_iterator databaseFolder(machine.DatabaseV31().parent_path());
  EXPECT_EQ(std::distance(fs::begin(databaseFolder), fs::end(databaseFolder)), 1)
      << "a backup or copy was made beside the V3.1 database";
  EXPECT_TRUE(UpdaterStarts(300).empty());
}

TEST_F(ConversionRun, LocationThatNamesNoFolderTakesTheErrorPathBeforeTheLog) {
  struct Case {
    const char* what;
    std::vector<std::string> keys;
    int line;
  };
  const std::string versionOk = StringValue("Version", "3.1.0.0");
  const std::vector<Case> cases{
      {"empty V3.1 Location", {KeyV31({StringValue("Location", ""), versionOk}), Key2014({Location2014()})}, 90},
      {"V3.1 Location stored as a number",
       {KeyV31({testing::NumberValue("Location", 7), versionOk}), Key2014({Location2014()})}, 90},
      {"empty 2014 Location", {KeyV31({LocationV31(), versionOk}), Key2014({StringValue("Location", "")})}, 330},
  };
  const auto tree2014 = FileTree(machine.folder2014);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetRunState();
    ui.clear();
    WriteRegistry(c.keys);
    EXPECT_EQ(cmdConvert_Click(), RunOutcome::ErrorPath);
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text, "5 Error on line... " + std::to_string(c.line) +
                                         "\r\nInvalid procedure call or argument\r\n"
                                         " (Location:frmMain/cmdConvert_Click)");
    EXPECT_EQ(FileTree(machine.folder2014), tree2014);
  }
}

TEST_F(ConversionRun, SecondClickAfterTheErrorPathRunsAWholeNewConversion) {
  fs::remove_all(machine.folder2014 / "SOAPPics");
  ASSERT_EQ(cmdConvert_Click(), RunOutcome::ErrorPath);
  const fs::path firstLog = Log();

  fs::create_directory(machine.folder2014 / "SOAPPics");
  facts.now = testing::LocalTime(2014, 3, 5, 9, 12, 30);
  EXPECT_EQ(cmdConvert_Click(), RunOutcome::Finished);
  EXPECT_FALSE(ErrorsWereReported());

  const auto shown = ui.messages();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].title, "ERROR");
  EXPECT_EQ(shown[1].text, kCompletion);
  // The first log keeps its report and never got final lines.
  const std::string first = ReadFileBytes(firstLog);
  EXPECT_EQ(first.rfind("NUMBER: 76\r\n", 0), 0u) << first;
  EXPECT_EQ(first.find("Conversion Completed"), std::string::npos);
  EXPECT_EQ(ReadFileBytes(machine.folder2014 / "conversion_2014030509123012.txt"), kCleanLog);
  EXPECT_EQ(CopiedDocuments().count("SOAPPics/spine front.bmp"), 1u);
  EXPECT_EQ(UpdaterStarts().size(), 1u);
}

// ---- errors reported by the steps and the connection ----

// The error report the log holds for one error without a database part.
std::string ReportWithoutDump(std::int32_t number, const std::string& description,
                              const std::string& source, const std::string& location) {
  return "NUMBER: " + std::to_string(number) + "\r\nDESCRIPTION: " + description +
         "\r\nSOURCE: " + source + "\r\nLOCATION: " + location +
         "\r\nLASTDLLERROR: 0\r\nSEVERITY: 1\r\nWIN_VERSION#" +
         testing::FixedSystemFacts::kVersion + "\r\n" + testing::FixedSystemFacts::kMemoryRecord;
}

// A V3.1 database that cannot be opened: the connection's report, then the
// connection message, then the log's final lines; no step, no updater.
void ConversionRun::ExpectConnectionErrorRun() {


  EXPECT_EQ(cmdConvert_Click(), RunOutcome::Finished);
  EXPECT_TRUE(ErrorsWereReported());
  const auto shown = ui.messages();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].title, "ERROR");
  EXPECT_TRUE(shown[0].text.ends_with(" (Location:modADO/COMOpenConnection)")) << shown[0].text;
  EXPECT_EQ(shown[1].text,
            "This Conversion Utility failed to connect to one of the databases.  Please call "
            "toll free: (800)555-0142 for assistance.");
  EXPECT_EQ(shown[1].title, "Connection Error");
  EXPECT_EQ(shown[1].icon, MessageIcon::Critical);

  // The engine's own account of the same failure makes the expected report.
  jet::Connection probe;
  std::int32_t number = 0;
  std::string description, source;
  try {
    probe.Open(BuildConnectionString(machine.Database2014().string(), "Admin", "wpqzrv274"));
    FAIL() << "the copied database opened with the wrong password";
  } catch (const jet::Error& e) {
    number = e.number();
    description = e.description();
    source = e.source();
  }
  std::string expected = ReportWithoutDump(number, description, source, "modADO/COMOpenConnection");
  if (number == -2147467259 || probe.errors().Count() > 0) {
    std::string dump = "  CalmoraV31 Error Count:  \t" + std::to_string(probe.errors().Count()) + "\r\n";
    for (const jet::ErrorEntry& e : probe.errors()) {
      if (e.number >= 0) continue;
      dump += "  Error Number: \t" + std::to_string(e.number) + "\r\n" +
              "  Description:  \t" + e.description + "\r\n" + "  Source:       \t" + e.source +
              "\r\n" + "  SQL State:    \t" + e.sqlState + "\r\n" + "  Native Error: \t" +
              std::to_string(e.nativeError) + "\r\n\r\n\r\n\r\n";
    }
    const auto at = expected.find("WIN_VERSION#");
    expected.insert(at, dump);
  }
  EXPECT_EQ(ReadFileBytes(Log()), expected + kWithErrorsEnd);
  EXPECT_TRUE(UpdaterStarts(500).empty()) << "the updater started after a connection error";
}

// The practice of `from` in a new database at `to` whose claim table lacks
// one column, as in a damaged or older V3.1 database.
void CopyPracticeWithoutClaimColumn(const fs::path& from, const fs::path& to,
                                    const std::string& column) {
  jet::Connection::CreateDatabase(to.string(), fixture::kDatabasePassword);
  const auto source = testing::OpenPractice(from);
  const auto target = testing::OpenPractice(to);
  for (legacy::TableDef table : legacy::LegacyTables()) {
    if (table.name == "conv_hcfa_info")
      std::erase_if(table.columns, [&](const legacy::ColumnDef& c) { return c.name == column; });
    target->Execute(legacy::CreateTableSql(table));
    jet::Recordset rows;
    rows.Open("SELECT * FROM " + table.name, *source);
    for (; !rows.IsEOF(); rows.MoveNext()) {
      std::string names, values;
      for (const legacy::ColumnDef& c : table.columns) {
        names += (names.empty() ? "" : ", ") + c.name;
        values += (values.empty() ? "" : ", ") + legacy::SqlLiteral(rows.Field(c.name));
      }
      target->Execute("INSERT INTO " + table.name + " (" + names + ") VALUES (" + values + ")");
    }
  }
  target->Close();
}

TEST_F(ConversionRun, FailingStepIsReportedAndTheRunStillCompletes) {
  const fs::path damaged = machine.root / "damaged.mdb";
  CopyPracticeWithoutClaimColumn(machine.DatabaseV31(), damaged, "Supplier_nonNPI");
  fs::rename(damaged, machine.DatabaseV31());

  EXPECT_EQ(cmdConvert_Click(), RunOutcome::Finished);
  EXPECT_TRUE(ErrorsWereReported());
  const auto shown = ui.messages();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].title, "ERROR");
  EXPECT_EQ(shown[1].text, kCompletion);

  // The box and the log tell the same error: number, blank, description.
  const std::string& box = shown[0].text;
  const std::string tail = "\r\n (Location:modCommon/COMMoveCMSData)";
  ASSERT_TRUE(box.ends_with(tail)) << box;
  const auto blank = box.find(' ');
  const std::int32_t number = std::stoi(box.substr(0, blank));
  const std::string description = box.substr(blank + 1, box.size() - blank - 1 - tail.size());
  EXPECT_EQ(description.rfind("Error on line... ", 0), 0u) << description;
  EXPECT_EQ(ReadFileBytes(Log()), ReportWithoutDump(number, description, jet::kObjectModelSource,
                                                    "modCommon/COMMoveCMSData") +
                                      kWithErrorsEnd);
  EXPECT_EQ(UpdaterStarts().size(), 1u);
}

TEST_F(ConversionRun, WrongDatabasePasswordGivesTheConnectionErrorAndNoStep) {
  fs::remove(machine.DatabaseV31());
  jet::Connection::CreateDatabase(machine.DatabaseV31().string(), "not the practice password");
  ExpectConnectionErrorRun();
}

TEST_F(ConversionRun, DamagedDatabaseGivesTheConnectionErrorAndNoStep) {
  std::string damaged = ReadFileBytes(machine.DatabaseV31());
  for (std::size_t i = 0; i < damaged.size(); i += 7) damaged[i] = static_cast<char>(i * 31);
  WriteFileBytes(machine.DatabaseV31(), damaged);
  ExpectConnectionErrorRun();
}

TEST_F(ConversionRun, MissingV31FoldersCopyNothingAndAreNoError) {
  for (const char* folder : {"SOAPPics", "ClientDocs", "RelatedResources", "CMS Batch Exports"})
    fs::remove_all(machine.folderV31 / folder);
  EXPECT_EQ(cmdConvert_Click(), RunOutcome::Finished);
  EXPECT_EQ(ReadFileBytes(Log()), kCleanLog);
  EXPECT_TRUE(CopiedDocuments().empty());
}


// ---- known faults, mended ----

TEST_F(ConversionRun, LocationStoredWithoutItsNulKeepsItsLastCharacter) {
  WriteRegistry({KeyV31({testing::StringValueWithoutNul("Location", machine.folderV31.string()),
                         StringValue("Version", "3.1.0.0")}),
                 Key2014({testing::StringValueWithoutNul("Location", machine.folder2014.string())})});
  EXPECT_EQ(cmdConvert_Click(), RunOutcome::Finished);
  EXPECT_EQ(ReadFileBytes(Log()), kCleanLog);
  EXPECT_EQ(CopiedDocuments().count("SOAPPics/spine front.bmp"), 1u);
}

TEST_F(ConversionRun, ReplacedDatabaseIsKeptAndNoBackupIsEverOverwritten) {
  ASSERT_EQ(cmdConvert_Click(), RunOutcome::Finished);
  ResetRunState();
  const std::string converted = ReadFileBytes(machine.Database2014());
  ui.clear();
  facts.now = testing::LocalTime(2014, 3, 6, 10, 0, 0);
  ASSERT_EQ(cmdConvert_Click(), RunOutcome::Finished);
  ResetRunState();

  const std::string db = machine.Database2014().string();
  EXPECT_EQ(ReadFileBytes(db + ".bak"), original2014);
  EXPECT_EQ(ReadFileBytes(db + ".bak2"), converted);
  EXPECT_EQ(DatabaseFolderNames(),
            (std::set<std::string>{"calmora.mdb", "calmora.mdb.bak", "calmora.mdb.bak2"}));
  const auto fresh = testing::OpenPractice(machine.Database2014());
  EXPECT_EQ(testing::CountOf(*fresh, "select count(*) as n from cms2012"), summary.claims);
}

// A database as a crash leaves it: changes committed to its write-ahead log
// and not yet into the file. `write` makes the changes.
void LeaveInWriteAheadLog(const fs::path& database,
                          const std::function<void(jet::Connection&)>& write) {
  const std::string wal = database.string() + "-wal";
  auto connection = testing::OpenPractice(database);
  write(*connection);
  const std::string file = ReadFileBytes(database);
  const std::string log = ReadFileBytes(wal);
  ASSERT_GT(log.size(), 0u);
  connection->Close();
  WriteFileBytes(database, file);
  WriteFileBytes(wal, log);
}

TEST_F(ConversionRun, V31WriteAheadLogComesAlongWithItsDatabase) {
  LeaveInWriteAheadLog(machine.DatabaseV31(), [](jet::Connection& c) {
    c.Execute(
        "UPDATE conv_hcfa_info SET patient_account_num = 'IN-WAL-ONLY' WHERE hcfa_id = 2");
  });
  const auto v31 = FileTree(machine.folderV31);
  ASSERT_EQ(cmdConvert_Click(), RunOutcome::Finished);
  ASSERT_FALSE(ErrorsWereReported());
  ResetRunState();

  const auto db = testing::OpenPractice(machine.Database2014());
  EXPECT_EQ(testing::CountOf(*db, "select count(*) as n from cms2012 where "
                                  "PATIENT_ACCOUNT_NUM = 'IN-WAL-ONLY'"),
            1);
  EXPECT_EQ(FileTree(machine.folderV31), v31);
}

TEST_F(ConversionRun, Stale2014SideFilesGoWithTheBackupNotBesideTheCopy) {
  fs::remove(machine.Database2014());
  jet::Connection::CreateDatabase(machine.Database2014().string(), fixture::kDatabasePassword);
  LeaveInWriteAheadLog(machine.Database2014(), [](jet::Connection& c) {
    c.Execute("CREATE TABLE practice_2014 (id LONG, note TEXT(20))");
    for (int i = 1; i <= 40; ++i)
      c.Execute("INSERT INTO practice_2014 (id, note) VALUES (" + std::to_string(i) + ", 'kept')");
  });
  const std::string staleLog = ReadFileBytes(machine.Database2014().string() + "-wal");

  ASSERT_EQ(cmdConvert_Click(), RunOutcome::Finished);
  EXPECT_FALSE(ErrorsWereReported());
  const std::string db = machine.Database2014().string();
  EXPECT_EQ(ReadFileBytes(db + ".bak-wal"), staleLog);
  ResetRunState();

  // The copy was not mixed with the old log ...
  const auto converted = testing::OpenPractice(machine.Database2014());
  EXPECT_EQ(testing::CountOf(*converted, "select count(*) as n from cms2012"), summary.claims);
  EXPECT_THROW(converted->Execute("SELECT id FROM practice_2014"), jet::Error);
  // ... and the backup is the whole old database, log included.
  const auto backup = testing::OpenPractice(db + ".bak");
  EXPECT_EQ(testing::CountOf(*backup, "select count(*) as n from practice_2014"), 40);
}

// ---- the updater start on its own ----

class UpdaterStart : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetRunState();
    calmora::Run().InstallFolder2014 = folder.str();
  }
  void TearDown() override { ResetRunState(); }
  testing::TempDir folder;
  testing::RecordingFrontEnd ui;
};

TEST_F(UpdaterStart, IsFileAnswersOnlyForPlainFiles) {
  WriteFileBytes(folder / "file.exe", "x");
  EXPECT_TRUE(isFile((folder / "file.exe").string()));
  EXPECT_FALSE(isFile(folder.str()));
  EXPECT_FALSE(isFile((folder / "missing.exe").string()));
  EXPECT_FALSE(isFile(""));
}

TEST_F(UpdaterStart, MissingOrUnstartableUpdaterIsSilent) {
  StartUpdater();  // no CalmoraUpdate folder at all
  const fs::path updater = folder / "CalmoraUpdate/CalmoraDBUpdate.exe";
  fs::create_directories(updater.parent_path());
  // Not executable: the start fails, and nothing says so.
  WriteFileBytes(updater, "#!/bin/sh\ntouch " + testing::ShellWord((folder / "ran").string()) + "\n");
  fs::permissions(updater, fs::perms::owner_read | fs::perms::owner_write);
  StartUpdater();
  // A folder where the program should be.
  fs::remove(updater);
  fs::create_directory(updater);
  StartUpdater();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(fs::exists(folder / "ran"));
  EXPECT_TRUE(ui.events().empty());
}

TEST_F(UpdaterStart, StartsTheUpdaterOnceInItsFolderWithoutWaiting) {
  const fs::path starts = folder / "starts.txt";
  fixture::Write2014Installation(folder.path(), starts);
  const auto before = std::chrono::steady_clock::now();
  StartUpdater();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
  const auto lines = testing::UpdaterStarts(starts, std::chrono::seconds(5));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "0 " + fs::canonical(folder.path()).string());
  EXPECT_TRUE(ui.events().empty());
}

}  // namespace
}  // namespace calmora
