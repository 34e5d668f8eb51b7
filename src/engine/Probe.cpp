#include "jet/Probe.h"

#include "Database.h"
#include "Failure.h"
#include "storage/Sqlite.h"

namespace jet {
namespace {

// Owns a handle opened for the probe alone.
struct ReadOnlyHandle {
  sqlite3* db = nullptr;
  ~ReadOnlyHandle() {
    if (db != nullptr) sqlite3_close_v2(db);
  }
};

}  // namespace

std::int64_t ProbeDatabase(const std::string& path, const std::string& password) {
  std::int64_t tables = 0;
  Guard(nullptr, [&] {
    InspectFile(path);
    ReadOnlyHandle handle;
    if (sqlite3_open_v2(path.c_str(), &handle.db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
      Fail(ErrorCode::CannotOpenFile, {path});
    sqlite3_extended_result_codes(handle.db, 1);
    KeyHandle(handle.db, password);
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
