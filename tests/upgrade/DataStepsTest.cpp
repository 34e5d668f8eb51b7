// The steps that repair and link the legacy rows before the claim copy:
// diagnosis codes into event, the NULL cleanup and the event linking.
#include <gtest/gtest.h>

#include <string>

#include "UpgradeFixture.h"
#include "jet/Catalog.h"

namespace calmora::testing {
namespace {

class DataSteps : public UpgradeFixture {
 protected:
  void SetUp() override {
    UpgradeFixture::SetUp();
    RunSchemaSteps();
  }

  std::int32_t AddEvent(std::int32_t patient, const jet::Value& date, legacy::Row codes = {}) {
    codes.insert({{"patientid", L(patient)}, {"date_occurred", date}, {"event_typeid", L(1)}});
    legacy::InsertEvent(db(), codes);
    return Scalar("select max(id) as n from event", "n").AsLong();
  }

  std::int32_t AddClaim(std::int32_t patient, const jet::Value& injury, legacy::Row row = {}) {
    row.insert({{"client_id", L(patient)}, {"date_of_injury", injury}});
    legacy::InsertClaim(db(), row);
    return Scalar("select max(hcfa_id) as n from conv_hcfa_info", "n").AsLong();
  }

  jet::Value EventOf(std::int32_t claim) {
    return Scalar("select event_id from conv_hcfa_info where hcfa_id = " + std::to_string(claim),
                  "event_id");
  }

  jet::Value Icd(std::int32_t event, const std::string& column) {
    return Scalar("select " + column + " from event where id = " + std::to_string(event), column);
  }

  // A new event of the linking: type 3 for the patient on the date, every
  // added text column empty.
  void ExpectNewEvent(const jet::Value& id, std::int32_t patient, const jet::Value& date) {
    SCOPED_TRACE("event of patient " + std::to_string(patient));
    std::vector<std::string> columns{"patientid", "date_occurred", "event_typeid", "responsible_party"};
    for (char c = 'a'; c <= 'l'; ++c) columns.push_back(std::string("icd") + c);
    const auto rows = Select("select * from event where id = " + id.ToText(), columns);
    ASSERT_EQ(rows.size(), 1u) << id.ToText();
    for (const auto& [column, value] : rows[0])
      EXPECT_EQ(value, column == "patientid" ? L(patient) : column == "date_occurred" ? date
                       : column == "event_typeid" ? L(3) : T("")) << column;
  }
};

TEST_F(DataSteps, NothingToDoWritesNothing) {
  COMAddRowData();
  COMMoveCMSData();
  EXPECT_EQ(LastProgress("COMAddRowData"), Done(0, 0));
  EXPECT_EQ(LastProgress("COMMoveCMSData"), Done(0, 0));
  const auto e = AddEvent(1, D(2014, 1, 1));
  AddClaim(1, D(2014, 1, 1), {{"event_id", L(e)}});
  COMFixNullEvent();
  ExpectNoReports();
  EXPECT_EQ(Count("event"), 1);
  EXPECT_EQ(Count("cms2012"), 0);
}

TEST_F(DataSteps, NullCleanupEmptiesOnlyTheEighteenColumnsAndStopsAtAFailure) {
  AddClaim(1, Null(), {{"Patient_LName", T("Okafor")}, {"Carrier_City", T("Akron")}});
  AddClaim(1, Null());
  COMRemoveNulls();
  COMRemoveNulls();
  ExpectNoReports();
  const auto rows = Select("select * from conv_hcfa_info order by hcfa_id",
                           {"CARRIER_CITY", "CARRIER_STATE", "CARRIER_ZIP", "FACILITY_CITY",
                            "FACILITY_STATE", "FACILITY_ZIP", "PROVIDER_CITY", "PROVIDER_STATE",
                            "PROVIDER_ZIP", "PATIENT_LNAME", "PATIENT_FNAME", "PATIENT_MI",
                            "INSURED_LNAME", "INSURED_FNAME", "INSURED_MI", "OTHER_LNAME",
                            "OTHER_FNAME", "OTHER_MI", "Patient_Address", "Carrier1"});
  ASSERT_EQ(rows.size(), 2u);
  for (std::size_t i = 0; i < rows.size(); ++i)
    for (const auto& [c, v] : rows[i]) {
      const bool kept = i == 0 && (c == "PATIENT_LNAME" || c == "CARRIER_CITY");
      const bool other = c == "Patient_Address" || c == "Carrier1";
      EXPECT_EQ(v, other ? Null() : kept ? T(c == "CARRIER_CITY" ? "Akron" : "Okafor") : T(""))
          << i << c;
    }
  // OTHER_MI refuses a zero-length text: statement 18 fails, 1 to 17 stay done.
  Exec("delete from conv_hcfa_info");
  jet::Catalog catalog;
  catalog.SetActiveConnection(db());
  catalog.Tables("conv_hcfa_info").Columns("Other_MI").Properties(jet::kAllowZeroLength)
      .SetValue(B(false));
  AddClaim(1, Null());
  COMRemoveNulls();
  ExpectReports({{"COMRemoveNulls", 370}});
  EXPECT_EQ(Scalar("select OTHER_FNAME from conv_hcfa_info where OTHER_MI is null", "OTHER_FNAME"),
            T(""));
}

TEST_F(DataSteps, ClaimsWithoutAnEventAreLinkedOrGetANewEvent) {
  // A patient's only event takes every claim whatever its date.
  const auto only = AddEvent(1, D(2014, 1, 1));
  const auto c1 = AddClaim(1, D(2014, 5, 5)), c1null = AddClaim(1, Null());
  const auto linked = AddClaim(1, D(2014, 5, 5), {{"event_id", L(only)}});
  // No event: the first claim's new event then takes the second.
  const auto c7 = AddClaim(7, D(2014, 2, 28)), c7later = AddClaim(7, D(2014, 6, 1));
  // Several events: the first on the date of injury.
  AddEvent(3, D(2014, 1, 1));
  const auto first = AddEvent(3, D(2014, 2, 28));
  AddEvent(3, D(2014, 2, 28));
  const auto c3 = AddClaim(3, D(2014, 2, 28));
  // Several, none on the date (another patient's is): a new one, then shared.
  AddEvent(4, D(2014, 1, 1));
  AddEvent(4, D(2014, 1, 2));
  AddEvent(5, D(2014, 3, 3));
  const auto c4 = AddClaim(4, D(2014, 3, 3)), c4same = AddClaim(4, D(2014, 3, 3));
  // No date of injury once failed the step and left every later claim
  // without an event; such a claim gets an undated event, which the
  // patient's other undated claims then share.
  AddEvent(8, D(2014, 1, 1));
  AddEvent(8, D(2014, 1, 2));
  const auto c6 = AddClaim(6, Null()), c8 = AddClaim(8, Null()), c9 = AddClaim(9, D(2014, 4, 4));
  const auto c6again = AddClaim(6, Null()), c8again = AddClaim(8, Null());
  COMFixNullEvent();
  ExpectNoReports();
  for (auto claim : {c1, c1null, linked}) EXPECT_EQ(EventOf(claim), L(only));
  ExpectNewEvent(EventOf(c7), 7, D(2014, 2, 28));
  EXPECT_EQ(EventOf(c7later), EventOf(c7));
  EXPECT_EQ(EventOf(c3), L(first));
  ExpectNewEvent(EventOf(c4), 4, D(2014, 3, 3));
  EXPECT_EQ(EventOf(c4same), EventOf(c4));
  ExpectNewEvent(EventOf(c6), 6, Null());
  ExpectNewEvent(EventOf(c8), 8, Null());
  EXPECT_EQ(EventOf(c6again), EventOf(c6));
  EXPECT_EQ(EventOf(c8again), EventOf(c8));
  ExpectNewEvent(EventOf(c9), 9, D(2014, 4, 4));
  EXPECT_EQ(Count("event"), 9 + 5);
  EXPECT_EQ(LastProgress("COMFixNullEvent"), Done(12, 12));
  const Reconciliation& tally = calmora::CurrentRun().reconciliation;
  EXPECT_EQ(tally.eventLinking.written, 12);
  EXPECT_EQ(tally.eventsCreated, 5);
  EXPECT_EQ(tally.linkedToNewEvent, 5);
  // The lookups of a patient's events went through an index.
  jet::Catalog catalog;
  catalog.SetActiveConnection(db());
  EXPECT_TRUE(catalog.Tables("event").IsIndexed("patientid"));
}

}  // namespace
}  // namespace calmora::testing
