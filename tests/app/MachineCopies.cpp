#include "MachineCopies.h"

#include <chrono>
#include <stdexcept>
#include <thread>

#include "support/FileBytes.h"

namespace calmora::testing {

namespace fs = std::filesystem;

std::map<std::string, std::string> FileTree(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = ReadFileBytes(e.path());
  return files;
}

int Occurrences(const std::string& text, const std::string& part) {
  int n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

void RestoreMachine(const fs::path& pristine, const fs::path& machine) {
  std::error_code ec;
  for (int attempt = 0; fs::remove_all(machine, ec), ec; ++attempt) {
    if (attempt == 100) throw std::runtime_error("the machine cannot be removed: " + ec.message());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  fs::copy(pristine, machine, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
}

}  // namespace calmora::testing
