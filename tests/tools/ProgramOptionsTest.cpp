// Every built program, run as a real process, answers --help and --version
// as a Debian user (and help2man, which makes the man pages from them)
// expects, and refuses an unknown option before doing anything.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

struct Program {
  const char* name;
  const char* path;
};

const Program kPrograms[] = {
    {"calmora-import", CALMORA_IMPORT_PATH},        {"calmora-sql", CALMORA_SQL_PATH},
    {"calmora-fixture", CALMORA_FIXTURE_PATH},      {"calmora-bench", CALMORA_BENCH_PATH},
    {"calmora-engine-bench", CALMORA_ENGINE_BENCH_PATH},
};

struct Outcome {
  int status = -1;
  std::string out, err;
};

// Runs the program in `folder` with no input, its output streams caught in
// files there. No shell: the arguments reach it as they are.
Outcome Run(const char* path, const std::vector<std::string>& arguments, const fs::path& folder) {
  const fs::path out = folder / "stdout", err = folder / "stderr";
  const pid_t child = ::fork();
  if (child == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || o < 0 || e < 0 || ::dup2(in, 0) < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0 ||
        ::chdir(folder.c_str()) != 0)
      ::_exit(127);
    std::vector<char*> argv{const_cast<char*>(path)};
    for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    // The terminal front end, should an option ever be taken for a run.
    ::setenv("CALMORA_UI", "terminal", 1);
    ::setenv("CALMORA_REGISTRY", (folder / "no-registry.reg").c_str(), 1);
    ::execv(path, argv.data());
    ::_exit(127);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child) return {};
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, calmora::testing::ReadFileBytes(out),
          calmora::testing::ReadFileBytes(err)};
}

class EveryProgram : public ::testing::Test {
 protected:
  Outcome Run(const Program& program, const std::vector<std::string>& arguments) {
    return ::Run(program.path, arguments, dir.path());
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
