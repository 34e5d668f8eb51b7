#pragma once
// A fresh keyed database in a temporary folder, open on a connection, for
// the engine's tests; the folder goes with the fixture.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <strings.h>

#include <filesystem>
#include <functional>
#include <string>

#include "jet/Connection.h"
#include "jet/Error.h"
#include "jet/Recordset.h"
#include "ErrorTable.h"
#include "support/TempDir.h"

namespace jet::testing {

inline constexpr char kPassword[] = "wpqzrv274";

inline std::string ConnectionString(const std::string& path, const std::string& password = kPassword) {
  return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";User Id=Admin;Jet OLEDB:Database Password=" +
         password + ";";
}

class EngineTest : public ::testing::Test {
 protected:
  EngineTest() : path_((folder_ / "practice.mdb").string()) {
    // Deriving a key takes a noticeable time: every test copies one new database.
    static const calmora::testing::TempDir emptyFolder;
    static const std::filesystem::path empty = [] {
      Connection::CreateDatabase((emptyFolder / "empty.mdb").string(), kPassword);
      return emptyFolder / "empty.mdb";
    }();
    std::filesystem::copy_file(empty, path_);
    db_.Open(ConnectionString(path_));
  }
  ~EngineTest() override {
    sqlite3_close_v2(raw_);
    try {
      if (db_.IsOpen()) db_.Close();
    } catch (...) {
    }
  }

  void Run(const std::string& sql) {
    try {
      db_.Execute(sql);
    } catch (const Error& e) {
      FAIL() << "statement failed: " << e.description() << "\n  " << sql.substr(0, 200);
    }
  }

  // The error an action raises. An engine error must be the collection's
  // one entry; an object-model error must leave the collection alone.
  Error Raised(const std::function<void()>& action, bool objectModel, const std::string& what = "") {
    if (objectModel) db_.errors().Replace({ErrorEntry{1, "earlier", kEngineSource, "1", 0}});
    try {
      action();
    } catch (const Error& e) {
      EXPECT_EQ(e.source(), objectModel ? kObjectModelSource : kEngineSource) << what;
      const auto& all = db_.errors();
      EXPECT_TRUE(all.Count() == 1 && all.Item(0).description == (objectModel ? "earlier" : e.description()) &&
                  all.Item(0).number == (objectModel ? 1 : e.number())) << what;
      return e;
    }
    ADD_FAILURE() << "no error: " << what;
    return Error(0, "", "");
  }
  Error EngineError(const std::function<void()>& action) { return Raised(action, false); }
  Error ObjectModelError(const std::function<void()>& action) { return Raised(action, true); }
  // The engine's own number of the last error, as the collection holds it.
  std::string SqlState(const Error& = Error(0, "", "")) {
    return db_.errors().Count() == 1 ? db_.errors().Item(0).sqlState : "none";
  }
  // The error of a statement that must fail; a SELECT is opened as a recordset.
  Error Refused(const std::string& sql) {
    return Raised([&] { ::strncasecmp(sql.c_str(), "select", 6) ? db_.Execute(sql) : Recordset().Open(sql, db_); },
                  false, sql.substr(0, 200));
  }

  // The only value of a one-row, one-column query.
  Value Scalar(const std::string& sql) {
    Recordset rs;
    rs.Open(sql, db_);
    EXPECT_EQ(rs.RecordCount(), 1) << sql;
    return rs.IsEOF() ? Value() : rs.FieldAt(0);
  }
  Value Count(const std::string& fromWhere) { return Scalar("select count(*) from " + fromWhere); }

  // Another program on the file, with only the key and the page size: what
  // the file itself holds and enforces, as of the last durability point.
  sqlite3* Raw() {
    if (raw_ == nullptr) {
      sqlite3_open(path_.c_str(), &raw_);
      sqlite3_key(raw_, kPassword, static_cast<int>(sizeof kPassword - 1));
      sqlite3_exec(raw_, "PRAGMA cipher_page_size = 4096", nullptr, nullptr, nullptr);
    }
    return raw_;
  }
  // What the raw client's statement met: "accepted", or the number of the
  // file's own rule that refused it ("[3464]"), never a lock.
  std::string RawOutcome(const std::string& sql) {
    if (db_.IsOpen()) db_.MakeDurable();
    if (sqlite3_exec(Raw(), sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK) return "accepted";
    const std::string message = sqlite3_errmsg(Raw());
    EXPECT_EQ(sqlite3_errcode(Raw()), SQLITE_CONSTRAINT) << message << "\n  " << sql;
    const auto at = message.find('[');
    return at == std::string::npos ? message : message.substr(at, 6);
  }
  bool RawRefuses(const std::string& sql) { return RawOutcome(sql) != "accepted"; }
  // The first value of a raw query, with its storage class: "integer:-1".
  std::string RawStored(const std::string& sql) {
    if (db_.IsOpen()) db_.MakeDurable();
    sqlite3_stmt* stmt = nullptr;
    std::string out = "no row";
    if (sqlite3_prepare_v2(Raw(), sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW) {
      static const char* kinds[] = {"", "integer", "real", "text", "blob", "null"};
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
      out = std::string(kinds[sqlite3_column_type(stmt, 0)]) + ":" + (text ? text : "NULL");
    }
    sqlite3_finalize(stmt);
    return out;
  }

  calmora::testing::TempDir folder_;
  std::string path_;
  Connection db_;
  sqlite3* raw_ = nullptr;
};

}  // namespace jet::testing
