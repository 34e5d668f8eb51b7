// The include check on small planted trees: each case plants headers and
// sources and names every file:line the check must report, no more.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tools/layers/IncludeCheck.h"
#include "support/FileBytes.h"
#include "support/ProgramRun.h"
#include "support/TempDir.h"

namespace calmora::layers {
namespace {

struct Planted {
  std::string file;
  std::string text;
};

struct TreeCase {
  const char* name;
  std::vector<Planted> files;
  std::vector<std::string> reported;  // "file:line", in file then line order
};

void Plant(const std::filesystem::path& root, const std::vector<Planted>& files) {
  for (const Planted& planted : files) {
    std::filesystem::create_directories((root / planted.file).parent_path());
    testing::WriteFileBytes(root / planted.file, planted.text);
  }
}

// Headers the cases include; each is a file of its layer.
const std::vector<Planted> kHeaders = [] {
  std::vector<Planted> headers;
  for (const char* file : {"src/text/Utf8.h", "src/engine/include/jet/Connection.h", "src/engine/storage/Sqlite.h",
                           "src/os/Env.h", "src/state/RunState.h", "src/diagnostics/modError.h", "src/platform/modADO.h",
                           "src/upgrade/modCommon.h", "src/driver/Driver.h", "src/terminal/TerminalFrontEnd.h",
                           "src/window/frmMain.h", "tools/fixture/SampleMachine.h", "tests/support/TempDir.h"})
    headers.push_back({file, ""});
  return headers;
}();

const TreeCase kTreeCases[] = {
    {"each layer on the ones below it",
     {{"src/engine/Database.cpp",
       "#include \"jet/Connection.h\"\n#include \"engine/storage/Sqlite.h\"\n"
       "#include \"text/Utf8.h\"\n"},
      {"src/state/RunState.cpp", "#include \"jet/Connection.h\"\n#include \"os/Env.h\"\n"},
      {"src/upgrade/TextRules.cpp",
       "#include \"text/Utf8.h\"\n#include \"platform/modADO.h\"\n#include \"state/RunState.h\"\n"},
      {"src/driver/Driver.cpp", "#include \"upgrade/modCommon.h\"\n#include \"os/Env.h\"\n"},
      {"src/app/main.cpp",
       "#include \"terminal/TerminalFrontEnd.h\"\n#include \"window/frmMain.h\"\n"}},
     {}},
    {"an include up a layer",
     {{"src/platform/modADO.cpp",
       "#include \"platform/modADO.h\"\n#include \"upgrade/modCommon.h\"\n"},
      {"src/diagnostics/ErrorHandler.cpp", "// why\n\n#include \"driver/Driver.h\"\n"}},
     {"src/diagnostics/ErrorHandler.cpp:3", "src/platform/modADO.cpp:2"}},
    {"the steps past the platform to the OS stand-ins",
     {{"src/upgrade/TextRules.cpp", "#include \"state/RunState.h\"\n#include \"os/Env.h\"\n"}},
     {"src/upgrade/TextRules.cpp:2"}},
    {"the front ends sideways, either way",
     {{"src/window/WindowProgram.cpp",
       "#include \"driver/Driver.h\"\n#include \"terminal/TerminalFrontEnd.h\"\n"},
      {"src/terminal/TerminalFrontEnd.cpp", "#include \"window/frmMain.h\"\n"}},
     {"src/terminal/TerminalFrontEnd.cpp:1", "src/window/WindowProgram.cpp:2"}},
    {"the bottom peers on each other",
     {{"src/engine/Connection.cpp", "#include \"os/Env.h\"\n"},
      {"src/os/Env.cpp", "#include \"jet/Connection.h\"\n"},
      {"src/text/Utf8.cpp", "#include \"os/Env.h\"\n"}},
     {"src/engine/Connection.cpp:1", "src/os/Env.cpp:1", "src/text/Utf8.cpp:1"}},
    {"a relative path, angle brackets and spaces do not hide an include",
     {{"src/upgrade/ClaimCopy.cpp",
       "#include \"../driver/Driver.h\"\n#include <terminal/TerminalFrontEnd.h>\n"
       "  #  include \"window/frmMain.h\"\n"}},
     {"src/upgrade/ClaimCopy.cpp:1", "src/upgrade/ClaimCopy.cpp:2", "src/upgrade/ClaimCopy.cpp:3"}},
    {"tools and fuzz targets beside the program, not on its front ends",
     {{"tools/bench/calmora_bench.cpp",
       "#include \"driver/Driver.h\"\n#include \"tools/fixture/SampleMachine.h\"\n"
       "#include \"window/frmMain.h\"\n"},
      {"fuzz/FuzzDatabase.h", ""},
      {"fuzz/fuzz_sql.cpp",
       "#include \"FuzzDatabase.h\"\n#include \"terminal/TerminalFrontEnd.h\"\n"},
      {"src/upgrade/Steps.cpp", "#include \"tools/fixture/SampleMachine.h\"\n"},
      {"tools/sql/main.cpp",
       "#include \"support/TempDir.h\"\n#include \"../../tests/support/TempDir.h\"\n"},
      // The include check stands on none of the layers it checks.
      {"tools/layers/IncludeCheck.cpp", "#include \"os/Env.h\"\n"}},
     {"fuzz/fuzz_sql.cpp:2", "src/upgrade/Steps.cpp:1", "tools/bench/calmora_bench.cpp:3",
      "tools/layers/IncludeCheck.cpp:1", "tools/sql/main.cpp:2"}},
    {"a file in a folder the layer table does not know",
     {{"src/extra/Helper.cpp", "#include \"os/Env.h\"\n"}},
     {"src/extra/Helper.cpp:0"}},
    {"headers that are not ours resolve nowhere and are skipped",
     {{"src/window/frmMain.cpp",
       "#include \"moc_frmMain.cpp\"\n#include <string>\n#include \"ui_frmMain.h\"\n"}},
     {}},
};

TEST(IncludeCheckTest, ReportsExactlyTheIncludesAgainstTheLayers) {
  for (const TreeCase& tree : kTreeCases) {
    SCOPED_TRACE(tree.name);
    testing::TempDir root;
    Plant(root.path(), kHeaders);
    Plant(root.path(), tree.files);
    std::vector<std::string> reported;
    for (const Violation& violation : CheckIncludes(root.path()).violations)
      reported.push_back(violation.file + ":" + std::to_string(violation.line));
    EXPECT_EQ(reported, tree.reported);
  }
}

testing::ProgramOutcome RunCheck(const std::filesystem::path& root) {
  const testing::TempDir runFolder;
  return testing::RunProgram(CALMORA_INCLUDE_CHECK_PROGRAM, {root.string()}, runFolder.path());
}

// The program as ctest runs it on the project: one upward include planted
// in a clean tree turns its status to failure and names file and line.
TEST(IncludeCheckTest, ProgramFailsNamingThePlantedInclude) {
  testing::TempDir root;
  Plant(root.path(), kHeaders);
  Plant(root.path(), {{"src/platform/modADO.cpp", "#include \"platform/modADO.h\"\n"}});
  const testing::ProgramOutcome clean = RunCheck(root.path());
  EXPECT_EQ(clean.status, 0) << clean.out << clean.err;

  Plant(root.path(), {{"src/platform/modADO.cpp",
                       "#include \"platform/modADO.h\"\n\n#include \"upgrade/modCommon.h\"\n"}});
  const testing::ProgramOutcome planted = RunCheck(root.path());
  EXPECT_EQ(planted.status, 1) << planted.out << planted.err;
  EXPECT_NE(planted.out.find("src/platform/modADO.cpp:3: platform may not include "
                             "upgrade/modCommon.h (src/upgrade/modCommon.h, upgrade)\n"),
            std::string::npos)
      << planted.out;

  // A root that is not a project tree is refused, not passed as clean.
  const testing::ProgramOutcome notATree = RunCheck(root.path() / "src");
  EXPECT_EQ(notATree.status, 2) << notATree.out;
  EXPECT_NE(notATree.err.find("no src/ folder under"), std::string::npos) << notATree.err;
}

}  // namespace
}  // namespace calmora::layers
