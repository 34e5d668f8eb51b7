// The statement texts the upgrade sends, run as they stand on a small
// database of the legacy shape, with the results the upgrade relies on.
#include "EngineFixture.h"
#include "LegacyShape.h"

namespace jet::testing {
namespace {

DateTime Day(int y, int m, int d) { return DateTime{y, m, d, 0, 0, 0}; }

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

TEST_F(UpgradeStatements, NewTablesAreCreatedWithTheirColumnsInOrder) {
  Run(kCreateConditionUrl);
  Run(kCreateStatementTemp);
  Run(CreateCms2012());
  const auto names = FieldNames("cms2012");
  ASSERT_EQ(names.size(), 233u);
  for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(names[i], Cms2012Columns()[i].name);
  EXPECT_EQ(FieldNames("condition_url"),
            (std::vector<std::string>{"ID", "condition_id", "name", "link"}));
  EXPECT_EQ(FieldNames("statement_temp").size(), 10u);
}

TEST_F(UpgradeStatements, AClaimRowOfTwoHundredThirtyOneValuesIsStoredTyped) {
  Run(CreateCms2012());
  Run("insert into Person (LastName) values ('Brien')");
  Run("insert into event (patientid, date_occurred) values (1, #3/5/2014#)");
  Run(CmsInsert(1, 1));
  Run(CmsInsert(1, 1, "null"));
  Recordset rs;
  rs.Open("Select * from cms2012", db_, CursorType::Static, LockType::ReadOnly);
  ASSERT_EQ(rs.RecordCount(), 2);
  EXPECT_EQ(rs.Field("CMS_ID"), Value::Long(1));
  EXPECT_EQ(rs.Field("client_id"), Value::Long(1));
  EXPECT_EQ(rs.Field("DATE_OF_THERAPY"), Value::Date(Day(2014, 3, 5)));
  EXPECT_EQ(rs.Field("PATIENT_DOB"), Value::Date(Day(1961, 7, 21)));
  EXPECT_EQ(rs.Field("LAST_BATCH_DATE"), Value::Null());
  EXPECT_EQ(rs.Field("QUEUED_FOR_BATCH"), Value::Boolean(true));
  EXPECT_EQ(rs.Field("INSURANCE_TYPE3"), Value::Boolean(false));
  EXPECT_EQ(rs.Field("PATIENT_LNAME"), Value::Text("O'BRIEN-SMITHFI"));
  EXPECT_EQ(rs.Field("PATIENT_ZIP_CODE"), Value::Text("12345-    "));
  EXPECT_EQ(rs.Field("ICDA"), Value::Text("724.2"));
  EXPECT_EQ(rs.Field("ICDL"), Value::Text(""));
  EXPECT_EQ(rs.Field("CHARGES6"), Value::Money(Currency{125000}));
  EXPECT_EQ(rs.Field("DAYS_OR_UNITS1"), Value::Long(3));
  rs.MoveNext();
  EXPECT_EQ(rs.Field("CMS_ID"), Value::Long(2));
  EXPECT_EQ(rs.Field("DATE_OF_THERAPY"), Value::Null());
  rs.MoveNext();
  EXPECT_TRUE(rs.IsEOF());
}

TEST_F(UpgradeStatements, EventExtensionGivesExistingRowsTheDefaults) {
  Run("insert into event (patientid, date_occurred) values (7, #1/2/2013#)");
  for (const auto& sql : AlterEventStatements()) Run(sql);
  Recordset rs;
  rs.Open("Select * from Event", db_);
  ASSERT_EQ(rs.RecordCount(), 1);
  EXPECT_EQ(rs.Field("responsible_party"), Value::Text(""));
  EXPECT_EQ(rs.Field("ICDL"), Value::Text(""));
  EXPECT_EQ(rs.Field("icd_indicator_10"), Value::Boolean(false));
  // New rows that name none of the new columns take the same defaults.
  Run("insert into event (patientid, date_occurred, event_typeid) values (7, #3/5/2014#, 3)");
  EXPECT_EQ(Scalar("select icdc from event where id = 2"), Value::Text(""));
  EXPECT_EQ(Scalar("select icd_indicator_10 from event where id = 2"), Value::Boolean(false));
  // The added columns refuse Null.
  const Error e = Refused("Update Event set icda = null where id = 1");
  EXPECT_EQ(e.description(),
            "The field 'event.icda' cannot contain a Null value because the Required property "
            "for this field is set to True.  Enter a value in this field.");
  // Adding a column that exists names it.
  EXPECT_EQ(Refused("Alter TABLE event add ICDA TEXT(7) default \"\" not null").description(),
            "Field 'ICDA' already exists in table 'event'.");
}

TEST_F(UpgradeStatements, DiagnosisCodeUpdatesWriteAndRefuseAsTheStepExpects) {
  for (const auto& sql : AlterEventStatements()) Run(sql);
  Run("insert into event (patientid, date_occurred) values (7, #1/2/2013#)");
  Run("Update Event set icda = '724.2' where id = 1");
  Run("Update Event set icdc = '.5' where id = 1");
  EXPECT_EQ(Scalar("select icda from event where id = 1"), Value::Text("724.2"));
  EXPECT_EQ(Scalar("select ICDC from event where ID = 1"), Value::Text(".5"));
  // Longer than seven characters: refused, nothing written.
  Error tooLong = Refused("Update Event set icdb = 'E8497.123' where id = 1");
  EXPECT_EQ(tooLong.number(), -2147467259);
  EXPECT_EQ(Scalar("select icdb from event where id = 1"), Value::Text(""));
  // A quote inside the code leaves the statement malformed.
  Error malformed = Refused("Update Event set icdd = '72'4' where id = 1");
  EXPECT_EQ(malformed.number(), -2147217900);
}

TEST_F(UpgradeStatements, NullCleanupReplacesOnlyNulls) {
  Run("insert into conv_hcfa_info (client_id, Carrier_City, Patient_MI) values (1, 'Ames', null)");
  Run("insert into conv_hcfa_info (client_id) values (2)");
  Run("Update conv_hcfa_info set CARRIER_CITY = '' where CARRIER_CITY is null");
  Run("Update conv_hcfa_info set PATIENT_MI = '' where PATIENT_MI is null");
  Run("Update conv_hcfa_info set PATIENT_LNAME = '' where PATIENT_LNAME is null");
  Recordset rs;
  rs.Open("Select * from conv_hcfa_info", db_);
  EXPECT_EQ(rs.Field("Carrier_City"), Value::Text("Ames"));
  EXPECT_EQ(rs.Field("Patient_MI"), Value::Text(""));
  EXPECT_EQ(rs.Field("Patient_Address"), Value::Null());
  rs.MoveNext();
  EXPECT_EQ(rs.Field("carrier_city"), Value::Text(""));
  EXPECT_EQ(rs.Field("patient_lname"), Value::Text(""));
}

TEST_F(UpgradeStatements, EventLinkingStatementsAndFilterWork) {
  for (const auto& sql : AlterEventStatements()) Run(sql);
  Run("insert into event (patientid, date_occurred, event_typeid) values (4, #3/5/2014#, 1)");
  Run("insert into event (patientid, date_occurred, event_typeid) values (4, #3/6/2014#, 1)");
  Run("insert into event (patientid, date_occurred, event_typeid) values (4, #3/5/2014#, 2)");
  Run("insert into conv_hcfa_info (client_id, date_of_injury) values (4, #3/5/2014#)");
  Run("insert into conv_hcfa_info (client_id, date_of_injury) values (9, #4/1/2014#)");
  Run("insert into conv_hcfa_info (client_id, event_id) values (4, 1)");

  Recordset claims;
  claims.Open("Select * from conv_hcfa_info where event_id is null", db_, CursorType::Static,
              LockType::Optimistic);
  ASSERT_EQ(claims.RecordCount(), 2);

  // A patient with several events: filtered by the date of injury.
  Recordset events;
  events.Open("select id, date_occurred, patientid from event where patientid = " +
                  claims.Field("client_id").ToText(),
              db_, CursorType::Static, LockType::Optimistic);
  ASSERT_EQ(events.RecordCount(), 3);
  events.SetFilter("date_occurred = " + claims.Field("date_of_injury").ToText());
  ASSERT_EQ(events.RecordCount(), 2);
  claims.SetField("event_id", events.Field("id"));
  claims.Update();
  events.SetFilter("");
  EXPECT_EQ(events.RecordCount(), 3);
  events.Close();
  claims.MoveNext();

  // A patient without events: a new event, then its number.
  Run("insert into event (patientid, date_occurred, event_typeid, icda, icdb, icdc, icdd, icde, "
      "icdf, icdg, icdh, icdi, icdj, icdk, icdl, responsible_party) values (" +
      claims.Field("client_id").ToText() + ", #" + claims.Field("date_of_injury").ToText() +
      "#, 3, '', '', '', '', '', '', '', '', '', '', '', '', '')");
  Recordset maxId;
  maxId.Open("select max(id) as maxid from event", db_, CursorType::Static, LockType::Optimistic);
  const Value newEvent = maxId.Field("maxid");
  EXPECT_EQ(newEvent, Value::Long(4));
  maxId.Close();
  claims.SetField("event_id", newEvent);
  claims.Update();
  claims.MoveNext();
  EXPECT_TRUE(claims.IsEOF());
  claims.Close();

  Run("update conv_hcfa_info set event_id = 2 where hcfa_id = 3");
  Recordset check;
  check.Open("select hcfa_id, event_id from conv_hcfa_info order by hcfa_id", db_);
  std::vector<Value> linked;
  for (; !check.IsEOF(); check.MoveNext()) linked.push_back(check.Field("event_id"));
  EXPECT_EQ(linked, (std::vector<Value>{Value::Long(1), Value::Long(4), Value::Long(2)}));
  // The short insert form takes the defaults of the added columns.
  Run("insert into event (patientid, date_occurred, event_typeid) values (9, #4/1/2014#, 3)");
  EXPECT_EQ(Scalar("select responsible_party from event where id = 5"), Value::Text(""));
}

TEST_F(UpgradeStatements, MissingValuesInGeneratedTextAreSyntaxErrors) {
  // A Null client id leaves nothing after the equals sign.
  Recordset rs;
  try {
    rs.Open("select id, date_occurred, patientid from event where patientid = ", db_);
    FAIL() << "opened";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), -2147217900);
    EXPECT_EQ(e.description(), "Syntax error (missing operator) in query expression 'patientid ='.");
  }
  // A Null date of injury leaves an empty date literal.
  EXPECT_EQ(Refused("insert into event (patientid, date_occurred, event_typeid) values (4, ##, 3)")
                .description(),
            "Syntax error in INSERT INTO statement.");
  // A Null flag leaves two separators in a row.
  EXPECT_EQ(Refused("insert into conv_hcfa_info (client_id, queued_for_batch) values (1, ,)").number(),
            -2147217900);
}

}  // namespace
}  // namespace jet::testing
