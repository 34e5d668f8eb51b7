#include "engine/Probe.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "engine/Database.h"
#include "engine/Failure.h"
#include "engine/storage/Sqlite.h"

namespace jet {
namespace {

// Owns a handle opened for the probe alone.
struct ReadOnlyHandle {
  sqlite3* db = nullptr;
  ~ReadOnlyHandle() {
    if (db != nullptr) sqlite3_close_v2(db);
  }
};

// What is at the path, before the storage library is let near it: the
// same refusals a connection makes, so the check and the run agree.
void RefuseWhatIsNoPracticeFile(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0)
    Fail(errno == EACCES ? ErrorCode::CannotOpenFile : ErrorCode::FileNotFound, {path});
  if (!S_ISREG(st.st_mode)) Fail(ErrorCode::CannotOpenFile, {path});
  if (st.st_size == 0) Fail(ErrorCode::FileEmpty, {path});
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail(ErrorCode::CannotOpenFile, {path});
  char header[16] = {};
  in.read(header, sizeof header);
  if (in.gcount() == sizeof header && std::memcmp(header, "SQLite format 3", 16) == 0)
    Fail(ErrorCode::FileUnencrypted, {path});
}

}  // namespace

std::int64_t ProbeDatabase(const std::string& path, const std::string& password) {
  std::int64_t tables = 0;
  Guard(nullptr, [&] {
    RefuseWhatIsNoPracticeFile(path);
    ReadOnlyHandle handle;
    if (sqlite3_open_v2(path.c_str(), &handle.db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
      Fail(ErrorCode::CannotOpenFile, {path});
    sqlite3_extended_result_codes(handle.db, 1);
    if (!password.empty())
      sqlite3_key(handle.db, password.data(), static_cast<int>(password.size()));
    Exec(handle.db, "PRAGMA cipher_page_size = " + std::to_string(kPageSize));
    // The key is only tried by the first read.
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(handle.db, "SELECT count(*) FROM sqlite_master WHERE type = 'table'",
                                -1, &raw, nullptr);
    if (rc == SQLITE_OK) {
      rc = sqlite3_step(raw);
      if (rc == SQLITE_ROW) tables = sqlite3_column_int64(raw, 0);
    }
    sqlite3_finalize(raw);
    if (rc != SQLITE_OK && rc != SQLITE_ROW) {
      const int extended = sqlite3_extended_errcode(handle.db);
      if ((extended & 0xff) == SQLITE_NOTADB || (extended & 0xff) == SQLITE_CORRUPT)
        Fail(ErrorCode::WrongPasswordOrDamaged, {}, extended);
      FailFromStorage(handle.db, rc);
    }
  });
  return tables;
}

}  // namespace jet
