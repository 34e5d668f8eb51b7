#pragma once
// A program run as a real process, without a shell: the arguments reach it
// as they are, and what it printed is caught stream by stream.
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace calmora::testing {

struct ProgramOutcome {
  int status = -1;  // the exit status; -1 when it could not start or did not exit
  std::string out, err;
};

// Runs `path` in `folder` with `input` on its standard input and the
// variables of `environment` set; its output streams go to files in
// `folder` ("stdout", "stderr", read back here).
ProgramOutcome RunProgram(const std::string& path, const std::vector<std::string>& arguments,
                          const std::filesystem::path& folder, const std::string& input = "",
                          const std::vector<std::pair<std::string, std::string>>& environment = {});

}  // namespace calmora::testing
