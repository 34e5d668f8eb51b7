#include "state/RunState.h"

#include <algorithm>
#include <vector>

namespace calmora {
namespace {

std::vector<void (*)()>& Releases() {
  static std::vector<void (*)()> releases;
  return releases;
}

}  // namespace

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
  for (void (*release)() : Releases()) release();
  s.DbConnection.reset();
  s.log.LogFileOpen = false;
  s.log.ErrorsReported = false;
  s.log.LogFileName.clear();
  s.reconciliation = Reconciliation{};
  s.InstallFolder2014.clear();
  s.LogFolder.clear();
}

void ReleaseAtRunReset(void (*release)()) {
  std::vector<void (*)()>& releases = Releases();
  if (std::find(releases.begin(), releases.end(), release) == releases.end())
    releases.push_back(release);
}

}  // namespace calmora
