#include "os/FileSystem.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <tuple>
#include <utility>

#include "os/FaultInjectingEnv.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::WriteFileBytes;
using Names = std::vector<std::string>;
using Counts = std::tuple<std::int64_t, std::int64_t, std::int64_t>;  // total, not copied, folders
using Files = std::map<std::string, std::string>;  // relative path -> bytes

Files Below(const fs::path& folder) {
  Files files;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file())
      files[fs::relative(it->path(), folder).string()] = ReadFileBytes(it->path());
  return files;
}

TEST(FileSystemTest, PatternsMatchAsTheOriginalFileSystemDid) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"README", "*.*", true},        {"a.b.c", "*.*", true},         {".", "*.*", true},
      {"PHOTO.BMP", "*.bmp", true},   {"x.Bmp", "*.BMP", true},       {"a.b.bmp", "*.bmp", true},
      {"é.txt", "?.txt", true},       {"rapport.ÄBC", "*.äbc", true}, {"abc", "a*b*c", true},
      {"photo.bmpx", "*.bmp", false}, {"bmp", "*.bmp", false},        {"photo.bm", "*.bmp", false},
      {"éé.txt", "?.txt", false},     {"abcd", "a*b*c", false}};
  for (const auto& [name, pattern, matches] : cases)
    EXPECT_EQ(MatchesPattern(name, pattern), matches) << name << " " << pattern;
}

TEST(FileSystemTest, ListingsShowPlainFilesOrEverythingButHiddenNames) {
  testing::TempDir dir;
  for (const char* file : {"a.bmp", "B.BMP", "c.txt", "noext", ".hidden.bmp"})
    WriteFileBytes(dir / file, "x");
  for (const char* folder : {"folder.bmp", "Jane Doe", ".cache"})
    fs::create_directory(dir / folder);
  fs::create_symlink(dir / "a.bmp", dir / "link.bmp");
  fs::create_symlink(dir / "gone", dir / "dangling.bmp");
  // Sorted from the nth name on; the dots come first.
  const auto sorted = [](Names names, std::ptrdiff_t from) {
    std::sort(names.begin() + from, names.end());
    return names;
  };
  EXPECT_EQ(sorted(ListFolder(dir.str(), "*.bmp", false), 0),
            (Names{"B.BMP", "a.bmp", "link.bmp"}));
  EXPECT_EQ(ListFolder(dir.str(), "*.TXT", false), Names{"c.txt"});
  EXPECT_EQ(sorted(ListFolder(dir.str(), "*.*", true), 2),
            (Names{".", "..", "B.BMP", "Jane Doe", "a.bmp", "c.txt", "folder.bmp", "link.bmp",
                   "noext"}));
  EXPECT_TRUE(ListFolder((dir / "missing").string(), "*.*", true).empty());
  EXPECT_TRUE(ListFolder((dir / "c.txt").string(), "*.*", true).empty());
}

// A single-file copy failing call by call is the database replacement's
// test; here: a copy larger than one buffer arrives whole, and a failure
// names the path at fault, telling a missing file from a missing folder.
TEST(FileSystemTest, ASingleFileCopyArrivesWholeOrNamesThePathAtFault) {
  testing::TempDir dir;
  const std::string contents(200000, 'x');
  WriteFileBytes(dir / "picture.bmp", contents);
  FaultInjectingEnv env;
  CopyFileReplacing((dir / "picture.bmp").string(), (dir / "copy.bmp").string());
  EXPECT_EQ(ReadFileBytes(dir / "copy.bmp"), contents);
  EXPECT_GE(env.Calls(Call::Write), 4);
  try {
    CopyFileReplacing((dir / "picture.bmp").string(), (dir / "no folder" / "x.bmp").string());
    ADD_FAILURE();
  } catch (const fs::filesystem_error& e) {
    EXPECT_EQ(e.code(), std::errc::no_such_file_or_directory);
    EXPECT_EQ(e.path1(), dir / "no folder" / "x.bmp");
  }
  EXPECT_TRUE(IsPlainFile((dir / "picture.bmp").string()));
  EXPECT_FALSE(IsPlainFile(dir.str()));
  EXPECT_FALSE(IsPlainFile((dir / "missing").string()));
}

// Jane Doe/ a.doc, .hidden, Visits/2014/{v1.pdf, v2.pdf}, Letters/ (empty)
class CopyTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(source / "Visits" / "2014");
    fs::create_directories(source / "Letters");
    WriteFileBytes(source / "a.doc", std::string(70000, 'a'));  // more than one read
    // A time the copy cannot get by being written in the same clock tick.
    fs::last_write_time(source / "a.doc", fs::last_write_time(source / "a.doc") - std::chrono::hours(50) -
                                              std::chrono::nanoseconds(123456789));
    WriteFileBytes(source / ".hidden", "kept too");
    WriteFileBytes(source / "Visits" / "2014" / "v1.pdf", "one");
    WriteFileBytes(source / "Visits" / "2014" / "v2.pdf", "two");
  }
  TreeCopyResult Copy(const fs::path& from, const fs::path& to) {
    calls.clear();
    return CopyTree(from.string(), to.string(), [this](std::int64_t done, std::int64_t total) {
      calls.emplace_back(done, total);
    });
  }
  testing::TempDir dir;
  fs::path source = dir / "V3" / "Jane Doe";
  std::vector<std::pair<std::int64_t, std::int64_t>> calls;
};

TEST_F(CopyTreeTest, ANestedTreeGoesToAMissingDestinationThenReplacesWhatItFinds) {
  const fs::path destination = dir / "2014" / "ClientDocs" / "Jane Doe";
  auto result = Copy(source, destination);
  EXPECT_TRUE(result.Complete()) << result.firstError.message();
  EXPECT_EQ(Below(destination), Below(source));
  EXPECT_TRUE(fs::is_directory(destination / "Letters"));
  // The source's time, to the nanosecond, as the original platform's copy kept it.
  EXPECT_EQ(fs::last_write_time(destination / "a.doc"), fs::last_write_time(source / "a.doc"));
  // 0 of 4 first, one report after each file, 4 of 4 last.
  const decltype(calls) steps{{0, 4}, {1, 4}, {2, 4}, {3, 4}, {4, 4}};
  EXPECT_EQ(calls, steps);

  // Again over a changed copy: files replaced, others kept, and a folder
  // where a file must go loses only that file.
  WriteFileBytes(destination / "Visits" / "2014" / "v1.pdf", "an older and longer visit");
  WriteFileBytes(destination / "mine.txt", "only in 2014");
  fs::remove(destination / ".hidden");
  fs::create_directory(destination / ".hidden");
  result = Copy(source, destination);
  EXPECT_EQ(Counts(result.filesTotal, result.filesNotCopied, result.foldersNotCopied),
            Counts(4, 1, 0));
  EXPECT_EQ(ReadFileBytes(destination / "Visits" / "2014" / "v1.pdf"), "one");
  EXPECT_EQ(ReadFileBytes(destination / "mine.txt"), "only in 2014");
  EXPECT_EQ(calls, steps);
}

TEST_F(CopyTreeTest, AMissingSourceOrADestinationInsideTheSourceIsRefused) {
  auto result = Copy(dir / "nobody", dir / "out");
  EXPECT_TRUE(result.sourceUnreadable);
  EXPECT_EQ(result.firstError, std::errc::no_such_file_or_directory);
  EXPECT_FALSE(fs::exists(dir / "out"));
  ASSERT_FALSE(calls.empty()) << "a progress window opened is closed again";
  EXPECT_EQ(calls.back(), std::make_pair(std::int64_t{0}, std::int64_t{0}));

  EXPECT_TRUE(Copy(source, source / "Visits" / "copy").sourceUnreadable);
  EXPECT_FALSE(fs::exists(source / "Visits" / "copy"));
  EXPECT_EQ(Copy(source / "a.doc", dir / "out").firstError, std::errc::not_a_directory);
}

// Links are followed as the original platform's copy followed them, except
// a link back into the tree (it would never end) and a link to nothing:
// each of those is one file not copied, with a reason that says so.
TEST_F(CopyTreeTest, LinksAreFollowedExceptBackIntoTheTreeOrToNothing) {
  const fs::path elsewhere = dir / "Other disk" / "Scans";
  fs::create_directories(elsewhere / "2012");
  WriteFileBytes(elsewhere / "2012" / "scan.tif", "scan");
  WriteFileBytes(dir / "Other disk" / "photo.jpg", "photo");
  constexpr char kLoop[] = "A link leads back into the folder being copied";
  // name, link target, first failure (empty: complete), what the copy holds at the link
  const std::tuple<const char*, fs::path, std::string, const char*, const char*> cases[] = {
      {"folder elsewhere", elsewhere, "", "Letters/link/2012/scan.tif", "scan"},
      {"file elsewhere", dir / "Other disk" / "photo.jpg", "", "Letters/link", "photo"},
      {"the tree itself", source, kLoop, "Letters/link", nullptr},
      {"a folder inside", source / "Visits", kLoop, "Letters/link", nullptr},
      {"nothing", dir / "gone", "A link leads to nothing", "Letters/link", nullptr},
  };
  const fs::path link = source / "Letters" / "link";
  for (const auto& [name, target, reason, at, bytes] : cases) {
    SCOPED_TRACE(name);
    fs::remove(link);
    fs::create_symlink(target, link);
    const fs::path destination = dir / "2014" / name;
    const auto result = Copy(source, destination);
    EXPECT_EQ(result.firstError ? result.firstError.message() : "", reason);
    EXPECT_EQ(result.filesNotCopied, reason.empty() ? 0 : 1);
    if (bytes != nullptr) {
      EXPECT_EQ(ReadFileBytes(destination / at), bytes);
    } else {
      EXPECT_FALSE(fs::exists(destination / at));
    }
    // Everything else arrived.
    EXPECT_EQ(ReadFileBytes(destination / "Visits" / "2014" / "v2.pdf"), "two");
    EXPECT_EQ(calls.back().first, calls.back().second);
  }
  // A link elsewhere that leads back to itself is stopped the same way.
  fs::create_directory_symlink(elsewhere, elsewhere / "again");
  fs::remove(link);
  fs::create_directory_symlink(elsewhere, link);
  const auto result = Copy(source, dir / "2014" / "loop");
  EXPECT_EQ(result.filesNotCopied, 1);
  EXPECT_EQ(result.firstError.message(), kLoop);
}

// A folder that cannot be read counts as a file not copied, in the total as
// well: its files were never seen. Refused through the fault seam (root
// reads every folder), and for real for an ordinary user.
TEST_F(CopyTreeTest, AFolderThatCannotBeReadCountsAsNotCopied) {
  {
    FaultInjectingEnv env;
    env.Fail(Call::ReadFolder, 1, Fault::PermissionRefused, "Visits/2014", true);
    const auto result = Copy(source, dir / "seam");
    EXPECT_EQ(result.firstError, std::errc::permission_denied);
    EXPECT_EQ(Counts(result.filesTotal, result.filesNotCopied, result.foldersNotCopied),
              Counts(3, 1, 1));
  }
  if (::geteuid() != 0) {
    fs::permissions(source / "Visits" / "2014", fs::perms::none);
    const auto result = Copy(source, dir / "real");
    fs::permissions(source / "Visits" / "2014", fs::perms::owner_all);
    EXPECT_EQ(result.filesTotal, 3);
    EXPECT_EQ(result.filesNotCopied, 1);
  }
}

// Every call of a tree copy fails in turn. A copy that says it is complete
// holds every file; one that does not says what it left; either way every
// file in the destination is whole.
TEST_F(CopyTreeTest, EachCallFailingInTurnLosesNothingUnsaid) {
  const Files sourceFiles = Below(source);

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
      const Files copied = Below(to);
      for (const auto& [name, bytes] : copied) {
        ASSERT_TRUE(sourceFiles.count(name)) << "a stray file: " << name;
        EXPECT_EQ(bytes, sourceFiles.at(name)) << name;
      }
      if (result.Complete()) {
        EXPECT_EQ(copied, sourceFiles) << "complete, yet files are missing";
        continue;
      }
      ++incomplete[call];
      EXPECT_EQ(result.firstError, ErrorFor(Fault::DiskFull));
      EXPECT_TRUE(result.sourceUnreadable || result.filesNotCopied > 0 ||
                  result.foldersNotCopied > 0);
      EXPECT_LE(copied.size() + static_cast<std::size_t>(result.filesNotCopied),
                sourceFiles.size() + 1);
    }
  }
  EXPECT_GT(runs, 30);
  for (const Call call : {Call::Status, Call::ReadFolder, Call::CreateFolder, Call::OpenForReading,
                          Call::Read, Call::OpenForWriting, Call::Write, Call::Close,
                          Call::SetPermissions, Call::Rename})
    EXPECT_GT(incomplete[call], 0) << NameOf(call) << " never stopped a file";
}

}  // namespace
}  // namespace calmora
