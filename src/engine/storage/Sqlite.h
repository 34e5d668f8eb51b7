#pragma once
// Thin owners of the storage library's handles, and the translation of its
// failures into the engine's errors.
#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace jet {

// How the engine opens every read-write connection. Each connection is used
// by one thread at a time (the window hands the whole run to one worker), so
// the library's per-call connection lock is dropped: it cost a claim copy
// about one instruction in thirty, taken some 1,250 times per row.
inline constexpr int kOpenReadWrite = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;

class Statement {
 public:
  Statement() = default;
  Statement(sqlite3* db, std::string_view sql);  // prepares; fails like Check
  ~Statement();
  Statement(Statement&& other) noexcept;
  Statement& operator=(Statement&& other) noexcept;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  sqlite3_stmt* get() const { return stmt_; }
  // True while a row is available; throws on failure (the statement is reset).
  bool Step();
  void Reset();

  void BindNull(int index);
  void BindInt(int index, std::int64_t value);
  void BindDouble(int index, double value);
  void BindText(int index, std::string_view value);

  std::int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
  std::string Text(int column) const;
  bool IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  sqlite3* db_ = nullptr;
};

// Runs SQL text without results.
void Exec(sqlite3* db, std::string_view sql);

// Throws the engine error for a failed call of the storage library.
[[noreturn]] void FailFromStorage(sqlite3* db, int rc);

// Quotes a name for the storage library's SQL ("a""b").
std::string QuoteName(std::string_view name);
// Quotes a text for the storage library's SQL ('it''s').
std::string QuoteText(std::string_view text);

}  // namespace jet
