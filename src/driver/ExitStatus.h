#pragma once
// The program's exit statuses, the same for both front ends.
#include "driver/Driver.h"

namespace calmora {

inline constexpr int kExitClean = 0;       // clean run, or closed without a click
inline constexpr int kExitWithErrors = 1;  // errors reported, or the error path
inline constexpr int kExitStopped = 2;     // stopped before converting

// The exit status for a run that ended the process.
int ExitStatusFor(RunOutcome outcome, bool errorsReported);

}  // namespace calmora
