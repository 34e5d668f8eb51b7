#include <memory>

#include "LogFixture.h"
#include "diagnostics/ConversionLog.h"
#include "diagnostics/modError.h"
#include "jet/Connection.h"

namespace calmora::testing {
namespace {

const std::string kSnapshot =
    std::string("WIN_VERSION#Linux 6.1.0-18-amd64 Debian GNU/Linux 12 (bookworm)\r\n") +
    FixedSystemFacts::kMemoryRecord;
constexpr char kWithErrorsEnd[] =
    "Conversion Completed With Errors\r\n"
    "Please send this log file as an e-mail attachment to support@brindlecote.com\r\n";

const jet::ErrorEntry kSyntax{-2147217900, "Syntax error in INSERT INTO statement.",
                              "Calmora Jet Engine", "3134", 1};
const jet::ErrorEntry kWarning{3265, "Item cannot be found in the collection.",
                               "Calmora Data Objects", "", 0};
const jet::ErrorEntry kRelated{-2147467259, "A related record is required in table 'Person'.",
                               "Calmora Jet Engine", "3201", 787};

// The six lines of an error record, severity 1.
std::string Record(const std::string& number, const std::string& description,
                   const std::string& source, const std::string& location, int lastDll = 0) {
  return "NUMBER: " + number + "\r\nDESCRIPTION: " + description + "\r\nSOURCE: " + source +
         "\r\nLOCATION: " + location + "\r\nLASTDLLERROR: " + std::to_string(lastDll) +
         "\r\nSEVERITY: 1\r\n";
}

class ErrorHandlerTest : public LogFixture {
 protected:
  // The connection as COMOpenConnection leaves it: present, its list as given.
  jet::Errors& Connect(std::vector<jet::ErrorEntry> entries = {}) {
    calmora::CurrentRun().DbConnection = std::make_unique<jet::Connection>();
    calmora::CurrentRun().DbConnection->errors().Replace(std::move(entries));
    return calmora::CurrentRun().DbConnection->errors();
  }

  void ExpectErrorBoxes(const std::vector<std::string>& texts) {
    ASSERT_EQ(ui.messages().size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
      const ShownMessage& box = ui.messages()[i];
      EXPECT_EQ(box.text, texts[i]);
      EXPECT_EQ(box.title, "ERROR");
      EXPECT_EQ(box.icon, MessageIcon::Critical);
      EXPECT_TRUE(box.systemModal);
    }
  }

  std::string CloseAndRead() {
    EXPECT_TRUE(CloseLogFile());
    return LogBytes();
  }
};

TEST_F(ErrorHandlerTest, EmptyConnectionListGivesNoDatabasePartAndNoDump) {
  Connect();
  ASSERT_TRUE(OpenLogFile());
  std::string logWhenShown;
  ui.onShow = [&](const ShownMessage&) { logWhenShown = LogBytes(); };
  const std::string description =
      PrefixLine(30, "Field 'icda' already exists in table 'event'.");
  HandleError("modCommon", "COMAlterTables",
              ErrorInfo{-2147217887, description, "Calmora Jet Engine", 0});

  ExpectErrorBoxes({"-2147217887 Error on line... 30\r\nField 'icda' already exists in table "
                    "'event'.\r\n (Location:modCommon/COMAlterTables)"});
  const std::string report = Record("-2147217887",
                                    "Error on line... 30\r\nField 'icda' already exists in "
                                    "table 'event'.",
                                    "Calmora Jet Engine", "modCommon/COMAlterTables") +
                             kSnapshot;
  EXPECT_EQ(logWhenShown, report) << "the report is on disk before the box shows";
  // The pointer is the default before the report and again before the box.
  ASSERT_EQ(ui.events().size(), 3u);
  EXPECT_EQ(ui.pointers(), (std::vector<MousePointer>{MousePointer::Default, MousePointer::Default}));
  EXPECT_EQ(ui.events()[2].kind, UiEvent::Kind::Message);
  EXPECT_TRUE(calmora::CurrentRun().log.ErrorsReported);
  EXPECT_EQ(CloseAndRead(), report + kWithErrorsEnd);
}

TEST_F(ErrorHandlerTest, TwoErrorsAndOneWarningAreCountedListedAndDumped) {
  jet::Errors& errors = Connect({kSyntax, kWarning, kRelated});
  ASSERT_TRUE(OpenLogFile());
  HandleError("modCommon", "COMMoveCMSData",
              ErrorInfo{-2147467259, kSyntax.description, "Calmora Jet Engine", 0});

  ExpectErrorBoxes({"-2147467259 Syntax error in INSERT INTO statement.\r\n"
                    "ADO error count= 2\r\n"
                    "ADO warning count= 1\r\n"
                    "CalmoraV31 ADO Errors...\r\n"
                    "1)  Syntax error in INSERT INTO statement.\r\n\r\n"
                    "2)  A related record is required in table 'Person'.\r\n\r\n"
                    "CalmoraV31 ADO Warnings...\r\n"
                    "1)  Item cannot be found in the collection.\r\n\r\n"
                    " (Location:modCommon/COMMoveCMSData)"});
  EXPECT_EQ(errors.Count(), 0u) << "the dump clears the connection's list";
  EXPECT_EQ(CloseAndRead(),
            Record("-2147467259", kSyntax.description, "Calmora Jet Engine",
                   "modCommon/COMMoveCMSData") +
                "  CalmoraV31 Error Count:  \t3\r\n"
                "  Error Number: \t-2147217900\r\n"
                "  Description:  \tSyntax error in INSERT INTO statement.\r\n"
                "  Source:       \tCalmora Jet Engine\r\n"
                "  SQL State:    \t3134\r\n"
                "  Native Error: \t1\r\n"
                "\r\n\r\n\r\n"
                "  Error Number: \t-2147467259\r\n"
                "  Description:  \tA related record is required in table 'Person'.\r\n"
                "  Source:       \tCalmora Jet Engine\r\n"
                "  SQL State:    \t3201\r\n"
                "  Native Error: \t787\r\n"
                "\r\n\r\n\r\n" +
                kSnapshot + kWithErrorsEnd);
}

// A report without a box: the same record, dump and snapshot in the log,
// the run marked as having errors, and nothing shown.
TEST_F(ErrorHandlerTest, ALogOnlyReportWritesTheWholeReportAndShowsNothing) {
  jet::Errors& errors = Connect({kRelated});
  ASSERT_TRUE(OpenLogFile());
  LogErrorReport("modCommon", "COMMoveCMSData",
                 ErrorInfo{-2147467259, PrefixLine(5210, kRelated.description), "Calmora Jet Engine", 0});
  EXPECT_TRUE(ui.events().empty()) << "no box and no pointer change";
  EXPECT_TRUE(calmora::CurrentRun().log.ErrorsReported);
  EXPECT_EQ(errors.Count(), 0u) << "the dump clears the connection's list";
  EXPECT_EQ(CloseAndRead(),
            Record("-2147467259", "Error on line... 5210\r\n" + kRelated.description,
                   "Calmora Jet Engine", "modCommon/COMMoveCMSData") +
                "  CalmoraV31 Error Count:  \t1\r\n"
                "  Error Number: \t-2147467259\r\n"
                "  Description:  \tA related record is required in table 'Person'.\r\n"
                "  Source:       \tCalmora Jet Engine\r\n"
                "  SQL State:    \t3201\r\n"
                "  Native Error: \t787\r\n"
                "\r\n\r\n\r\n" +
                kSnapshot + kWithErrorsEnd);
}

TEST_F(ErrorHandlerTest, OnlyWarningsGiveACountLineButNoDatabasePart) {
  Connect({kWarning, jet::ErrorEntry{0, "neither", "x", "", 0}, kWarning});
  ASSERT_TRUE(OpenLogFile());
  HandleError("modCommon", "COMAddTables",
              ErrorInfo{3265, kWarning.description, "Calmora Data Objects", 0});
  ExpectErrorBoxes(
      {"3265 Item cannot be found in the collection.\r\n (Location:modCommon/COMAddTables)"});
  EXPECT_EQ(CloseAndRead(), Record("3265", kWarning.description, "Calmora Data Objects",
                                   "modCommon/COMAddTables") +
                                "  CalmoraV31 Error Count:  \t3\r\n" + kSnapshot +
                                kWithErrorsEnd);
}

// Three reports in one run: two before any connection exists (the file
// copies), then one with the connection's list empty. A provider failure
// with nothing listed dumps a count of zero and has no database part.
TEST_F(ErrorHandlerTest, ProviderFailuresWithNothingListedDumpACountOfZero) {
  ASSERT_TRUE(OpenLogFile());
  HandleError("modFileSysOps", "VBCopyFolder",
              ErrorInfo{-2147467259, "Unspecified error", kProgramSource, 0});
  HandleError("modFileSysOps", "IsADirectory",
              ErrorInfo{53, PrefixLine(10, "No such file or directory"), kProgramSource, 2});
  Connect();
  HandleError("modADO", "COMOpenConnection",
              ErrorInfo{-2147467259, "Not a valid password.", "Calmora Jet Engine", 0});

  ExpectErrorBoxes({"-2147467259 Unspecified error\r\n (Location:modFileSysOps/VBCopyFolder)",
                    "53 Error on line... 10\r\nNo such file or directory\r\n"
                    " (Location:modFileSysOps/IsADirectory)",
                    "-2147467259 Not a valid password.\r\n (Location:modADO/COMOpenConnection)"});
  const std::string countZero = "  CalmoraV31 Error Count:  \t0\r\n";
  EXPECT_EQ(CloseAndRead(),
            Record("-2147467259", "Unspecified error", "CalmoraImport",
                   "modFileSysOps/VBCopyFolder") + countZero + kSnapshot +
                Record("53", "Error on line... 10\r\nNo such file or directory", "CalmoraImport",
                       "modFileSysOps/IsADirectory", 2) + kSnapshot +
                Record("-2147467259", "Not a valid password.", "Calmora Jet Engine",
                       "modADO/COMOpenConnection") + countZero + kSnapshot + kWithErrorsEnd);
}

TEST_F(ErrorHandlerTest, LogNotOpenShowsTheBoxAndWritesNothing) {
  HandleError("frmMain", "cmdConvert_Click",
              ErrorInfo{76, PrefixLine(20, "No such file or directory"), kProgramSource, 2});
  EXPECT_TRUE(FolderEntries().empty());
  // After the close, too: the finished log is left as it was.
  ASSERT_TRUE(OpenLogFile());
  ASSERT_TRUE(CloseLogFile());
  HandleError("frmMain", "cmdConvert_Click", ErrorInfo{5, "late", kProgramSource, 0});
  ExpectErrorBoxes({"76 Error on line... 20\r\nNo such file or directory\r\n"
                    " (Location:frmMain/cmdConvert_Click)",
                    "5 late\r\n (Location:frmMain/cmdConvert_Click)"});
  EXPECT_EQ(LogBytes(), "Conversion Completed Successfully\r\n");
}

// The log's failure is seen at the write that met it, before the error's
// own box, and once only.
TEST_F(ErrorHandlerTest, ReportToAFullDiskStillShowsItsBoxAndTheLogSaysSoAtOnce) {
  std::filesystem::create_symlink("/dev/full", LogPath());
  Connect({kSyntax});
  ASSERT_TRUE(OpenLogFile());
  HandleError("modCommon", "COMRemoveNulls", ErrorInfo{-2147217900, "x", "Calmora Jet Engine", 0});
  ASSERT_EQ(ui.messages().size(), 2u);
  EXPECT_EQ(ui.messages()[0].text, "Conversion could not close log file.");
  EXPECT_EQ(ui.messages()[0].title, "Log File Error");
  EXPECT_EQ(ui.messages()[1].title, "ERROR");
  EXPECT_FALSE(CloseLogFile());
  EXPECT_EQ(ui.messages().size(), 2u);
}

}  // namespace
}  // namespace calmora::testing
