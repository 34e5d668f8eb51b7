// Every built program, run as a real process, answers --help and --version
// as a Debian user (and help2man, which makes the man pages from them)
// expects, and refuses an unknown option before doing anything.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/FileBytes.h"
#include "support/ProgramRun.h"
#include "support/TempDir.h"

namespace {

using Outcome = calmora::testing::ProgramOutcome;

class EveryProgram : public ::testing::Test {
 protected:
  // The terminal front end, should an option ever be taken for a run.
  Outcome Run(const char* path, const std::vector<std::string>& arguments) {
    return calmora::testing::RunProgram(path, arguments, dir.path(), "",
                                        {{"CALMORA_UI", "terminal"},
                                         {"CALMORA_REGISTRY", (dir / "no-registry.reg").string()}});
  }
  calmora::testing::TempDir dir;
};

TEST_F(EveryProgram, AnswersHelpAndVersionAndRefusesAnUnknownOption) {
  const std::pair<std::string, const char*> programs[] = {
      {"calmora-import", CALMORA_IMPORT_PATH}, {"calmora-sql", CALMORA_SQL_PATH},
      {"calmora-fixture", CALMORA_FIXTURE_PATH}, {"calmora-bench", CALMORA_BENCH_PATH},
      {"calmora-engine-bench", CALMORA_ENGINE_BENCH_PATH},
      {"calmora-include-check", CALMORA_INCLUDE_CHECK_PATH}};
  const std::regex option("--[a-z][a-z-]*");
  for (const auto& [name, path] : programs) {
    SCOPED_TRACE(name);
    const Outcome help = Run(path, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out.rfind("usage: " + name + " ", 0), 0u) << help.out;
    // Each option the text names, --help and --version among them, starts
    // a line of its own that says what it does.
    std::set<std::string> named{"--help", "--version"};
    for (std::sregex_iterator it(help.out.begin(), help.out.end(), option), end; it != end; ++it)
      named.insert(it->str());
    for (const std::string& o : named)
      EXPECT_TRUE(std::regex_search(help.out, std::regex("(^|\n)  " + o + "( [A-Z]+)? +[a-z][^\n]+\n"))) << o;
    const Outcome version = Run(path, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, name + " " + CALMORA_PROJECT_VERSION + "\n");
    EXPECT_EQ(version.err, "");
    for (const char* unknown : {"--frobnicate", "-x"}) {
      const Outcome refused = Run(path, {unknown});
      EXPECT_EQ(refused.status, 2) << unknown;
      EXPECT_EQ(refused.out, "") << unknown;
      EXPECT_NE(refused.err.find("usage: " + name), std::string::npos) << refused.err;
    }
  }
}

// The engine benchmark empties its folder before it measures: a wrong
// argument must stop it before that.
TEST_F(EveryProgram, EngineBenchLeavesItsFolderAloneOnAWrongArgument) {
  const std::string folder = (dir / "kept").string();
  std::filesystem::create_directory(folder);
  calmora::testing::WriteFileBytes(dir / "kept" / "keep.txt", "still here");
  for (const std::vector<std::string>& arguments :
       std::vector<std::vector<std::string>>{{"many", folder}, {"0", folder}, {"-5", folder}, {"10x", folder},
                                             {"10", folder, "extra"}, {"10", folder, "--bogus"}}) {
    const Outcome refused = Run(CALMORA_ENGINE_BENCH_PATH, arguments);
    EXPECT_EQ(refused.status, 2) << ::testing::PrintToString(arguments);
    EXPECT_NE(refused.err.find("usage: calmora-engine-bench"), std::string::npos) << refused.err;
    EXPECT_EQ(calmora::testing::ReadFileBytes(dir / "kept" / "keep.txt"), "still here");
  }
}

}  // namespace
