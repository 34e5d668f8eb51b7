// calmora-include-check ROOT: fails (status 1) naming file and line of
// every include under ROOT that points up or sideways between the layers.
#include <exception>
#include <filesystem>
#include <iostream>

#include "tools/layers/IncludeCheck.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: calmora-include-check PROJECT_ROOT\n";
    return 2;
  }
  try {
    const auto result = calmora::layers::CheckIncludes(std::filesystem::path(argv[1]));
    for (const auto& violation : result.violations) {
      std::cout << calmora::layers::Describe(violation) << '\n';
    }
    std::cout << result.files << " files, " << result.includes << " includes of ours, "
              << result.violations.size() << " against the layers\n";
    return result.violations.empty() ? 0 : 1;
  } catch (const std::exception& error) {
    std::cerr << "calmora-include-check: " << error.what() << '\n';
    return 2;
  }
}
