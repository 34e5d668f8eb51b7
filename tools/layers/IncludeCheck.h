#pragma once
// Reads every #include in the sources and headers under src/, tools/
// and fuzz/ of a project tree and reports each one that points up or
// sideways between layers (LayerRules), and each file that is in no layer.
// An include is resolved as the compiler would find it: next to the
// including file, then under src/, under any src/<folder>/include/, then
// at the project root; one that resolves nowhere (a generated or system
// header) is not ours and is skipped. Throws std::runtime_error when the
// root has no src/ folder, std::filesystem::filesystem_error when the tree
// cannot be read.
#include <filesystem>
#include <string>
#include <vector>

namespace calmora::layers {

struct Violation {
  std::string file;  // relative to the root, '/'-separated
  int line = 0;      // 1-based; 0 for a file in no layer
  std::string message;
};

struct CheckResult {
  int files = 0;
  int includes = 0;                   // resolved includes of ours
  std::vector<Violation> violations;  // in file, then line order
};

CheckResult CheckIncludes(const std::filesystem::path& root);

// "file:line: message", the form compilers and editors read.
std::string Describe(const Violation& violation);

}  // namespace calmora::layers
