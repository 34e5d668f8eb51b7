#include "os/ProgramStart.h"

#include "os/Env.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <system_error>
#include <thread>

extern char** environ;

namespace calmora {
namespace {

// Owns the spawn attributes for the duration of one start.
struct SpawnSetup {
  posix_spawn_file_actions_t actions{};
  posix_spawnattr_t attributes{};
  bool haveActions = false, haveAttributes = false;
  ~SpawnSetup() {
    if (haveActions) posix_spawn_file_actions_destroy(&actions);
    if (haveAttributes) posix_spawnattr_destroy(&attributes);
  }
};

void Reap(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace

ProgramStartResult StartProgram(const std::string& path, const std::string& workingDirectory) {
  return CurrentEnv().StartProgram(path, workingDirectory);
}

ProgramStartResult SpawnProgram(const std::string& path, const std::string& workingDirectory) {
  SpawnSetup setup;
  int rc = posix_spawn_file_actions_init(&setup.actions);
  if (rc != 0) return {-1, rc};
  setup.haveActions = true;
  if (!workingDirectory.empty()) {
    rc = posix_spawn_file_actions_addchdir_np(&setup.actions, workingDirectory.c_str());
    if (rc != 0) return {-1, rc};
  }

  // The program gets a clean signal state, whatever this thread blocks.
  rc = posix_spawnattr_init(&setup.attributes);
  if (rc != 0) return {-1, rc};
  setup.haveAttributes = true;
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigmask(&setup.attributes, &none);
  posix_spawnattr_setsigdefault(&setup.attributes, &defaults);
  posix_spawnattr_setflags(&setup.attributes,
                           static_cast<short>(POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF));

  std::string argument0 = path;
  char* argv[] = {argument0.data(), nullptr};
  pid_t pid = -1;
  rc = posix_spawn(&pid, path.c_str(), &setup.actions, &setup.attributes, argv, environ);
  if (rc != 0) return {-1, rc};

  try {
    std::thread(Reap, pid).detach();
  } catch (const std::system_error&) {
    // No thread to spare: the program runs all the same; when this process
    // ends, the system adopts and reaps it.
  }
  return {pid, 0};
}

}  // namespace calmora
