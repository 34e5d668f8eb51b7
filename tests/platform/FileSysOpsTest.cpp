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
using testing::RecordingFrontEnd;
using testing::TempDir;
using testing::UiEvent;
using testing::WriteFileBytes;

// A run with its log open in a folder of its own, so that a test sees both
// what the user is shown and what support will read.
class FileSysOpsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetRunState();
    calmora::Run().LogFolder = logFolder.str();
    ASSERT_TRUE(OpenLogFile());
    ui.clear();
  }
  void TearDown() override { ResetRunState(); }

  std::string Log() const {
    for (const auto& entry : fs::directory_iterator(logFolder.path())) {
      return ReadFileBytes(entry.path());
    }
    return {};
  }
  static std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  }
  std::vector<std::pair<std::int64_t, std::int64_t>> Progress() const {
    std::vector<std::pair<std::int64_t, std::int64_t>> calls;
    for (const auto& e : ui.events()) {
      if (e.kind == UiEvent::Kind::FolderCopyProgress) calls.emplace_back(e.done, e.total);
    }
    return calls;
  }

  TempDir logFolder, dir;
  testing::FixedSystemFacts facts;
  RecordingFrontEnd ui;
};

TEST_F(FileSysOpsTest, FoldersAndTheirDotEntriesAreDirectoriesFilesAreNot) {
  fs::create_directories(dir / "ClientDocs" / "Read Only");
  fs::permissions(dir / "ClientDocs" / "Read Only", fs::perms::owner_read | fs::perms::owner_exec);
  WriteFileBytes(dir / "ClientDocs" / "notes.txt", "x");
  const fs::path docs = dir / "ClientDocs";
  EXPECT_TRUE(IsADirectory(docs.string()));
  EXPECT_TRUE(IsADirectory((docs / ".").string()));
  EXPECT_TRUE(IsADirectory((docs / "..").string()));
  EXPECT_TRUE(IsADirectory((docs / "Read Only").string()));
  EXPECT_FALSE(IsADirectory((docs / "notes.txt").string()));
  EXPECT_TRUE(ui.messages().empty());
  EXPECT_FALSE(calmora::Run().log.ErrorsReported);
}

TEST_F(FileSysOpsTest, AMissingPathIsReportedOnLine20) {
  fs::create_directories(dir / "ClientDocs");
  EXPECT_FALSE(IsADirectory((dir / "ClientDocs" / "gone").string()));
  EXPECT_FALSE(IsADirectory((dir / "Missing" / "gone").string()));
  const auto shown = ui.messages();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text,
            "53 Error on line... 20\r\nNo such file or directory\r\n"
            " (Location:modFileSysOps/IsADirectory)");
  EXPECT_EQ(shown[0].title, "ERROR");
  EXPECT_EQ(shown[0].icon, MessageIcon::Critical);
  EXPECT_EQ(shown[1].text,
            "76 Error on line... 20\r\nNo such file or directory\r\n"
            " (Location:modFileSysOps/IsADirectory)");
  EXPECT_NE(Log().find("LOCATION: modFileSysOps/IsADirectory\r\nLASTDLLERROR: 2\r\n"),
            std::string::npos);
}

TEST_F(FileSysOpsTest, ANestedTreeIsCopiedToAMissingDestinationWithProgress) {
  const fs::path source = dir / "V3" / "ClientDocs" / "Doe, Jane";
  fs::create_directories(source / "Visits" / "2013");
  fs::create_directories(source / "Empty");
  WriteFileBytes(source / "intake.pdf", "intake");
  WriteFileBytes(source / "Visits" / "2013" / "soap.rtf", "soap");
  WriteFileBytes(source / "Visits" / "xray.bmp", "xray");
  const fs::path destination = dir / "2014" / "ClientDocs" / "Doe, Jane";

  VBCopyFolder(source.string(), destination.string());

  EXPECT_TRUE(ui.messages().empty());
  EXPECT_EQ(ReadFileBytes(destination / "Visits" / "2013" / "soap.rtf"), "soap");
  EXPECT_TRUE(fs::is_directory(destination / "Empty"));
  const auto progress = Progress();
  ASSERT_GE(progress.size(), 2u);
  EXPECT_EQ(progress.front(), std::make_pair(std::int64_t{0}, std::int64_t{3}));
  EXPECT_EQ(progress.back(), std::make_pair(std::int64_t{3}, std::int64_t{3}));
  EXPECT_FALSE(calmora::Run().log.ErrorsReported);
}

// The mended fault: a copy that fails part way copies what it can and then
// is reported once, on line 80, with the reason and the count, naming no
// patient's folder or file.
TEST_F(FileSysOpsTest, ACopyThatFailsPartWayIsReportedOnceAfterCopyingTheRest) {
  const fs::path source = dir / "V3" / "Doe, Jane";
  fs::create_directories(source / "Visits");
  WriteFileBytes(source / "intake.pdf", "intake");
  WriteFileBytes(source / "letter.doc", "letter");
  WriteFileBytes(source / "Visits" / "v1.rtf", "1");
  WriteFileBytes(source / "Visits" / "v2.rtf", "2");
  const fs::path destination = dir / "2014" / "Doe, Jane";
  fs::create_directories(destination);
  WriteFileBytes(destination / "Visits", "a file where the folder must go");

  VBCopyFolder(source.string(), destination.string());

  EXPECT_EQ(ReadFileBytes(destination / "intake.pdf"), "intake");
  EXPECT_EQ(ReadFileBytes(destination / "letter.doc"), "letter");
  const std::string description =
      "The folder copy did not complete: File exists. Files not copied: 2 of 4. "
      "Folders not created or read: 1.";
  const auto shown = ui.messages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "5 Error on line... 80\r\n" + description +
                               "\r\n (Location:modFileSysOps/VBCopyFolder)");
  EXPECT_EQ(shown[0].title, "ERROR");
  EXPECT_EQ(shown[0].icon, MessageIcon::Critical);
  EXPECT_TRUE(shown[0].systemModal);

  const std::string log = Log();
  EXPECT_EQ(Occurrences(log, "LOCATION: modFileSysOps/VBCopyFolder"), 1u);
  EXPECT_NE(log.find("DESCRIPTION: Error on line... 80\r\n" + description + "\r\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("LASTDLLERROR: 17\r\n"), std::string::npos);
  for (const char* name : {"Doe", "Jane", "Visits", "v1", "intake"}) {
    EXPECT_EQ(log.find(name), std::string::npos) << name;
  }
  EXPECT_TRUE(calmora::Run().log.ErrorsReported);
  ASSERT_TRUE(CloseLogFile());
  EXPECT_NE(Log().find("Conversion Completed With Errors"), std::string::npos);
}

TEST_F(FileSysOpsTest, AMissingSourceIsReportedOnLine80AndCreatesNothing) {
  VBCopyFolder((dir / "V3" / "Doe, Jane").string(), (dir / "2014" / "Doe, Jane").string());
  const auto shown = ui.messages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text,
            "53 Error on line... 80\r\nThe folder could not be copied: No such file or "
            "directory. Nothing was copied.\r\n (Location:modFileSysOps/VBCopyFolder)");
  EXPECT_FALSE(fs::exists(dir / "2014"));
}

}  // namespace
}  // namespace calmora
