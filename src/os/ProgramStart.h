#pragma once
// Starts another program as its own process: directly, without a shell,
// with no arguments (its argument list is its own path only), in a given
// working directory, with this process's environment. The program is not
// waited for, and it never lingers as a zombie: a detached reaper thread
// collects its exit status. Handling SIGCHLD instead would touch the whole
// process and every other child it has; the reaper touches only this pid.
#include <sys/types.h>

#include <string>

namespace calmora {

struct ProgramStartResult {
  pid_t pid = -1;  // the started process; -1 when the start failed
  int error = 0;   // the errno of the failed start, else 0
  explicit operator bool() const { return pid > 0; }
};

// workingDirectory empty: the program starts in this process's directory.
// Fails (with its errno) when the file cannot be executed or the working
// directory cannot be entered; nothing runs then.
// Goes through the installed environment (os/Env.h).
ProgramStartResult StartProgram(const std::string& path, const std::string& workingDirectory);

// The system's own start behind the real environment.
ProgramStartResult SpawnProgram(const std::string& path, const std::string& workingDirectory);

}  // namespace calmora
