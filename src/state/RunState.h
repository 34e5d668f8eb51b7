#pragma once
// The small process-wide state of one conversion run. It lives until the
// process ends; the driver sets the folders, COMOpenConnection the
// connection, OpenLogFile the log. Only the run's thread touches it.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "jet/Connection.h"
#include "os/Env.h"

namespace calmora {

struct LogState {
  std::unique_ptr<WritableFile> LogFile;  // null while not open
  std::string LogFileName;  // the bare name OpenLogFile gave the file
  bool WriteFailureReported = false;  // the log's own failure is shown once
  bool LogFileOpen = false;   // set by OpenLogFile, never cleared
  bool ErrorsReported = false;  // cleared by OpenLogFile, set by every report
};

// What the row-walking steps did with the rows they walked, for the
// conversion summary. A row is counted where its work took effect, so the
// figures say what the file holds, not what was attempted. Refused rows are
// kept by their key (the key's value only): the summary is mailed to
// support and names no patient.
struct RowTally {
  std::int64_t walked = 0;                // rows gone through: written,
                                          // nothing to write, or refused
  std::int64_t written = 0;               // rows whose work took effect
  std::vector<std::string> refusedKeys;   // rows refused, by key, in order
};

struct Reconciliation {
  // Set once the connection on the copy is open and the counts are taken.
  bool upgradeReached = false;
  // The rows of each table before the first upgrade step.
  std::vector<std::pair<std::string, std::int64_t>> rowsBefore;
  RowTally diagnosisCodes;  // events; written: at least one code written
  RowTally eventLinking;    // claims without an event; written: linked
  std::int64_t linkedToNewEvent = 0;  // of eventLinking.written
  std::int64_t eventsCreated = 0;
  RowTally claimCopy;       // legacy claims; written: inserted into cms2012
};

struct RunState {
  std::string InstallFolder2014;
  std::string LogFolder;
  // Empty until COMOpenConnection; kept after a failed open so that its
  // error collection can be read.
  std::unique_ptr<jet::Connection> DbConnection;
  LogState log;
  Reconciliation reconciliation;
};

// The process-wide instance.
RunState& CurrentRun();

// Returns the state to its start (tests drive many runs in one process),
// first calling every function given to ReleaseAtRunReset.
void ResetRunState();

// Lets a layer above keep something of its own for the length of a run:
// `release` is called by every later ResetRunState, in the order given and
// before the connection is dropped, since what it releases may still refer
// to the connection. Giving the same function again adds nothing.
void ReleaseAtRunReset(void (*release)());

}  // namespace calmora
