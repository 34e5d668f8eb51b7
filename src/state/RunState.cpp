#include "state/RunState.h"

namespace calmora {

RunState& CurrentRun() {
  // Never destroyed: at static destruction the encryption library beneath
  // the connection may already be gone. Front ends release the state with
  // ResetRunState() before they return.
  static RunState* const state = new RunState;
  return *state;
}

void ResetRunState() {
  RunState& s = CurrentRun();
  s.log.LogFile.reset();
  s.log.WriteFailureReported = false;
  s.SchemaCatalog.reset();
  s.DbConnection.reset();
  s.log.LogFileOpen = false;
  s.log.ErrorsReported = false;
  s.log.LogFileName.clear();
  s.reconciliation = Reconciliation{};
  s.InstallFolder2014.clear();
  s.LogFolder.clear();
}

}  // namespace calmora
