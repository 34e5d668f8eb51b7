// The new tables, keys and event columns as any client of the file meets
// them, and the reports of the schema steps when the database is not as
// they expect.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UpgradeFixture.h"
#include "jet/Catalog.h"
#include "upgrade/NewTables.h"

namespace calmora::testing {
namespace {

std::string Url(const std::string& values) {
  return "insert into condition_url (condition_id, name, link) values " + values;
}

// An insert into cms2012 naming every column but CMS_ID, texts at their
// full width; `value` replaces the value of `column`.
std::string FullCmsInsert(const std::string& column = "", const std::string& value = "") {
  std::string names, values;
  for (const auto& c : Cms2012Table().columns) {
    if (c.type == ColumnType::Counter) continue;
    names += (names.empty() ? "" : ", ") + c.name;
    values += (values.empty() ? "" : ", ") +
              (c.name == column                  ? value
               : c.type == ColumnType::Text      ? "'" + std::string(std::size_t(c.width), 'x') + "'"
               : c.type == ColumnType::Date      ? "#3/5/2014#"
               : c.type == ColumnType::YesNo     ? "True"
               : c.type == ColumnType::Currency  ? "12.3456"
                                                 : "1");
  }
  return "insert into cms2012 (" + names + ") values (" + values + ")";
}

class SchemaSteps : public UpgradeFixture {
 protected:
  void SetUp() override {
    UpgradeFixture::SetUp();
    legacy::InsertEvent(db(), {{"patientid", L(1)}, {"date_occurred", D(2014, 3, 5)}});
    RunSchemaSteps();
    legacy::InsertPerson(db(), PersonRow(1, "Aldous"));
    Exec("insert into Condition (ID, patientid, description) values (1, 1, 'sprain')");
    Exec("insert into event (patientid, date_occurred, event_typeid) values (1, #3/5/2014#, 1)");
  }
};

TEST_F(SchemaSteps, Cms2012HoldsEveryColumnAtItsWidthTypeAndNullRule) {
  ExpectNoReports();
  for (const char* step : {"COMAddTables", "COMAddRelationships", "COMAlterTables"})
    EXPECT_EQ(LastProgress(step), "0/0") << step;
  EXPECT_EQ(SchemaCatalog(), nullptr);
  jet::Recordset all;
  all.Open("select * from cms2012", db());
  EXPECT_EQ(all.FieldCount(), 233u) << "the 2014 release's columns, no more, no fewer";
  ASSERT_TRUE(Accepts(FullCmsInsert()));
  EXPECT_EQ(Scalar("select max(CMS_ID) as n from cms2012", "n"), L(1));
  EXPECT_EQ(Scalar("select CHARGES3 from cms2012", "CHARGES3"), M("12.3456"));
  for (const auto& c : Cms2012Table().columns) {
    if (c.type == ColumnType::Text) {
      EXPECT_TRUE(Accepts(FullCmsInsert(c.name, "''"))) << c.name << " zero-length";
      EXPECT_FALSE(Accepts(FullCmsInsert(c.name, "null"))) << c.name << " NULL";
      EXPECT_FALSE(Accepts(FullCmsInsert(c.name, "'" + std::string(std::size_t(c.width) + 1, 'y') + "'")))
          << c.name << " one too long";
    } else if (c.type == ColumnType::Currency || c.type == ColumnType::Integer) {
      EXPECT_TRUE(Accepts(FullCmsInsert(c.name, "null"))) << c.name;
    }
  }
  EXPECT_FALSE(Accepts(FullCmsInsert("DAYS_OR_UNITS1", "2147483648"))) << "INTEGER is 32-bit";
}

TEST_F(SchemaSteps, OtherTablesEventColumnsAndKeysHoldForEveryClient) {
  const std::string temp =
      "insert into statement_temp (person_id, statement_from, statement_to, amount_due, balance, "
      "current_amount, age1, age2, age3, age4) values (";
  // In order: condition_url's counter key, name and link neither empty nor
  // NULL; statement_temp's unique key; the event columns, empty in the row
  // from before them and one that named none; no orphan child, no deleted
  // parent, nothing cascades.
  const std::pair<std::string, bool> statements[] = {
      {Url("(1, 'a', 'b')"), true}, {Url("(1, 'c', 'd')"), true}, {Url("(1, '', 'b')"), false},
      {Url("(1, 'a', '')"), false}, {Url("(1, null, 'b')"), false}, {Url("(1, 'a', null)"), false},
      {Url("(null, 'a', 'b')"), false}, {Url("(9, 'a', 'b')"), false},
      {temp + "1.5, #3/1/2014#, #3/31/2014#, 1, 2, 3, 4, 5, 6, 7)", true},
      {temp + "1.5, #3/1/2014#, #3/31/2014#, 1, 2, 3, 4, 5, 6, 7)", false},
      {temp + "2, null, #3/31/2014#, 1, 2, 3, 4, 5, 6, 7)", false},
      {"select icd_indicator_10 from event", true}, {"update event set icda = null", false},
      {"update event set icdb = '12345678'", false},
      {FullCmsInsert(), true}, {FullCmsInsert("CLIENT_ID", "2"), false},
      {FullCmsInsert("EVENT_ID", "3"), false}, {"delete from Person where ID = 1", false},
      {"delete from event where id = 1", false}, {"delete from Condition where ID = 1", false}};
  for (const auto& [sql, taken] : statements) EXPECT_EQ(Accepts(sql), taken) << sql;
  EXPECT_EQ(Scalar("select max(ID) as n from condition_url", "n"), L(2));
  EXPECT_EQ(Scalar("select person_id from statement_temp", "person_id"), jet::Value::Double(1.5));
  std::vector<std::string> columns{"responsible_party"};
  for (char c = 'a'; c <= 'l'; ++c) columns.push_back(std::string("icd") + c);
  for (const auto& row : Select("select * from event", columns))
    for (const auto& c : columns) EXPECT_EQ(row.at(c), T("")) << c;
  EXPECT_EQ(Count("event") + Count("Person") + Count("Condition") + Count("cms2012"), 2 + 1 + 1 + 1);

  // The keys live in the file: a second connection meets them too.
  CurrentRun().DbConnection->Close();
  jet::Connection other;
  other.Open(BuildConnectionString(database.string(), "Admin", kPassword));
  EXPECT_THROW(other.Execute("delete from Person where ID = 1"), jet::Error);
  EXPECT_THROW(other.Execute(FullCmsInsert("CLIENT_ID", "3")), jet::Error);
}

// A database not as the schema steps expect: what they report, and what
// the schema holds afterwards (statements it takes or refuses, in order).
struct SchemaFault {
  const char* name;
  std::vector<std::string> before;
  std::vector<void (*)()> steps;
  std::vector<Report> reports;
  std::vector<std::pair<std::string, bool>> after;
  friend void PrintTo(const SchemaFault& f, std::ostream* out) { *out << f.name; }
};

void AddTables() { COMAddTables(); }
void AddKeys() { COMAddRelationships(); }
void AlterEvent() { COMAlterTables(); }
void Disconnect() { CurrentRun().DbConnection.reset(); }
void RefuseEmptyCarrier1() {
  jet::Catalog catalog;
  catalog.SetActiveConnection(*CurrentRun().DbConnection);
  catalog.Tables("cms2012").Columns("CARRIER1").Properties(jet::kAllowZeroLength).SetValue(B(false));
}

const SchemaFault kSchemaFaults[] = {
    {"ConditionUrlExists", {"CREATE TABLE condition_url (ID LONG)"}, {AddTables}, {{"COMAddTables", 30}},
     {{"select * from statement_temp", false}, {"select * from cms2012", false}}},
    {"StatementTempExists", {"CREATE TABLE statement_temp (person_id NUMBER)"}, {AddTables},
     {{"COMAddTables", 200}},
     {{"select * from cms2012", false}, {Url("(1, '', 'b')"), false}, {Url("(1, 'a', '')"), false},
      {Url("(1, 'a', 'b')"), true}}},
    {"Cms2012Exists", {"CREATE TABLE cms2012 (CMS_ID COUNTER PRIMARY KEY, CARRIER1 TEXT(41) not null)"},
     {RefuseEmptyCarrier1, AddTables}, {{"COMAddTables", 2540}},
     {{"select * from condition_url", true}, {"select * from statement_temp", true},
      {"select CLIENT_ID from cms2012", false}, {"insert into cms2012 (CARRIER1) values ('')", false},
      {"insert into cms2012 (CARRIER1) values ('x')", true}}},
    {"Cms2012Missing", {ConditionUrlTable().CreateText()}, {AddKeys},
     {{"CreateRelationship", 130}, {"CreateRelationship", 130}},
     {{"insert into Condition (ID, patientid, description) values (1, 1, 'x')", true},
      {Url("(1, 'a', 'b')"), true}, {Url("(7, 'a', 'b')"), false}}},
    {"KeysExist", {}, {AddTables, AddKeys, AddKeys},
     {{"CreateRelationship", 140}, {"CreateRelationship", 140}, {"CreateRelationship", 140}},
     {{Url("(7, 'a', 'b')"), false}}},
    {"EventHasResponsibleParty", {"Alter TABLE event add responsible_party TEXT(30)"}, {AlterEvent},
     {{"COMAlterTables", 30}},
     {{"select icda from event", false}, {"select icd_indicator_10 from event", false}}},
    {"EventHasIcde", {"Alter TABLE event add icde TEXT(7)"}, {AlterEvent}, {{"COMAlterTables", 130}},
     {{"select responsible_party, icda, icdb, icdc, icdd from event", true},
      {"select icdf from event", false}, {"select icdl from event", false},
      {"select icd_indicator_10 from event", false}}},
    {"NoConnection", {}, {Disconnect, AddTables, AlterEvent}, {{"COMAddTables", 30}, {"COMAlterTables", 30}},
     {}},
};

class SchemaStepFault : public UpgradeFixture, public ::testing::WithParamInterface<SchemaFault> {};

TEST_P(SchemaStepFault, IsReportedAtItsLineAndLeavesTheRestAsItWas) {
  for (const std::string& sql : GetParam().before) Exec(sql);
  for (auto step : GetParam().steps) step();
  ExpectReports(GetParam().reports);
  for (const auto& [sql, taken] : GetParam().after) EXPECT_EQ(Accepts(sql), taken) << sql;
}

INSTANTIATE_TEST_SUITE_P(All, SchemaStepFault, ::testing::ValuesIn(kSchemaFaults),
                         [](const auto& p) { return std::string(p.param.name); });

// What the steps keep for the length of a run (the shared catalogue) may
// still refer to the run's connection: the run's reset must release it
// while that connection is there, once per reset.
std::vector<bool> connectionAtRelease;

TEST_F(UpgradeFixture, RunResetReleasesWhatTheStepsKeepBeforeTheConnection) {
  const auto record = [] { connectionAtRelease.push_back(CurrentRun().DbConnection != nullptr); };
  ReleaseAtRunReset(record);
  ReleaseAtRunReset(record);  // given twice, released once
  ResetRunState();
  EXPECT_EQ(CurrentRun().DbConnection, nullptr);
  ResetRunState();  // the next run's reset releases again
  EXPECT_EQ(connectionAtRelease, (std::vector<bool>{true, false}));
}

}  // namespace
}  // namespace calmora::testing
