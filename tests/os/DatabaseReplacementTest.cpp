// Putting a copy of the V3.1 database in place of the 2014 one, on real
// folders: what ends up under which name, whose permissions the copy takes,
// and, with every call of a replacement failing in turn, that nothing is
// lost, nothing is left half-made and the 2014 folder stays as it was.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "os/DatabaseReplacement.h"
#include "os/FaultInjectingEnv.h"
#include "support/FileBytes.h"
#include "support/TempDir.h"

namespace calmora {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;  // name -> bytes
using namespace std::string_literals;

constexpr char kDb[] = "calmora.mdb";

class DatabaseReplacement : public ::testing::Test {
 protected:
  // Both folders afresh, holding these files.
  void Lay(const Files& v31, const Files& v2014) {
    for (const auto& [folder, files] : {std::pair(from, v31), std::pair(to, v2014)}) {
      fs::remove_all(folder);
      fs::create_directory(folder);
      for (const auto& [name, bytes] : files) testing::WriteFileBytes(folder / name, bytes);
    }
  }
  static Files In(const fs::path& folder) {
    Files files;
    for (const auto& entry : fs::directory_iterator(folder))
      files[entry.path().filename().string()] = testing::ReadFileBytes(entry.path());
    return files;
  }
  std::string Replace() { return ReplaceDatabase((from / kDb).string(), (to / kDb).string()); }

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
      {"no 2014 database: nothing to keep", {{kDb, "v31"}, {"calmora.mdb-wal", "v31 log"}}, {}, "",
       {{kDb, "v31"}, {"calmora.mdb-wal", "v31 log"}}},
      // Its log and shared memory belong to the old file: left beside the
      // new one they would be read as the new database's own.
      {"the 2014 database goes to the backup with every side file", {{kDb, "v3\0\xff 1"s}},
       {{kDb, "2014"}, {"calmora.mdb-wal", "2014 log"}, {"calmora.mdb-shm", "2014 shm"}}, "calmora.mdb.bak",
       {{kDb, "v3\0\xff 1"s}, {"calmora.mdb.bak", "2014"}, {"calmora.mdb.bak-wal", "2014 log"},
        {"calmora.mdb.bak-shm", "2014 shm"}}},
      {"an earlier backup, even one side file of it, is never overwritten",
       {{kDb, "v31"}, {"calmora.mdb-journal", "v31 journal"}},
       {{kDb, "2014"}, {"calmora.mdb.bak", "first"}, {"calmora.mdb.bak2-journal", "j2"}}, "calmora.mdb.bak3",
       {{kDb, "v31"}, {"calmora.mdb-journal", "v31 journal"}, {"calmora.mdb.bak", "first"},
        {"calmora.mdb.bak2-journal", "j2"}, {"calmora.mdb.bak3", "2014"}}},
      {"a side file left without its database is kept too", {{kDb, "v31"}}, {{"calmora.mdb-wal", "orphan"}},
       "calmora.mdb.bak", {{kDb, "v31"}, {"calmora.mdb.bak-wal", "orphan"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Lay(c.source, c.before);
    EXPECT_EQ(Replace(), c.backup.empty() ? std::string() : (to / c.backup).string());
    EXPECT_EQ(In(to), c.after);
    EXPECT_EQ(In(from), c.source) << "the V3.1 files are only read";
    // Putting back restores the folder as it was, byte for byte.
    PutBackReplacedDatabase((to / kDb).string(), c.backup.empty() ? "" : (to / c.backup).string());
    EXPECT_EQ(In(to), c.before);
  }
}

// Those of the replaced file, else those of the folder without execute bits.
TEST_F(DatabaseReplacement, TheCopyTakesThePermissionsOfTheFileItReplacesElseOfItsFolder) {
  for (const auto& [replaced, folder, expected] :
       {std::tuple<mode_t, mode_t, mode_t>{0604, 0755, 0604}, {0, 0751, 0640}}) {
    Lay({{kDb, "v31"}}, replaced ? Files{{kDb, "2014"}} : Files{});
    ::chmod((from / kDb).c_str(), 0600);
    if (replaced) ::chmod((to / kDb).c_str(), replaced);
    ::chmod(to.c_str(), folder);
    Replace();
    struct stat st{};
    ASSERT_EQ(::stat((to / kDb).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, expected) << replaced;
  }
}

TEST_F(DatabaseReplacement, ADatabaseNeverReplacesItselfAndNothingChanges) {
  const Files before{{kDb, "2014"}, {"calmora.mdb-wal", "log"}};
  Lay({}, before);
  fs::create_symlink(to / kDb, from / kDb);
  try {
    ADD_FAILURE() << "a database replaced itself: " << Replace();
  } catch (const fs::filesystem_error& e) { EXPECT_EQ(e.code(), std::errc::file_exists); }
  EXPECT_EQ(In(to), before);
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
  std::map<Call, int> calls;
  {
    Lay(source, before);
    FaultInjectingEnv counting;
    Replace();
    for (const Call call : kinds) calls[call] = counting.Calls(call);
  }
  ASSERT_GE(calls[Call::Rename], 4) << "two copies and two moves of two files each";
  int failures = 0;
  for (const auto& [call, count] : calls) {
    for (int nth = 1; nth <= count; ++nth) {
      for (const Fault fault : {Fault::DiskFull, Fault::IoError, Fault::PermissionRefused}) {
        SCOPED_TRACE(std::string(NameOf(call)) + " #" + std::to_string(nth) + ", " +
                     NameOf(fault));
        Lay(source, before);
        FaultInjectingEnv env;
        env.Fail(call, nth, fault);
        try {
          Replace();
          ADD_FAILURE() << "a failed call went unnoticed";
        } catch (const fs::filesystem_error& e) {
          ++failures;
          EXPECT_EQ(e.code(), ErrorFor(fault));
        }
        EXPECT_EQ(In(to), before);
        EXPECT_EQ(In(from), source);
      }
    }
  }
  EXPECT_GE(failures, 3 * calls[Call::Rename]);
}

}  // namespace
}  // namespace calmora
