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

class SchemaSteps : public UpgradeFixture {
 protected:
  void AddParents() {
    legacy::InsertPerson(db(), PersonRow(1, "Aldous"));
    Exec("insert into Condition (ID, patientid, description) values (1, 1, 'sprain')");
    Exec("insert into event (patientid, date_occurred, event_typeid) values (1, #3/5/2014#, 1)");
  }

  // An insert into cms2012 naming every column but CMS_ID, texts at their
  // full width; `value` replaces the value of `column`.
  std::string FullCmsInsert(const std::string& column = "", const std::string& value = "") {
    std::string names, values;
    for (const auto& c : Cms2012Table().columns) {
      if (c.type == ColumnType::Counter) continue;
      std::string v = c.type == ColumnType::Text ? "'" + std::string(std::size_t(c.width), 'x') + "'"
                      : c.type == ColumnType::Date     ? "#3/5/2014#"
                      : c.type == ColumnType::YesNo    ? "True"
                      : c.type == ColumnType::Currency ? "12.3456"
                                                       : "1";
      if (c.name == column) v = value;
      names += (names.empty() ? "" : ", ") + c.name;
      values += (values.empty() ? "" : ", ") + v;
    }
    return "insert into cms2012 (" + names + ") values (" + values + ")";
  }
};

TEST_F(SchemaSteps, Cms2012HoldsEveryColumnAtItsWidthTypeAndNullRule) {
  RunSchemaSteps();
  AddParents();
  ExpectNoReports();
  for (const char* step : {"COMAddTables", "COMAddRelationships", "COMAlterTables"})
    EXPECT_EQ(LastProgress(step), Done(0, 0)) << step;
  EXPECT_EQ(SchemaCatalog(), nullptr);

  std::vector<std::string> names;
  {
    jet::Recordset rs;
    rs.Open("select * from cms2012", db());
    for (std::size_t i = 0; i < rs.FieldCount(); ++i) names.push_back(rs.FieldName(i));
  }
  ASSERT_EQ(names.size(), 233u);
  const std::pair<std::size_t, const char*> landmarks[] = {
      {1, "CMS_ID"},           {6, "LAST_BATCH_DATE"},       {13, "INSURANCE_TYPE1"},
      {85, "ICD_INDICATOR_10"}, {97, "ICDL"},                {101, "SUPPLEMENTAL1"},
      {102, "DATE_SERVICE_FROM_1"}, {104, "PLACE_OF_SERVICE1"}, {190, "RENDERING_NPI5"},
      {218, "RESPONSIBLE_PARTY"}, {233, "PROVIDER_NONNPI"}};
  for (const auto& [position, name] : landmarks) EXPECT_EQ(names[position - 1], name);

  ASSERT_TRUE(Accepts(FullCmsInsert()));
  EXPECT_EQ(Scalar("select max(CMS_ID) as n from cms2012", "n"), L(1));
  EXPECT_EQ(Scalar("select CHARGES3 from cms2012", "CHARGES3"), M("12.3456"));
  int texts = 0, nullable = 0;
  for (const auto& c : Cms2012Table().columns) {
    SCOPED_TRACE(c.name);
    if (c.type == ColumnType::Text) {
      ++texts;
      EXPECT_TRUE(Accepts(FullCmsInsert(c.name, "''"))) << "zero-length text";
      EXPECT_FALSE(Accepts(FullCmsInsert(c.name, "null"))) << "NULL";
      const std::string tooLong = "'" + std::string(std::size_t(c.width) + 1, 'y') + "'";
      EXPECT_FALSE(Accepts(FullCmsInsert(c.name, tooLong))) << "one too long";
    } else if (c.type == ColumnType::Currency || c.type == ColumnType::Integer) {
      ++nullable;
      EXPECT_TRUE(Accepts(FullCmsInsert(c.name, "null")));
    }
  }
  EXPECT_EQ(texts, 160);
  EXPECT_EQ(nullable, 14);
  EXPECT_FALSE(Accepts(FullCmsInsert("DAYS_OR_UNITS1", "2147483648"))) << "INTEGER is 32-bit";
  EXPECT_TRUE(Accepts(FullCmsInsert("DAYS_OR_UNITS1", "2147483647")));
}

TEST_F(SchemaSteps, OtherTablesEventColumnsAndKeysHoldForEveryClient) {
  legacy::InsertEvent(db(), {{"patientid", L(1)}, {"date_occurred", D(2014, 3, 5)}});
  RunSchemaSteps();
  AddParents();
  // condition_url: a counter key, name and link neither empty nor NULL.
  EXPECT_TRUE(Accepts(Url("(1, 'a', 'b')")));
  EXPECT_TRUE(Accepts(Url("(1, 'c', 'd')")));
  EXPECT_EQ(Scalar("select max(ID) as n from condition_url", "n"), L(2));
  for (const char* bad : {"(1, '', 'b')", "(1, 'a', '')", "(1, null, 'b')", "(1, 'a', null)",
                          "(null, 'a', 'b')", "(9, 'a', 'b')"})
    EXPECT_FALSE(Accepts(Url(bad))) << bad;

  const std::string head =
      "insert into statement_temp (person_id, statement_from, statement_to, amount_due, balance, "
      "current_amount, age1, age2, age3, age4) values (";
  EXPECT_TRUE(Accepts(head + "1.5, #3/1/2014#, #3/31/2014#, 1, 2, 3, 4, 5, 6, 7)"));
  EXPECT_FALSE(Accepts(head + "1.5, #3/1/2014#, #3/31/2014#, 1, 2, 3, 4, 5, 6, 7)")) << "unique key";
  EXPECT_EQ(Scalar("select person_id from statement_temp", "person_id"), jet::Value::Double(1.5));
  EXPECT_FALSE(Accepts(head + "2, null, #3/31/2014#, 1, 2, 3, 4, 5, 6, 7)"));

  // event: the row from before the columns came and one that names none.
  std::vector<std::string> columns{"responsible_party"};
  for (char c = 'a'; c <= 'l'; ++c) columns.push_back(std::string("icd") + c);
  const auto rows = Select("select * from event", columns);
  ASSERT_EQ(rows.size(), 2u);
  for (const auto& row : rows)
    for (const auto& c : columns) EXPECT_EQ(row.at(c), T("")) << c;
  EXPECT_TRUE(Accepts("select icd_indicator_10 from event"));
  EXPECT_FALSE(Accepts("update event set icda = null"));
  EXPECT_FALSE(Accepts("update event set icdb = '12345678'"));
  EXPECT_TRUE(Accepts("update event set icdb = '1234567'"));

  // The keys: no orphan child, no deleted parent, nothing cascades.
  EXPECT_TRUE(Accepts(FullCmsInsert()));
  EXPECT_FALSE(Accepts(FullCmsInsert("CLIENT_ID", "2"))) << "no such Person";
  EXPECT_FALSE(Accepts(FullCmsInsert("EVENT_ID", "3"))) << "no such event";
  EXPECT_FALSE(Accepts("delete from Person where ID = 1"));
  EXPECT_FALSE(Accepts("delete from event where id = 1"));
  EXPECT_FALSE(Accepts("delete from Condition where ID = 1"));
  for (const char* table : {"Person", "Condition", "cms2012"}) EXPECT_EQ(Count(table), 1) << table;
  EXPECT_EQ(Count("event"), 2);
  EXPECT_EQ(Count("condition_url"), 2);

  // The keys live in the file: a second connection meets them too.
  calmora::CurrentRun().DbConnection->Close();
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
  std::vector<std::pair<std::string, int>> reports;
  std::vector<std::pair<std::string, bool>> after;
  friend void PrintTo(const SchemaFault& f, std::ostream* out) { *out << f.name; }
};

void AddTables() { COMAddTables(); }
void AddKeys() { COMAddRelationships(); }
void AlterEvent() { COMAlterTables(); }
void Disconnect() { calmora::CurrentRun().DbConnection.reset(); }
void RefuseEmptyCarrier1() {
  jet::Catalog catalog;
  catalog.SetActiveConnection(*calmora::CurrentRun().DbConnection);
  catalog.Tables("cms2012").Columns("CARRIER1").Properties(jet::kAllowZeroLength).SetValue(B(false));
}

const SchemaFault kSchemaFaults[] = {
    {"ConditionUrlExists", {"CREATE TABLE condition_url (ID LONG)"}, {AddTables},
     {{"COMAddTables", 30}},
     {{"select * from statement_temp", false}, {"select * from cms2012", false}}},
    {"StatementTempExists", {"CREATE TABLE statement_temp (person_id NUMBER)"}, {AddTables},
     {{"COMAddTables", 200}},
     {{"select * from cms2012", false},
      {Url("(1, '', 'b')"), false}, {Url("(1, 'a', '')"), false},
      {Url("(1, 'a', 'b')"), true}}},
    {"Cms2012Exists", {"CREATE TABLE cms2012 (CMS_ID COUNTER PRIMARY KEY, CARRIER1 TEXT(41) not null)"},
     {RefuseEmptyCarrier1, AddTables}, {{"COMAddTables", 2540}},
     {{"select * from condition_url", true}, {"select * from statement_temp", true},
      {"select CLIENT_ID from cms2012", false},
      {"insert into cms2012 (CARRIER1) values ('')", false},
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
    {"NoConnection", {}, {Disconnect, AddTables, AlterEvent},
     {{"COMAddTables", 30}, {"COMAlterTables", 30}}, {}},
};

class SchemaStepFault : public UpgradeFixture, public ::testing::WithParamInterface<SchemaFault> {};

TEST_P(SchemaStepFault, IsReportedAtItsLineAndLeavesTheRestAsItWas) {
  const SchemaFault& f = GetParam();
  for (const std::string& sql : f.before) Exec(sql);
  for (auto step : f.steps) step();
  ExpectReports(f.reports);
  for (const auto& [sql, taken] : f.after) EXPECT_EQ(Accepts(sql), taken) << sql;
}

INSTANTIATE_TEST_SUITE_P(All, SchemaStepFault, ::testing::ValuesIn(kSchemaFaults),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace calmora::testing
