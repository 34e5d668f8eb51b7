#pragma once
// The conversion log: one CR LF text file per run in LogFolder, named
// "conversion_" + yyyymmddHhNnSn + ".txt" (seconds, then the minute again).
// Its records are written by the error handler and the system snapshot;
// this file owns opening, closing, the database error dump and the line
// writer they all use.
#include <string>

namespace calmora {

// Creates the file by its full path in LogFolder (the working directory is
// not changed). On failure shows "Log File Error" and answers false.
bool OpenLogFile();
// Writes the final lines chosen by ErrorsReported and closes the file. A log
// that is not open, or any write of the run that failed (a full disk), shows
// "Conversion could not close log file." titled "Log File Error" and
// answers false.
bool CloseLogFile();
// The database error dump of the connection's error list; then clears it.
// Before the connection exists: the count line alone, with 0.
void LogADOErrors();
// One write: the text and CR LF, flushed at once so that a crash loses
// nothing written. Writes nothing while the log is not open.
void WriteLogLine(const std::string& text);

}  // namespace calmora
