#include "os/FileSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <tuple>
#include <utility>

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
