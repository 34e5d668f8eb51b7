#include "tools/layers/IncludeCheck.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "tools/layers/LayerRules.h"

namespace calmora::layers {
namespace {

namespace fs = std::filesystem;

constexpr std::array kScannedFolders{"src", "tools", "fuzz"};
constexpr std::array kSourceExtensions{".h", ".hpp", ".cpp", ".cc"};

bool IsSource(const fs::path& file) {
  const std::string extension = file.extension().string();
  return std::find(kSourceExtensions.begin(), kSourceExtensions.end(), extension) !=
         kSourceExtensions.end();
}

std::string Relative(const fs::path& file, const fs::path& root) {
  return file.lexically_relative(root).generic_string();
}

struct IncludeName {
  std::string name;
  bool quoted = false;  // "name": looked for beside the includer first
};

// The name of an #include line, spaces allowed around '#' as the
// preprocessor allows them; nullopt for any other line. Angle brackets
// count too, so that one of our headers cannot slip past in them.
std::optional<IncludeName> IncludedName(std::string_view line) {
  auto skipSpace = [&line] {
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  };
  skipSpace();
  if (!line.starts_with('#')) return std::nullopt;
  line.remove_prefix(1);
  skipSpace();
  if (!line.starts_with("include")) return std::nullopt;
  line.remove_prefix(std::string_view("include").size());
  skipSpace();
  if (line.empty() || (line.front() != '"' && line.front() != '<')) return std::nullopt;
  const bool quoted = line.front() == '"';
  line.remove_prefix(1);
  const auto close = line.find(quoted ? '"' : '>');
  if (close == std::string_view::npos) return std::nullopt;
  return IncludeName{std::string(line.substr(0, close)), quoted};
}

// Where the compiler looks for a quoted include, in its order.
std::vector<fs::path> SearchFolders(const fs::path& root) {
  std::vector<fs::path> folders{root / "src"};
  if (fs::is_directory(root / "src")) {
    std::vector<fs::path> contracts;
    for (const auto& entry : fs::directory_iterator(root / "src")) {
      if (fs::is_directory(entry.path() / "include")) contracts.push_back(entry.path() / "include");
    }
    std::sort(contracts.begin(), contracts.end());
    folders.insert(folders.end(), contracts.begin(), contracts.end());
  }
  folders.push_back(root);
  return folders;
}

std::optional<fs::path> Resolve(const fs::path& includer, const IncludeName& include,
                                const std::vector<fs::path>& searchFolders) {
  if (include.quoted) {
    const fs::path beside = (includer.parent_path() / include.name).lexically_normal();
    if (fs::is_regular_file(beside)) return beside;
  }
  for (const fs::path& folder : searchFolders) {
    const fs::path candidate = (folder / include.name).lexically_normal();
    if (fs::is_regular_file(candidate)) return candidate;
  }
  return std::nullopt;
}

void CheckFile(const fs::path& file, const fs::path& root,
               const std::vector<fs::path>& searchFolders, CheckResult& result) {
  ++result.files;
  const std::string path = Relative(file, root);
  const auto layer = LayerOf(path);
  if (!layer) {
    result.violations.push_back({path, 0, "is in no layer; place its folder in the layer table"});
    return;
  }
  std::ifstream in(file);
  std::string text;
  int lineNumber = 0;
  while (std::getline(in, text)) {
    ++lineNumber;
    const auto include = IncludedName(text);
    if (!include) continue;
    const auto target = Resolve(file, *include, searchFolders);
    if (!target) continue;
    ++result.includes;
    const std::string targetPath = Relative(*target, root);
    const auto targetLayer = LayerOf(targetPath);
    if (targetLayer && MayUse(*layer, *targetLayer)) continue;
    result.violations.push_back(
        {path, lineNumber,
         std::string(*layer) + " may not include " + include->name + " (" + targetPath + ", " +
             (targetLayer ? std::string(*targetLayer) : std::string("in no layer")) + ")"});
  }
}

}  // namespace

CheckResult CheckIncludes(const fs::path& givenRoot) {
  const fs::path root = fs::absolute(givenRoot).lexically_normal();
  // A mistyped root would otherwise pass with nothing checked.
  if (!fs::is_directory(root / "src"))
    throw std::runtime_error("no src/ folder under " + root.string());
  const std::vector<fs::path> searchFolders = SearchFolders(root);
  std::vector<fs::path> files;
  for (const char* folder : kScannedFolders) {
    if (!fs::is_directory(root / folder)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
      if (entry.is_regular_file() && IsSource(entry.path())) files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  CheckResult result;
  for (const fs::path& file : files) CheckFile(file, root, searchFolders, result);
  return result;
}

std::string Describe(const Violation& violation) {
  return violation.file + ":" + std::to_string(violation.line) + ": " + violation.message;
}

}  // namespace calmora::layers
