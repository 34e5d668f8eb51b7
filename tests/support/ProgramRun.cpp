#include "support/ProgramRun.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "support/FileBytes.h"

namespace calmora::testing {

ProgramOutcome RunProgram(const std::string& path, const std::vector<std::string>& arguments,
                          const std::filesystem::path& folder, const std::string& input,
                          const std::vector<std::pair<std::string, std::string>>& environment) {
  const auto in = folder / "stdin", out = folder / "stdout", err = folder / "stderr";
  WriteFileBytes(in, input);
  const pid_t child = ::fork();
  if (child == 0) {
    // Only async-signal-safe work until exec: the test program may have threads.
    const int i = ::open(in.c_str(), O_RDONLY);
    const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (i < 0 || o < 0 || e < 0 || ::dup2(i, 0) < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0 ||
        ::chdir(folder.c_str()) != 0)
      ::_exit(127);
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const auto& [name, value] : environment) ::setenv(name.c_str(), value.c_str(), 1);
    ::execvp(path.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child) return {};
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFileBytes(out), ReadFileBytes(err)};
}

}  // namespace calmora::testing
