// The statement texts the upgrade sends, run as they stand on a small
// database of the legacy shape, with the results the upgrade relies on.
#include "EngineFixture.h"
#include "LegacyShape.h"

namespace jet::testing {
namespace {

class UpgradeStatements : public EngineTest {
 protected:
  UpgradeStatements() { CreateLegacyTables(db_); }

  std::vector<std::string> FieldNames(const std::string& table) {
    Recordset rs;
    rs.Open("select * from " + table, db_);
    std::vector<std::string> names;
    for (std::size_t i = 0; i < rs.FieldCount(); ++i) names.push_back(rs.FieldName(i));
    return names;
  }
};

TEST_F(UpgradeStatements, NewTablesTakeClaimRowsOfTwoHundredThirtyOneValuesTyped) {
  Run(kCreateConditionUrl);
  Run(CreateCms2012());
  const auto names = FieldNames("cms2012");
  ASSERT_EQ(names.size(), 233u);
  for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(names[i], Cms2012Columns()[i].name);
  EXPECT_EQ(FieldNames("condition_url"), (std::vector<std::string>{"ID", "condition_id", "name", "link"}));

  Run(CmsInsert(1, 1));
  Run(CmsInsert(1, 1, "null"));
  Recordset rs;
  rs.Open("Select * from cms2012", db_, CursorType::Static, LockType::ReadOnly);
  ASSERT_EQ(rs.RecordCount(), 2);
  const std::pair<const char*, Value> stored[] = {
      {"CMS_ID", Value::Long(1)}, {"client_id", Value::Long(1)}, {"DATE_OF_THERAPY", Value::Date({2014, 3, 5})},
      {"PATIENT_DOB", Value::Date({1961, 7, 21})}, {"LAST_BATCH_DATE", Value::Null()},
      {"QUEUED_FOR_BATCH", Value::Boolean(true)}, {"INSURANCE_TYPE3", Value::Boolean(false)},
      {"PATIENT_LNAME", Value::Text("O'BRIEN-SMITHFI")}, {"PATIENT_ZIP_CODE", Value::Text("12345-    ")},
      {"ICDA", Value::Text("724.2")}, {"ICDL", Value::Text("")}, {"CHARGES6", Value::Money(Currency{125000})},
      {"DAYS_OR_UNITS1", Value::Long(3)}, {"PROVIDER_NONNPI", Value::Text("X")},
  };
  for (const auto& [column, value] : stored) EXPECT_EQ(rs.Field(column), value) << column;
  rs.MoveNext();
  EXPECT_EQ(rs.Field("CMS_ID"), Value::Long(2));
  EXPECT_EQ(rs.Field("DATE_OF_THERAPY"), Value::Null());
}

TEST_F(UpgradeStatements, EventExtensionGivesOldAndNewRowsTheDefaultsAndTheUpdatesRun) {
  Run("insert into event (patientid, date_occurred) values (7, #1/2/2013#)");
  for (const auto& sql : AlterEventStatements()) Run(sql);
  Run("insert into event (patientid, date_occurred, event_typeid) values (7, #3/5/2014#, 3)");
  for (const std::string id : {"1", "2"}) {
    for (const std::string column : {"responsible_party", "icda", "ICDL"})
      EXPECT_EQ(Scalar("select " + column + " from event where id = " + id), Value::Text(""));
    EXPECT_EQ(Scalar("select icd_indicator_10 from event where id = " + id), Value::Boolean(false));
  }
  EXPECT_EQ(Refused("Alter TABLE event add ICDA TEXT(7) default \"\" not null").description(),
            "Field 'ICDA' already exists in table 'event'.");
  EXPECT_EQ(Refused("Update Event set icda = null where id = 1").description(),
            "The field 'event.icda' cannot contain a Null value because the Required property "
            "for this field is set to True.  Enter a value in this field.");
  Run("Update Event set icda = '724.2' where id = 1");
  EXPECT_EQ(Scalar("select ICDA from event where ID = 1"), Value::Text("724.2"));
  EXPECT_EQ(Refused("Update Event set icdb = 'E8497.123' where id = 1").number(), -2147467259);  // 8 > 7
  Run("insert into conv_hcfa_info (client_id, Carrier_City) values (1, 'Ames')");
  Run("insert into conv_hcfa_info (client_id) values (2)");
  Run("Update conv_hcfa_info set CARRIER_CITY = '' where CARRIER_CITY is null");
  EXPECT_EQ(Scalar("select count(*) from conv_hcfa_info where carrier_city = ''"), Value::Long(1));
  EXPECT_EQ(Scalar("select carrier_city from conv_hcfa_info where client_id = 1"), Value::Text("Ames"));
}

TEST_F(UpgradeStatements, EventLinkingStatementsAndFilterWork) {
  for (const auto& sql : AlterEventStatements()) Run(sql);
  for (const char* event : {"#3/5/2014#, 1", "#3/6/2014#, 1", "#3/5/2014#, 2"})
    Run(std::string("insert into event (patientid, date_occurred, event_typeid) values (4, ") + event + ")");
  for (const char* claim : {"date_of_injury) values (4, #3/5/2014#", "date_of_injury) values (9, #4/1/2014#",
                            "event_id) values (4, 1"})
    Run(std::string("insert into conv_hcfa_info (client_id, ") + claim + ")");

  Recordset claims, events, maxId, check;
  claims.Open("Select * from conv_hcfa_info where event_id is null", db_, CursorType::Static,
              LockType::Optimistic);
  ASSERT_EQ(claims.RecordCount(), 2);
  // A patient with several events: filtered by the date of injury.
  events.Open("select id, date_occurred, patientid from event where patientid = " +
                  claims.Field("client_id").ToText(),
              db_, CursorType::Static, LockType::Optimistic);
  ASSERT_EQ(events.RecordCount(), 3);
  events.SetFilter("date_occurred = " + claims.Field("date_of_injury").ToText());
  ASSERT_EQ(events.RecordCount(), 2);
  claims.SetField("event_id", events.Field("id"));
  claims.Update();
  claims.MoveNext();
  // A patient without events: a new event, then its number.
  Run("insert into event (patientid, date_occurred, event_typeid, icda, icdb, icdc, icdd, icde, "
      "icdf, icdg, icdh, icdi, icdj, icdk, icdl, responsible_party) values (" +
      claims.Field("client_id").ToText() + ", #" + claims.Field("date_of_injury").ToText() +
      "#, 3, '', '', '', '', '', '', '', '', '', '', '', '', '')");
  maxId.Open("select max(id) as maxid from event", db_, CursorType::Static, LockType::Optimistic);
  EXPECT_EQ(maxId.Field("maxid"), Value::Long(4));
  claims.SetField("event_id", maxId.Field("maxid"));
  claims.Update();
  claims.Close();

  check.Open("select hcfa_id, event_id from conv_hcfa_info order by hcfa_id", db_);
  std::vector<Value> linked;
  for (; !check.IsEOF(); check.MoveNext()) linked.push_back(check.Field("event_id"));
  EXPECT_EQ(linked, (std::vector<Value>{Value::Long(1), Value::Long(4), Value::Long(1)}));
}

}  // namespace
}  // namespace jet::testing
