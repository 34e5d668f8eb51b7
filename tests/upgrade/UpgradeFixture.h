#pragma once
// A copied practice database of the legacy shape, opened as the run's
// connection in a fresh 2014 folder with its conversion log open; a
// recording front end and fixed system facts see every report.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "diagnostics/FrontEnd.h"
#include "engine/Value.h"
#include "support/FixedSystemFacts.h"
#include "support/RecordingFrontEnd.h"
#include "support/TempDir.h"
#include "tools/legacy/LegacySchema.h"

namespace jet {
// Values in failure messages as kind and default text form.
void PrintTo(const Value& value, std::ostream* out);
}  // namespace jet

namespace calmora::testing {

// One error report as the user and support see it.
struct Report {
  std::string box;          // the message box text
  std::string logRecord;    // NUMBER: ... SEVERITY: 1, CR LF ends
};

class UpgradeFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Replaces the run's database by a new one holding only these tables.
  void SwitchToNewDatabase(const std::vector<legacy::TableDef>& tables);

  // The three schema steps, in the driver's order.
  void RunSchemaSteps();

  // Rows of a query, the named columns of each (NULL included).
  std::vector<legacy::Row> Select(const std::string& sql, const std::vector<std::string>& columns);
  jet::Value Scalar(const std::string& sql, const std::string& column);
  std::int64_t Count(const std::string& table);
  // Executes SQL on the run's connection, failing the test on an error.
  void Exec(const std::string& sql);

  std::string LogBytes() const;
  std::vector<ShownMessage> Messages() const { return ui.messages(); }
  // The error reports of the run so far: message boxes paired with log records.
  std::vector<Report> Reports() const;
  // Asserts that exactly the given procedures reported, in order, naming
  // the given lines (0: the description handed over without a line), in
  // the box and in the log alike.
  void ExpectReports(const std::vector<std::pair<std::string, int>>& procedureAndLine) const;
  void ExpectNoReports() const;

  // The last progress report of a step: {done, total}; {-1, -1} when none.
  std::pair<std::int64_t, std::int64_t> LastProgress(const std::string& step) const;

  TempDir folder;
  FixedSystemFacts facts;
  RecordingFrontEnd ui;
  std::filesystem::path database;

 private:
  int switches_ = 0;
};

// Short constructors for values.
jet::Value T(const std::string& text);
jet::Value L(std::int32_t n);
jet::Value B(bool b);
jet::Value D(int year, int month, int day);
jet::Value M(const std::string& decimal);  // currency
inline jet::Value Null() { return jet::Value(); }

// A Person row with the given ID.
legacy::Row PersonRow(std::int32_t id, const std::string& lastName);

}  // namespace calmora::testing
