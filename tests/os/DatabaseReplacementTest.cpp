// Putting a copy of the V3.1 database in place of the 2014 one, on real
// folders: what ends up under which name, whose permissions the copy takes,
// and, with every call of a replacement failing in turn, that nothing is
// lost, nothing is left half-made and the 2014 folder stays as it was.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "os/DatabaseReplacement.h"
#include "os/FaultInjectingEnv.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;  // name -> bytes
using testing::ReadFileBytes;
using testing::WriteFileBytes;

constexpr char kDb[] = "calmora.mdb";

Files FolderFiles(const fs::path& folder) {
  Files files;
  for (const auto& entry : fs::directory_iterator(folder))
    files[entry.path().filename().string()] = ReadFileBytes(entry.path());
  return files;
}

class DatabaseReplacement : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(from);
    fs::create_directory(to);
  }
  void Lay(const fs::path& folder, const Files& files) {
    for (const auto& [name, bytes] : files) WriteFileBytes(folder / name, bytes);
  }
  std::string Source() const { return (from / kDb).string(); }
  std::string Destination() const { return (to / kDb).string(); }

  testing::TempDir dir;
  fs::path from = dir / "v31";
  fs::path to = dir / "2014";
};

TEST_F(DatabaseReplacement, TheCopyTakesThePlaceAndWhatWasThereIsKeptWithItsSideFiles) {
  struct Case {
    const char* name;
    Files source, before;
    std::string backup;  // the name answered, without the folder
    Files after;
  };
  const Case cases[] = {
      {"no 2014 database: nothing to keep",
       {{"calmora.mdb", "v31"}, {"calmora.mdb-wal", "v31 log"}},
       {},
       "",
       {{"calmora.mdb", "v31"}, {"calmora.mdb-wal", "v31 log"}}},
      // Its log and shared memory belong to the old file: left beside the
      // new one they would be read as the new database's own.
      {"the 2014 database goes to the backup with every side file",
       {{"calmora.mdb", "v31"}},
       {{"calmora.mdb", "2014"}, {"calmora.mdb-wal", "2014 log"}, {"calmora.mdb-shm", "2014 shm"}},
       "calmora.mdb.bak",
       {{"calmora.mdb", "v31"},
        {"calmora.mdb.bak", "2014"},
        {"calmora.mdb.bak-wal", "2014 log"},
        {"calmora.mdb.bak-shm", "2014 shm"}}},
      {"an earlier backup, even one side file of it, is never overwritten",
       {{"calmora.mdb", "v31"}, {"calmora.mdb-journal", "v31 journal"}},
       {{"calmora.mdb", "2014"}, {"calmora.mdb.bak", "first"}, {"calmora.mdb.bak2-journal", "j2"}},
       "calmora.mdb.bak3",
       {{"calmora.mdb", "v31"},
        {"calmora.mdb-journal", "v31 journal"},
        {"calmora.mdb.bak", "first"},
        {"calmora.mdb.bak2-journal", "j2"},
        {"calmora.mdb.bak3", "2014"}}},
      {"a side file left without its database is kept too",
       {{"calmora.mdb", "v31"}},
       {{"calmora.mdb-wal", "orphan"}},
       "calmora.mdb.bak",
       {{"calmora.mdb", "v31"}, {"calmora.mdb.bak-wal", "orphan"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(from);
    fs::remove_all(to);
    SetUp();
    Lay(from, c.source);
    Lay(to, c.before);
    const std::string backup = ReplaceDatabase(Source(), Destination());
    EXPECT_EQ(backup, c.backup.empty() ? std::string() : (to / c.backup).string());
    EXPECT_EQ(FolderFiles(to), c.after);
    EXPECT_EQ(FolderFiles(from), c.source) << "the V3.1 files are only read";
  }
}

TEST_F(DatabaseReplacement, TheCopyTakesThePermissionsOfTheFileItReplacesElseOfItsFolder) {
  struct Case {
    const char* name;
    bool replacedFileThere;
    mode_t replaced, folder, expected;
  };
  const Case cases[] = {
      {"those of the replaced file", true, 0604, 0755, 0604},
      {"those of the folder, without execute bits", false, 0, 0751, 0640},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(from);
    fs::remove_all(to);
    SetUp();
    Lay(from, {{kDb, "v31"}});
    ::chmod(Source().c_str(), 0600);
    if (c.replacedFileThere) {
      Lay(to, {{kDb, "2014"}});
      ::chmod(Destination().c_str(), c.replaced);
    }
    ::chmod(to.c_str(), c.folder);
    ReplaceDatabase(Source(), Destination());
    struct stat st{};
    ASSERT_EQ(::stat(Destination().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.expected);
  }
}

TEST_F(DatabaseReplacement, ADatabaseNeverReplacesItselfAndNothingChanges) {
  Lay(to, {{kDb, "2014"}, {"calmora.mdb-wal", "log"}});
  fs::create_symlink(to / kDb, from / kDb);
  try {
    ReplaceDatabase(Source(), Destination());
    ADD_FAILURE() << "a database replaced itself";
  } catch (const fs::filesystem_error& e) {
    EXPECT_EQ(e.code(), std::errc::file_exists);
  }
  EXPECT_EQ(FolderFiles(to), (Files{{kDb, "2014"}, {"calmora.mdb-wal", "log"}}));
}

TEST_F(DatabaseReplacement, PuttingBackRestoresTheReplacedDatabaseByteForByte) {
  // Not text: every byte value, a NUL among them.
  std::string bytes;
  for (int i = 0; i < 3 * 256; ++i) bytes += static_cast<char>(i % 256);
  const Files original{{kDb, bytes}, {"calmora.mdb-wal", bytes.substr(7)}};
  struct Case {
    const char* name;
    Files before;
  };
  const Case cases[] = {{"a database was there", original}, {"none was there", {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(from);
    fs::remove_all(to);
    SetUp();
    Lay(from, {{kDb, "v31"}, {"calmora.mdb-shm", "v31 shm"}});
    Lay(to, c.before);
    const std::string backup = ReplaceDatabase(Source(), Destination());
    PutBackReplacedDatabase(Destination(), backup);
    EXPECT_EQ(FolderFiles(to), c.before);
  }
}

// Every call a replacement makes (it starts with an earlier backup and a
// side file on both sides) fails in turn, with each fault. The old 2014
// database is back in its place whole, the earlier backup untouched,
// nothing staged is left, and V3.1 is only read.
TEST_F(DatabaseReplacement, EveryCallFailingInTurnLeavesThe2014FolderAsItWas) {
  const Files source{{kDb, "v31"}, {"calmora.mdb-wal", "v31 log"}};
  const Files before{{kDb, "2014"}, {"calmora.mdb-wal", "2014 log"}, {"calmora.mdb.bak", "first"}};
  const Call kinds[] = {Call::Status,  Call::OpenForReading, Call::OpenForWriting, Call::Read,
                        Call::Write,   Call::Close,          Call::SetPermissions, Call::Rename};
  const Fault faults[] = {Fault::DiskFull, Fault::IoError, Fault::PermissionRefused};
  std::map<Call, int> calls;
  {
    Lay(from, source);
    Lay(to, before);
    FaultInjectingEnv counting;
    ReplaceDatabase(Source(), Destination());
    for (const Call call : kinds) calls[call] = counting.Calls(call);
  }
  ASSERT_GE(calls[Call::Rename], 4) << "two copies and two moves of two files each";
  int failures = 0;
  for (const Call call : kinds) {
    for (int nth = 1; nth <= calls[call]; ++nth) {
      for (const Fault fault : faults) {
        SCOPED_TRACE(std::string(NameOf(call)) + " #" + std::to_string(nth) + ", " +
                     NameOf(fault));
        fs::remove_all(to);
        fs::create_directory(to);
        Lay(to, before);
        FaultInjectingEnv env;
        env.Fail(call, nth, fault);
        try {
          ReplaceDatabase(Source(), Destination());
          ADD_FAILURE() << "a failed call went unnoticed";
        } catch (const fs::filesystem_error& e) {
          ++failures;
          EXPECT_EQ(e.code(), ErrorFor(fault));
        }
        EXPECT_EQ(FolderFiles(to), before);
        EXPECT_EQ(FolderFiles(from), source);
      }
    }
  }
  EXPECT_GE(failures, 3 * calls[Call::Rename]);
}

}  // namespace
}  // namespace calmora
