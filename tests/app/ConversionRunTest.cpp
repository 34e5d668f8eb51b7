// Whole conversion runs through cmdConvert_Click on sample machines: real
// folders, a real practice database, the real registry file and updater.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "AppTestSupport.h"
#include "MachineCopies.h"
#include "diagnostics/ErrorInfo.h"
#include "driver/Driver.h"
#include "jet/Connection.h"
#include "jet/Error.h"
#include "jet/Recordset.h"
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
using testing::WriteFileBytes;

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
  return names;
}

// Registry values as an export writes them: a string stored with its NUL,
// one stored without it (UTF-16LE; the tests' paths are ASCII), a number.
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
constexpr char kWithErrorsEnd[] =
    "Conversion Completed With Errors\r\n"
    "Please send this log file as an e-mail attachment to support@brindlecote.com\r\n";
// How every error report in the log ends, on the fixed system facts.
const std::string kReportEnd = std::string("WIN_VERSION#") +
                               testing::FixedSystemFacts::kVersion + "\r\n" +
                               testing::FixedSystemFacts::kMemoryRecord;
constexpr char kCompletion[] = "Conversion complete.";
constexpr char kNoV3[] =
    "Calmora 2014 Upgrade cannot find cannot find your V3 installation.  Please call toll "
    "free: (800) 555-0142 for assistance.";
constexpr char kWrong[] =
    "Calmora 2014 Upgrade can only be used to convert Calmora VERSION 3.1 Databases.  Please "
    "call toll free: (800) 555-0142 for assistance.";
constexpr char kV3Title[] = "Invalid/Incomplete V3 installation";
const char* const kV31DocumentFolders[] = {"SOAPPics", "ClientDocs", "RelatedResources",
                                           "CMS Batch Exports"};

// What a run copies from the sample: pictures and exports by pattern without
// regard to case, hidden ones left; the document folders' sub-folders whole,
// whatever their names; nothing that lies loose beside them.
const std::set<std::string> kSampleCopies{
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

class ConversionRun : public ::testing::Test {
 protected:
  ConversionRun() : machine(dir.path()) {}
  void SetUp() override { NewMachine("machine"); }
  void TearDown() override {
    ResetRunState();
    ::unsetenv("CALMORA_REGISTRY");
  }

  // A fresh sample machine and run state, as at a new start of the program.
  void NewMachine(const std::string& name) {
    ResetRunState();
    ui.clear();
    machine = fixture::SampleLayout(fs::canonical(dir.path()) / name);
    summary = fixture::WriteSampleMachine(machine.root, {24, 11});
    ::setenv("CALMORA_REGISTRY", machine.registryFile.c_str(), 1);
    original2014 = ReadFileBytes(machine.Database2014());
    v31Before = FileTree(machine.folderV31);
  }

  std::string LocationV31() const { return Text("Location", machine.folderV31.string()); }
  std::string Location2014() const { return Text("Location", machine.folder2014.string()); }
  // A registry with the two keys' values; a key without values is left out.
  using Values = std::vector<std::string>;
  void WriteRegistry(const Values& v31, const Values& y2014) const {
    std::string text = "Windows Registry Editor Version 5.00\r\n";
    const auto add = [&](const char* key, const Values& values) {
      if (!values.empty()) text += std::string("\r\n[HKEY_LOCAL_MACHINE\\") + key + "]\r\n";
      for (const std::string& value : values) text += value + "\r\n";
    };
    add(fixture::kKeyV31, v31);
    add(fixture::kKey2014, y2014);
    WriteFileBytes(machine.registryFile, text);
  }
  const std::string kVersionOk = Text("Version", "3.1.0.0");

  fs::path Log() const { return machine.folder2014 / kLogName; }
  // The run's copies into the 2014 document folders, byte for byte.
  void ExpectCopied(const std::set<std::string>& expected) const {
    std::set<std::string> names;
    for (const auto& [path, bytes] : FileTree(machine.folder2014)) {
      if (path.starts_with("Database/") || path.starts_with("CalmoraUpdate/") ||
          path.starts_with("conversion_") || path.starts_with("conversion-summary_"))
        continue;
      names.insert(path);
      EXPECT_EQ(bytes, v31Before.at(path)) << path;
    }
    EXPECT_EQ(names, expected);
  }
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

TEST_F(ConversionRun, CleanRunConvertsCopiesAndStartsTheUpdaterOnce) {
  const fs::path workingFolder = fs::current_path();
  EXPECT_EQ(cmdConvert_Click(), RunOutcome::Finished);
  EXPECT_FALSE(ErrorsWereReported());
  const auto shown = ui.messages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, kCompletion);
  EXPECT_EQ(shown[0].title, "Conversion complete");
  EXPECT_EQ(shown[0].icon, MessageIcon::None);
  // Busy while converting; back to normal before the message.
  ASSERT_FALSE(ui.pointers().empty());
  EXPECT_EQ(ui.pointers().front(), MousePointer::Hourglass);
  EXPECT_EQ(ui.events().back().kind, testing::UiEvent::Kind::Message);
  EXPECT_EQ(ui.currentPointer(), MousePointer::Default);

  EXPECT_EQ(ReadFileBytes(Log()), kCleanLog);
  EXPECT_EQ(testing::LogFilesIn(machine.folder2014).size(), 1u);
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
  const auto starts = UpdaterStarts();
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0], "0 " + fs::canonical(machine.folder2014).string());

  ResetRunState();
  const auto db = testing::OpenPractice(machine.Database2014());
  EXPECT_EQ(testing::CountOf(*db, "select count(*) as n from cms2012"), summary.claims);
  EXPECT_EQ(
      testing::CountOf(*db, "select count(*) as n from conv_hcfa_info where event_id is null"), 0);
  EXPECT_EQ(ReadFileBytes(machine.Database2014().string() + ".bak"), original2014);
}

TEST_F(ConversionRun, OddButSoundMachinesConvertCleanly) {
  struct Case {
    const char* what;
    std::function<void()> prepare;
    bool documents;
  };
  const std::vector<Case> cases{
      {"version that merely begins with 3.1.0.0",
       [&] { WriteRegistry({LocationV31(), Text("Version", "3.1.0.0.12")}, {Location2014()}); },
       true},
      // Stored without a NUL, a Location keeps its last character.
      {"locations without their NUL",
       [&] {
         WriteRegistry({TextWithoutNul("Location", machine.folderV31.string()), kVersionOk},
                       {TextWithoutNul("Location", machine.folder2014.string())});
       },
       true},
      {"no V3.1 document folders",
       [&] {
         for (const char* folder : kV31DocumentFolders) fs::remove_all(machine.folderV31 / folder);
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    NewMachine(c.what);
    c.prepare();
    v31Before = FileTree(machine.folderV31);
    EXPECT_EQ(cmdConvert_Click(), RunOutcome::Finished);
    EXPECT_EQ(ReadFileBytes(Log()), kCleanLog);
    ExpectCopied(c.documents ? kSampleCopies : std::set<std::string>{});
  }
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
  const std::vector<Stop> stops{
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
    const auto shown = ui.messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, stop.text);
    EXPECT_EQ(shown[0].title, stop.title);
    EXPECT_EQ(shown[0].icon, MessageIcon::Critical);
    EXPECT_EQ(ErrorsWereReported(), stop.outcome == errorPath);
    EXPECT_EQ(FileTree(machine.folder2014), tree2014);
    EXPECT_FALSE(fs::exists(machine.folder2014 / "gone"));
  }
  EXPECT_EQ(FileTree(machine.folderV31), v31Before);
  EXPECT_TRUE(UpdaterStarts(300).empty());
}

// A copy that fails takes the error path; the window stays open, and a
// second click after the cause is mended runs a whole new conversion.
TEST_F(ConversionRun, CopyFailureReportsItsLineAndStopsWithoutClosingTheLog) {
  struct Case {
    const char* what;
    std::function<void()> breakIt;
    int line;
    int number;
    bool oneFolder = false;  // both keys name the V3.1 folder
    std::function<void()> mend = nullptr;
  };
  const std::vector<Case> cases{
      {"2014 batch export folder missing",
       [&] {
         fs::remove_all(machine.folder2014 / "CMS Batch Exports");
         // Related resources are copied before the exports.
         fs::remove_all(machine.folderV31 / "RelatedResources");
       },
       670, vberr::PathNotFound},
      {"V3.1 database missing",
       [&] {
         fs::remove(machine.DatabaseV31());
         fs::remove_all(machine.folderV31 / "RelatedResources");
       },
       700, vberr::FileNotFound},
      // The database must never be copied (or backed up) onto itself.
      {"one folder for both",
       [&] {
         WriteRegistry({LocationV31(), kVersionOk}, {LocationV31()});
         for (const char* folder : kV31DocumentFolders) fs::remove_all(machine.folderV31 / folder);
       },
       700, 5, true},
      {"2014 picture folder missing", [&] { fs::remove_all(machine.folder2014 / "SOAPPics"); },
       480, vberr::PathNotFound, false,
       [&] { fs::create_directory(machine.folder2014 / "SOAPPics"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    NewMachine(c.what);
    c.breakIt();
    const auto v31 = FileTree(machine.folderV31);
    EXPECT_EQ(cmdConvert_Click(), RunOutcome::ErrorPath);

    const auto shown = ui.messages();
    ASSERT_EQ(shown.size(), 1u);
    const std::string line = std::to_string(c.line), number = std::to_string(c.number);
    EXPECT_TRUE(shown[0].text.starts_with(number + " Error on line... " + line + "\r\n"))
        << shown[0].text;
    EXPECT_TRUE(shown[0].text.ends_with("\r\n (Location:frmMain/cmdConvert_Click)"));
    EXPECT_EQ(shown[0].title, "ERROR");
    EXPECT_EQ(ui.currentPointer(), MousePointer::Default);
    EXPECT_TRUE(ErrorsWereReported());

    const fs::path logFile = (c.oneFolder ? machine.folderV31 : machine.folder2014) / kLogName;
    const std::string log = ReadFileBytes(logFile);
    EXPECT_NE(log.find("NUMBER: " + number + "\r\nDESCRIPTION: Error on line... " + line + "\r\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("LOCATION: frmMain/cmdConvert_Click\r\n"), std::string::npos);
    EXPECT_EQ(log.find("Conversion Completed"), std::string::npos) << "the log was closed";

    // Nothing after the failing statement happened.
    EXPECT_EQ(ReadFileBytes(machine.Database2014()), original2014);
    EXPECT_EQ(Names(machine.Database2014().parent_path()), std::set<std::string>{"calmora.mdb"});
    EXPECT_TRUE(fs::is_empty(machine.folder2014 / "RelatedResources"));
    auto v31After = FileTree(machine.folderV31);
    v31After.erase(kLogName);
    EXPECT_EQ(v31After, v31);
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

TEST_F(ConversionRun, FailingStepIsReportedAndTheRunStillCompletes) {
  // The practice again, in a database whose claim table lacks one column.
  const fs::path damaged = machine.root / "damaged.mdb";
  jet::Connection::CreateDatabase(damaged.string(), fixture::kDatabasePassword);
  {
    const auto source = testing::OpenPractice(machine.DatabaseV31());
    const auto target = testing::OpenPractice(damaged);
    for (legacy::TableDef table : legacy::LegacyTables()) {
      std::erase_if(table.columns,
                    [](const legacy::ColumnDef& c) { return c.name == "Supplier_nonNPI"; });
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
  const std::string description = box.substr(blank + 1, box.size() - blank - 1 - tail.size());
  EXPECT_TRUE(description.starts_with("Error on line... ")) << description;
  EXPECT_EQ(ReadFileBytes(Log()),
            "NUMBER: " + box.substr(0, blank) + "\r\nDESCRIPTION: " + description +
                "\r\nSOURCE: " + jet::kObjectModelSource +
                "\r\nLOCATION: modCommon/COMMoveCMSData\r\nLASTDLLERROR: 0\r\nSEVERITY: 1\r\n" +
                kReportEnd + kWithErrorsEnd);
  EXPECT_EQ(UpdaterStarts().size(), 1u);
  // Reported is not enough: the summary counts every claim left behind.
  const std::string summaryFile = ReadFileBytes(machine.folder2014 / kSummaryName);
  EXPECT_TRUE(summaryFile.ends_with("\r\nROWS NOT ACCOUNTED FOR: " +
                                    std::to_string(summary.claims) + "\r\n"))
      << summaryFile;
}

// A V3.1 database that cannot be opened: the connection's report, then the
// connection message, then the log's final lines; no step, no updater.
TEST_F(ConversionRun, WrongPasswordGivesTheConnectionError) {
  const std::string description =
      "Not a valid password, or the database file is damaged: the engine cannot tell which.";
  const std::string log =
      "NUMBER: -2147467259\r\nDESCRIPTION: " + description +
      "\r\nSOURCE: Calmora Jet Engine\r\nLOCATION: modADO/COMOpenConnection\r\n"
      "LASTDLLERROR: 0\r\nSEVERITY: 1\r\n  CalmoraV31 Error Count:  \t1\r\n"
      "  Error Number: \t-2147467259\r\n  Description:  \t" + description +
      "\r\n  Source:       \tCalmora Jet Engine\r\n  SQL State:    \t3031\r\n"
      "  Native Error: \t26\r\n\r\n\r\n\r\n" + kReportEnd + kWithErrorsEnd;
  fs::remove(machine.DatabaseV31());
  jet::Connection::CreateDatabase(machine.DatabaseV31().string(), "not the practice password");
  EXPECT_EQ(cmdConvert_Click(), RunOutcome::Finished);
  EXPECT_TRUE(ErrorsWereReported());
  const auto shown = ui.messages();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, "-2147467259 " + description +
                               "\r\nADO error count= 1\r\nADO warning count= 0\r\nCalmoraV31 "
                               "ADO Errors...\r\n1)  " + description +
                               "\r\n\r\n (Location:modADO/COMOpenConnection)");
  EXPECT_EQ(shown[0].title, "ERROR");
  EXPECT_EQ(shown[1].text,
            "This Conversion Utility failed to connect to one of the databases.  Please call "
            "toll free: (800)555-0142 for assistance.");
  EXPECT_EQ(shown[1].title, "Connection Error");
  EXPECT_EQ(shown[1].icon, MessageIcon::Critical);
  EXPECT_EQ(ReadFileBytes(Log()), log);
  EXPECT_TRUE(UpdaterStarts(500).empty()) << "the updater started after a connection error";
  // The 2014 installation keeps the database it had; no conversion, so no
  // summary.
  EXPECT_EQ(ReadFileBytes(machine.Database2014()), original2014);
  EXPECT_EQ(Names(machine.Database2014().parent_path()), std::set<std::string>{"calmora.mdb"});
  EXPECT_FALSE(fs::exists(machine.folder2014 / kSummaryName));
}

// A database as a crash leaves it: changes committed to its write-ahead log
// and not yet into the file.
void LeaveInWriteAheadLog(const fs::path& database, const std::vector<std::string>& changes) {
  const std::string wal = database.string() + "-wal";
  auto connection = testing::OpenPractice(database);
  for (const std::string& sql : changes) connection->Execute(sql);
  const std::string file = ReadFileBytes(database), log = ReadFileBytes(wal);
  ASSERT_GT(log.size(), 0u);
  connection->Close();
  WriteFileBytes(database, file);
  WriteFileBytes(wal, log);
}

// The replaced 2014 database is kept with its side files under a name that
// never overwrites an earlier backup; the V3.1 side files come with the copy.
TEST_F(ConversionRun, ReplacedDatabaseIsKeptWhole) {
  LeaveInWriteAheadLog(machine.DatabaseV31(), {"UPDATE conv_hcfa_info SET patient_account_num = "
                                               "'IN-WAL-ONLY' WHERE hcfa_id = 2"});
  fs::remove(machine.Database2014());
  jet::Connection::CreateDatabase(machine.Database2014().string(), fixture::kDatabasePassword);
  std::vector<std::string> changes{"CREATE TABLE practice_2014 (id LONG, note TEXT(20))"};
  for (int i = 1; i <= 40; ++i)
    changes.push_back("INSERT INTO practice_2014 VALUES (" + std::to_string(i) + ", 'kept')");
  LeaveInWriteAheadLog(machine.Database2014(), changes);
  const std::string db = machine.Database2014().string();
  const std::string old2014 = ReadFileBytes(db), staleLog = ReadFileBytes(db + "-wal");
  const auto v31 = FileTree(machine.folderV31);

  ASSERT_EQ(cmdConvert_Click(), RunOutcome::Finished);
  EXPECT_FALSE(ErrorsWereReported());
  EXPECT_EQ(FileTree(machine.folderV31), v31);
  ResetRunState();
  {
    const auto converted = testing::OpenPractice(db);
    EXPECT_EQ(testing::CountOf(*converted, "select count(*) as n from cms2012"), summary.claims);
    EXPECT_EQ(testing::CountOf(*converted, "select count(*) as n from cms2012 where "
                                           "PATIENT_ACCOUNT_NUM = 'IN-WAL-ONLY'"),
              1);
    EXPECT_THROW(converted->Execute("SELECT id FROM practice_2014"), jet::Error);
  }
  const std::string converted = ReadFileBytes(db);
  facts.now = testing::LocalTime(2014, 3, 6, 10, 0, 0);
  ASSERT_EQ(cmdConvert_Click(), RunOutcome::Finished);
  ResetRunState();

  EXPECT_EQ(ReadFileBytes(db + ".bak"), old2014);
  EXPECT_EQ(ReadFileBytes(db + ".bak-wal"), staleLog);
  EXPECT_EQ(ReadFileBytes(db + ".bak2"), converted);
  EXPECT_EQ(Names(machine.Database2014().parent_path()),
            (std::set<std::string>{"calmora.mdb", "calmora.mdb.bak", "calmora.mdb.bak-wal",
                                   "calmora.mdb.bak2"}));
  const auto backup = testing::OpenPractice(db + ".bak");
  EXPECT_EQ(testing::CountOf(*backup, "select count(*) as n from practice_2014"), 40);
}

TEST(UpdaterStart, IsFileIsForPlainFilesAndAFailedStartIsSilent) {
  ResetRunState();
  testing::TempDir folder;
  testing::RecordingFrontEnd ui;
  calmora::CurrentRun().InstallFolder2014 = folder.str();
  WriteFileBytes(folder / "file.exe", "x");
  EXPECT_TRUE(isFile((folder / "file.exe").string()));
  EXPECT_FALSE(isFile(folder.str()));
  EXPECT_FALSE(isFile((folder / "missing.exe").string()));
  EXPECT_FALSE(isFile(""));

  StartUpdater();  // no CalmoraUpdate folder at all
  const fs::path updater = folder / "CalmoraUpdate/CalmoraDBUpdate.exe";
  fs::create_directories(updater.parent_path());
  // Not executable: the start fails, and nothing says so.
  WriteFileBytes(updater, "#!/bin/sh\ntouch \"" + (folder / "ran").string() + "\"\n");
  fs::permissions(updater, fs::perms::owner_read | fs::perms::owner_write);
  StartUpdater();
  fs::remove(updater);
  fs::create_directory(updater);  // a folder where the program should be
  StartUpdater();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(fs::exists(folder / "ran"));
  EXPECT_TRUE(ui.events().empty());
  ResetRunState();
}

}  // namespace
}  // namespace calmora
