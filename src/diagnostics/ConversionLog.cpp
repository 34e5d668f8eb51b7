#include "diagnostics/ConversionLog.h"

#include <filesystem>

#include <fmt/format.h>

#include "diagnostics/FrontEnd.h"
#include "diagnostics/SystemSnapshot.h"
#include "os/Env.h"
#include "state/RunState.h"

namespace calmora {
namespace {

constexpr char kSupportAddress[] = "support@brindlecote.com";

// "conversion_" + yyyymmddHhNnSn + ".txt": the seconds without a leading
// zero, then the minute once more without one.
std::string LogFileName(const std::tm& t) {
  return fmt::format("conversion_{:04}{:02}{:02}{:02}{:02}{}{}.txt", t.tm_year + 1900,
                     t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, t.tm_min);
}

void ShowLogFileError(std::string_view text) {
  ActiveFrontEnd().ShowMessage(text, "Log File Error", MessageIcon::Critical);
}

// The log's own failure, shown once per run however many writes fail, and
// counted as an error of the run: a log that lost lines is no clean run.
bool ReportLogFailure() {
  LogState& log = CurrentRun().log;
  log.ErrorsReported = true;
  if (!log.WriteFailureReported) {
    log.WriteFailureReported = true;
    ShowLogFileError("Conversion could not close log file.");
  }
  return false;
}

}  // namespace

bool OpenLogFile() {
  RunState& run = CurrentRun();
  // Without a folder the name would land wherever the process happens to be.
  if (!run.LogFolder.empty()) {
    run.log.LogFile.reset();
    run.log.LogFileName = LogFileName(ActiveSystemFacts().LocalNow());
    const std::filesystem::path file = std::filesystem::path(run.LogFolder) / run.log.LogFileName;
    std::unique_ptr<WritableFile> opened;
    if (!CurrentEnv().OpenForWriting(file.string(), opened)) {
      run.log.LogFile = std::move(opened);
      run.log.LogFileOpen = true;
      run.log.ErrorsReported = false;
      run.log.WriteFailureReported = false;
      return true;
    }
  }
  ShowLogFileError("Conversion could not open log file. Application exiting.");
  return false;
}

bool CloseLogFile() {
  LogState& log = CurrentRun().log;
  if (!log.LogFile) {
    ShowLogFileError("Conversion could not close log file.");
    return false;
  }
  if (log.ErrorsReported) {
    WriteLogLine("Conversion Completed With Errors");
    WriteLogLine(std::string("Please send this log file as an e-mail attachment to ") +
                 kSupportAddress);
  } else {
    WriteLogLine("Conversion Completed Successfully");
  }
  const bool written = !log.WriteFailureReported;
  // Durable before the process ends; a full disk may only show here.
  std::error_code ec = log.LogFile->Sync();
  const std::error_code closed = log.LogFile->Close();
  log.LogFile.reset();
  if (!ec) ec = closed;
  if (ec) return ReportLogFailure();
  return written;
}

void WriteLogLine(const std::string& text) {
  LogState& log = CurrentRun().log;
  if (!log.LogFileOpen || !log.LogFile) return;
  // One write per line, unbuffered: a line is in the file the moment it is
  // written, so a killed run loses nothing it wrote, and a failure is seen
  // at the write that met it.
  if (log.LogFile->Append(text + "\r\n")) ReportLogFailure();
}

void LogADOErrors() {
  jet::Connection* connection = CurrentRun().DbConnection.get();
  const std::size_t count = connection != nullptr ? connection->errors().Count() : 0;
  WriteLogLine(fmt::format("  CalmoraV31 Error Count:  \t{}", count));
  if (connection == nullptr) return;
  for (const jet::ErrorEntry& entry : connection->errors()) {
    if (entry.number >= 0) continue;
    WriteLogLine(fmt::format("  Error Number: \t{}", entry.number));
    WriteLogLine("  Description:  \t" + entry.description);
    WriteLogLine("  Source:       \t" + entry.source);
    WriteLogLine("  SQL State:    \t" + entry.sqlState);
    WriteLogLine(fmt::format("  Native Error: \t{}", entry.nativeError));
    WriteLogLine("\r\n\r\n");
  }
  connection->errors().Clear();
}

}  // namespace calmora
