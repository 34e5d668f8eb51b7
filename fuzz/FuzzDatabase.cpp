#include "FuzzDatabase.h"

#include <cstdlib>
#include <filesystem>

namespace calmora::fuzz {
namespace fs = std::filesystem;

namespace {

std::string ConnectionString(const std::string& path) {
  return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path +
         ";User Id=Admin;Jet OLEDB:Database Password=" + FuzzDatabase::kPassword + ";";
}

constexpr const char* kSchema[] = {
    "CREATE TABLE Person (id COUNTER PRIMARY KEY, name TEXT(50), born DATE, active YESNO)",
    ("CREATE TABLE event (id COUNTER PRIMARY KEY, patientid LONG NOT NULL, visits INTEGER, "
     "weight NUMBER, fee CURRENCY, note TEXT(255), icda TEXT(8) DEFAULT '')"),
    "ALTER TABLE event ADD CONSTRAINT fk_person FOREIGN KEY (patientid) REFERENCES Person (id)",
    "INSERT INTO Person (name, born, active) VALUES ('O''Brien', #3/5/2014#, True)",
    "INSERT INTO Person (name, born, active) VALUES ('Müller', #12/31/1999 14:05:00#, False)",
    "INSERT INTO Person (name, born, active) VALUES (null, null, null)",
    "INSERT INTO event (patientid, visits, weight, fee, note) VALUES (1, 3, 72.5, 12.3456, 'x')",
    "INSERT INTO event (patientid, visits, weight, fee, note) VALUES (2, -1, 0, 0, '')",
};

}  // namespace

FuzzDatabase::FuzzDatabase() {
  char pattern[] = "/tmp/calmora-fuzz-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) std::abort();
  folder_ = pattern;
  path_ = folder_ + "/practice.mdb";
  pristine_ = folder_ + "/pristine.mdb";
  jet::Connection::CreateDatabase(pristine_, kPassword);
  {
    jet::Connection c;
    c.Open(ConnectionString(pristine_));
    for (const char* sql : kSchema) {
      try {
        c.Execute(sql);
      } catch (const jet::Error&) {
        // A seed statement the dialect refuses leaves the rest useful.
      }
    }
    c.Close();
  }
  Reset();
}

FuzzDatabase::~FuzzDatabase() {
  connection_.reset();
  std::error_code ec;
  fs::remove_all(folder_, ec);
}

void FuzzDatabase::Reset() {
  connection_.reset();
  for (const char* side : {"", "-wal", "-shm", "-journal"}) {
    std::error_code ec;
    fs::remove(path_ + side, ec);
  }
  fs::copy_file(pristine_, path_);
  connection_ = std::make_unique<jet::Connection>();
  connection_->Open(ConnectionString(path_));
}

}  // namespace calmora::fuzz
