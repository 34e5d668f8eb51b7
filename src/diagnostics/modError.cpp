#include "diagnostics/modError.h"

#include <limits>

#include "diagnostics/ConversionLog.h"
#include "diagnostics/FrontEnd.h"
#include "diagnostics/SystemSnapshot.h"
#include "state/RunState.h"

namespace calmora {
namespace {

constexpr std::int32_t kProviderFailure = -2147467259;  // 0x80004005

// The connection's error list; none before the connection exists.
const jet::Errors* ConnectionErrors() {
  const jet::Connection* connection = CurrentRun().DbConnection.get();
  return connection != nullptr ? &connection->errors() : nullptr;
}

// The counts and running numbers are 16-bit; a list longer than that is
// shown as full rather than wrapping to negative numbers.
std::int16_t Clamp16(std::size_t n) {
  constexpr std::size_t kMax = std::numeric_limits<std::int16_t>::max();
  return static_cast<std::int16_t>(n > kMax ? kMax : n);
}

template <typename Qualifies>
std::int16_t CountEntries(Qualifies qualifies) {
  const jet::Errors* errors = ConnectionErrors();
  std::size_t n = 0;
  if (errors != nullptr)
    for (const jet::ErrorEntry& entry : *errors)
      if (qualifies(entry.number)) ++n;
  return Clamp16(n);
}

template <typename Qualifies>
std::string EntryList(const char* title, Qualifies qualifies) {
  const jet::Errors* errors = ConnectionErrors();
  std::string text;
  std::size_t n = 0;
  if (errors == nullptr) return text;
  for (const jet::ErrorEntry& entry : *errors) {
    if (!qualifies(entry.number)) continue;
    if (n == 0) text += std::string(title) + "\r\n";
    ++n;
    text += std::to_string(Clamp16(n)) + ")  " + entry.description + "\r\n\r\n";
  }
  return text;
}

bool IsDatabaseError(std::int32_t number) { return number < 0; }
bool IsDatabaseWarning(std::int32_t number) { return number > 0; }

}  // namespace

std::int16_t CountADOErrors() { return CountEntries(IsDatabaseError); }
std::int16_t CountADOWarnings() { return CountEntries(IsDatabaseWarning); }

std::string GetADOErrorList() { return EntryList("CalmoraV31 ADO Errors...", IsDatabaseError); }
std::string GetADOWarningList() {
  return EntryList("CalmoraV31 ADO Warnings...", IsDatabaseWarning);
}

void HandleError(const std::string& moduleName, const std::string& procedureName,
                 const ErrorInfo& error) {
  ActiveFrontEnd().SetPointer(MousePointer::Default);
  std::string message;
  try {
    // Taken before the dump clears the list, so the box and the log agree.
    const std::int16_t errorCount = CountADOErrors();
    const std::int16_t warningCount = CountADOWarnings();
    std::string databasePart;
    if (errorCount > 0) {
      databasePart = "ADO error count= " + std::to_string(errorCount) + "\r\n" +
                     "ADO warning count= " + std::to_string(warningCount) + "\r\n" +
                     GetADOErrorList() + GetADOWarningList();
    }
    message = std::to_string(error.number) + " " + error.description + "\r\n" + databasePart +
              " (Location:" + moduleName + "/" + procedureName + ")";
  } catch (...) {
    // Out of memory while building the text: still report what we can.
    message = error.description;
  }
  ShowErrorMessage(message, moduleName + "/" + procedureName, 1, error);
}

namespace {

// The log's part of a report: error record, dump when called for, version
// and memory records; then the run is marked as having errors.
void WriteErrorReport(const std::string& location, std::int16_t severity,
                      const ErrorInfo& error) {
  try {
    LogErrorRecord(location, severity, error);
    const jet::Errors* errors = ConnectionErrors();
    if (error.number == kProviderFailure || (errors != nullptr && errors->Count() > 0))
      LogADOErrors();
    LogWindowsVersion();
    LogSystemMemory();
  } catch (...) {
    // The handler is the end of every error path: a report that could not be
    // completed must not turn into a new failure of the caller.
  }
  CurrentRun().log.ErrorsReported = true;
}

}  // namespace

void LogErrorReport(const std::string& moduleName, const std::string& procedureName,
                    const ErrorInfo& error) {
  WriteErrorReport(moduleName + "/" + procedureName, 1, error);
}

void ShowErrorMessage(const std::string& message, const std::string& location,
                      std::int16_t severity, const ErrorInfo& error) {
  WriteErrorReport(location, severity, error);
  ActiveFrontEnd().SetPointer(MousePointer::Default);
  ActiveFrontEnd().ShowMessage(message, "ERROR", MessageIcon::Critical, true);
}

void LogErrorRecord(const std::string& location, std::int16_t severity,
                    const ErrorInfo& error) {
  WriteLogLine("NUMBER: " + std::to_string(error.number));
  WriteLogLine("DESCRIPTION: " + error.description);
  WriteLogLine("SOURCE: " + error.source);
  WriteLogLine("LOCATION: " + location);
  WriteLogLine("LASTDLLERROR: " + std::to_string(error.lastDllError));
  WriteLogLine("SEVERITY: " + std::to_string(severity));
}

}  // namespace calmora
