#include "os/ProgramStart.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

// The state letter of a process in /proc ('R', 'S', 'Z', ...), or 0 when
// there is no such process any more.
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
       std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(20ms)) {
    if (condition()) return true;
  }
  return condition();
}

class ProgramStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir / "CalmoraUpdate");
    fs::create_directories(dir / "work dir");
    program = dir / "CalmoraUpdate" / "updater";
    // Records its argument count and working directory, then runs until told.
    WriteFileBytes(program,
                   "#!/bin/sh\n"
                   "echo \"$# $PWD\" >> \"$CALMORA_TEST_OUT\"\n"
                   "while [ ! -e \"$CALMORA_TEST_FLAG\" ]; do sleep 0.02; done\n"
                   "echo finished >> \"$CALMORA_TEST_OUT\"\n");
    fs::permissions(program, fs::perms::owner_all);
    setenv("CALMORA_TEST_OUT", (dir / "out.txt").c_str(), 1);
    setenv("CALMORA_TEST_FLAG", (dir / "flag").c_str(), 1);
  }
  void TearDown() override {
    WriteFileBytes(dir / "flag", "");  // lets a program still running end
    unsetenv("CALMORA_TEST_OUT");
    unsetenv("CALMORA_TEST_FLAG");
  }
  std::string Out() const {
    return fs::exists(dir / "out.txt") ? ReadFileBytes(dir / "out.txt") : std::string();
  }

  TempDir dir;
  fs::path program;
};

TEST_F(ProgramStartTest, StartsOnceWithoutArgumentsAndIsNeitherWaitedForNorLeftAZombie) {
  const auto result = StartProgram(program.string(), (dir / "work dir").string());
  ASSERT_TRUE(result) << std::strerror(result.error);
  EXPECT_EQ(result.error, 0);

  // Running on its own while this process goes on.
  ASSERT_TRUE(WaitFor([&] { return !Out().empty(); }));
  const char running = ProcessState(result.pid);
  EXPECT_TRUE(running == 'S' || running == 'R') << running;
  EXPECT_EQ(Out(), "0 " + (dir / "work dir").string() + "\n");

  WriteFileBytes(dir / "flag", "");
  EXPECT_TRUE(WaitFor([&] { return ProcessState(result.pid) == 0; }))
      << "state " << ProcessState(result.pid) << ": not reaped";
  EXPECT_EQ(Out(), "0 " + (dir / "work dir").string() + "\nfinished\n");
}

TEST_F(ProgramStartTest, AFailedStartSaysWhyAndRunsNothing) {
  auto result = StartProgram((dir / "missing").string(), "");
  EXPECT_FALSE(result);
  EXPECT_EQ(result.error, ENOENT);

  result = StartProgram(program.string(), (dir / "no such dir").string());
  EXPECT_FALSE(result);
  EXPECT_EQ(result.error, ENOENT);

  fs::permissions(program, fs::perms::owner_read | fs::perms::owner_write);
  result = StartProgram(program.string(), "");
  EXPECT_FALSE(result);
  EXPECT_EQ(result.error, EACCES);

  // No shell steps in for a file the system cannot run.
  WriteFileBytes(dir / "plain", "echo ran >> \"$CALMORA_TEST_OUT\"\n");
  fs::permissions(dir / "plain", fs::perms::owner_all);
  result = StartProgram((dir / "plain").string(), "");
  EXPECT_FALSE(result);
  EXPECT_EQ(result.error, ENOEXEC);

  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(Out(), "");
}

}  // namespace
}  // namespace calmora
