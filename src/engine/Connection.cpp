#include "jet/Connection.h"

#include "Database.h"
#include "Failure.h"
#include "storage/Fold.h"

namespace jet {

namespace {

constexpr char kProvider[] = "Microsoft.Jet.OLEDB.4.0";

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

struct Settings {
  std::string provider, dataSource, password;
  bool hasProvider = false;
};

// "Name=Value;" settings in any order; names case-blind, values as written
// (blanks around them trimmed). Unknown names are ignored.
Settings ParseConnectionString(std::string_view text) {
  Settings s;
  while (!text.empty()) {
    const auto end = text.find(';');
    const std::string_view part = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (part.empty()) continue;
    const auto eq = part.find('=');
    if (eq == std::string_view::npos || Trim(part.substr(0, eq)).empty())
      Fail(ErrorCode::ConnectionStringFormat);
    const std::string name = Fold(Trim(part.substr(0, eq)));
    const std::string value(Trim(part.substr(eq + 1)));
    if (name == "provider") {
      s.provider = value;
      s.hasProvider = true;
    } else if (name == "data source") {
      s.dataSource = value;
    } else if (name == "jet oledb:database password") {
      s.password = value;
    }
  }
  return s;
}

}  // namespace

Connection::Connection() = default;

Connection::~Connection() {
  try {
    if (db_) db_->Close();
  } catch (...) {
    // Destruction cannot report; the file stays consistent either way.
  }
}

void Connection::CreateDatabase(const std::string& path, const std::string& password) {
  Guard(nullptr, [&] { Database::Create(path, password); });
}

void Connection::Open(const std::string& connectionString) {
  Guard(&errors_, [&] {
    if (db_) Fail(ErrorCode::ObjectOpen);
    const Settings settings = ParseConnectionString(connectionString);
    if (!settings.hasProvider || !EqualsFolded(settings.provider, kProvider))
      Fail(ErrorCode::ProviderNotFound);
    db_ = Database::Open(settings.dataSource, settings.password);
  });
}

bool Connection::IsOpen() const { return db_ != nullptr; }

void Connection::Close() {
  Guard(&errors_, [&] {
    if (!db_) Fail(ErrorCode::ObjectClosed);
    std::unique_ptr<Database> db = std::move(db_);
    db->Close();
  });
}

void Connection::Execute(const std::string& sql) {
  Guard(&errors_, [&] {
    if (!db_) Fail(ErrorCode::ObjectClosed);
    db_->Execute(sql);
  });
}

void Connection::MakeDurable() {
  Guard(&errors_, [&] {
    if (!db_) Fail(ErrorCode::ObjectClosed);
    db_->MakeDurable();
  });
}

Database& DatabaseOf(Connection& connection) {
  if (!connection.db_) Fail(ErrorCode::ConnectionUnusable);
  return *connection.db_;
}

}  // namespace jet
