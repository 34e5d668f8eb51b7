// The conversion log: its name, its closing lines, and every way it can
// fail to open, take a line or close.
#include <sys/stat.h>
#include <unistd.h>

#include "support/LogFixture.h"
#include "diagnostics/ConversionLog.h"
#include "os/FaultInjectingEnv.h"
#include "os/ProgramStart.h"

namespace calmora::testing {
namespace {

namespace fs = std::filesystem;
using ConversionLogTest = LogFixture;

constexpr char kCannotOpen[] = "Conversion could not open log file. Application exiting.";
constexpr char kCannotClose[] = "Conversion could not close log file.";

std::vector<ShownMessage> LogFileError(const char* text) { return {{text, "Log File Error", MessageIcon::Critical}}; }

TEST_F(ConversionLogTest, FileNameEndsWithSecondsThenMinuteWithoutLeadingZeros) {
  const std::pair<std::tm, const char*> cases[] = {
      {LocalTime(2014, 3, 5, 9, 7, 4), "conversion_20140305090747.txt"},
      {LocalTime(2014, 3, 5, 14, 35, 59), "conversion_2014030514355935.txt"},
      {LocalTime(2014, 12, 31, 23, 59, 9), "conversion_201412312359959.txt"},
  };
  for (const auto& [at, name] : cases) {
    facts.now = at;
    ASSERT_TRUE(OpenLogFile()) << name;
    EXPECT_TRUE(CloseLogFile());
    EXPECT_TRUE(fs::is_regular_file(folder / name)) << name;
  }
  EXPECT_EQ(FolderEntries().size(), std::size(cases));
}

// Nothing is written outside the run; a clean run replaces an earlier
// run's file; lines reach the disk at once; a run with errors ends with
// the request to support.
TEST_F(ConversionLogTest, TheRunsLinesAndItsEnd) {
  WriteLogLine("before the open");
  EXPECT_FALSE(CloseLogFile()) << "a log never opened cannot be closed";
  EXPECT_EQ(ui.messages(), LogFileError(kCannotClose));
  EXPECT_TRUE(FolderEntries().empty());
  ui.clear();
  WriteFileBytes(LogPath(), "an earlier run's log, much longer than the new one\r\n");
  const auto workingDirectory = fs::current_path();
  CurrentRun().log.ErrorsReported = true;  // left from before the open: cleared by it
  ASSERT_TRUE(OpenLogFile());
  EXPECT_EQ(fs::current_path(), workingDirectory);
  EXPECT_TRUE(CloseLogFile());
  WriteLogLine("after the close");
  EXPECT_EQ(LogBytes(), "Conversion Completed Successfully\r\n");

  ASSERT_TRUE(OpenLogFile());
  WriteLogLine("first\r\nsecond");
  EXPECT_EQ(LogBytes(), "first\r\nsecond\r\n") << "read while the log is still open";
  CurrentRun().log.ErrorsReported = true;
  EXPECT_TRUE(CloseLogFile());
  EXPECT_EQ(LogBytes(), "first\r\nsecond\r\nConversion Completed With Errors\r\n"
                        "Please send this log file as an e-mail attachment to support@brindlecote.com\r\n");
  EXPECT_TRUE(ui.messages().empty());
}

// A folder that lies below a file, is a file, cannot hold files even for
// root (/proc), is read-only (for an ordinary user), or is empty (not the
// root folder): the box, false, no file, the state as it was. (A missing
// folder is the end-to-end runs'.)
TEST_F(ConversionLogTest, AFolderThatCannotTakeTheLogStopsTheOpen) {
  WriteFileBytes(folder / "install.dat", "x");
  std::vector<std::string> folders = {(folder / "install.dat" / "Calmora 2014").string(),
                                      (folder / "install.dat").string(), "/proc", ""};
  if (geteuid() != 0) {
    fs::create_directory(folder / "ro");
    ASSERT_EQ(chmod((folder / "ro").c_str(), 0555), 0);
    folders.push_back((folder / "ro").string());
  }
  for (const auto& logFolder : folders) {
    SCOPED_TRACE(logFolder);
    ui.clear();
    CurrentRun().LogFolder = logFolder;
    CurrentRun().log.ErrorsReported = true;
    EXPECT_FALSE(OpenLogFile());
    EXPECT_FALSE(CurrentRun().log.LogFileOpen);
    EXPECT_TRUE(CurrentRun().log.ErrorsReported);
    EXPECT_EQ(ui.messages(), LogFileError(kCannotOpen));
    std::error_code ec;
    EXPECT_FALSE(fs::exists(fs::path(logFolder) / "conversion_20140305090747.txt", ec));
  }
  EXPECT_FALSE(fs::exists("/conversion_20140305090747.txt"));
  auto entries = FolderEntries();
  std::erase(entries, "ro");
  EXPECT_EQ(entries, std::vector<std::string>{"install.dat"});
}

// Each call of the log failing in turn: the open stops the run as before; a
// write or the close that fails is shown once as the log that cannot be
// written, the run counts as one with errors, and every line written
// before the failure is in the file.
TEST_F(ConversionLogTest, AFailingWriteOrCloseIsShownOnceAndNothingWrittenBeforeIsLost) {
  const std::tuple<Call, int, const char*> cases[] = {
      {Call::Write, 1, "second\r\n"},
      {Call::Write, 2, "first\r\n"},
      {Call::Write, 3, "first\r\nsecond\r\n"},
      {Call::Sync, 1, "first\r\nsecond\r\nConversion Completed Successfully\r\n"},
      {Call::Close, 1, "first\r\nsecond\r\nConversion Completed Successfully\r\n"},
  };
  for (const Fault fault : {Fault::DiskFull, Fault::IoError}) {
    for (const auto& [call, nth, kept] : cases) {
      SCOPED_TRACE(std::string(NameOf(call)) + " #" + std::to_string(nth) + ", " + NameOf(fault));
      ui.clear();
      FaultInjectingEnv env;
      env.Fail(call, nth, fault);
      ASSERT_TRUE(OpenLogFile());
      WriteLogLine("first");
      WriteLogLine("second");
      EXPECT_FALSE(CloseLogFile());
      EXPECT_EQ(ui.messages(), LogFileError(kCannotClose));
      EXPECT_TRUE(CurrentRun().log.ErrorsReported);
      // The closing lines were chosen before the failure or after it.
      EXPECT_TRUE(LogBytes().starts_with(kept)) << LogBytes();
    }
  }
  ui.clear();
  FaultInjectingEnv env;
  env.Fail(Call::OpenForWriting, 1, Fault::DiskFull);
  fs::remove(LogPath());
  EXPECT_FALSE(OpenLogFile());
  EXPECT_EQ(ui.messages(), LogFileError(kCannotOpen));
  EXPECT_FALSE(fs::exists(LogPath()));
}

// The updater must not inherit the open log: it would hold the file open
// (and writable) after the conversion ended.
TEST_F(ConversionLogTest, TheOpenLogIsNotInheritedByAStartedProgram) {
  ASSERT_TRUE(OpenLogFile());
  const fs::path script = folder / "fds.sh";
  WriteFileBytes(script, "#!/bin/sh\nls -l /proc/$$/fd > \"$0.out\" 2>&1\n");
  fs::permissions(script, fs::perms::owner_all);
  ASSERT_TRUE(StartProgram(script.string(), folder.str()));
  const fs::path out = folder / "fds.sh.out";
  for (int i = 0; i < 500 && (!fs::exists(out) || fs::file_size(out) == 0); ++i) ::usleep(10000);
  const std::string listing = ReadFileBytes(out);
  EXPECT_NE(listing.find("fds.sh.out"), std::string::npos) << listing;
  EXPECT_EQ(listing.find("conversion_"), std::string::npos) << listing;
  EXPECT_TRUE(CloseLogFile());
}

}  // namespace
}  // namespace calmora::testing
