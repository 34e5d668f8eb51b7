#pragma once
// The conversion log: one CR LF text file per run in LogFolder, named
// "conversion_" + yyyymmddHhNnSn + ".txt" (seconds, then the minute again).
// Its records are written by the error handler and the system snapshot;
// this file owns opening, closing, the database error dump and the line
// writer they all use.
#include <string>

namespace calmora {

// Creates the file by its full path in LogFolder (the working directory is
// not changed), through the installed environment, never inherited by a
// program the run starts. On failure shows "Log File Error" and answers
// false.
bool OpenLogFile();
// Writes the final lines chosen by ErrorsReported, makes the file durable
// and closes it. A log that is not open, a write of the run that failed, or
// a failed sync or close answers false; each failure not yet shown shows
// "Conversion could not close log file." titled "Log File Error".
bool CloseLogFile();
// The database error dump of the connection's error list; then clears it.
// Before the connection exists: the count line alone, with 0.
void LogADOErrors();
// One write: the text and CR LF, in the file at once so that a killed run
// loses nothing written. Writes nothing while the log is not open. A write
// that fails (a full disk) is shown at once, the first time only, as
// "Conversion could not close log file." titled "Log File Error", and sets
// ErrorsReported; later lines are still tried.
void WriteLogLine(const std::string& text);

}  // namespace calmora
