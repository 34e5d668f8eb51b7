#pragma once
// A practice database of the legacy shape, opened as the run's connection
// in a fresh 2014 folder with its conversion log open; a recording front
// end and fixed system facts see every report.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "diagnostics/ConversionLog.h"
#include "jet/Connection.h"
#include "jet/Recordset.h"
#include "platform/modADO.h"
#include "support/LogFixture.h"
#include "tools/legacy/LegacySchema.h"
#include "upgrade/modCommon.h"

namespace jet {
inline void PrintTo(const Value& value, std::ostream* out) {
  static const char* const kKinds[] = {"Null", "Boolean", "Long", "Double", "Currency", "Date",
                                       "Text"};
  *out << kKinds[static_cast<int>(value.kind())] << "(" << value.ToText() << ")";
}
}  // namespace jet

namespace calmora::testing {

inline jet::Value T(const std::string& text) { return jet::Value::Text(text); }
inline jet::Value L(std::int32_t n) { return jet::Value::Long(n); }
inline jet::Value B(bool b) { return jet::Value::Boolean(b); }
inline jet::Value D(int y, int m, int d) { return jet::Value::Date(jet::DateTime{y, m, d, 0, 0, 0}); }
inline jet::Value M(const std::string& decimal) { return jet::Value::Money(*jet::ParseCurrency(decimal)); }
inline jet::Value Null() { return jet::Value(); }
inline legacy::Row PersonRow(std::int32_t id, const std::string& lastName) {
  return {{"ID", L(id)}, {"LastName", T(lastName)}, {"FirstName", T("Pat")}};
}

// One report of a step: where, the line its description names (0: none)
// and words it must hold.
struct Report {
  std::string procedure;
  int line;
  std::vector<std::string> said = {};
};

class UpgradeFixture : public LogFixture {
 protected:
  void SetUp() override {
    LogFixture::SetUp();
    ASSERT_TRUE(OpenLogFile());
    SwitchToNewDatabase({});
    legacy::CreateLegacySchema(db());
  }
  static jet::Connection& db() { return *CurrentRun().DbConnection; }

  // Replaces the run's database by a new one holding only these tables.
  void SwitchToNewDatabase(const std::vector<legacy::TableDef>& tables) {
    if (CurrentRun().DbConnection) db().Close();
    database = folder / ("Calmora" + std::to_string(++switches_) + ".mdb");
    jet::Connection::CreateDatabase(database.string(), kPassword);
    ASSERT_TRUE(COMOpenConnection(CurrentRun().DbConnection, database.string(), "Admin", kPassword));
    for (const legacy::TableDef& t : tables) Exec(legacy::CreateTableSql(t));
  }

  // The three schema steps, in the driver's order, without a report.
  void RunSchemaSteps() {
    COMAddTables();
    COMAddRelationships();
    COMAlterTables();
    ASSERT_TRUE(ui.messages().empty()) << ui.messages().front().text;
  }

  std::vector<legacy::Row> Select(const std::string& sql, const std::vector<std::string>& columns) {
    jet::Recordset rs;
    rs.Open(sql, db());
    std::vector<legacy::Row> rows;
    for (; !rs.IsEOF(); rs.MoveNext())
      for (legacy::Row& row = rows.emplace_back(); const std::string& c : columns) row[c] = rs.Field(c);
    return rows;
  }
  jet::Value Scalar(const std::string& sql, const std::string& column) {
    const auto rows = Select(sql, {column});
    if (rows.size() == 1) return rows.front().at(column);
    ADD_FAILURE() << sql << " gave " << rows.size() << " rows";
    return {};
  }
  std::int64_t Count(const std::string& table) {
    return Scalar("select count(*) as n from " + table, "n").AsLong();
  }
  void Exec(const std::string& sql) { ASSERT_NO_THROW(db().Execute(sql)) << sql; }
  bool Accepts(const std::string& sql) try {
    db().Execute(sql);
    return true;
  } catch (const jet::Error&) {
    return false;
  }

  // Exactly these reports in the log, in order, at severity 1; the first
  // `boxes` of them (all when -1) also in an ERROR box that opens with the
  // number and description and closes with the location.
  void ExpectReports(const std::vector<Report>& reports, int boxes = -1) const {
    const std::string log = LogBytes();
    std::vector<std::string> records;
    for (std::size_t at = log.find("NUMBER: "); at != std::string::npos; at = log.find("NUMBER: ", at + 1))
      records.push_back(log.substr(at, log.find("SEVERITY: ", at) + 13 - at));
    ASSERT_EQ(records.size(), reports.size()) << log;
    ASSERT_EQ(ui.messages().size(), boxes < 0 ? reports.size() : std::size_t(boxes)) << log;
    for (std::size_t i = 0; i < records.size(); ++i) {
      const auto& [procedure, line, said] = reports[i];
      const std::string& record = records[i];
      SCOPED_TRACE("report " + std::to_string(i + 1) + " of " + procedure + ": " + record);
      const std::size_t from = record.find("DESCRIPTION: ") + 13;
      const std::string description = record.substr(from, record.find("\r\nSOURCE: ") - from);
      EXPECT_EQ(description.find("Error on line"), line == 0 ? std::string::npos : 0) << description;
      EXPECT_TRUE(line == 0 || description.starts_with("Error on line... " + std::to_string(line) + "\r\n"));
      for (const std::string& words : said) EXPECT_NE(description.find(words), std::string::npos) << words;
      const std::string location = "modCommon/" + procedure;
      EXPECT_NE(record.find("\r\nLOCATION: " + location + "\r\n"), std::string::npos);
      EXPECT_TRUE(record.ends_with("\r\nSEVERITY: 1\r\n"));
      if (i >= ui.messages().size()) continue;
      const ShownMessage& box = ui.messages()[i];
      EXPECT_EQ(box.title, "ERROR");
      EXPECT_TRUE(box.text.starts_with(record.substr(8, record.find("\r\n") - 8) + " " + description + "\r\n") &&
                  box.text.ends_with(" (Location:" + location + ")")) << box.text;
    }
    EXPECT_TRUE(CurrentRun().log.ErrorsReported);
  }

  void ExpectNoReports() const {
    EXPECT_EQ(ui.messages(), std::vector<ShownMessage>{});
    EXPECT_FALSE(CurrentRun().log.ErrorsReported);
    EXPECT_EQ(LogBytes(), "");
  }

  // The last progress report of a step as "done/total"; empty when none.
  std::string LastProgress(const std::string& step) const {
    std::string last;
    for (const UiEvent& e : ui.events())
      if (e.kind == UiEvent::Kind::StepProgress && e.step == step)
        last = std::to_string(e.done) + "/" + std::to_string(e.total);
    return last;
  }

  static constexpr char kPassword[] = "wpqzrv274";
  std::filesystem::path database;

 private:
  int switches_ = 0;
};

}  // namespace calmora::testing
