// The error report as support staff read it: the box, then the log's error
// record, the dump of the connection's list and the system snapshot.
#include <functional>
#include <memory>

#include "support/LogFixture.h"
#include "diagnostics/ConversionLog.h"
#include "diagnostics/modError.h"
#include "jet/Connection.h"

namespace calmora::testing {
namespace {

const std::string kSnapshot = std::string("WIN_VERSION#") + FixedSystemFacts::kVersion + "\r\n" +
                              FixedSystemFacts::kMemoryRecord;

const jet::ErrorEntry kSyntax{-2147217900, "Syntax error in INSERT INTO statement.", "Calmora Jet Engine",
                              "3134", 1};
const jet::ErrorEntry kWarning{3265, "Item cannot be found in the collection.", "Calmora Data Objects", "", 0};
const jet::ErrorEntry kRelated{-2147467259, "A related record is required in table 'Person'.",
                               "Calmora Jet Engine", "3201", 787};

// The six lines of an error record, severity 1.
std::string Record(const std::string& number, const std::string& description, const std::string& source,
                   const std::string& location, int lastDll = 0) {
  return "NUMBER: " + number + "\r\nDESCRIPTION: " + description + "\r\nSOURCE: " + source +
         "\r\nLOCATION: " + location + "\r\nLASTDLLERROR: " + std::to_string(lastDll) + "\r\nSEVERITY: 1\r\n";
}

// The dump of a connection's list: the count of all entries, then each error.
std::string Dump(int count, const std::vector<jet::ErrorEntry>& errors) {
  std::string text = "  CalmoraV31 Error Count:  \t" + std::to_string(count) + "\r\n";
  for (const jet::ErrorEntry& e : errors)
    text += "  Error Number: \t" + std::to_string(e.number) + "\r\n  Description:  \t" + e.description +
            "\r\n  Source:       \t" + e.source + "\r\n  SQL State:    \t" + e.sqlState +
            "\r\n  Native Error: \t" + std::to_string(e.nativeError) + "\r\n\r\n\r\n\r\n";
  return text;
}

// The connection as COMOpenConnection leaves it: present, its list as given.
void Connect(std::vector<jet::ErrorEntry> entries = {}) {
  CurrentRun().DbConnection = std::make_unique<jet::Connection>();
  CurrentRun().DbConnection->errors().Replace(std::move(entries));
}

struct ReportCase {
  const char* name;
  std::function<void()> report;
  std::vector<std::string> boxes;
  std::string log;
  friend void PrintTo(const ReportCase& c, std::ostream* out) { *out << c.name; }
};

const ReportCase kCases[] = {
    {"EmptyListGivesNoDatabasePartAndNoDump",
     [] {
       Connect();
       HandleError("modCommon", "COMAlterTables",
                   {-2147217887, PrefixLine(30, "Field 'icda' already exists in table 'event'."),
                    "Calmora Jet Engine", 0});
     },
     {"-2147217887 Error on line... 30\r\nField 'icda' already exists in table 'event'.\r\n"
      " (Location:modCommon/COMAlterTables)"},
     Record("-2147217887", "Error on line... 30\r\nField 'icda' already exists in table 'event'.",
            "Calmora Jet Engine", "modCommon/COMAlterTables") + kSnapshot},
    // An entry numbered 0 is neither an error nor a warning.
    {"TwoErrorsAndOneWarningAreCountedListedAndDumped",
     [] {
       Connect({kSyntax, kWarning, jet::ErrorEntry{0, "neither", "x", "", 0}, kRelated});
       HandleError("modCommon", "COMMoveCMSData", {-2147467259, kSyntax.description, "Calmora Jet Engine", 0});
     },
     {"-2147467259 Syntax error in INSERT INTO statement.\r\n"
      "ADO error count= 2\r\nADO warning count= 1\r\n"
      "CalmoraV31 ADO Errors...\r\n"
      "1)  Syntax error in INSERT INTO statement.\r\n\r\n"
      "2)  A related record is required in table 'Person'.\r\n\r\n"
      "CalmoraV31 ADO Warnings...\r\n"
      "1)  Item cannot be found in the collection.\r\n\r\n"
      " (Location:modCommon/COMMoveCMSData)"},
     Record("-2147467259", kSyntax.description, "Calmora Jet Engine", "modCommon/COMMoveCMSData") +
         Dump(4, {kSyntax, kRelated}) + kSnapshot},
    {"OnlyWarningsGiveACountLineButNoDatabasePart",
     [] {
       Connect({kWarning, jet::ErrorEntry{0, "neither", "x", "", 0}, kWarning});
       HandleError("modCommon", "COMAddTables", {3265, kWarning.description, "Calmora Data Objects", 0});
     },
     {"3265 Item cannot be found in the collection.\r\n (Location:modCommon/COMAddTables)"},
     Record("3265", kWarning.description, "Calmora Data Objects", "modCommon/COMAddTables") + Dump(3, {}) +
         kSnapshot},
    // Two reports before any connection exists (the file copies), then one
    // with the list empty: a provider failure dumps a count of zero.
    {"ProviderFailuresWithNothingListedDumpACountOfZero",
     [] {
       HandleError("modFileSysOps", "VBCopyFolder", {-2147467259, "Unspecified error", kProgramSource, 0});
       HandleError("modFileSysOps", "IsADirectory",
                   {53, PrefixLine(10, "No such file or directory"), kProgramSource, 2});
       Connect();
       HandleError("modADO", "COMOpenConnection", {-2147467259, "Not a valid password.", "Calmora Jet Engine", 0});
     },
     {"-2147467259 Unspecified error\r\n (Location:modFileSysOps/VBCopyFolder)",
      "53 Error on line... 10\r\nNo such file or directory\r\n (Location:modFileSysOps/IsADirectory)",
      "-2147467259 Not a valid password.\r\n (Location:modADO/COMOpenConnection)"},
     Record("-2147467259", "Unspecified error", "CalmoraImport", "modFileSysOps/VBCopyFolder") + Dump(0, {}) +
         kSnapshot +
         Record("53", "Error on line... 10\r\nNo such file or directory", "CalmoraImport",
                "modFileSysOps/IsADirectory", 2) +
         kSnapshot +
         Record("-2147467259", "Not a valid password.", "Calmora Jet Engine", "modADO/COMOpenConnection") +
         Dump(0, {}) + kSnapshot},
    // A report without a box: the same record, dump and snapshot.
    {"ALogOnlyReportWritesTheWholeReportAndShowsNothing",
     [] {
       Connect({kRelated});
       LogErrorReport("modCommon", "COMMoveCMSData",
                      {-2147467259, PrefixLine(5210, kRelated.description), "Calmora Jet Engine", 0});
     },
     {},
     Record("-2147467259", "Error on line... 5210\r\n" + kRelated.description, "Calmora Jet Engine",
            "modCommon/COMMoveCMSData") +
         Dump(1, {kRelated}) + kSnapshot},
};

class ErrorReport : public LogFixture, public ::testing::WithParamInterface<ReportCase> {};

// Each box shows once its report is on disk, the pointer set to the default
// before the report and again before the box; the dump clears the list.
TEST_P(ErrorReport, ShowsItsBoxesAndWritesItsLog) {
  ASSERT_TRUE(OpenLogFile());
  std::vector<std::string> logWhenShown;
  ui.onShow = [&](const ShownMessage&) { logWhenShown.push_back(LogBytes()); };
  GetParam().report();
  std::vector<ShownMessage> boxes;
  for (const std::string& text : GetParam().boxes) boxes.push_back({text, "ERROR", MessageIcon::Critical, true});
  EXPECT_EQ(ui.messages(), boxes);
  EXPECT_EQ(ui.pointers(), std::vector<MousePointer>(2 * ui.messages().size(), MousePointer::Default));
  EXPECT_EQ(ui.events().size(), 3 * ui.messages().size());
  EXPECT_EQ(LogBytes(), GetParam().log);
  EXPECT_EQ(logWhenShown.empty() ? GetParam().log : logWhenShown.back(), GetParam().log) << "when shown";
  EXPECT_TRUE(CurrentRun().log.ErrorsReported);
  EXPECT_EQ(CurrentRun().DbConnection->errors().Count(), 0u);
}

INSTANTIATE_TEST_SUITE_P(All, ErrorReport, ::testing::ValuesIn(kCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(LogFixture, AReportWithoutAnOpenLogShowsTheBoxAndWritesNothing) {
  HandleError("frmMain", "cmdConvert_Click", {76, PrefixLine(20, "No such file or directory"), kProgramSource, 2});
  EXPECT_TRUE(FolderEntries().empty());
  // After the close, too: the finished log is left as it was.
  ASSERT_TRUE(OpenLogFile());
  ASSERT_TRUE(CloseLogFile());
  HandleError("frmMain", "cmdConvert_Click", {5, "late", kProgramSource, 0});
  ASSERT_EQ(ui.messages().size(), 2u);
  EXPECT_EQ(ui.messages()[1].text, "5 late\r\n (Location:frmMain/cmdConvert_Click)");
  EXPECT_EQ(LogBytes(), "Conversion Completed Successfully\r\n");
}

// The log's failure is seen at the write that met it, before the error's
// own box, and once only.
TEST_F(LogFixture, AReportToAFullDiskStillShowsItsBoxAndTheLogSaysSoAtOnce) {
  std::filesystem::create_symlink("/dev/full", LogPath());
  Connect({kSyntax});
  ASSERT_TRUE(OpenLogFile());
  HandleError("modCommon", "COMRemoveNulls", {-2147217900, "x", "Calmora Jet Engine", 0});
  EXPECT_FALSE(CloseLogFile());
  ASSERT_EQ(ui.messages().size(), 2u);
  EXPECT_EQ(ui.messages()[0], (ShownMessage{"Conversion could not close log file.", "Log File Error", MessageIcon::Critical}));
  EXPECT_EQ(ui.messages()[1].title, "ERROR");
}

}  // namespace
}  // namespace calmora::testing
