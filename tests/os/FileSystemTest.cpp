#include "os/FileSystem.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <tuple>
#include <utility>

#include "os/FaultInjectingEnv.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;
using Names = std::vector<std::string>;

Names Sorted(Names names, std::size_t from = 0) {
  std::sort(names.begin() + static_cast<std::ptrdiff_t>(from), names.end());
  return names;
}

TEST(FileSystemTest, PatternsMatchAsTheOriginalFileSystemDid) {
  const std::tuple<const char*, const char*, bool> cases[] = {
      {"README", "*.*", true},         {"a.b.c", "*.*", true},        {".", "*.*", true},
      {"PHOTO.BMP", "*.bmp", true},    {"x.Bmp", "*.BMP", true},      {"a.b.bmp", "*.bmp", true},
      {"é.txt", "?.txt", true},        {"rapport.ÄBC", "*.äbc", true}, {"abc", "a*b*c", true},
      {"photo.bmpx", "*.bmp", false},  {"bmp", "*.bmp", false},       {"photo.bm", "*.bmp", false},
      {"éé.txt", "?.txt", false},      {"abcd", "a*b*c", false},
  };
  for (const auto& [name, pattern, matches] : cases) {
    EXPECT_EQ(MatchesPattern(name, pattern), matches) << name << " " << pattern;
  }
}

TEST(FileSystemTest, ListingsShowPlainFilesOrEverythingButHiddenNames) {
  TempDir dir;
  for (const char* file : {"a.bmp", "B.BMP", "c.txt", "noext", ".hidden.bmp"}) {
    WriteFileBytes(dir / file, "x");
  }
  for (const char* folder : {"folder.bmp", "Jane Doe", ".cache"}) fs::create_directory(dir / folder);
  fs::create_symlink(dir / "a.bmp", dir / "link.bmp");
  fs::create_symlink(dir / "gone", dir / "dangling.bmp");

  EXPECT_EQ(Sorted(ListFolder(dir.str(), "*.bmp", false)), (Names{"B.BMP", "a.bmp", "link.bmp"}));
  EXPECT_EQ(ListFolder(dir.str(), "*.TXT", false), Names{"c.txt"});
  EXPECT_EQ(Sorted(ListFolder(dir.str(), "*.*", true), 2),
            (Names{".", "..", "B.BMP", "Jane Doe", "a.bmp", "c.txt", "folder.bmp", "link.bmp",
                   "noext"}));
  EXPECT_TRUE(ListFolder((dir / "missing").string(), "*.*", true).empty());
  EXPECT_TRUE(ListFolder((dir / "c.txt").string(), "*.*", true).empty());
}

TEST(FileSystemTest, SingleFileCopyNamesThePathAtFaultAndPlainFilesAreKnown) {
  TempDir dir;
  WriteFileBytes(dir / "new.mdb", "new contents");
  WriteFileBytes(dir / "old.mdb", "old contents that are longer");
  CopyFileReplacing((dir / "new.mdb").string(), (dir / "old.mdb").string());
  EXPECT_EQ(ReadFileBytes(dir / "old.mdb"), "new contents");

  try {
    CopyFileReplacing((dir / "new.mdb").string(), (dir / "no folder" / "x.mdb").string());
    ADD_FAILURE();
  } catch (const fs::filesystem_error& e) {
    EXPECT_EQ(e.code(), std::errc::no_such_file_or_directory);
    EXPECT_EQ(e.path1(), dir / "no folder" / "x.mdb");
  }
  EXPECT_EQ(ReadFileBytes(dir / "old.mdb"), "new contents");
  EXPECT_TRUE(IsPlainFile((dir / "new.mdb").string()));
  EXPECT_FALSE(IsPlainFile(dir.str()));
  EXPECT_FALSE(IsPlainFile((dir / "missing").string()));
}

class CopyTreeTest : public ::testing::Test {
 protected:
  // Jane Doe/ a.doc, .hidden, Visits/2014/{v1.pdf, v2.pdf}, Letters/ (empty)
  void SetUp() override {
    fs::create_directories(source / "Visits" / "2014");
    fs::create_directories(source / "Letters");
    WriteFileBytes(source / "a.doc", "letter");
    WriteFileBytes(source / ".hidden", "kept too");
    WriteFileBytes(source / "Visits" / "2014" / "v1.pdf", "one");
    WriteFileBytes(source / "Visits" / "2014" / "v2.pdf", "two");
  }
  using Calls = std::vector<std::pair<std::int64_t, std::int64_t>>;
  // 0 of total first, one report after each file, total of total last.
  static Calls Steps(std::int64_t total) {
    Calls steps;
    for (std::int64_t done = 0; done <= total; ++done) steps.emplace_back(done, total);
    return steps;
  }
  TempDir dir;
  fs::path source = dir / "V3" / "Jane Doe";
  Calls calls;
  TreeCopyProgress progress = [this](std::int64_t done, std::int64_t total) {
    calls.emplace_back(done, total);
  };
};

TEST_F(CopyTreeTest, ANestedTreeGoesToAMissingDestinationThenReplacesWhatItFinds) {
  const fs::path destination = dir / "2014" / "ClientDocs" / "Jane Doe";
  auto result = CopyTree(source.string(), destination.string(), progress);
  EXPECT_TRUE(result.Complete()) << result.firstError.message();
  EXPECT_EQ(result.filesTotal, 4);
  EXPECT_EQ(result.filesNotCopied, 0);
  EXPECT_EQ(ReadFileBytes(destination / "a.doc"), "letter");
  EXPECT_EQ(ReadFileBytes(destination / ".hidden"), "kept too");
  EXPECT_EQ(ReadFileBytes(destination / "Visits" / "2014" / "v1.pdf"), "one");
  EXPECT_EQ(ReadFileBytes(destination / "Visits" / "2014" / "v2.pdf"), "two");
  EXPECT_TRUE(fs::is_directory(destination / "Letters"));
  EXPECT_EQ(fs::last_write_time(destination / "a.doc"), fs::last_write_time(source / "a.doc"));
  EXPECT_EQ(calls, Steps(4));
  calls.clear();

  // Again over a changed copy: files replaced, others kept, and a folder
  // where a file must go loses only that file.
  WriteFileBytes(destination / "Visits" / "2014" / "v1.pdf", "an older and longer visit");
  WriteFileBytes(destination / "mine.txt", "only in 2014");
  fs::remove(destination / ".hidden");
  fs::create_directory(destination / ".hidden");
  result = CopyTree(source.string(), destination.string(), progress);
  EXPECT_FALSE(result.Complete());
  EXPECT_EQ(result.filesNotCopied, 1);
  EXPECT_EQ(result.foldersNotCopied, 0);
  EXPECT_EQ(ReadFileBytes(destination / "Visits" / "2014" / "v1.pdf"), "one");
  EXPECT_EQ(ReadFileBytes(destination / "mine.txt"), "only in 2014");
  EXPECT_EQ(calls, Steps(4));
}

TEST_F(CopyTreeTest, AMissingSourceOrADestinationInsideTheSourceIsRefused) {
  auto result = CopyTree((dir / "nobody").string(), (dir / "out").string(), progress);
  EXPECT_TRUE(result.sourceUnreadable);
  EXPECT_EQ(result.firstError, std::errc::no_such_file_or_directory);
  EXPECT_FALSE(fs::exists(dir / "out"));
  ASSERT_FALSE(calls.empty()) << "a progress window opened is closed again";
  EXPECT_EQ(calls.back(), std::make_pair(std::int64_t{0}, std::int64_t{0}));

  result = CopyTree(source.string(), (source / "Visits" / "copy").string(), nullptr);
  EXPECT_TRUE(result.sourceUnreadable);
  EXPECT_FALSE(fs::exists(source / "Visits" / "copy"));
  result = CopyTree((source / "a.doc").string(), (dir / "out").string(), nullptr);
  EXPECT_EQ(result.firstError, std::errc::not_a_directory);
}

}  // namespace
}  // namespace calmora

namespace calmora {
namespace {

// Links are followed as the original platform's copy followed them, except
// a link back into the tree (it would never end) and a link to nothing:
// each of those is one file not copied, with a reason that says so.
TEST_F(CopyTreeTest, LinksAreFollowedExceptBackIntoTheTreeOrToNothing) {
  const fs::path elsewhere = dir / "Other disk" / "Scans";
  fs::create_directories(elsewhere / "2012");
  WriteFileBytes(elsewhere / "2012" / "scan.tif", "scan");
  WriteFileBytes(dir / "Other disk" / "photo.jpg", "photo");

  struct Case {
    const char* name;
    fs::path target;
    std::int64_t notCopied;
    const char* reason;  // of the first failure; nullptr: complete
  };
  const Case cases[] = {
      {"folder elsewhere", elsewhere, 0, nullptr},
      {"file elsewhere", dir / "Other disk" / "photo.jpg", 0, nullptr},
      {"the tree itself", source, 1, "A link leads back into the folder being copied"},
      {"a folder inside", source / "Visits", 1, "A link leads back into the folder being copied"},
      {"nothing", dir / "gone", 1, "A link leads to nothing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path link = source / "Letters" / "link";
    fs::remove(link);
    if (fs::is_directory(c.target)) fs::create_directory_symlink(c.target, link);
    else fs::create_symlink(c.target, link);
    const fs::path destination = dir / "2014" / c.name;
    const auto result = CopyTree(source.string(), destination.string(), progress);
    EXPECT_EQ(result.filesNotCopied, c.notCopied);
    if (c.reason == nullptr) {
      EXPECT_TRUE(result.Complete()) << result.firstError.message();
    } else {
      EXPECT_EQ(result.firstError.message(), c.reason);
      EXPECT_EQ(result.firstError.message().find("link\""), std::string::npos);
    }
    // Everything else arrived, and the link's own files are there when followed.
    EXPECT_EQ(ReadFileBytes(destination / "Visits" / "2014" / "v2.pdf"), "two");
    EXPECT_EQ(calls.back().first, calls.back().second);
    calls.clear();
  }
  EXPECT_EQ(ReadFileBytes(dir / "2014" / "folder elsewhere" / "Letters" / "link" / "2012" /
                          "scan.tif"),
            "scan");
  EXPECT_EQ(ReadFileBytes(dir / "2014" / "file elsewhere" / "Letters" / "link"), "photo");
  EXPECT_FALSE(fs::exists(dir / "2014" / "the tree itself" / "Letters" / "link"));

  // A link elsewhere that leads back to itself is stopped the same way.
  fs::remove(source / "Letters" / "link");
  fs::create_directory_symlink(elsewhere, source / "Letters" / "link");
  fs::create_directory_symlink(elsewhere, elsewhere / "again");
  const auto result = CopyTree(source.string(), (dir / "2014" / "loop").string(), nullptr);
  EXPECT_EQ(result.filesNotCopied, 1);
  EXPECT_EQ(result.firstError.message(), "A link leads back into the folder being copied");
}

// A folder that cannot be read counts as a file not copied, in the total as
// well: its files were never seen. Refused through the fault seam (root
// reads every folder), and for real for an ordinary user.
TEST_F(CopyTreeTest, AFolderThatCannotBeReadCountsAsNotCopied) {
  {
    FaultInjectingEnv env;
    env.Fail(Call::ReadFolder, 1, Fault::PermissionRefused, "Visits/2014", true);
    const auto result = CopyTree(source.string(), (dir / "seam").string(), progress);
    EXPECT_EQ(result.firstError, std::errc::permission_denied);
    EXPECT_EQ(result.filesTotal, 3);
    EXPECT_EQ(result.filesNotCopied, 1);
    EXPECT_EQ(result.foldersNotCopied, 1);
  }
  if (::geteuid() != 0) {
    fs::permissions(source / "Visits" / "2014", fs::perms::none);
    const auto result = CopyTree(source.string(), (dir / "real").string(), nullptr);
    fs::permissions(source / "Visits" / "2014", fs::perms::owner_all);
    EXPECT_EQ(result.filesTotal, 3);
    EXPECT_EQ(result.filesNotCopied, 1);
  }
}

// Single-file copies keep the source's time, as tree copies do; a full disk
// is ENOSPC, for the report's "Disk full".
TEST(FileSystemTest, SingleFileCopiesKeepTheSourceTimeAndAFullDiskSaysSo) {
  TempDir dir;
  WriteFileBytes(dir / "batch.txt", "claims");
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
  fs::last_write_time(dir / "batch.txt", old);
  CopyFileReplacing((dir / "batch.txt").string(), (dir / "copy.txt").string());
  EXPECT_EQ(fs::last_write_time(dir / "copy.txt"), old);

  FaultInjectingEnv env;
  env.Fail(Call::Write, 1, Fault::DiskFull);
  try {
    CopyFileReplacing((dir / "batch.txt").string(), (dir / "full.txt").string());
    ADD_FAILURE();
  } catch (const fs::filesystem_error& e) {
    EXPECT_EQ(e.code(), std::errc::no_space_on_device);
  }
  Names left;
  for (const auto& e : fs::directory_iterator(dir.path())) left.push_back(e.path().filename());
  EXPECT_EQ(Sorted(left), (Names{"batch.txt", "copy.txt"})) << "no partial file";
}

}  // namespace
}  // namespace calmora
