// The new tables, keys and event columns as any client of the file meets
// them, and the reports of the schema steps when the database is not as
// they expect.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UpgradeFixture.h"
#include "engine/Catalog.h"
#include "engine/Connection.h"
#include "engine/Error.h"
#include "engine/Recordset.h"
#include "state/RunState.h"
#include "upgrade/NewTables.h"
#include "upgrade/modCommon.h"

namespace calmora::testing {
namespace {

using upgrade::ColumnType;

class SchemaSteps : public UpgradeFixture {
 protected:
  // Executes and answers whether the engine accepted the statement.
  bool Accepts(const std::string& sql) {
    try {
      calmora::Run().DbConnection->Execute(sql);
      return true;
    } catch (const jet::Error&) {
      return false;
    }
  }

  bool HasColumn(const std::string& table, const std::string& column) {
    try {
      Select("select " + column + " from " + table, {column});
      return true;
    } catch (const jet::Error&) {
      return false;
    }
  }

  bool HasTable(const std::string& table) {
    try {
      Count(table);
      return true;
    } catch (const jet::Error&) {
      return false;
    }
  }

  void AddParents() {
    legacy::InsertPerson(*calmora::Run().DbConnection, PersonRow(1, "Aldous"));
    Exec("insert into Condition (ID, patientid, description) values (1, 1, 'sprain')");
    Exec("insert into event (patientid, date_occurred, event_typeid) values (1, #3/5/2014#, 1)");
  }

  // An insert into cms2012 that names every column but CMS_ID: texts of
  // their full width, dates, yes/no values and amounts; `override` replaces
  // the value of one column.
  std::string FullCmsInsert(const std::string& column = "", const std::string& value = "") {
    std::string names, values;
    for (const auto& c : upgrade::Cms2012Table().columns) {
      if (c.type == ColumnType::Counter) continue;
      std::string v;
      switch (c.type) {
        case ColumnType::Text: v = "'" + std::string(static_cast<std::size_t>(c.width), 'x') + "'"; break;
        case ColumnType::Date: v = "#3/5/2014#"; break;
        case ColumnType::YesNo: v = "True"; break;
        case ColumnType::Currency: v = "12.3456"; break;
        default: v = "1"; break;
      }
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
    EXPECT_EQ(LastProgress(step), std::make_pair(std::int64_t{0}, std::int64_t{0})) << step;
  EXPECT_EQ(calmora::Run().SchemaCatalog, nullptr);

  // The columns in their order, as every client of the file sees them.
  std::vector<std::string> names;
  {
    jet::Recordset rs;
    rs.Open("select * from cms2012", *calmora::Run().DbConnection);
    for (std::size_t i = 0; i < rs.FieldCount(); ++i) names.push_back(rs.FieldName(i));
  }
  ASSERT_EQ(names.size(), 233u);
  const std::pair<std::size_t, const char*> landmarks[] = {
      {1, "CMS_ID"},           {6, "LAST_BATCH_DATE"},       {13, "INSURANCE_TYPE1"},
      {85, "ICD_INDICATOR_10"}, {97, "ICDL"},                {101, "SUPPLEMENTAL1"},
      {102, "DATE_SERVICE_FROM_1"}, {104, "PLACE_OF_SERVICE1"}, {190, "RENDERING_NPI5"},
      {218, "RESPONSIBLE_PARTY"}, {233, "PROVIDER_NONNPI"}};
  for (const auto& [position, name] : landmarks) EXPECT_EQ(names[position - 1], name);
  for (std::size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(names[i], upgrade::Cms2012Table().columns[i].name) << i + 1;

  ASSERT_TRUE(Accepts(FullCmsInsert()));
  EXPECT_EQ(Scalar("select max(CMS_ID) as n from cms2012", "n"), L(1));
  EXPECT_EQ(Scalar("select CHARGES3 from cms2012", "CHARGES3"), M("12.3456"));

  int texts = 0, nullable = 0;
  for (const auto& c : upgrade::Cms2012Table().columns) {
    SCOPED_TRACE(c.name);
    if (c.type == ColumnType::Text) {
      ++texts;
      const std::string w = std::string(static_cast<std::size_t>(c.width), 'y');
      EXPECT_TRUE(Accepts(FullCmsInsert(c.name, "''"))) << "zero-length text";
      EXPECT_FALSE(Accepts(FullCmsInsert(c.name, "null"))) << "NULL";
      EXPECT_FALSE(Accepts(FullCmsInsert(c.name, "'" + w + "z'"))) << "one too long";
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

TEST_F(SchemaSteps, ConditionUrlAndStatementTempKeepTheirRules) {
  RunSchemaSteps();
  AddParents();
  EXPECT_TRUE(Accepts("insert into condition_url (condition_id, name, link) values (1, 'a', 'b')"));
  EXPECT_TRUE(Accepts("insert into condition_url (condition_id, name, link) values (1, 'c', 'd')"));
  EXPECT_EQ(Scalar("select max(ID) as n from condition_url", "n"), L(2));
  EXPECT_FALSE(Accepts("insert into condition_url (condition_id, name, link) values (1, '', 'b')"));
  EXPECT_FALSE(Accepts("insert into condition_url (condition_id, name, link) values (1, 'a', '')"));
  EXPECT_FALSE(Accepts("insert into condition_url (condition_id, name, link) values (1, null, 'b')"));
  EXPECT_FALSE(Accepts("insert into condition_url (condition_id, name, link) values (1, 'a', null)"));
  EXPECT_FALSE(Accepts("insert into condition_url (condition_id, name, link) values (null, 'a', 'b')"));

  const std::string amounts = ", #3/1/2014#, #3/31/2014#, 1, 2, 3, 4, 5, 6, 7)";
  const std::string head =
      "insert into statement_temp (person_id, statement_from, statement_to, amount_due, balance, "
      "current_amount, age1, age2, age3, age4) values (";
  EXPECT_TRUE(Accepts(head + "1.5" + amounts));
  EXPECT_FALSE(Accepts(head + "1.5" + amounts)) << "the key is unique";
  EXPECT_EQ(Scalar("select person_id from statement_temp", "person_id"), jet::Value::Double(1.5));
  EXPECT_FALSE(Accepts(head + "2, null, #3/31/2014#, 1, 2, 3, 4, 5, 6, 7)"));
}

TEST_F(SchemaSteps, EventGainsItsColumnsWithEmptyDefaults) {
  legacy::InsertEvent(*calmora::Run().DbConnection, {{"patientid", L(1)}, {"date_occurred", D(2014, 3, 5)}});
  RunSchemaSteps();
  // A row that was there before the columns came, and one that names none.
  Exec("insert into event (patientid, date_occurred, event_typeid) values (1, #3/6/2014#, 1)");
  std::vector<std::string> columns{"responsible_party"};
  for (char c = 'a'; c <= 'l'; ++c) columns.push_back(std::string("icd") + c);
  const auto rows = Select("select * from event", columns);
  ASSERT_EQ(rows.size(), 2u);
  for (const auto& row : rows)
    for (const auto& c : columns) EXPECT_EQ(row.at(c), T("")) << c;
  EXPECT_TRUE(HasColumn("event", "icd_indicator_10"));
  EXPECT_TRUE(Accepts("update event set icdl = '' , responsible_party = ''"));
  EXPECT_FALSE(Accepts("update event set icda = null"));
  EXPECT_FALSE(Accepts("update event set icdb = '12345678'"));
  EXPECT_TRUE(Accepts("update event set icdb = '1234567'"));
}

TEST_F(SchemaSteps, KeysHoldForEveryClientAndNothingCascades) {
  RunSchemaSteps();
  AddParents();
  EXPECT_TRUE(Accepts(FullCmsInsert()));
  EXPECT_FALSE(Accepts(FullCmsInsert("CLIENT_ID", "2"))) << "no such Person";
  EXPECT_FALSE(Accepts(FullCmsInsert("EVENT_ID", "2"))) << "no such event";
  EXPECT_TRUE(Accepts("insert into condition_url (condition_id, name, link) values (1, 'a', 'b')"));
  EXPECT_FALSE(Accepts("insert into condition_url (condition_id, name, link) values (9, 'a', 'b')"));

  EXPECT_FALSE(Accepts("delete from Person where ID = 1"));
  EXPECT_FALSE(Accepts("delete from event where id = 1"));
  EXPECT_FALSE(Accepts("delete from Condition where ID = 1"));
  EXPECT_EQ(Count("Person"), 1);
  EXPECT_EQ(Count("event"), 1);
  EXPECT_EQ(Count("Condition"), 1);
  EXPECT_EQ(Count("cms2012"), 1);
  EXPECT_EQ(Count("condition_url"), 1);

  // The keys live in the file: a second connection meets them too.
  calmora::Run().DbConnection->Close();
  jet::Connection other;
  other.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + database.string() +
             ";User Id=Admin;Jet OLEDB:Database Password=wpqzrv274;");
  EXPECT_THROW(other.Execute("delete from Person where ID = 1"), jet::Error);
  EXPECT_THROW(other.Execute(FullCmsInsert("CLIENT_ID", "3")), jet::Error);
}

TEST_F(SchemaSteps, ExistingConditionUrlStopsTheStepAtLine30) {
  Exec("CREATE TABLE condition_url (ID LONG)");
  COMAddTables();
  ExpectReports({{"COMAddTables", 30}});
  EXPECT_NE(Reports().front().box.find("condition_url"), std::string::npos);
  EXPECT_FALSE(HasTable("statement_temp"));
  EXPECT_FALSE(HasTable("cms2012"));
  EXPECT_TRUE(calmora::Run().log.ErrorsReported);
}

TEST_F(SchemaSteps, ExistingStatementTempStopsTheStepAtLine200) {
  Exec("CREATE TABLE statement_temp (person_id NUMBER)");
  COMAddTables();
  ExpectReports({{"COMAddTables", 200}});
  EXPECT_FALSE(HasTable("cms2012"));
  // condition_url was made and its two text columns refuse a zero-length text.
  AddParents();
  EXPECT_FALSE(Accepts("insert into condition_url (condition_id, name, link) values (1, '', 'b')"));
  EXPECT_FALSE(Accepts("insert into condition_url (condition_id, name, link) values (1, 'a', '')"));
  EXPECT_TRUE(Accepts("insert into condition_url (condition_id, name, link) values (1, 'a', 'b')"));
}

TEST_F(SchemaSteps, ExistingCms2012IsLeftAsItWasAndReportedAtLine2540) {
  Exec("CREATE TABLE cms2012 (CMS_ID COUNTER PRIMARY KEY, CARRIER1 TEXT(41) not null)");
  {
    jet::Catalog catalog;
    catalog.SetActiveConnection(*calmora::Run().DbConnection);
    catalog.Tables("cms2012").Columns("CARRIER1").Properties(jet::kAllowZeroLength).SetValue(
        jet::Value::Boolean(false));
  }
  COMAddTables();
  ExpectReports({{"COMAddTables", 2540}});
  EXPECT_TRUE(HasTable("condition_url"));
  EXPECT_TRUE(HasTable("statement_temp"));
  EXPECT_FALSE(HasColumn("cms2012", "CLIENT_ID"));
  EXPECT_FALSE(Accepts("insert into cms2012 (CARRIER1) values ('')")) << "property untouched";
  EXPECT_TRUE(Accepts("insert into cms2012 (CARRIER1) values ('x')"));
}

TEST_F(SchemaSteps, MissingCms2012FailsBothOfItsKeysAtLine130) {
  Exec(upgrade::ConditionUrlTable().CreateText());
  COMAddRelationships();
  ExpectReports({{"CreateRelationship", 130}, {"CreateRelationship", 130}});
  AddParents();
  EXPECT_TRUE(Accepts("insert into condition_url (condition_id, name, link) values (1, 'a', 'b')"));
  EXPECT_FALSE(Accepts("insert into condition_url (condition_id, name, link) values (7, 'a', 'b')"))
      << "Condition_Urls was still created";
}

TEST_F(SchemaSteps, KeysThatExistAreEachReportedAtLine140) {
  COMAddTables();
  COMAddRelationships();
  ExpectNoReports();
  COMAddRelationships();
  ExpectReports({{"CreateRelationship", 140}, {"CreateRelationship", 140},
                 {"CreateRelationship", 140}});
  AddParents();
  EXPECT_TRUE(Accepts(FullCmsInsert()));
  EXPECT_FALSE(Accepts(FullCmsInsert("CLIENT_ID", "5")));
}

TEST_F(SchemaSteps, EventWithResponsiblePartyStopsAtLine30) {
  Exec("Alter TABLE event add responsible_party TEXT(30)");
  COMAlterTables();
  ExpectReports({{"COMAlterTables", 30}});
  EXPECT_FALSE(HasColumn("event", "icda"));
  EXPECT_FALSE(HasColumn("event", "icd_indicator_10"));
}

TEST_F(SchemaSteps, EventWithIcdeAddsTheColumnsBeforeItAndStopsAtLine130) {
  Exec("Alter TABLE event add icde TEXT(7)");
  COMAlterTables();
  ExpectReports({{"COMAlterTables", 130}});
  for (const char* c : {"responsible_party", "icda", "icdb", "icdc", "icdd"})
    EXPECT_TRUE(HasColumn("event", c)) << c;
  for (const char* c : {"icdf", "icdl", "icd_indicator_10"}) EXPECT_FALSE(HasColumn("event", c)) << c;
}

TEST_F(SchemaSteps, NoConnectionIsReportedNotCrashed) {
  calmora::Run().DbConnection.reset();
  COMAddTables();
  COMAlterTables();
  ExpectReports({{"COMAddTables", 30}, {"COMAlterTables", 30}});
}

}  // namespace
}  // namespace calmora::testing
