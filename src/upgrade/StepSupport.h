#pragma once
// What every upgrade step shares: the run's connection, the report of a
// trapped error, and throttled row progress.
#include <cstdint>
#include <string>

namespace jet {
class Connection;
}

namespace calmora::upgrade {

// Run().DbConnection; raises the classic "object variable not set" error
// (91) when no connection was opened, so the step reports it like any other.
jet::Connection& Db();

// For use inside a catch block: reports the exception being handled through
// HandleError("modCommon", procedure, ...), its description first prefixed
// with "Error on line... " and the line.
void ReportTrapped(const char* procedure, int line);
// The same, with the description handed over unchanged.
void ReportTrappedUnchanged(const char* procedure);

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

}  // namespace calmora::upgrade
