#pragma once
// The reconciliation of a run that reached the upgrade steps: a file beside
// the log, "conversion-summary_" + the log's date and time + ".txt" (CR LF,
// UTF-8), that proves what the run moved. For each table the rows before
// and after; legacy claims read, copied into cms2012 and refused (by key);
// claims linked to events and events created; events whose codes were
// written or refused; the integrity and foreign-key checks of the converted
// file; and one closing line, "Every row accounted for." or
// "ROWS NOT ACCOUNTED FOR: <n>". Counts and row keys only: no value of a
// row, so the file can be mailed to support with the log.
//
// The counts come from two places that must agree: the tallies the steps
// keep of what took effect (RunState's reconciliation), and the real row
// counts of the file. A row that neither arrived nor was refused, or a
// table that grew by other than what the steps say they wrote, shows in n.
#include <cstdint>
#include <string>
#include <vector>

#include "jet/Integrity.h"
#include "state/RunState.h"

namespace calmora {

inline constexpr char kEveryRowAccountedFor[] = "Every row accounted for.";
inline constexpr char kRowsNotAccountedFor[] = "ROWS NOT ACCOUNTED FOR: ";

// Takes the rows of every table on the run's connection, before the first
// upgrade step, and marks the run as having reached the steps. A file that
// cannot be counted leaves the counts empty, which the summary then cannot
// reconcile; the failure itself is the first step's to report.
void TakeRowCountsBefore();

struct TableFigures {
  std::string table;
  std::int64_t before = 0;  // 0 for a table the run made
  std::int64_t after = 0;   // 0 for a table gone or not counted
};

struct SummaryFigures {
  std::string logFileName;
  std::vector<TableFigures> tables;  // by name
  Reconciliation steps;
  std::int64_t claimsWithoutEventAfter = 0;
  std::vector<std::string> integrity;   // the check's findings; empty: not run
  std::vector<jet::KeyCheck> keys;
  bool keysChecked = false;
};

// The figures of the run so far: the steps' tallies and the file as it is
// now. A check that fails leaves its part empty.
SummaryFigures GatherSummaryFigures();

// Rows the figures do not account for: legacy claims neither copied nor
// refused, cms2012 rows beyond or short of those copied, events the codes
// step did not go through, claims left without an event that the linking
// did not refuse, and events that appeared other than by the linking.
std::int64_t RowsNotAccountedFor(const SummaryFigures& figures);

// The closing line for the figures.
std::string ClosingLine(const SummaryFigures& figures);

// The file's text, lines ended by CR LF, the closing line last.
std::string SummaryText(const SummaryFigures& figures);

// "conversion-summary_" + the date and time of "conversion_<...>.txt".
std::string SummaryFileName(const std::string& logFileName);

// Gathers the figures, writes the file into LogFolder and tells the front
// end its closing line; answers the closing line. A file that cannot be
// written is reported through HandleError (modSummary/WriteConversionSummary)
// and the closing line is still answered.
std::string WriteConversionSummary();

}  // namespace calmora
