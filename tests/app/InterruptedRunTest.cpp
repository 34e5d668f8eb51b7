// The real calmora-import (terminal front end) killed with SIGKILL at many
// points of a conversion, then run again to its end. The kill points are
// what a user could watch: the progress lines printed on a terminal (its
// error stream is a pseudo-terminal here), and the staging copy of the
// database appearing. After every attempt V3.1 is unchanged and every error
// box printed before the kill has its record in the log; after the re-run
// the 2014 database (schema, every table, every row) equals an
// uninterrupted run's, and the first backup is the original 2014 database.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "AppTestSupport.h"
#include "support/FileBytes.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
using testing::FileTree;
using testing::ReadFileBytes;

// The whole database as text, read with the storage library itself: the
// schema in name order, then every table's rows in row order.
std::string DumpDatabase(const fs::path& file) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  const std::string key = fixture::kDatabasePassword;
  sqlite3_key(db, key.data(), static_cast<int>(key.size()));
  std::string dump, tables;
  const auto exec = [&](const std::string& sql, std::string& into) {
    const auto row = [](void* out, int n, char** values, char**) {
      auto& text = *static_cast<std::string*>(out);
      for (int i = 0; i < n; ++i) text += std::string(values[i] ? values[i] : "NULL") + "|";
      text += "\n";
      return 0;
    };
    if (sqlite3_exec(db, sql.c_str(), row, &into, nullptr) != SQLITE_OK)
      into += "failed: " + sql + ": " + sqlite3_errmsg(db) + "\n";
  };
  exec("PRAGMA cipher_page_size = 4096", dump);
  exec("SELECT type, name, sql FROM sqlite_master ORDER BY type, name", dump);
  // One select a table, naming the table in each row.
  exec("SELECT 'SELECT ''' || name || ''', * FROM \"' || name || '\" ORDER BY rowid' "
       "FROM sqlite_master WHERE type = 'table' ORDER BY name", tables);
  for (std::size_t at = 0, end; (end = tables.find("|\n", at)) != std::string::npos; at = end + 2)
    exec(tables.substr(at, end - at), dump);
  sqlite3_close(db);
  return dump;
}

struct RunResult {
  bool killed = false;
  int exitStatus = -1;
  std::vector<std::string> progress;  // every progress line, in order
  std::string output;                 // standard output up to the end or the kill
};

// One run of the real program with one click; `killWhen` is asked after
// every piece of progress (the lines so far) and may end it with SIGKILL.
RunResult RunImport(const fs::path& registry, const fs::path& outputFile,
                    const std::function<bool(const std::vector<std::string>&)>& killWhen) {
  RunResult result;
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  int input[2];
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 || ::pipe(input) != 0) {
    ADD_FAILURE() << "no pseudo-terminal";
    return result;
  }
  const std::string slaveName = ::ptsname(master);
  (void)!::write(input[1], "\n", 1);
  ::close(input[1]);
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(input[0], 0);
    ::dup2(::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    ::dup2(::open(slaveName.c_str(), O_RDWR | O_NOCTTY), 2);
    ::setenv("CALMORA_UI", "terminal", 1);
    ::setenv("CALMORA_REGISTRY", registry.c_str(), 1);
    ::execl(CALMORA_IMPORT_PROGRAM, CALMORA_IMPORT_PROGRAM, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(input[0]);
  std::string pending;
  int status = 0;
  while (::waitpid(child, &status, WNOHANG) != child) {
    pollfd p{master, POLLIN, 0};
    char buffer[4096];
    const ssize_t n = ::poll(&p, 1, 1) > 0 && (p.revents & POLLIN) ? ::read(master, buffer, sizeof buffer) : 0;
    for (ssize_t i = 0; i < n; ++i) {
      if (buffer[i] != '\r' && buffer[i] != '\n') {
        pending += buffer[i];
        continue;
      }
      if (const auto esc = pending.find("\x1b[K"); esc != std::string::npos) pending.erase(esc, 3);
      if (!pending.empty()) result.progress.push_back(pending);
      pending.clear();
    }
    if (!result.killed && killWhen(result.progress)) result.killed = ::kill(child, SIGKILL) == 0;
  }
  ::close(master);
  if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
  result.output = ReadFileBytes(outputFile);
  return result;
}

// A practice large enough that each part takes a while: a few hundred
// claims, and document folders of many files; and an error early in every
// run (a link that leads nowhere), so that each log holds records to keep.
class InterruptedRun : public testing::MachineTest {
 protected:
  void SetUp() override {
    Make({600, 3});
    for (const char* folder : {"ClientDocs/Many Scans", "RelatedResources/Many Forms"}) {
      fs::create_directories(machine.folderV31 / folder);
      for (int i = 0; i < 60; ++i)
        testing::WriteFileBytes(machine.folderV31 / folder / ("page " + std::to_string(i) + ".tif"),
                                std::string(256 * 1024, static_cast<char>('a' + i % 26)));
    }
    fs::create_symlink(root / "nowhere", machine.folderV31 / "ClientDocs/Many Scans/gone.tif");
    fs::remove_all(root / "pristine");
    fs::copy(machine.root, root / "pristine", fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    v31 = FileTree(machine.folderV31);
    original2014 = ReadFileBytes(machine.Database2014());
  }
  bool StagingCopyAppeared() const {
    std::error_code ec;
    for (const char* name : {".calmora.mdb.importing.copying", "calmora.mdb.importing"})
      if (fs::file_size(machine.folder2014 / "Database" / name, ec) > 0 && !ec) return true;
    return false;
  }

  std::map<std::string, std::string> v31;
  std::string original2014;
};

TEST_F(InterruptedRun, KilledAnywhereThenRunAgainEndsAsAnUninterruptedRun) {
  const auto never = [](const auto&) { return false; };
  const RunResult clean = RunImport(machine.registryFile, root / "clean.out", never);
  ASSERT_EQ(clean.exitStatus, 1) << clean.output;  // the link that leads nowhere
  const std::string reference = DumpDatabase(machine.Database2014());
  ASSERT_NE(reference.find("\ncms2012|"), std::string::npos) << reference.substr(0, 2000);

  // Inside each folder copy (a file or more done, not all), each step's
  // start and its row counts, and the last line before the updater starts:
  // at most two lines of each folder copy and three of each step. A line
  // is known by its text and how often it was printed before.
  std::vector<std::pair<std::string, std::function<bool(const std::vector<std::string>&)>>> kills;
  std::map<std::string, int> printed, perPart;
  int folder = 0;
  for (std::size_t i = 0; i < clean.progress.size(); ++i) {
    const std::string& line = clean.progress[i];
    const int occurrence = ++printed[line];
    if (line.starts_with("Copying folder: 0 of")) ++folder;
    const bool folderInside = line.starts_with("Copying folder: ") &&
                              !line.starts_with("Copying folder: 0 of") &&
                              line.find("1 of 1 ") == std::string::npos;
    const bool step = line.starts_with("Step ");
    const std::string part = step ? line.substr(0, line.find(':')) : "folder " + std::to_string(folder);
    const bool last = i + 1 == clean.progress.size();
    if (!(folderInside || step) || (++perPart[part] > (step ? 3 : 2) && !last)) continue;
    kills.emplace_back(line + " (#" + std::to_string(occurrence) + ")",
                       [line, occurrence](const std::vector<std::string>& seen) {
                         return std::count(seen.begin(), seen.end(), line) >= occurrence;
                       });
  }
  kills.emplace_back("the database copy appearing", [this](const auto&) { return StagingCopyAppeared(); });
  ASSERT_GE(kills.size(), 20u) << "too few points; progress seen: " << clean.progress.size();

  int killed = 0;
  for (const auto& [name, when] : kills) {
    SCOPED_TRACE("killed at: " + name);
    FreshMachine();
    const RunResult run = RunImport(machine.registryFile, root / "killed.out", when);
    killed += run.killed;
    EXPECT_EQ(FileTree(machine.folderV31), v31) << "the V3.1 installation changed";
    // Every box shown before the kill had its record written first.
    EXPECT_LE(testing::Occurrences(run.output, "---- ERROR ----"),
              testing::Occurrences(Log(), "SEVERITY: 1\r\n"))
        << Log();

    const RunResult again = RunImport(machine.registryFile, root / "again.out", never);
    EXPECT_EQ(again.exitStatus, 1) << again.output;
    EXPECT_NE(again.output.find("Conversion complete."), std::string::npos);
    EXPECT_EQ(FileTree(machine.folderV31), v31) << "the V3.1 installation changed";
    EXPECT_EQ(ReadFileBytes(machine.Database2014().string() + ".bak"), original2014)
        << "the first backup is not the original 2014 database";
    EXPECT_EQ(DumpDatabase(machine.Database2014()), reference);
  }
  std::cout << "kill points tried: " << kills.size() << ", killed before the end: " << killed << "\n";
  EXPECT_GE(killed, 20);
}

}  // namespace
}  // namespace calmora
