#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "diagnostics/ConversionLog.h"
#include "platform/modFileSysOps.h"
#include "state/RunState.h"
#include "support/FileBytes.h"
#include "support/FixedSystemFacts.h"
#include "support/RecordingFrontEnd.h"
#include "support/TempDir.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::WriteFileBytes;

// A run with its log open in a folder of its own, so that a test sees both
// what the user is shown and what support will read.
class FileSysOpsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetRunState();
    CurrentRun().LogFolder = logFolder.str();
    ASSERT_TRUE(OpenLogFile());
    ui.clear();
  }
  void TearDown() override { ResetRunState(); }

  std::string Log() const {
    return ReadFileBytes(fs::directory_iterator(logFolder.path())->path());
  }
  // The one box shown, cleared for the next.
  void ExpectOneError(const std::string& text) {
    EXPECT_EQ(ui.messages(), (std::vector<testing::ShownMessage>{{text, "ERROR", MessageIcon::Critical, true}}));
    ui.clear();
  }

  testing::TempDir logFolder, dir;
  testing::FixedSystemFacts facts;
  testing::RecordingFrontEnd ui;
};

TEST_F(FileSysOpsTest, FoldersAreDirectoriesAndAPathThatCannotBeReadIsReportedOnLine20) {
  const fs::path docs = dir / "ClientDocs";
  fs::create_directories(docs / "Read Only");
  fs::permissions(docs / "Read Only", fs::perms::owner_read | fs::perms::owner_exec);
  WriteFileBytes(docs / "notes.txt", "x");
  for (const char* folder : {"", ".", "..", "Read Only"})
    EXPECT_TRUE(IsADirectory((docs / folder).string())) << folder;
  EXPECT_FALSE(IsADirectory((docs / "notes.txt").string()));
  EXPECT_TRUE(ui.messages().empty());
  EXPECT_FALSE(CurrentRun().log.ErrorsReported);

  // A missing name in a folder that exists is 53, below a missing folder 76.
  EXPECT_FALSE(IsADirectory((docs / "gone").string()));
  ExpectOneError("53 Error on line... 20\r\nNo such file or directory\r\n"
                 " (Location:modFileSysOps/IsADirectory)");
  EXPECT_FALSE(IsADirectory((dir / "Missing" / "gone").string()));
  ExpectOneError("76 Error on line... 20\r\nNo such file or directory\r\n"
                 " (Location:modFileSysOps/IsADirectory)");
  EXPECT_NE(Log().find("LOCATION: modFileSysOps/IsADirectory\r\nLASTDLLERROR: 2\r\n"),
            std::string::npos);
}

// A copy that fails part way copies what it can, showing its progress, and
// is then reported once, on line 80, with the reason and the count, naming
// no patient's folder or file; the run then ends with errors. A missing
// source is reported on the same line, and nothing is created.
TEST_F(FileSysOpsTest, ACopyThatFailsIsReportedOnceOnLine80AfterCopyingTheRest) {
  const fs::path source = dir / "V3" / "Doe, Jane";
  fs::create_directories(source / "Visits");
  for (const char* file : {"intake.pdf", "letter.doc", "Visits/v1.rtf", "Visits/v2.rtf"})
    WriteFileBytes(source / file, file);
  const fs::path destination = dir / "2014" / "Doe, Jane";
  fs::create_directories(destination);
  WriteFileBytes(destination / "Visits", "a file where the folder must go");

  VBCopyFolder(source.string(), destination.string());

  EXPECT_EQ(ReadFileBytes(destination / "letter.doc"), "letter.doc");
  // The progress reaches the front end (its steps are the tree copy's to pin).
  std::pair<std::int64_t, std::int64_t> last;
  for (const auto& e : ui.events())
    if (e.kind == testing::UiEvent::Kind::FolderCopyProgress) last = {e.done, e.total};
  EXPECT_EQ(last, std::make_pair(std::int64_t{4}, std::int64_t{4}));
  const std::string description =
      "The folder copy did not complete: File exists. Files not copied: 2 of 4. "
      "Folders not created or read: 1.";
  ExpectOneError("5 Error on line... 80\r\n" + description +
                 "\r\n (Location:modFileSysOps/VBCopyFolder)");
  // Logged once, with the system's error number (EEXIST).
  const std::string log = Log();
  const std::string record = "NUMBER: 5\r\nDESCRIPTION: Error on line... 80\r\n" + description +
                             "\r\nSOURCE: CalmoraImport\r\nLOCATION: modFileSysOps/VBCopyFolder\r\nLASTDLLERROR: 17\r\n";
  ASSERT_NE(log.find(record), std::string::npos) << log;
  EXPECT_EQ(log.find(record), log.rfind(record)) << "logged once";
  for (const char* name : {"Doe", "Jane", "Visits", "v1", "intake"})
    EXPECT_EQ(log.find(name), std::string::npos) << name;

  VBCopyFolder((dir / "V3" / "Doe, John").string(), (dir / "2013" / "Doe, John").string());
  ExpectOneError("53 Error on line... 80\r\nThe folder could not be copied: No such file or "
                 "directory. Nothing was copied.\r\n (Location:modFileSysOps/VBCopyFolder)");
  EXPECT_FALSE(fs::exists(dir / "2013"));
  ASSERT_TRUE(CloseLogFile());
  EXPECT_NE(Log().find("Conversion Completed With Errors"), std::string::npos);
}

}  // namespace
}  // namespace calmora
