#include "os/ProgramStart.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <tuple>

#include "os/FaultInjectingEnv.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::WriteFileBytes;

// The state letter of a process in /proc ('R', 'S', 'Z', ...), 0 once gone.
char ProcessState(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return 0;
  const auto close = line.rfind(')');
  return close + 2 < line.size() ? line[close + 2] : 0;
}

template <typename Condition>
bool WaitFor(Condition condition) {
  for (auto until = std::chrono::steady_clock::now() + 10s;
       std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(20ms))
    if (condition()) return true;
  return condition();
}

// An updater that writes its argument count and working folder, then runs
// until told; it finds its output through the environment it inherits.
class ProgramStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir / "work dir");
    setenv("CALMORA_TEST_OUT", out.c_str(), 1);
    WriteFileBytes(program, "#!/bin/sh\necho \"$# $PWD\" >> \"$CALMORA_TEST_OUT\"\n"
                            "while [ ! -e '" + flag.string() + "' ]; do sleep 0.02; done\n"
                            "echo finished >> \"$CALMORA_TEST_OUT\"\n");
    fs::permissions(program, fs::perms::owner_all);
  }
  void TearDown() override {
    WriteFileBytes(flag, "");  // lets a program still running end
    unsetenv("CALMORA_TEST_OUT");
  }
  std::string Out() const { return fs::exists(out) ? testing::ReadFileBytes(out) : ""; }

  testing::TempDir dir;
  fs::path program = dir / "updater", out = dir / "out.txt", flag = dir / "flag";
};

TEST_F(ProgramStartTest, StartsOnceWithoutArgumentsAndIsNeitherWaitedForNorLeftAZombie) {
  const auto result = StartProgram(program.string(), (dir / "work dir").string());
  ASSERT_TRUE(result) << std::strerror(result.error);
  // Running on its own while this process goes on.
  ASSERT_TRUE(WaitFor([&] { return !Out().empty(); }));
  EXPECT_NE(std::strchr("RSD", ProcessState(result.pid)), nullptr);
  WriteFileBytes(flag, "");
  EXPECT_TRUE(WaitFor([&] { return ProcessState(result.pid) == 0; }))
      << "state " << ProcessState(result.pid) << ": not reaped";
  EXPECT_EQ(Out(), "0 " + (dir / "work dir").string() + "\nfinished\n");
}

TEST_F(ProgramStartTest, AFailedStartSaysWhyAndRunsNothing) {
  // No shell steps in for a file the system cannot run.
  WriteFileBytes(dir / "plain", "echo ran >> '" + out.string() + "'\n");
  fs::permissions(dir / "plain", fs::perms::owner_all);
  WriteFileBytes(dir / "not executable", "#!/bin/sh\necho ran >> '" + out.string() + "'\n");
  const std::tuple<fs::path, fs::path, int> cases[] = {
      {dir / "missing", "", ENOENT},
      {program, dir / "no such dir", ENOENT},
      {dir / "not executable", "", EACCES},
      {dir / "plain", "", ENOEXEC},
  };
  for (const auto& [path, workingDirectory, error] : cases) {
    const auto result = StartProgram(path.string(), workingDirectory.string());
    EXPECT_FALSE(result) << path;
    EXPECT_EQ(result.error, error) << path;
  }
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(Out(), "");
}

// Through the fault seam, as the system would fail them.
TEST(ProgramStartSeam, StartsMemoryAndVersionFiguresFailAndTheNextCallsReachTheSystem) {
  FaultInjectingEnv env;
  env.Fail(Call::StartProgram, 1, Fault::PermissionRefused);
  env.Fail(Call::ReadMemory, 1, Fault::IoError);
  env.Fail(Call::SystemVersionLine, 1, Fault::IoError);
  EXPECT_EQ(StartProgram("/bin/true", "").error, EACCES);
  EXPECT_FALSE(ReadMemoryStatus());
  EXPECT_EQ(RunningSystemVersionLine(), "");
  // The next calls reach the system.
  EXPECT_TRUE(StartProgram("/bin/true", ""));
  EXPECT_TRUE(ReadMemoryStatus());
  EXPECT_EQ(RunningSystemVersionLine().rfind("Linux ", 0), 0u);
}

}  // namespace
}  // namespace calmora
