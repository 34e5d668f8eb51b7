// calmora-import --check: it reads what a run would read, says what stands
// in the way in plain words, answers 0 or 1, and changes nothing on disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>

#include "AppTestSupport.h"
#include "driver/PreflightCheck.h"
#include "jet/Connection.h"
#include "support/FileBytes.h"
#include "support/ProgramRun.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;

// Everything below root: each entry by relative path, a file with its
// modification time and bytes.
std::map<std::string, std::string> TreeState(const fs::path& root) {
  std::map<std::string, std::string> state;
  for (const auto& e : fs::recursive_directory_iterator(root))
    state[fs::relative(e.path(), root).string()] =
        e.is_regular_file() ? std::to_string(e.last_write_time().time_since_epoch().count()) +
                                  testing::ReadFileBytes(e.path())
                            : "folder";
  return state;
}

// A registry with one installation's key only.
void OnlyKey(const fixture::SampleLayout& m, const char* key, const fs::path& folder,
             const std::string& more) {
  testing::WriteFileBytes(m.registryFile,
                          std::string("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\") +
                              key + "]\r\n\"Location\"=" + fixture::RegistryString(folder.string()) +
                              "\r\n" + more);
}

class PreflightCheck : public testing::MachineTest {
 protected:
  void SetUp() override { Make({30, 4}); }
  // The real program, with the terminal front end and no input.
  testing::ProgramOutcome Import(const std::vector<std::string>& arguments) {
    return testing::RunProgram(CALMORA_IMPORT_PROGRAM, arguments, root, "",
                               {{"CALMORA_UI", "terminal"}});
  }
};

TEST_F(PreflightCheck, ReportsWhatStandsInTheWayAndChangesNothing) {
  const struct {
    const char* what;
    std::function<void(const fixture::SampleLayout&)> prepare;
    int status;
    const char* said;
  } cases[] = {
      {"a sound machine", [](const auto&) {}, 0, "No problem found: the conversion can run."},
      {"no 2014 installation",
       [](const auto& m) { OnlyKey(m, fixture::kKeyV31, m.folderV31, "\"Version\"=\"3.1.0.0\"\r\n"); },
       1, "PROBLEM: The Calmora 2014 installation cannot be found in the registry."},
      {"no V3.1 installation", [](const auto& m) { OnlyKey(m, fixture::kKey2014, m.folder2014, ""); },
       1, "PROBLEM: The Calmora V3.1 installation cannot be found in the registry."},
      {"a V3.1 database keyed with another password",
       [](const auto& m) {
         fs::remove(m.DatabaseV31());
         jet::Connection::CreateDatabase(m.DatabaseV31().string(), "another password");
       },
       1, "PROBLEM: The V3.1 practice database cannot be opened: Not a valid password"},
      {"a 2014 picture folder that is gone",
       [](const auto& m) { fs::remove_all(m.folder2014 / "SOAPPics"); }, 1,
       "PROBLEM: The Calmora 2014 folder for Pictures does not exist."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FreshMachine();
    c.prepare(machine);
    const auto before = TreeState(machine.root);
    const auto checked = Import({"--check"});
    EXPECT_EQ(checked.status, c.status) << checked.out << checked.err;
    EXPECT_NE(checked.out.find(c.said), std::string::npos) << checked.out;
    EXPECT_EQ(TreeState(machine.root), before) << "the check changed the disk";
  }
  // An argument beside --check is no check, and no run either (an unknown
  // option is refused as by every program).
  const auto before = TreeState(machine.root);
  const auto refused = Import({"--check", "extra"});
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(TreeState(machine.root), before);
}

// Counts and sizes of what a run would copy, never a name: folders below
// the client documents are named after patients.
TEST_F(PreflightCheck, CountsWhatARunWouldCopyWithoutNamingIt) {
  const auto checked = Import({"--check"});
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
// With its write-ahead log, a run of a million claims held 3.4 times the
// V3.1 database in the 2014 file system at its peak: 3.5 times is too little.
TEST_F(PreflightCheck, TooLittleFreeSpaceIsAProblem) {
  const std::uintmax_t database = fs::file_size(machine.DatabaseV31());
  const struct {
    std::optional<std::uintmax_t> free;
    bool canRun;
    const char* said;
  } cases[] = {
      {std::uintmax_t{1} << 40, true, "No problem found"},
      {database * 7 / 2, false, "PROBLEM: Not enough free space for Calmora 2014"},
      {0, false, "PROBLEM: Not enough free space for Calmora 2014"},
      {std::nullopt, false, "PROBLEM: The free space of the Calmora 2014 file system cannot be read."},
  };
  for (const auto& c : cases) {
    std::ostringstream out;
    EXPECT_EQ(RunPreflightCheck(out, [&](const fs::path&) { return c.free; }), c.canRun);
    EXPECT_NE(out.str().find(c.said), std::string::npos) << out.str();
  }
}

}  // namespace
}  // namespace calmora
