#pragma once
// The one error handler. HandleError writes the error report to the
// conversion log (error record, database error dump when called for,
// version and memory records), sets ErrorsReported and shows one critical,
// system-modal "ERROR" box. It never ends the process and never throws.
// With no connection yet, the database part is empty and the counts are 0.
// With the log not open, it shows its box and writes nothing.
#include <cstdint>
#include <string>

#include "diagnostics/ErrorInfo.h"

namespace calmora {

void HandleError(const std::string& moduleName, const std::string& procedureName,
                 const ErrorInfo& error);
// The same report in the log, and ErrorsReported set, without the box: for
// each refused row of a step after its first, so that a practice with many
// odd rows gets one box and still a complete log.
void LogErrorReport(const std::string& moduleName, const std::string& procedureName,
                    const ErrorInfo& error);
void ShowErrorMessage(const std::string& message, const std::string& location,
                      std::int16_t severity, const ErrorInfo& error);
void LogErrorRecord(const std::string& location, std::int16_t severity,
                    const ErrorInfo& error);

std::int16_t CountADOErrors();
std::int16_t CountADOWarnings();
std::string GetADOErrorList();
std::string GetADOWarningList();

}  // namespace calmora
