#pragma once
// What the conversion-run tests share: a sample machine in a temporary
// folder that every run can start again from, queries on a converted
// database, and whole trees, logs and boxes read back for comparison.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "support/FixedSystemFacts.h"
#include "support/RecordingFrontEnd.h"
#include "support/TempDir.h"
#include "tools/fixture/SampleMachine.h"

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

// The log files (conversion_*.txt) in a folder.
std::vector<std::filesystem::path> LogFilesIn(const std::filesystem::path& folder);
// Every plain file below root, by relative path, with its bytes.
std::map<std::string, std::string> FileTree(const std::filesystem::path& root);
// The documents in the 2014 folder's tree (not its database, updater or
// logs), each expected to be its V3.1 file whole.
std::set<std::string> CopiedDocuments(const std::map<std::string, std::string>& tree2014,
                                      const std::map<std::string, std::string>& v31);
// How often part occurs in text.
int Occurrences(const std::string& text, const std::string& part);

// A sample machine under a temporary folder, named by CALMORA_REGISTRY,
// with fixed system facts and a recording front end; the run state is
// reset around every test and every run.
class MachineTest : public ::testing::Test {
 protected:
  MachineTest();
  ~MachineTest() override;
  // Writes a new machine at root/name and keeps a pristine copy of it.
  fixture::PracticeSummary Make(const fixture::PracticeOptions& options,
                                const std::string& name = "machine");
  // The machine as Make left it; run state and recorded boxes cleared. An
  // updater started by the run before may still be writing its record into
  // the machine: the removal waits it out.
  void FreshMachine();
  // Every conversion log of the 2014 folder, one after the other.
  std::string Log() const;
  // Every box shown, "title: text" a line.
  std::string Boxes() const;

  TempDir dir;
  std::filesystem::path root;
  FixedSystemFacts facts;
  RecordingFrontEnd ui;
  fixture::SampleLayout machine{"/nonexistent"};
};

}  // namespace calmora::testing
