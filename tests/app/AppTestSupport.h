#pragma once
// Helpers for the conversion-run tests: folder snapshots, registry texts,
// queries on a converted database, the updater's record, running programs.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace jet {
class Connection;
}

namespace calmora::testing {

// Every plain file below root, by its path relative to root, with its bytes.
std::map<std::string, std::string> FileTree(const std::filesystem::path& root);
// Every folder below root, by relative path.
std::vector<std::string> FolderTree(const std::filesystem::path& root);

// A registry export (version 5) built from key blocks.
std::string RegistryFile(const std::vector<std::string>& keyBlocks);
// "[HKEY_LOCAL_MACHINE\<key>]" followed by the value lines.
std::string RegistryKey(const std::string& key, const std::vector<std::string>& valueLines);
// "name"="text": a string that the registry stores with its NUL.
std::string StringValue(const std::string& name, const std::string& text);
// "name"=hex(1):...: a string stored without its terminating NUL.
std::string StringValueWithoutNul(const std::string& name, const std::string& text);
// "name"=dword:...
std::string NumberValue(const std::string& name, std::uint32_t number);

// An open connection on a practice database keyed with the V3.1 password.
std::unique_ptr<jet::Connection> OpenPractice(const std::filesystem::path& database);
// The single number a "select count(*) as n ..." query answers.
long CountOf(jet::Connection& connection, const std::string& sql);

// The updater's record lines, waiting up to `patience` for the first one
// and then a moment more for any that follow.
std::vector<std::string> UpdaterStarts(const std::filesystem::path& startsFile,
                                       std::chrono::milliseconds patience);

// The log files (conversion_*.txt) in a folder.
std::vector<std::filesystem::path> LogFilesIn(const std::filesystem::path& folder);

// Children of this process that have ended and were not collected.
int ZombieChildren();

// Runs a shell command line; answers its exit status (-1 when it did not
// end normally).
int RunCommand(const std::string& commandLine);
// A text as a single-quoted shell word.
std::string ShellWord(const std::string& text);

}  // namespace calmora::testing
