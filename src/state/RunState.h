#pragma once
// The small process-wide state of one conversion run. It lives until the
// process ends; the driver sets the folders, COMOpenConnection the
// connection, OpenLogFile the log. Only the run's thread touches it.
#include <memory>
#include <string>

#include "engine/Catalog.h"
#include "engine/Connection.h"
#include "os/Env.h"

namespace calmora {

struct LogState {
  std::unique_ptr<os::WritableFile> LogFile;  // null while not open
  bool WriteFailureReported = false;  // the log's own failure is shown once
  bool LogFileOpen = false;   // set by OpenLogFile, never cleared
  bool ErrorsReported = false;  // cleared by OpenLogFile, set by every report
};

struct RunState {
  std::string InstallFolder2014;
  std::string LogFolder;
  // Empty until COMOpenConnection; kept after a failed open so that its
  // error collection can be read.
  std::unique_ptr<jet::Connection> DbConnection;
  LogState log;
  // The catalogue shared by the new-tables and event-extension passes.
  std::unique_ptr<jet::Catalog> SchemaCatalog;
};

// The process-wide instance.
RunState& Run();

// Returns the state to its start (tests drive many runs in one process).
void ResetRunState();

}  // namespace calmora
