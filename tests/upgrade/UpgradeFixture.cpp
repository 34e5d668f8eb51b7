#include "UpgradeFixture.h"

#include <algorithm>
#include <memory>

#include "diagnostics/ConversionLog.h"
#include "engine/Connection.h"
#include "engine/Recordset.h"
#include "platform/modADO.h"
#include "state/RunState.h"
#include "support/FileBytes.h"
#include "upgrade/modCommon.h"

namespace jet {
void PrintTo(const Value& value, std::ostream* out) {
  static const char* const kKinds[] = {"Null", "Boolean", "Long", "Double", "Currency", "Date",
                                       "Text"};
  *out << kKinds[static_cast<int>(value.kind())] << "(" << value.ToText() << ")";
}
}  // namespace jet

namespace calmora::testing {
namespace {

constexpr char kPassword[] = "wpqzrv274";

}  // namespace

void UpgradeFixture::SetUp() {
  ResetRunState();
  database = folder / "Calmora.mdb";
  jet::Connection::CreateDatabase(database.string(), kPassword);
  {
    jet::Connection legacy;
    legacy.Open(BuildConnectionString(database.string(), "Admin", kPassword));
    legacy::CreateLegacySchema(legacy);
    legacy.Close();
  }
  calmora::Run().LogFolder = folder.str();
  ASSERT_TRUE(OpenLogFile());
  ASSERT_TRUE(COMOpenConnection(calmora::Run().DbConnection, database.string(), "Admin", kPassword));
}

void UpgradeFixture::TearDown() { ResetRunState(); }

void UpgradeFixture::SwitchToNewDatabase(const std::vector<legacy::TableDef>& tables) {
  calmora::Run().DbConnection->Close();
  database = folder / ("Calmora" + std::to_string(++switches_) + ".mdb");
  jet::Connection::CreateDatabase(database.string(), kPassword);
  ASSERT_TRUE(COMOpenConnection(calmora::Run().DbConnection, database.string(), "Admin", kPassword));
  for (const legacy::TableDef& t : tables) Exec(legacy::CreateTableSql(t));
}

void UpgradeFixture::RunSchemaSteps() {
  COMAddTables();
  COMAddRelationships();
  COMAlterTables();
  ASSERT_TRUE(Messages().empty()) << Messages().front().text;
}

std::vector<legacy::Row> UpgradeFixture::Select(const std::string& sql,
                                                const std::vector<std::string>& columns) {
  jet::Recordset rs;
  rs.Open(sql, *calmora::Run().DbConnection);
  std::vector<legacy::Row> rows;
  for (; !rs.IsEOF(); rs.MoveNext()) {
    legacy::Row row;
    for (const std::string& c : columns) row[c] = rs.Field(c);
    rows.push_back(std::move(row));
  }
  return rows;
}

jet::Value UpgradeFixture::Scalar(const std::string& sql, const std::string& column) {
  const auto rows = Select(sql, {column});
  if (rows.size() != 1) {
    ADD_FAILURE() << sql << " gave " << rows.size() << " rows";
    return {};
  }
  return rows.front().at(column);
}

std::int64_t UpgradeFixture::Count(const std::string& table) {
  jet::Recordset rs;
  rs.Open("select * from " + table, *calmora::Run().DbConnection);
  return rs.RecordCount();
}

void UpgradeFixture::Exec(const std::string& sql) {
  try {
    calmora::Run().DbConnection->Execute(sql);
  } catch (const std::exception& e) {
    FAIL() << sql << ": " << e.what();
  }
}

std::string UpgradeFixture::LogBytes() const {
  for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
    if (entry.path().filename().string().rfind("conversion_", 0) == 0)
      return ReadFileBytes(entry.path());
  ADD_FAILURE() << "no conversion log";
  return {};
}

std::vector<Report> UpgradeFixture::Reports() const {
  std::vector<Report> reports;
  const std::string log = LogBytes();
  std::vector<std::string> records;
  for (std::size_t at = log.find("NUMBER: "); at != std::string::npos;
       at = log.find("NUMBER: ", at + 1)) {
    const std::size_t end = log.find("SEVERITY: ", at);
    records.push_back(log.substr(at, log.find("\r\n", end) + 2 - at));
  }
  std::vector<ShownMessage> boxes;
  for (const ShownMessage& m : Messages())
    if (m.title == "ERROR") boxes.push_back(m);
  EXPECT_EQ(boxes.size(), records.size()) << "message boxes and log records differ";
  for (std::size_t i = 0; i < std::min(boxes.size(), records.size()); ++i)
    reports.push_back({boxes[i].text, records[i]});
  return reports;
}

void UpgradeFixture::ExpectReports(
    const std::vector<std::pair<std::string, int>>& procedureAndLine) const {
  const auto reports = Reports();
  ASSERT_EQ(reports.size(), procedureAndLine.size()) << LogBytes();
  for (std::size_t i = 0; i < reports.size(); ++i) {
    const auto& [procedure, line] = procedureAndLine[i];
    const Report& r = reports[i];
    SCOPED_TRACE("report " + std::to_string(i + 1) + " of " + procedure);
    // The box: number, blank, described line, the engine's text, location.
    const std::string number = r.logRecord.substr(8, r.logRecord.find("\r\n") - 8);
    // Line 0: a procedure that hands the description over unchanged.
    const std::string prefix =
        line == 0 ? std::string() : "Error on line... " + std::to_string(line) + "\r\n";
    EXPECT_EQ(r.box.rfind(number + " " + prefix, 0), 0u) << r.box;
    if (line == 0) {
      EXPECT_EQ(r.box.find("Error on line"), std::string::npos) << r.box;
    }
    const std::string location = " (Location:modCommon/" + procedure + ")";
    ASSERT_GE(r.box.size(), location.size());
    EXPECT_EQ(r.box.substr(r.box.size() - location.size()), location) << r.box;
    // The log: the same description and location, severity 1.
    EXPECT_NE(r.logRecord.find("\r\nDESCRIPTION: " + prefix), std::string::npos) << r.logRecord;
    EXPECT_NE(r.logRecord.find("\r\nLOCATION: modCommon/" + procedure + "\r\n"),
              std::string::npos)
        << r.logRecord;
    EXPECT_NE(r.logRecord.find("\r\nSEVERITY: 1\r\n"), std::string::npos);
    // The engine's own description follows the line, in box and log alike.
    const std::size_t described = number.size() + 1 + prefix.size();
    const std::string description = r.box.substr(described, r.box.find("\r\n", described) - described);
    EXPECT_FALSE(description.empty());
    EXPECT_NE(r.logRecord.find("\r\nDESCRIPTION: " + prefix + description + "\r\n"),
              std::string::npos)
        << r.logRecord;
  }
  EXPECT_TRUE(calmora::Run().log.ErrorsReported);
}

void UpgradeFixture::ExpectNoReports() const {
  for (const ShownMessage& m : Messages()) ADD_FAILURE() << m.title << ": " << m.text;
  EXPECT_FALSE(calmora::Run().log.ErrorsReported);
  EXPECT_EQ(LogBytes(), "");
}

std::pair<std::int64_t, std::int64_t> UpgradeFixture::LastProgress(const std::string& step) const {
  std::pair<std::int64_t, std::int64_t> last{-1, -1};
  for (const UiEvent& e : ui.events())
    if (e.kind == UiEvent::Kind::StepProgress && e.step == step) last = {e.done, e.total};
  return last;
}

jet::Value T(const std::string& text) { return jet::Value::Text(text); }
jet::Value L(std::int32_t n) { return jet::Value::Long(n); }
jet::Value B(bool b) { return jet::Value::Boolean(b); }
jet::Value D(int year, int month, int day) {
  return jet::Value::Date(jet::DateTime{year, month, day, 0, 0, 0});
}
jet::Value M(const std::string& decimal) { return jet::Value::Money(*jet::ParseCurrency(decimal)); }

legacy::Row PersonRow(std::int32_t id, const std::string& lastName) {
  return {{"ID", L(id)}, {"LastName", T(lastName)}, {"FirstName", T("Pat")}};
}

}  // namespace calmora::testing
