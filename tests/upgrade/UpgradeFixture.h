#pragma once
// A practice database of the legacy shape, opened as the run's connection
// in a fresh 2014 folder with its conversion log open; a recording front
// end and fixed system facts see every report.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "diagnostics/ConversionLog.h"
#include "jet/Connection.h"
#include "jet/Recordset.h"
#include "platform/modADO.h"
#include "state/RunState.h"
#include "support/FileBytes.h"
#include "support/FixedSystemFacts.h"
#include "support/RecordingFrontEnd.h"
#include "support/TempDir.h"
#include "tools/legacy/LegacySchema.h"
#include "upgrade/modCommon.h"

namespace jet {
// Values in failure messages as kind and default text form.
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
inline jet::Value M(const std::string& decimal) {  // currency
  return jet::Value::Money(*jet::ParseCurrency(decimal));
}
inline jet::Value Null() { return jet::Value(); }
inline std::pair<std::int64_t, std::int64_t> Done(std::int64_t done, std::int64_t total) {
  return {done, total};
}
inline legacy::Row PersonRow(std::int32_t id, const std::string& lastName) {
  return {{"ID", L(id)}, {"LastName", T(lastName)}, {"FirstName", T("Pat")}};
}

class UpgradeFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetRunState();
    calmora::CurrentRun().LogFolder = folder.str();
    ASSERT_TRUE(OpenLogFile());
    SwitchToNewDatabase({});
    legacy::CreateLegacySchema(db());
  }
  void TearDown() override { ResetRunState(); }

  static jet::Connection& db() { return *calmora::CurrentRun().DbConnection; }

  // Replaces the run's database by a new one holding only these tables.
  void SwitchToNewDatabase(const std::vector<legacy::TableDef>& tables) {
    if (calmora::CurrentRun().DbConnection) db().Close();
    database = folder / ("Calmora" + std::to_string(++switches_) + ".mdb");
    jet::Connection::CreateDatabase(database.string(), kPassword);
    ASSERT_TRUE(COMOpenConnection(calmora::CurrentRun().DbConnection, database.string(), "Admin", kPassword));
    for (const legacy::TableDef& t : tables) Exec(legacy::CreateTableSql(t));
  }

  // The three schema steps, in the driver's order, without a report.
  void RunSchemaSteps() {
    COMAddTables();
    COMAddRelationships();
    COMAlterTables();
    ASSERT_TRUE(ui.messages().empty()) << ui.messages().front().text;
  }

  // Rows of a query, the named columns of each (NULL included).
  std::vector<legacy::Row> Select(const std::string& sql, const std::vector<std::string>& columns) {
    jet::Recordset rs;
    rs.Open(sql, db());
    std::vector<legacy::Row> rows;
    for (; !rs.IsEOF(); rs.MoveNext()) {
      legacy::Row& row = rows.emplace_back();
      for (const std::string& c : columns) row[c] = rs.Field(c);
    }
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

  // Exec fails the test on an error; Accepts answers whether the engine
  // took the statement.
  void Exec(const std::string& sql) { ASSERT_NO_THROW(db().Execute(sql)) << sql; }
  bool Accepts(const std::string& sql) {
    try {
      db().Execute(sql);
      return true;
    } catch (const jet::Error&) {
      return false;
    }
  }

  std::string LogBytes() const {
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
      if (entry.path().filename().string().rfind("conversion_", 0) == 0)
        return ReadFileBytes(entry.path());
    ADD_FAILURE() << "no conversion log";
    return {};
  }

  // The error records of a log, each from NUMBER to SEVERITY.
  static std::vector<std::string> Records(const std::string& log) {
    std::vector<std::string> records;
    for (std::size_t at = log.find("NUMBER: "); at != std::string::npos;
         at = log.find("NUMBER: ", at + 1))
      records.push_back(log.substr(at, log.find("\r\n", log.find("SEVERITY: ", at)) + 2 - at));
    return records;
  }

  // Exactly these procedures reported, in order, naming these lines (0:
  // the description handed over without a line), in the box and the log.
  void ExpectReports(const std::vector<std::pair<std::string, int>>& procedureAndLine) const {
    const std::string log = LogBytes();
    const std::vector<std::string> records = Records(log);
    std::vector<std::string> boxes;
    for (const ShownMessage& m : ui.messages())
      if (m.title == "ERROR") boxes.push_back(m.text);
    ASSERT_EQ(boxes.size(), procedureAndLine.size()) << log;
    ASSERT_EQ(records.size(), procedureAndLine.size()) << log;
    for (std::size_t i = 0; i < records.size(); ++i) {
      const auto& [procedure, line] = procedureAndLine[i];
      const std::string &box = boxes[i], &record = records[i];
      SCOPED_TRACE("report " + std::to_string(i + 1) + " of " + procedure);
      // The box: number, blank, described line, the engine's text, location.
      const std::string number = record.substr(8, record.find("\r\n") - 8);
      const std::string prefix =
          line == 0 ? std::string() : "Error on line... " + std::to_string(line) + "\r\n";
      EXPECT_EQ(box.rfind(number + " " + prefix, 0), 0u) << box;
      EXPECT_TRUE(line != 0 || box.find("Error on line") == std::string::npos) << box;
      const std::string location = " (Location:modCommon/" + procedure + ")";
      ASSERT_GE(box.size(), location.size());
      EXPECT_EQ(box.substr(box.size() - location.size()), location) << box;
      // The log: the same description and location, severity 1.
      const std::size_t at = number.size() + 1 + prefix.size();
      const std::string description = box.substr(at, box.find("\r\n", at) - at);
      EXPECT_FALSE(description.empty());
      for (const std::string& part : {"\r\nDESCRIPTION: " + prefix + description + "\r\n",
                                      "\r\nLOCATION: modCommon/" + procedure + "\r\n",
                                      std::string("\r\nSEVERITY: 1\r\n")})
        EXPECT_NE(record.find(part), std::string::npos) << part << " in " << record;
    }
    EXPECT_TRUE(calmora::CurrentRun().log.ErrorsReported);
  }

  void ExpectNoReports() const {
    for (const ShownMessage& m : ui.messages()) ADD_FAILURE() << m.title << ": " << m.text;
    EXPECT_FALSE(calmora::CurrentRun().log.ErrorsReported);
    EXPECT_EQ(LogBytes(), "");
  }

  // The last progress report of a step: {done, total}; {-1, -1} when none.
  std::pair<std::int64_t, std::int64_t> LastProgress(const std::string& step) const {
    std::pair<std::int64_t, std::int64_t> last{-1, -1};
    for (const UiEvent& e : ui.events())
      if (e.kind == UiEvent::Kind::StepProgress && e.step == step) last = {e.done, e.total};
    return last;
  }

  static constexpr char kPassword[] = "wpqzrv274";
  TempDir folder;
  FixedSystemFacts facts;
  RecordingFrontEnd ui;
  std::filesystem::path database;

 private:
  int switches_ = 0;
};

}  // namespace calmora::testing
