// calmora-include-check ROOT: fails (status 1) naming file and line of
// every include under ROOT that points up or sideways between the layers.
#include <exception>
#include <filesystem>
#include <iostream>
#include <string_view>

#include "ProgramVersion.h"
#include "tools/layers/IncludeCheck.h"

namespace {

constexpr char kUsage[] = "usage: calmora-include-check PROJECT_ROOT\n";
constexpr char kHelp[] =
    "Reads every #include under src/, tools/ and fuzz/ of PROJECT_ROOT and names the\n"
    "file and line of each one that points up or sideways between the layers.\n"
    "\n"
    "Options:\n"
    "  --help     show this text and exit\n"
    "  --version  show the program's name and version and exit\n"
    "\n"
    "Exit status: 0 when every include keeps to the layers, 1 when one does not,\n"
    "2 on a usage error or a tree that cannot be read.\n";

}  // namespace

int main(int argc, char** argv) {
  const std::string_view first = argc > 1 ? argv[1] : "";
  if (first == "--help" || first == "-h") {
    std::cout << kUsage << '\n' << kHelp;
    return 0;
  }
  if (first == "--version") {
    std::cout << calmora::VersionLine("calmora-include-check");
    return 0;
  }
  if (argc != 2 || first.empty() || first.front() == '-') {
    std::cerr << kUsage;
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
