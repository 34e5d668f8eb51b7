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

namespace fs = std::filesystem;
using Outcome = calmora::testing::ProgramOutcome;

struct Program {
  const char* name;
  const char* path;
};

const Program kPrograms[] = {
    {"calmora-import", CALMORA_IMPORT_PATH},        {"calmora-sql", CALMORA_SQL_PATH},
    {"calmora-fixture", CALMORA_FIXTURE_PATH},      {"calmora-bench", CALMORA_BENCH_PATH},
    {"calmora-engine-bench", CALMORA_ENGINE_BENCH_PATH},
};

class EveryProgram : public ::testing::Test {
 protected:
  // The terminal front end, should an option ever be taken for a run.
  Outcome Run(const Program& program, const std::vector<std::string>& arguments) {
    return calmora::testing::RunProgram(program.path, arguments, dir.path(), "",
                                        {{"CALMORA_UI", "terminal"},
                                         {"CALMORA_REGISTRY", (dir / "no-registry.reg").string()}});
  }
  calmora::testing::TempDir dir;
};

TEST_F(EveryProgram, AnswersHelpWithItsUsageAndALineForEachOption) {
  const std::regex option("--[a-z][a-z-]*");
  for (const Program& program : kPrograms) {
    SCOPED_TRACE(program.name);
    const Outcome help = Run(program, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out.rfind(std::string("usage: ") + program.name + " ", 0), 0u) << help.out;
    // Each option the text names, --help and --version among them, starts
    // a line of its own that says what it does.
    std::set<std::string> named{"--help", "--version"};
    for (std::sregex_iterator it(help.out.begin(), help.out.end(), option), end; it != end; ++it)
      named.insert(it->str());
    for (const std::string& name : named) {
      const std::regex line("(^|\n)  " + name + "( [A-Z]+)? +[a-z][^\n]+\n");
      EXPECT_TRUE(std::regex_search(help.out, line)) << name << " has no line in:\n" << help.out;
    }
  }
}

TEST_F(EveryProgram, AnswersVersionWithItsNameAndTheProjectVersion) {
  for (const Program& program : kPrograms) {
    SCOPED_TRACE(program.name);
    const Outcome version = Run(program, {"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string(program.name) + " " + CALMORA_PROJECT_VERSION + "\n");
    EXPECT_EQ(version.err, "");
  }
}

TEST_F(EveryProgram, RefusesAnUnknownOptionWithItsUsageAndExitTwo) {
  for (const Program& program : kPrograms) {
    for (const char* unknown : {"--frobnicate", "-x"}) {
      SCOPED_TRACE(std::string(program.name) + " " + unknown);
      const Outcome refused = Run(program, {unknown});
      EXPECT_EQ(refused.status, 2);
      EXPECT_NE(refused.err.find(std::string("usage: ") + program.name), std::string::npos)
          << refused.err;
      EXPECT_EQ(refused.out, "");
    }
  }
}

// The engine benchmark empties its folder before it measures: a wrong
// argument must stop it before that.
TEST_F(EveryProgram, EngineBenchLeavesItsFolderAloneOnAWrongArgument) {
  const Program& bench = kPrograms[4];
  ASSERT_STREQ(bench.name, "calmora-engine-bench");
  const fs::path folder = dir / "kept";
  fs::create_directory(folder);
  calmora::testing::WriteFileBytes(folder / "keep.txt", "still here");
  const std::vector<std::vector<std::string>> cases{
      {"many", folder.string()}, {"0", folder.string()}, {"-5", folder.string()},
      {"10x", folder.string()},  {"10", folder.string(), "extra"}, {"10", folder.string(), "--bogus"},
  };
  for (const auto& arguments : cases) {
    SCOPED_TRACE(::testing::PrintToString(arguments));
    const Outcome refused = Run(bench, arguments);
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("usage: calmora-engine-bench"), std::string::npos) << refused.err;
    EXPECT_EQ(calmora::testing::ReadFileBytes(folder / "keep.txt"), "still here");
  }
}

}  // namespace
