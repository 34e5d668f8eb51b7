#pragma once
// What every upgrade step shares: the run's connection, the report of a
// trapped error, and throttled row progress.
#include <cstdint>
#include <string>
#include <vector>

namespace jet {
class Connection;
class Value;
}

namespace calmora {

// CurrentRun().DbConnection; raises the classic "object variable not set" error
// (91) when no connection was opened, so the step reports it like any other.
jet::Connection& PracticeDatabase();

// For use inside a catch block: reports the exception being handled through
// HandleError("modCommon", procedure, ...), its description first prefixed
// with "Error on line... " and the line.
void ReportTrapped(const char* procedure, int line);
// The same, with the description handed over unchanged.
void ReportTrappedUnchanged(const char* procedure);

// The rows one row-walking step refuses. A failure refuses the row in hand
// when the database refused that row's own content: a text too long for its
// column, NULL where a value is required, a related row that does not
// exist, a value the statement cannot take. Any other failure (the file,
// the connection, a missing table or column) is the step's own and belongs
// to its trap.
class RowRefusals {
 public:
  // keyColumn names the rows in reports, as table.column ("event.id");
  // refused keys are appended to `keys`.
  RowRefusals(const char* procedure, std::string keyColumn, std::vector<std::string>& keys);

  // For use inside a catch block. Answers false, reporting nothing, when the
  // failure being handled is not about the row: the caller rethrows it.
  // Otherwise records the row's key and reports the failure, its
  // description followed by the row's key and prefixed with "Error on
  // line... " and `line` (none when line is 0): the step's first refusal
  // through HandleError, box and log; each later one to the log alone.
  bool Refuse(int line, const jet::Value& key);

 private:
  const char* procedure_;
  std::string keyColumn_;
  std::vector<std::string>& keys_;
  bool boxShown_ = false;
};

// Row progress of a data step: reports 0 of total at once, then every
// kEvery rows, and the last row; a step that walks no rows reports 0 of 0.
class StepProgress {
 public:
  static constexpr std::int64_t kEvery = 256;
  StepProgress(const char* step, std::int64_t total);
  void RowDone();

 private:
  const char* step_;
  std::int64_t total_;
  std::int64_t done_ = 0;
};

}  // namespace calmora
