// Opening, keying, creating and closing the file, and its durability point.
#include "Database.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "Failure.h"
#include "QueryFunctions.h"

namespace jet {

namespace {

constexpr int kBusyTimeoutMs = 5000;
// The engine's page cache (KiB): a table walked by several statements in a
// row is read and decrypted once rather than each time.
constexpr int kCacheKiB = 64 * 1024;

struct HandleOwner {
  sqlite3* db = nullptr;
  ~HandleOwner() {
    if (db != nullptr) sqlite3_close_v2(db);
  }
  sqlite3* release() { return std::exchange(db, nullptr); }
};

int Finish(sqlite3* db, int rc) {
  if (rc != SQLITE_OK) FailFromStorage(db, rc);
  return rc;
}

}  // namespace

void KeyHandle(sqlite3* db, const std::string& password) {
  if (!password.empty()) {
    sqlite3_key(db, password.data(), static_cast<int>(password.size()));
  }
  Exec(db, "PRAGMA cipher_page_size = " + std::to_string(kPageSize));
}

void InspectFile(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0) {
    if (errno == EACCES) Fail(ErrorCode::CannotOpenFile, {path});
    Fail(ErrorCode::FileNotFound, {path});
  }
  if (!S_ISREG(st.st_mode)) Fail(ErrorCode::CannotOpenFile, {path});
  if (st.st_size == 0) Fail(ErrorCode::FileEmpty, {path});
  std::ifstream in(path, std::ios::binary);
  if (!in) Fail(ErrorCode::CannotOpenFile, {path});
  char header[16] = {};
  in.read(header, sizeof header);
  if (in.gcount() == sizeof header && std::memcmp(header, "SQLite format 3", 16) == 0)
    Fail(ErrorCode::FileUnencrypted, {path});
}

Database::Database(sqlite3* db, std::string path, std::string password)
    : db_(db), path_(std::move(path)), schema_(db) {
  sqlite3_wal_hook(db_, LogCommitted, this);
  readers_ = ReaderPool::Make(path_, [password = std::move(password)](sqlite3* reader) {
    KeyHandle(reader, password);
    sqlite3_busy_timeout(reader, kBusyTimeoutMs);
    RegisterFunctions(reader);
  });
}

Database::~Database() {
  cache_.clear();
  byValue_.clear();
  readers_->Close();
  if (db_ != nullptr) sqlite3_close_v2(db_);
}

std::unique_ptr<Database> Database::Open(const std::string& path, const std::string& password) {
  InspectFile(path);
  HandleOwner owner;
  const int rc = sqlite3_open_v2(path.c_str(), &owner.db, kOpenReadWrite, nullptr);
  if (rc != SQLITE_OK) {
    if (owner.db == nullptr) Fail(ErrorCode::ResourceExceeded);
    Fail(ErrorCode::CannotOpenFile, {path}, sqlite3_extended_errcode(owner.db));
  }
  sqlite3_extended_result_codes(owner.db, 1);
  KeyHandle(owner.db, password);
  // The key is only tried by the first read.
  const int read = sqlite3_exec(owner.db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
  if (read != SQLITE_OK) {
    const int extended = sqlite3_extended_errcode(owner.db);
    if ((extended & 0xff) == SQLITE_NOTADB || (extended & 0xff) == SQLITE_CORRUPT)
      Fail(ErrorCode::WrongPasswordOrDamaged, {}, extended);
    FailFromStorage(owner.db, read);
  }
  sqlite3_busy_timeout(owner.db, kBusyTimeoutMs);
  Exec(owner.db, "PRAGMA journal_mode = WAL");
  Exec(owner.db, "PRAGMA synchronous = NORMAL");
  Exec(owner.db, "PRAGMA cache_size = -" + std::to_string(kCacheKiB));
  RegisterFunctions(owner.db);
  return std::unique_ptr<Database>(new Database(owner.release(), path, password));
}

void Database::Create(const std::string& path, const std::string& password) {
  if (password.empty()) Fail(ErrorCode::PasswordRequired);
  // Claims the name first, so that an existing file is never touched.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd < 0) {
    if (errno == EEXIST) Fail(ErrorCode::DatabaseExists, {path});
    Fail(ErrorCode::CannotOpenFile, {path});
  }
  ::close(fd);
  try {
    HandleOwner owner;
    if (sqlite3_open_v2(path.c_str(), &owner.db, kOpenReadWrite, nullptr) != SQLITE_OK)
      Fail(ErrorCode::CannotOpenFile, {path});
    sqlite3_extended_result_codes(owner.db, 1);
    KeyHandle(owner.db, password);
    Exec(owner.db, "PRAGMA journal_mode = DELETE");
    Exec(owner.db, "PRAGMA user_version = 1");  // writes the first page: the format is fixed
    Finish(owner.db, sqlite3_close(owner.release()));
  } catch (...) {
    std::remove(path.c_str());
    throw;
  }
}

void Database::MakeDurable() {
  EndGroup();
  int log = 0, done = 0;
  const int rc = sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_TRUNCATE, &log, &done);
  if (rc != SQLITE_OK) FailFromStorage(db_, rc);
  logFrames_ = 0;
  nextCheckpoint_ = 0;
  logAllocated_ = 0;
  statementsSinceDurable_ = 0;
}

void Database::Close() {
  if (db_ == nullptr) return;
  EndGroup();
  cache_.clear();
  byValue_.clear();
  readers_->Close();
  sqlite3* db = std::exchange(db_, nullptr);
  HandleOwner owner{db};
  int log = 0, done = 0;
  int rc = sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, &log, &done);
  if (rc != SQLITE_OK) FailFromStorage(db, rc);
  Exec(db, "PRAGMA journal_mode = DELETE");
  rc = sqlite3_close(owner.release());
  if (rc != SQLITE_OK) FailFromStorage(nullptr, rc);
}

}  // namespace jet
