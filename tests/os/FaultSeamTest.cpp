// Single-file and tree copies through the fault-injecting environment: each
// call of a copy failing in turn, with each fault. Whatever fails, the
// destination holds either the whole new file or what it held before, and
// no partial or staging file is left beside it.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <string>

#include "os/FaultInjectingEnv.h"
#include "os/FileSystem.h"
#include "os/ProgramStart.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

constexpr Fault kFaults[] = {Fault::DiskFull, Fault::IoError, Fault::PermissionRefused,
                             Fault::Vanished};
// The calls a single-file copy makes, in the order it makes them.
constexpr Call kCopyCalls[] = {Call::Status,        Call::OpenForReading, Call::OpenForWriting,
                               Call::Read,          Call::Write,          Call::Close,
                               Call::SetPermissions, Call::Rename};

std::map<std::string, std::string> Folder(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::directory_iterator(folder))
    files[e.path().filename().string()] = ReadFileBytes(e.path());
  return files;
}

TEST(FaultSeam, AFailingSingleFileCopyLeavesTheDestinationAsItWasAndNothingBeside) {
  TempDir dir;
  fs::create_directory(dir / "to");
  // Larger than one buffer, so reads and writes come more than once.
  const std::string contents(200000, 'x');
  WriteFileBytes(dir / "picture.bmp", contents);
  for (const Call call : kCopyCalls) {
    for (const Fault fault : kFaults) {
      SCOPED_TRACE(std::string(NameOf(call)) + ", " + NameOf(fault));
      WriteFileBytes(dir / "to" / "picture.bmp", "the 2014 picture");
      FaultInjectingEnv env;
      env.Fail(call, 1, fault);
      try {
        CopyFileReplacing((dir / "picture.bmp").string(), (dir / "to" / "picture.bmp").string());
        ADD_FAILURE() << "the copy reported success";
      } catch (const fs::filesystem_error& e) {
        EXPECT_EQ(e.code(), ErrorFor(fault));
      }
      EXPECT_EQ(env.Failed(), 1);
      EXPECT_EQ(Folder(dir / "to"),
                (std::map<std::string, std::string>{{"picture.bmp", "the 2014 picture"}}));
    }
  }
  // Without a fault the same calls copy it whole.
  FaultInjectingEnv env;
  CopyFileReplacing((dir / "picture.bmp").string(), (dir / "to" / "picture.bmp").string());
  EXPECT_EQ(ReadFileBytes(dir / "to" / "picture.bmp"), contents);
  for (const Call call : kCopyCalls) EXPECT_GE(env.Calls(call), 1) << NameOf(call);
  EXPECT_GE(env.Calls(Call::Write), 4);
}

// Every call of a tree copy fails in turn. A copy that says it is complete
// holds every file; one that does not says what it left; either way every
// file in the destination is whole.
TEST(FaultSeam, EachCallOfATreeCopyFailingInTurnLosesNothingUnsaid) {
  TempDir dir;
  const fs::path source = dir / "V3" / "Jane Doe";
  fs::create_directories(source / "Visits" / "2014");
  WriteFileBytes(source / "a.doc", std::string(70000, 'a'));
  WriteFileBytes(source / "Visits" / "v1.pdf", "one");
  WriteFileBytes(source / "Visits" / "2014" / "v2.pdf", "two");
  const auto sourceFiles = [&] {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(source))
      if (e.is_regular_file()) files[fs::relative(e.path(), source).string()] = ReadFileBytes(e.path());
    return files;
  }();

  int runs = 0, folders = 0;
  std::map<Call, int> incomplete;
  for (std::size_t k = 0; k < kCallKinds; ++k) {
    const Call call = static_cast<Call>(k);
    for (int nth = 1;; ++nth) {
      const fs::path to = dir / ("out-" + std::to_string(folders++));
      FaultInjectingEnv env;
      env.Fail(call, nth, Fault::DiskFull);
      const TreeCopyResult result = CopyTree(source.string(), to.string(), nullptr);
      if (env.Failed() == 0) break;  // fewer calls of this kind than nth
      ++runs;
      SCOPED_TRACE(std::string(NameOf(call)) + " #" + std::to_string(nth));
      std::map<std::string, std::string> copied;
      std::error_code ec;
      for (fs::recursive_directory_iterator it(to, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file()) copied[fs::relative(it->path(), to).string()] = ReadFileBytes(it->path());
      for (const auto& [name, bytes] : copied) {
        ASSERT_TRUE(sourceFiles.count(name)) << "a stray file: " << name;
        EXPECT_EQ(bytes, sourceFiles.at(name)) << name;
      }
      if (result.Complete()) {
        EXPECT_EQ(copied, sourceFiles) << "complete, yet files are missing";
      } else {
        ++incomplete[call];
        EXPECT_EQ(result.firstError, ErrorFor(Fault::DiskFull));
        EXPECT_TRUE(result.sourceUnreadable || result.filesNotCopied > 0 ||
                    result.foldersNotCopied > 0);
        EXPECT_LE(result.filesNotCopied, result.filesTotal);
        EXPECT_LE(copied.size() + static_cast<std::size_t>(result.filesNotCopied),
                  sourceFiles.size() + 1);
      }
    }
  }
  std::cout << "tree copy: " << runs << " calls failed in turn\n";
  EXPECT_GT(runs, 30);
  for (const Call call : {Call::Status, Call::ReadFolder, Call::CreateFolder, Call::OpenForReading,
                          Call::Read, Call::OpenForWriting, Call::Write, Call::Close,
                          Call::SetPermissions, Call::Rename}) {
    EXPECT_GT(incomplete[call], 0) << NameOf(call) << " never stopped a file";
  }
}

TEST(FaultSeam, ProgramStartsMemoryAndVersionFiguresFailAsTheSystemWould) {
  FaultInjectingEnv env;
  env.Fail(Call::StartProgram, 1, Fault::PermissionRefused);
  env.Fail(Call::ReadMemory, 1, Fault::IoError);
  env.Fail(Call::SystemVersionLine, 1, Fault::IoError);
  const ProgramStartResult start = StartProgram("/bin/true", "");
  EXPECT_FALSE(start);
  EXPECT_EQ(start.error, EACCES);
  EXPECT_FALSE(ReadMemoryStatus());
  EXPECT_EQ(RunningSystemVersionLine(), "");
  // The next calls reach the system.
  EXPECT_TRUE(StartProgram("/bin/true", ""));
  EXPECT_TRUE(ReadMemoryStatus());
  EXPECT_EQ(RunningSystemVersionLine().rfind("Linux ", 0), 0u);
}

}  // namespace
}  // namespace calmora
