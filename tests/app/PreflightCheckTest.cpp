// calmora-import --check: it reads what a run would read, says what stands
// in the way in plain words, answers 0 or 1, and changes nothing on disk.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>

#include "AppTestSupport.h"
#include "driver/PreflightCheck.h"
#include "jet/Connection.h"
#include "state/RunState.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"
#include "tools/fixture/SampleMachine.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
using testing::ShellWord;

// Everything below root: each folder and file by relative path, a file
// with its modification time, size and a hash of its bytes.
std::map<std::string, std::string> TreeState(const fs::path& root) {
  std::map<std::string, std::string> state;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string name = fs::relative(e.path(), root).string();
    if (!e.is_regular_file()) {
      state[name] = "folder";
      continue;
    }
    const std::string bytes = testing::ReadFileBytes(e.path());
    state[name] = std::to_string(e.last_write_time().time_since_epoch().count()) + " " +
                  std::to_string(bytes.size()) + " " +
                  std::to_string(std::hash<std::string>{}(bytes));
  }
  return state;
}

using Outcome = testing::ShellOutcome;

class PreflightCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    machine = fixture::SampleLayout(fs::canonical(dir.path()) / "machine");
    fixture::WriteSampleMachine(machine.root, {30, 4});
  }
  void TearDown() override {
    ResetRunState();
    ::unsetenv("CALMORA_REGISTRY");
  }

  Outcome Import(const std::string& arguments) {
    return testing::RunInShell("CALMORA_REGISTRY=" + ShellWord(machine.registryFile.string()) +
                                   " CALMORA_UI=terminal " + ShellWord(CALMORA_IMPORT_PROGRAM) +
                                   " " + arguments + " < /dev/null",
                               dir.path());
  }

  testing::TempDir dir;
  fixture::SampleLayout machine{dir.path()};
};

TEST_F(PreflightCheck, ReportsWhatStandsInTheWayAndChangesNothing) {
  struct Case {
    const char* what;
    void (*prepare)(const fixture::SampleLayout&);
    int status;
    const char* said;
  };
  const Case cases[] = {
      {"a sound machine", [](const fixture::SampleLayout&) {}, 0,
       "No problem found: the conversion can run."},
      {"no 2014 installation",
       [](const fixture::SampleLayout& m) {
         testing::WriteFileBytes(m.registryFile,
                                 "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\" +
                                     std::string(fixture::kKeyV31) + "]\r\n\"Location\"=" +
                                     fixture::RegistryString(m.folderV31.string()) +
                                     "\r\n\"Version\"=\"3.1.0.0\"\r\n");
       },
       1, "PROBLEM: The Calmora 2014 installation cannot be found in the registry."},
      {"no V3.1 installation",
       [](const fixture::SampleLayout& m) {
         testing::WriteFileBytes(m.registryFile,
                                 "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\" +
                                     std::string(fixture::kKey2014) + "]\r\n\"Location\"=" +
                                     fixture::RegistryString(m.folder2014.string()) + "\r\n");
       },
       1, "PROBLEM: The Calmora V3.1 installation cannot be found in the registry."},
      {"a V3.1 database keyed with another password",
       [](const fixture::SampleLayout& m) {
         fs::remove(m.DatabaseV31());
         jet::Connection::CreateDatabase(m.DatabaseV31().string(), "another password");
       },
       1, "PROBLEM: The V3.1 practice database cannot be opened: Not a valid password"},
      {"a 2014 picture folder that is gone",
       [](const fixture::SampleLayout& m) { fs::remove_all(m.folder2014 / "SOAPPics"); }, 1,
       "PROBLEM: The Calmora 2014 folder for Pictures does not exist."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.prepare(machine);
    const auto before = TreeState(machine.root);
    const Outcome checked = Import("--check");
    EXPECT_EQ(checked.status, c.status) << checked.out << checked.err;
    EXPECT_NE(checked.out.find(c.said), std::string::npos) << checked.out;
    EXPECT_EQ(TreeState(machine.root), before) << "the check changed the disk";
    TearDown();
    fs::remove_all(machine.root);
    fixture::WriteSampleMachine(machine.root, {30, 4});
  }
}

// Counts and sizes of what a run would copy, never a name: folders below
// the client documents are named after patients.
TEST_F(PreflightCheck, CountsWhatARunWouldCopyWithoutNamingIt) {
  const Outcome checked = Import("--check");
  ASSERT_EQ(checked.status, 0) << checked.out;
  for (const char* line : {"found, version 3.1.0.0\n", "Pictures: 3 files",
                           "Client documents: 5 folders, 7 files",
                           "Related resources: 2 folders, 4 files",
                           "Claim batch exports: 2 files", "V3.1 practice database: opens"})
    EXPECT_NE(checked.out.find(line), std::string::npos) << line << " in\n" << checked.out;
  for (const char* name : {"Siobhán", "Müller", "smith.john", "spine", "batch_2013"})
    EXPECT_EQ(checked.out.find(name), std::string::npos) << name;
}

// Free space cannot be used up for real in a test: the figure is given.
TEST_F(PreflightCheck, TooLittleFreeSpaceIsAProblem) {
  ::setenv("CALMORA_REGISTRY", machine.registryFile.c_str(), 1);
  struct Case {
    std::optional<std::uintmax_t> free;
    bool canRun;
    const char* said;
  };
  const Case cases[] = {
      {std::uintmax_t{1} << 40, true, "No problem found"},
      {0, false, "PROBLEM: Not enough free space for Calmora 2014"},
      {std::nullopt, false, "PROBLEM: The free space of the Calmora 2014 file system cannot be read."},
  };
  for (const Case& c : cases) {
    std::ostringstream out;
    EXPECT_EQ(RunPreflightCheck(out, [&](const fs::path&) { return c.free; }), c.canRun);
    EXPECT_NE(out.str().find(c.said), std::string::npos) << out.str();
  }
}

TEST_F(PreflightCheck, HelpAndUnknownArgumentsPrintTheUsage) {
  const Outcome help = Import("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("usage: calmora-import  "), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("calmora-import --check"), std::string::npos) << help.out;
  for (const char* arguments : {"--frobnicate", "--check extra", "-check"}) {
    SCOPED_TRACE(arguments);
    const auto before = TreeState(machine.root);
    const Outcome unknown = Import(arguments);
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("usage: calmora-import"), std::string::npos) << unknown.err;
    EXPECT_TRUE(unknown.out.empty()) << "no window, no run: " << unknown.out;
    EXPECT_EQ(TreeState(machine.root), before);
  }
}

}  // namespace
}  // namespace calmora
