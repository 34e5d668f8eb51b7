#include <sys/stat.h>
#include <unistd.h>

#include "LogFixture.h"
#include "diagnostics/ConversionLog.h"

namespace calmora::testing {
namespace {

constexpr char kOpenFailure[] = "Conversion could not open log file. Application exiting.";
constexpr char kCloseFailure[] = "Conversion could not close log file.";

using ConversionLogTest = LogFixture;

void ExpectLogFileErrorBox(const RecordingFrontEnd& ui, const char* text) {
  ASSERT_EQ(ui.messages().size(), 1u);
  EXPECT_EQ(ui.messages()[0].text, text);
  EXPECT_EQ(ui.messages()[0].title, "Log File Error");
  EXPECT_EQ(ui.messages()[0].icon, MessageIcon::Critical);
}

TEST_F(ConversionLogTest, FileNameEndsWithSecondsThenMinuteWithoutLeadingZeros) {
  const std::pair<std::tm, const char*> cases[] = {
      {LocalTime(2014, 3, 5, 9, 7, 4), "conversion_20140305090747.txt"},
      {LocalTime(2014, 3, 5, 14, 35, 59), "conversion_2014030514355935.txt"},
      {LocalTime(2014, 3, 5, 0, 0, 0), "conversion_20140305000000.txt"},
      {LocalTime(2014, 12, 31, 23, 59, 9), "conversion_201412312359959.txt"},
  };
  for (const auto& [at, name] : cases) {
    facts.now = at;
    ASSERT_TRUE(OpenLogFile()) << name;
    EXPECT_TRUE(CloseLogFile());
    EXPECT_TRUE(std::filesystem::is_regular_file(folder / name)) << name;
  }
  EXPECT_EQ(FolderEntries().size(), 4u);
}

TEST_F(ConversionLogTest, CleanRunReplacesAnOldFileWithTheOneSuccessLine) {
  WriteFileBytes(LogPath(), "an earlier run's log, much longer than the new one\r\n");
  const auto workingDirectory = std::filesystem::current_path();
  calmora::Run().log.ErrorsReported = true;  // left from before the open: cleared by it
  ASSERT_TRUE(OpenLogFile());
  EXPECT_TRUE(calmora::Run().log.LogFileOpen);
  EXPECT_FALSE(calmora::Run().log.ErrorsReported);
  EXPECT_EQ(std::filesystem::current_path(), workingDirectory);
  EXPECT_TRUE(CloseLogFile());
  EXPECT_EQ(LogBytes(), "Conversion Completed Successfully\r\n");
  EXPECT_TRUE(ui.messages().empty());
}

TEST_F(ConversionLogTest, LinesReachTheDiskAtOnceAndTheRunEndsWithTheSupportRequest) {
  ASSERT_TRUE(OpenLogFile());
  WriteLogLine("first\r\nsecond");
  EXPECT_EQ(LogBytes(), "first\r\nsecond\r\n") << "read while the log is still open";
  calmora::Run().log.ErrorsReported = true;
  EXPECT_TRUE(CloseLogFile());
  EXPECT_EQ(LogBytes(),
            "first\r\nsecond\r\n"
            "Conversion Completed With Errors\r\n"
            "Please send this log file as an e-mail attachment to support@brindlecote.com\r\n");
}

TEST_F(ConversionLogTest, NoWritesBeforeTheOpenOrAfterTheClose) {
  WriteLogLine("before the open");
  EXPECT_FALSE(CloseLogFile()) << "a log never opened cannot be closed";
  ExpectLogFileErrorBox(ui, kCloseFailure);
  EXPECT_TRUE(FolderEntries().empty());
  ASSERT_TRUE(OpenLogFile());
  EXPECT_TRUE(CloseLogFile());
  WriteLogLine("after the close");
  EXPECT_EQ(LogBytes(), "Conversion Completed Successfully\r\n");
}

TEST_F(ConversionLogTest, FinalLinesThatCannotBeWrittenAreReported) {
  // The log's name leads to a device that refuses every write: a full disk.
  std::filesystem::create_symlink("/dev/full", LogPath());
  ASSERT_TRUE(OpenLogFile());
  EXPECT_FALSE(CloseLogFile());
  ExpectLogFileErrorBox(ui, kCloseFailure);
}

// The open failure: the box, false, no file, and the state as it was.
class LogOpenFailureTest : public LogFixture {
 protected:
  void ExpectOpenFails(const std::string& logFolder) {
    calmora::Run().LogFolder = logFolder;
    calmora::Run().log.ErrorsReported = true;
    EXPECT_FALSE(OpenLogFile()) << logFolder;
    EXPECT_FALSE(calmora::Run().log.LogFileOpen);
    EXPECT_TRUE(calmora::Run().log.ErrorsReported);
    ExpectLogFileErrorBox(ui, kOpenFailure);
    std::error_code ec;
    EXPECT_FALSE(std::filesystem::exists(
        std::filesystem::path(logFolder) / "conversion_20140305090747.txt", ec));
  }
};

TEST_F(LogOpenFailureTest, FolderThatDoesNotExist) {
  ExpectOpenFails((folder / "Calmora 2014").string());
  EXPECT_TRUE(FolderEntries().empty());
}

TEST_F(LogOpenFailureTest, FolderThatCannotHoldFilesEvenForRoot) {
  // Below a regular file, a regular file itself, and /proc: no user, root
  // included, can create a file there, as in a folder one may not write to.
  WriteFileBytes(folder / "install.dat", "x");
  ExpectOpenFails((folder / "install.dat" / "Calmora 2014").string());
  ui.clear();
  ExpectOpenFails((folder / "install.dat").string());
  ui.clear();
  ExpectOpenFails("/proc");
  EXPECT_EQ(FolderEntries(), std::vector<std::string>{"install.dat"});
}

TEST_F(LogOpenFailureTest, ReadOnlyFolderForAnOrdinaryUser) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop root; see the test above";
  std::filesystem::create_directory(folder / "ro");
  ASSERT_EQ(chmod((folder / "ro").c_str(), 0555), 0);
  ExpectOpenFails((folder / "ro").string());
}

TEST_F(LogOpenFailureTest, EmptyFolderNameIsNotTheRootFolder) {
  ExpectOpenFails("");
  EXPECT_FALSE(std::filesystem::exists("/conversion_20140305090747.txt"));
}

}  // namespace
}  // namespace calmora::testing
