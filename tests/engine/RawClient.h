#pragma once
// Another program on the same file: the storage library driven directly,
// with only the key and the page size, to show what the file itself holds
// and enforces.
#include <sqlite3.h>

#include <string>

namespace jet::testing {

class RawClient {
 public:
  RawClient(const std::string& path, const std::string& password) {
    sqlite3_open(path.c_str(), &db_);
    sqlite3_key(db_, password.data(), static_cast<int>(password.size()));
    Exec("PRAGMA cipher_page_size = 4096");
  }
  ~RawClient() { sqlite3_close_v2(db_); }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  // The storage library's message, or "" when the statement succeeded.
  std::string Exec(const std::string& sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
    std::string text = rc == SQLITE_OK ? "" : (message != nullptr ? message : "failed");
    sqlite3_free(message);
    return text;
  }

  // The first column of the first row as text ("NULL" for null), with its
  // storage class: "integer:-1", "text:2014-03-05 00:00:00".
  std::string Stored(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    std::string out = "no row";
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW) {
      static const char* kinds[] = {"", "integer", "real", "text", "blob", "null"};
      const int type = sqlite3_column_type(stmt, 0);
      const auto* text = sqlite3_column_text(stmt, 0);
      out = std::string(kinds[type]) + ":" + (text ? reinterpret_cast<const char*>(text) : "NULL");
    }
    sqlite3_finalize(stmt);
    return out;
  }

 private:
  sqlite3* db_ = nullptr;
};

}  // namespace jet::testing
