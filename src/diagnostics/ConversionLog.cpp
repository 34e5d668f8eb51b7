#include "diagnostics/ConversionLog.h"

#include <filesystem>

#include <fmt/format.h>

#include "diagnostics/FrontEnd.h"
#include "diagnostics/SystemSnapshot.h"
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
  UI().ShowMessage(text, "Log File Error", MessageIcon::Critical);
}

}  // namespace

bool OpenLogFile() {
  RunState& run = Run();
  // Without a folder the name would land wherever the process happens to be.
  if (!run.LogFolder.empty()) {
    if (run.log.LogFile.is_open()) run.log.LogFile.close();
    run.log.LogFile.clear();
    run.log.LogFileName = LogFileName(Facts().LocalNow());
    const std::filesystem::path file = std::filesystem::path(run.LogFolder) / run.log.LogFileName;
    run.log.LogFile.open(file, std::ios::out | std::ios::trunc | std::ios::binary);
    if (run.log.LogFile.is_open()) {
      run.log.LogFileOpen = true;
      run.log.ErrorsReported = false;
      return true;
    }
  }
  ShowLogFileError("Conversion could not open log file. Application exiting.");
  return false;
}

bool CloseLogFile() {
  LogState& log = Run().log;
  if (!log.LogFile.is_open()) {
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
  // A write that failed earlier in the run leaves the stream failed too: the
  // log is then incomplete, and saying so here is the only chance to.
  const bool written = log.LogFile.good();
  log.LogFile.close();
  if (!written || log.LogFile.fail()) {
    ShowLogFileError("Conversion could not close log file.");
    return false;
  }
  return true;
}

void WriteLogLine(const std::string& text) {
  LogState& log = Run().log;
  if (!log.LogFileOpen || !log.LogFile.is_open()) return;
  log.LogFile << text << "\r\n";
  // Each record reaches the file at once, so a crash loses nothing written.
  log.LogFile.flush();
}

void LogADOErrors() {
  jet::Connection* connection = Run().DbConnection.get();
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
