#include "os/FileSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <utility>

#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FileSystemTest, PatternsMatchAsTheOriginalFileSystemDid) {
  const std::pair<const char*, const char*> matches[] = {
      {"README", "*.*"},        {"a.b.c", "*.*"},       {".", "*.*"},
      {"photo.bmp", "*.bmp"},   {"PHOTO.BMP", "*.bmp"}, {"x.Bmp", "*.BMP"},
      {"a.b.bmp", "*.bmp"},     {"é.txt", "?.txt"},     {"rapport.ÄBC", "*.äbc"},
      {"claims.txt", "c*s.txt"}, {"abc", "a*b*c"},
  };
  for (const auto& [name, pattern] : matches) {
    EXPECT_TRUE(MatchesPattern(name, pattern)) << name << " " << pattern;
  }
  const std::pair<const char*, const char*> misses[] = {
      {"photo.bmpx", "*.bmp"}, {"bmp", "*.bmp"},  {"photo.bm", "*.bmp"},
      {"éé.txt", "?.txt"},     {"abcd", "a*b*c"}, {"notes.txt", "*.bmp"},
  };
  for (const auto& [name, pattern] : misses) {
    EXPECT_FALSE(MatchesPattern(name, pattern)) << name << " " << pattern;
  }
}

class ListFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* file : {"a.bmp", "B.BMP", "c.txt", "noext", ".hidden.bmp"}) {
      WriteFileBytes(dir / file, "x");
    }
    fs::create_directory(dir / "folder.bmp");
    fs::create_directory(dir / "Jane Doe");
    fs::create_directory(dir / ".cache");
    fs::create_symlink(dir / "a.bmp", dir / "link.bmp");
    fs::create_symlink(dir / "gone", dir / "dangling.bmp");
  }
  TempDir dir;
};

TEST_F(ListFolderTest, FilePatternsListPlainFilesOnly) {
  EXPECT_EQ(Sorted(ListFolder(dir.str(), "*.bmp", false)),
            (std::vector<std::string>{"B.BMP", "a.bmp", "link.bmp"}));
  EXPECT_EQ(Sorted(ListFolder(dir.str(), "*.TXT", false)), (std::vector<std::string>{"c.txt"}));
}

TEST_F(ListFolderTest, AllEntriesLeadWithDotAndDotDot) {
  const auto names = ListFolder(dir.str(), "*.*", true);
  ASSERT_GE(names.size(), 2u);
  EXPECT_EQ(names[0], ".");
  EXPECT_EQ(names[1], "..");
  EXPECT_EQ(Sorted(std::vector<std::string>(names.begin() + 2, names.end())),
            (std::vector<std::string>{"B.BMP", "Jane Doe", "a.bmp", "c.txt", "folder.bmp",
                                      "link.bmp", "noext"}));
}

TEST_F(ListFolderTest, AFolderThatIsNotThereListsNothing) {
  EXPECT_TRUE(ListFolder((dir / "missing").string(), "*.*", true).empty());
  EXPECT_TRUE(ListFolder((dir / "c.txt").string(), "*.*", true).empty());
}

TEST(FileSystemTest, CopyFileReplacesAndNamesThePathAtFault) {
  TempDir dir;
  WriteFileBytes(dir / "new.mdb", "new contents");
  WriteFileBytes(dir / "old.mdb", "old contents that are longer");
  CopyFileReplacing((dir / "new.mdb").string(), (dir / "old.mdb").string());
  EXPECT_EQ(ReadFileBytes(dir / "old.mdb"), "new contents");

  try {
    CopyFileReplacing((dir / "none.mdb").string(), (dir / "old.mdb").string());
    ADD_FAILURE();
  } catch (const fs::filesystem_error& e) {
    EXPECT_EQ(e.code(), std::errc::no_such_file_or_directory);
    EXPECT_EQ(e.path1(), dir / "none.mdb");
  }
  try {
    CopyFileReplacing((dir / "new.mdb").string(), (dir / "no folder" / "x.mdb").string());
    ADD_FAILURE();
  } catch (const fs::filesystem_error& e) {
    EXPECT_EQ(e.code(), std::errc::no_such_file_or_directory);
    EXPECT_EQ(e.path1(), dir / "no folder" / "x.mdb");
  }
  EXPECT_EQ(ReadFileBytes(dir / "old.mdb"), "new contents");
}

TEST(FileSystemTest, AttributesOfFoldersFilesAndMissingPaths) {
  TempDir dir;
  WriteFileBytes(dir / "file.txt", "x");
  EXPECT_TRUE(PathIsDirectory(dir.str()));
  EXPECT_TRUE(PathIsDirectory((dir / ".").string()));
  EXPECT_TRUE(PathIsDirectory((dir / "..").string()));
  EXPECT_FALSE(PathIsDirectory((dir / "file.txt").string()));
  EXPECT_TRUE(IsPlainFile((dir / "file.txt").string()));
  EXPECT_FALSE(IsPlainFile(dir.str()));
  EXPECT_FALSE(IsPlainFile((dir / "missing").string()));
  try {
    PathIsDirectory((dir / "missing").string());
    ADD_FAILURE();
  } catch (const fs::filesystem_error& e) {
    EXPECT_EQ(e.code(), std::errc::no_such_file_or_directory);
  }
}

// A copy's progress reports, in order.
struct ProgressLog {
  std::vector<std::pair<std::int64_t, std::int64_t>> calls;
  TreeCopyProgress Callback() {
    return [this](std::int64_t done, std::int64_t total) { calls.emplace_back(done, total); };
  }
};

void ExpectWellFormedProgress(const ProgressLog& log, std::int64_t total) {
  ASSERT_GE(log.calls.size(), 2u);
  EXPECT_EQ(log.calls.front(), std::make_pair(std::int64_t{0}, total));
  EXPECT_EQ(log.calls.back(), std::make_pair(total, total));
  for (std::size_t i = 1; i < log.calls.size(); ++i) {
    EXPECT_LE(log.calls[i - 1].first, log.calls[i].first);
    EXPECT_EQ(log.calls[i].second, total);
  }
}

class CopyTreeTest : public ::testing::Test {
 protected:
  // Jane Doe/ a.doc, .hidden, Visits/2014/{v1.pdf, v2.pdf}, Letters/ (empty)
  void SetUp() override {
    source = dir / "V3" / "Jane Doe";
    fs::create_directories(source / "Visits" / "2014");
    fs::create_directories(source / "Letters");
    WriteFileBytes(source / "a.doc", "letter");
    WriteFileBytes(source / ".hidden", "kept too");
    WriteFileBytes(source / "Visits" / "2014" / "v1.pdf", "one");
    WriteFileBytes(source / "Visits" / "2014" / "v2.pdf", "two");
  }
  TempDir dir;
  fs::path source;
  ProgressLog progress;
};

TEST_F(CopyTreeTest, ANestedTreeGoesToADestinationThatDoesNotExist) {
  const fs::path destination = dir / "2014" / "ClientDocs" / "Jane Doe";
  const auto result = CopyTree(source.string(), destination.string(), progress.Callback());
  EXPECT_TRUE(result.Complete()) << result.firstError.message();
  EXPECT_EQ(result.filesTotal, 4);
  EXPECT_EQ(result.filesNotCopied, 0);
  EXPECT_EQ(ReadFileBytes(destination / "a.doc"), "letter");
  EXPECT_EQ(ReadFileBytes(destination / ".hidden"), "kept too");
  EXPECT_EQ(ReadFileBytes(destination / "Visits" / "2014" / "v1.pdf"), "one");
  EXPECT_EQ(ReadFileBytes(destination / "Visits" / "2014" / "v2.pdf"), "two");
  EXPECT_TRUE(fs::is_directory(destination / "Letters"));
  EXPECT_EQ(fs::last_write_time(destination / "a.doc"), fs::last_write_time(source / "a.doc"));
  ExpectWellFormedProgress(progress, 4);
  EXPECT_EQ(progress.calls.size(), 5u) << "start, three files between, end";
}

TEST_F(CopyTreeTest, ExistingFilesAreReplacedAndOthersKept) {
  const fs::path destination = dir / "2014";
  fs::create_directories(destination / "Visits" / "2014");
  WriteFileBytes(destination / "a.doc", "an older and longer letter");
  WriteFileBytes(destination / "mine.txt", "only in 2014");
  const auto result = CopyTree(source.string(), destination.string(), progress.Callback());
  EXPECT_TRUE(result.Complete()) << result.firstError.message();
  EXPECT_EQ(ReadFileBytes(destination / "a.doc"), "letter");
  EXPECT_EQ(ReadFileBytes(destination / "mine.txt"), "only in 2014");
  EXPECT_EQ(ReadFileBytes(destination / "Visits" / "2014" / "v2.pdf"), "two");
}

TEST_F(CopyTreeTest, AFolderWhereAFileMustGoLosesOnlyThatFile) {
  const fs::path destination = dir / "2014";
  fs::create_directories(destination / "a.doc");
  const auto result = CopyTree(source.string(), destination.string(), progress.Callback());
  EXPECT_FALSE(result.Complete());
  EXPECT_EQ(result.filesNotCopied, 1);
  EXPECT_EQ(result.foldersNotCopied, 0);
  EXPECT_EQ(ReadFileBytes(destination / "Visits" / "2014" / "v2.pdf"), "two");
}

TEST_F(CopyTreeTest, AMissingSourceOrADestinationInsideTheSourceIsRefused) {
  auto result = CopyTree((dir / "nobody").string(), (dir / "out").string(), progress.Callback());
  EXPECT_TRUE(result.sourceUnreadable);
  EXPECT_EQ(result.firstError, std::errc::no_such_file_or_directory);
  EXPECT_FALSE(fs::exists(dir / "out"));
  ExpectWellFormedProgress(progress, 0);

  result = CopyTree(source.string(), (source / "Visits" / "copy").string(), nullptr);
  EXPECT_TRUE(result.sourceUnreadable);
  EXPECT_FALSE(fs::exists(source / "Visits" / "copy"));

  result = CopyTree((source / "a.doc").string(), (dir / "out").string(), nullptr);
  EXPECT_EQ(result.firstError, std::errc::not_a_directory);
}

}  // namespace
}  // namespace calmora
