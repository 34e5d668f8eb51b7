#pragma once
// Helpers shared by the conversion-run tests: queries on a converted
// database, the updater's record, the logs a run left, running programs.
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace jet {
class Connection;
}

namespace calmora::testing {

// An open connection on a practice database keyed with the V3.1 password.
std::unique_ptr<jet::Connection> OpenPractice(const std::filesystem::path& database);
// The single number a "select count(*) as n ..." query answers.
long CountOf(jet::Connection& connection, const std::string& sql);

// The updater's record lines, waiting up to `patience` for the first one
// and then a moment more for any that follow.
std::vector<std::string> UpdaterStarts(const std::filesystem::path& startsFile,
                                       std::chrono::milliseconds patience);

// A text as a single-quoted shell word, for commands run through the shell.
std::string ShellWord(const std::string& text);

// A command run through the shell: its exit status (-1: it did not exit)
// and its two streams, caught in files of `folder`.
struct ShellOutcome {
  int status;
  std::string out, err;
};
ShellOutcome RunInShell(const std::string& command, const std::filesystem::path& folder);

// The log files (conversion_*.txt) in a folder.
std::vector<std::filesystem::path> LogFilesIn(const std::filesystem::path& folder);

}  // namespace calmora::testing
