#pragma once
// Helpers of the hardening tests: a sample machine kept aside and put back
// before every run, and whole trees read for comparison.
#include <filesystem>
#include <map>
#include <string>

namespace calmora::testing {

// Every plain file below root, by relative path, with its bytes.
std::map<std::string, std::string> FileTree(const std::filesystem::path& root);

// How often part occurs in text.
int Occurrences(const std::string& text, const std::string& part);

// Replaces machine with a copy of pristine (links copied as links). An
// updater started by the run before may still be writing its record into
// the machine; the removal waits it out.
void RestoreMachine(const std::filesystem::path& pristine, const std::filesystem::path& machine);

}  // namespace calmora::testing
