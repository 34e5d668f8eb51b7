#pragma once
// A fresh keyed database in a temporary folder, open on a connection, for
// the engine's tests; the folder goes with the fixture.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>

#include "engine/Connection.h"
#include "engine/Error.h"
#include "engine/Recordset.h"

namespace jet {

// Test output shows values in their text form and kind.
inline void PrintTo(const Value& value, std::ostream* os) {
  static const char* kinds[] = {"Null", "Boolean", "Long", "Double", "Currency", "Date", "Text"};
  *os << kinds[static_cast<int>(value.kind())] << "(" << value.ToText() << ")";
}

}  // namespace jet

namespace jet::testing {

inline constexpr char kPassword[] = "wpqzrv274";

inline std::string ConnectionString(const std::string& path, const std::string& password = kPassword) {
  return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path +
         ";User Id=Admin;Jet OLEDB:Database Password=" + password + ";";
}

class EngineTest : public ::testing::Test {
 protected:
  EngineTest() {
    folder_ = NewFolder();
    path_ = (folder_ / "practice.mdb").string();
    // Deriving a key costs a noticeable time; every test starts from a copy
    // of one new, empty database.
    std::filesystem::copy_file(EmptyDatabase(), path_);
    db_.Open(ConnectionString(path_));
  }

  static std::filesystem::path NewFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "engine-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary folder");
    return pattern;
  }

  static const std::string& EmptyDatabase() {
    static const std::string path = [] {
      static const std::filesystem::path folder = NewFolder();
      std::atexit([] { std::filesystem::remove_all(folder); });
      const std::string file = (folder / "empty.mdb").string();
      Connection::CreateDatabase(file, kPassword);
      return file;
    }();
    return path;
  }
  ~EngineTest() override {
    try {
      if (db_.IsOpen()) db_.Close();
    } catch (...) {
    }
    std::filesystem::remove_all(folder_);
  }

  // Runs SQL that must succeed.
  void Run(const std::string& sql) {
    try {
      db_.Execute(sql);
    } catch (const Error& e) {
      FAIL() << "statement failed: " << e.description() << "\n  " << sql.substr(0, 200);
    }
  }

  // Runs SQL that must fail; returns the error.
  Error Refused(const std::string& sql) {
    try {
      db_.Execute(sql);
    } catch (const Error& e) {
      return e;
    }
    ADD_FAILURE() << "statement was accepted: " << sql.substr(0, 200);
    return Error(0, "", "");
  }

  // The only value of a one-row, one-column query.
  Value Scalar(const std::string& sql) {
    Recordset rs;
    rs.Open(sql, db_);
    EXPECT_EQ(rs.RecordCount(), 1) << sql;
    return rs.IsEOF() ? Value() : rs.FieldAt(0);
  }

  std::filesystem::path folder_;
  std::string path_;
  Connection db_;
};

}  // namespace jet::testing
