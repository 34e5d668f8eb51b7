#include "storage/Sqlite.h"

#include <cerrno>

#include <utility>

#include "Failure.h"

namespace jet {

namespace {

// The file name the connection works on, for messages that name the file.
std::string FileOf(sqlite3* db) {
  const char* name = db != nullptr ? sqlite3_db_filename(db, "main") : nullptr;
  return name != nullptr ? name : "";
}

// "[3163] table.column" or "[3201] description": the tags the engine puts
// into its own rules in the file.
bool ReadTag(std::string_view text, int& number, std::string_view& rest) {
  const auto open = text.find('[');
  if (open == std::string_view::npos || text.size() < open + 7 || text[open + 5] != ']')
    return false;
  number = 0;
  for (std::size_t i = open + 1; i < open + 5; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    number = number * 10 + (text[i] - '0');
  }
  rest = text.substr(open + 6);
  if (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  return true;
}

std::vector<std::string> SplitTableColumn(std::string_view qualified) {
  const auto dot = qualified.find('.');
  if (dot == std::string_view::npos) return {std::string(qualified), ""};
  return {std::string(qualified.substr(0, dot)), std::string(qualified.substr(dot + 1))};
}

[[noreturn]] void FailConstraint(int extended, std::string_view message) {
  int number = 0;
  std::string_view rest;
  if (extended == SQLITE_CONSTRAINT_NOTNULL) {
    const auto colon = message.find(": ");
    const std::string_view qualified =
        colon == std::string_view::npos ? std::string_view() : message.substr(colon + 2);
    Fail(ErrorCode::NullNotAllowed, SplitTableColumn(qualified), extended);
  }
  if (extended == SQLITE_CONSTRAINT_PRIMARYKEY || extended == SQLITE_CONSTRAINT_UNIQUE)
    Fail(ErrorCode::Duplicate, {}, extended);
  if (ReadTag(message, number, rest)) {
    switch (number) {
      case 3163: Fail(ErrorCode::TooSmall, SplitTableColumn(rest), extended);
      case 3349: Fail(ErrorCode::Overflow, {}, extended);
      case 3464: Fail(ErrorCode::TypeMismatch, {}, extended);
      case 3314: Fail(ErrorCode::NullNotAllowed, SplitTableColumn(rest), extended);
      case 3315:
        throw Failure::WithDescription(ErrorCode::ZeroLength, std::string(rest), extended);
      case 3201:
        throw Failure::WithDescription(ErrorCode::RelatedRecordRequired, std::string(rest),
                                       extended);
      case 3200:
        throw Failure::WithDescription(ErrorCode::RelatedRecordsExist, std::string(rest),
                                       extended);
      default: break;
    }
  }
  Fail(ErrorCode::Unexpected, {std::string(message)}, extended);
}

}  // namespace

void FailFromStorage(sqlite3* db, int rc) {
  const int lastErrno = errno;
  const int extended = db != nullptr ? sqlite3_extended_errcode(db) : rc;
  const std::string message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  switch (extended & 0xff) {
    case SQLITE_CONSTRAINT: FailConstraint(extended, message);
    case SQLITE_FULL: Fail(ErrorCode::DiskFull, {}, extended);
    case SQLITE_IOERR:
      // This SQLite keeps no errno for the caller; the one its failed call
      // left tells a full disk (a sync, a truncate) from a broken one.
      Fail(lastErrno == ENOSPC || lastErrno == EDQUOT ? ErrorCode::DiskFull
                                                      : ErrorCode::DiskError,
           {}, extended);
    case SQLITE_CORRUPT: Fail(ErrorCode::Damaged, {FileOf(db)}, extended);
    case SQLITE_NOTADB: Fail(ErrorCode::WrongPasswordOrDamaged, {}, extended);
    case SQLITE_BUSY:
    case SQLITE_LOCKED: Fail(ErrorCode::Locked, {}, extended);
    case SQLITE_READONLY: Fail(ErrorCode::ReadOnly, {}, extended);
    case SQLITE_NOMEM: Fail(ErrorCode::ResourceExceeded, {}, extended);
    case SQLITE_TOOBIG: Fail(ErrorCode::TooBig, {}, extended);
    case SQLITE_CANTOPEN: Fail(ErrorCode::CannotOpenFile, {FileOf(db)}, extended);
    default: Fail(ErrorCode::Unexpected, {message}, extended);
  }
}

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db) {
  const int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
  if (rc != SQLITE_OK) {
    sqlite3_finalize(stmt_);
    stmt_ = nullptr;
    FailFromStorage(db, rc);
  }
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement::Statement(Statement&& other) noexcept
    : stmt_(std::exchange(other.stmt_, nullptr)), db_(other.db_) {}

Statement& Statement::operator=(Statement&& other) noexcept {
  if (this != &other) {
    sqlite3_finalize(stmt_);
    stmt_ = std::exchange(other.stmt_, nullptr);
    db_ = other.db_;
  }
  return *this;
}

bool Statement::Step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  sqlite3_reset(stmt_);
  FailFromStorage(db_, rc);
}

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

void Statement::BindNull(int index) { sqlite3_bind_null(stmt_, index); }
void Statement::BindInt(int index, std::int64_t value) { sqlite3_bind_int64(stmt_, index, value); }
void Statement::BindDouble(int index, double value) { sqlite3_bind_double(stmt_, index, value); }
void Statement::BindText(int index, std::string_view value) {
  sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
}

std::string Statement::Text(int column) const {
  const auto* text = sqlite3_column_text(stmt_, column);
  const int bytes = sqlite3_column_bytes(stmt_, column);
  return text != nullptr ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(bytes))
                         : std::string();
}

void Exec(sqlite3* db, std::string_view sql) {
  const std::string text(sql);
  const int rc = sqlite3_exec(db, text.c_str(), nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) FailFromStorage(db, rc);
}

std::string QuoteName(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

std::string QuoteText(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + '\'';
}

}  // namespace jet
