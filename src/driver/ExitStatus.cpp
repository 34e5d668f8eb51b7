#include "driver/ExitStatus.h"

namespace calmora {

int ExitStatusFor(RunOutcome outcome, bool errorsReported) {
  switch (outcome) {
    case RunOutcome::Finished: return errorsReported ? kExitWithErrors : kExitClean;
    case RunOutcome::ErrorPath: return kExitWithErrors;
    case RunOutcome::Stopped: return kExitStopped;
  }
  return kExitWithErrors;
}

}  // namespace calmora
