#include "state/RunState.h"

namespace calmora {

RunState& Run() {
  static RunState state;
  return state;
}

void ResetRunState() {
  RunState& s = Run();
  if (s.log.LogFile.is_open()) s.log.LogFile.close();
  s.SchemaCatalog.reset();
  s.DbConnection.reset();
  s.log.LogFileOpen = false;
  s.log.ErrorsReported = false;
  s.InstallFolder2014.clear();
  s.LogFolder.clear();
}

}  // namespace calmora
