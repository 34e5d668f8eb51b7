// The steps that repair and link the legacy rows before the claim copy:
// diagnosis codes into event, the NULL cleanup and the event linking.
#include <gtest/gtest.h>

#include <string>

#include "UpgradeFixture.h"
#include "engine/Catalog.h"
#include "engine/Connection.h"
#include "state/RunState.h"
#include "upgrade/modCommon.h"

namespace calmora::testing {
namespace {

class DataSteps : public UpgradeFixture {
 protected:
  void SetUp() override {
    UpgradeFixture::SetUp();
    RunSchemaSteps();
  }

  std::int32_t AddEvent(std::int32_t patient, const jet::Value& date, legacy::Row codes = {}) {
    codes["patientid"] = L(patient);
    codes["date_occurred"] = date;
    codes["event_typeid"] = L(1);
    legacy::InsertEvent(*calmora::Run().DbConnection, codes);
    return Scalar("select max(id) as n from event", "n").AsLong();
  }

  std::int32_t AddClaim(std::int32_t patient, const jet::Value& injury, legacy::Row row = {}) {
    row["client_id"] = L(patient);
    row["date_of_injury"] = injury;
    legacy::InsertClaim(*calmora::Run().DbConnection, row);
    return Scalar("select max(hcfa_id) as n from conv_hcfa_info", "n").AsLong();
  }

  jet::Value EventOf(std::int32_t claim) {
    return Scalar("select event_id from conv_hcfa_info where hcfa_id = " + std::to_string(claim),
                  "event_id");
  }

  legacy::Row Event(const jet::Value& id) {
    std::vector<std::string> columns{"patientid", "date_occurred", "event_typeid",
                                     "responsible_party"};
    for (char c = 'a'; c <= 'l'; ++c) columns.push_back(std::string("icd") + c);
    const auto rows = Select("select * from event where id = " + id.ToText(), columns);
    EXPECT_EQ(rows.size(), 1u) << "event " << id.ToText();
    return rows.empty() ? legacy::Row{} : rows.front();
  }

  // A new event of the linking: type 3 for the patient on the date, every
  // added text column empty.
  void ExpectNewEvent(const jet::Value& id, std::int32_t patient, const jet::Value& date) {
    const legacy::Row e = Event(id);
    if (e.empty()) return;
    EXPECT_EQ(e.at("patientid"), L(patient));
    EXPECT_EQ(e.at("date_occurred"), date);
    EXPECT_EQ(e.at("event_typeid"), L(3));
    for (const auto& [column, value] : e) {
      if (column.rfind("icd", 0) == 0 || column == "responsible_party") {
        EXPECT_EQ(value, T("")) << column;
      }
    }
  }
};

// ---- Diagnosis codes into event

TEST_F(DataSteps, DiagnosisCodesLandInTheirEventColumns) {
  auto codes = [](jet::Value a1, jet::Value b1, jet::Value a3 = Null(), jet::Value b3 = Null()) {
    return legacy::Row{{"DIAGNOSIS_CODE1a", a1}, {"DIAGNOSIS_CODE1b", b1},
                       {"DIAGNOSIS_CODE3a", a3}, {"DIAGNOSIS_CODE3b", b3}};
  };
  const auto e1 = AddEvent(1, D(2014, 1, 1), codes(T("724"), T("2"), T("E849"), T("7")));
  const auto e2 = AddEvent(1, D(2014, 1, 2), codes(T(""), T("")));
  const auto e3 = AddEvent(1, D(2014, 1, 3), codes(T("724"), T("")));
  const auto e4 = AddEvent(1, D(2014, 1, 4), codes(T(""), T("5")));
  const auto e5 = AddEvent(1, D(2014, 1, 5), codes(Null(), Null()));
  const auto e6 = AddEvent(1, D(2014, 1, 6), codes(T(" 72'4 "), T("")));
  COMAddRowData();
  ExpectNoReports();
  auto icd = [this](std::int32_t id) { return Event(L(id)); };
  EXPECT_EQ(icd(e1).at("icda"), T("724.2"));
  EXPECT_EQ(icd(e1).at("icdb"), T(""));
  EXPECT_EQ(icd(e1).at("icdc"), T("E849.7"));
  EXPECT_EQ(icd(e1).at("icdd"), T(""));
  EXPECT_EQ(icd(e2).at("icda"), T(""));
  EXPECT_EQ(icd(e3).at("icda"), T("724."));
  EXPECT_EQ(icd(e4).at("icda"), T(".5"));
  EXPECT_EQ(icd(e5).at("icda"), T(""));
  // A quote inside a code once broke the statement; now it is kept.
  EXPECT_EQ(icd(e6).at("icda"), T("72'4 ."));
  for (auto id : {e1, e2, e3, e4, e5, e6}) EXPECT_EQ(icd(id).at("icde"), T(""));
  EXPECT_EQ(LastProgress("COMAddRowData"), std::make_pair(std::int64_t{6}, std::int64_t{6}));
}

TEST_F(DataSteps, ADiagnosisTooLongForItsColumnStopsTheStepAtItsLine) {
  const auto first = AddEvent(1, D(2014, 1, 1), {{"DIAGNOSIS_CODE1a", T("724")}, {"DIAGNOSIS_CODE1b", T("2")}});
  const auto bad = AddEvent(1, D(2014, 1, 2), {{"DIAGNOSIS_CODE1a", T("V1")},
                                               {"DIAGNOSIS_CODE1b", T("1")},
                                               {"DIAGNOSIS_CODE2a", T("E8497")},
                                               {"DIAGNOSIS_CODE2b", T("123")},
                                               {"DIAGNOSIS_CODE3a", T("300")}});
  const auto after = AddEvent(1, D(2014, 1, 3), {{"DIAGNOSIS_CODE1a", T("1")}, {"DIAGNOSIS_CODE1b", T("1")}});
  COMAddRowData();
  ExpectReports({{"COMAddRowData", 140}});
  EXPECT_EQ(Event(L(first)).at("icda"), T("724.2"));
  EXPECT_EQ(Event(L(bad)).at("icda"), T("V1.1"));
  EXPECT_EQ(Event(L(bad)).at("icdb"), T(""));
  EXPECT_EQ(Event(L(bad)).at("icdc"), T(""));
  EXPECT_EQ(Event(L(after)).at("icda"), T(""));
}

TEST_F(DataSteps, AnEmptyEventTableWritesNothing) {
  COMAddRowData();
  ExpectNoReports();
  EXPECT_EQ(LastProgress("COMAddRowData"), std::make_pair(std::int64_t{0}, std::int64_t{0}));
}

// ---- NULL cleanup

TEST_F(DataSteps, NullCleanupEmptiesOnlyTheEighteenColumns) {
  const auto onlyMi = AddClaim(1, Null(), {{"Patient_LName", T("Okafor")}, {"Patient_FName", T("Ada")},
                                           {"Patient_MI", Null()}, {"Carrier_City", T("Akron")}});
  const auto bare = AddClaim(1, Null());
  COMRemoveNulls();
  ExpectNoReports();
  const std::vector<std::string> eighteen{
      "CARRIER_CITY", "CARRIER_STATE", "CARRIER_ZIP", "FACILITY_CITY", "FACILITY_STATE",
      "FACILITY_ZIP", "PROVIDER_CITY", "PROVIDER_STATE", "PROVIDER_ZIP", "PATIENT_LNAME",
      "PATIENT_FNAME", "PATIENT_MI", "INSURED_LNAME", "INSURED_FNAME", "INSURED_MI",
      "OTHER_LNAME", "OTHER_FNAME", "OTHER_MI"};
  std::vector<std::string> read = eighteen;
  read.push_back("Patient_Address");
  read.push_back("Carrier1");
  const auto rows = Select("select * from conv_hcfa_info order by hcfa_id", read);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].at("PATIENT_MI"), T(""));
  EXPECT_EQ(rows[0].at("PATIENT_LNAME"), T("Okafor"));
  EXPECT_EQ(rows[0].at("PATIENT_FNAME"), T("Ada"));
  EXPECT_EQ(rows[0].at("CARRIER_CITY"), T("Akron"));
  for (const auto& c : eighteen) {
    if (c != "PATIENT_LNAME" && c != "PATIENT_FNAME" && c != "CARRIER_CITY") {
      EXPECT_EQ(rows[0].at(c), T("")) << c;
    }
  }
  for (const auto& c : eighteen) EXPECT_EQ(rows[1].at(c), T("")) << c;
  for (const auto& r : rows) {
    EXPECT_TRUE(r.at("Patient_Address").IsNull());
    EXPECT_TRUE(r.at("Carrier1").IsNull());
  }
  (void)onlyMi;
  (void)bare;
  COMRemoveNulls();
  ExpectNoReports();
}

TEST_F(DataSteps, NullCleanupStopsAtTheFailingStatement) {
  // OTHER_MI refuses a zero-length text: statement 18 fails, 1 to 17 stay done.
  jet::Catalog catalog;
  catalog.SetActiveConnection(*calmora::Run().DbConnection);
  catalog.Tables("conv_hcfa_info").Columns("Other_MI").Properties(jet::kAllowZeroLength).SetValue(
      jet::Value::Boolean(false));
  AddClaim(1, Null());
  COMRemoveNulls();
  ExpectReports({{"COMRemoveNulls", 370}});
  const auto rows = Select("select * from conv_hcfa_info", {"OTHER_FNAME", "OTHER_MI"});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].at("OTHER_FNAME"), T(""));
  EXPECT_TRUE(rows[0].at("OTHER_MI").IsNull());
}

// ---- Event linking

TEST_F(DataSteps, APatientsOnlyEventTakesEveryClaimWhateverItsDate) {
  const auto only = AddEvent(1, D(2014, 1, 1));
  const auto c1 = AddClaim(1, D(2014, 5, 5));
  const auto c2 = AddClaim(1, Null());
  const auto linked = AddClaim(1, D(2014, 5, 5), {{"event_id", L(only)}});
  COMFixNullEvent();
  ExpectNoReports();
  EXPECT_EQ(EventOf(c1), L(only));
  EXPECT_EQ(EventOf(c2), L(only));
  EXPECT_EQ(EventOf(linked), L(only));
  EXPECT_EQ(Count("event"), 1);
  EXPECT_EQ(LastProgress("COMFixNullEvent"), std::make_pair(std::int64_t{2}, std::int64_t{2}));
}

TEST_F(DataSteps, APatientWithoutEventsGetsOneEventForBothClaims) {
  const auto c1 = AddClaim(7, D(2014, 2, 28));
  const auto c2 = AddClaim(7, D(2014, 6, 1));
  COMFixNullEvent();
  ExpectNoReports();
  const jet::Value e = EventOf(c1);
  ASSERT_FALSE(e.IsNull());
  ExpectNewEvent(e, 7, D(2014, 2, 28));
  EXPECT_EQ(EventOf(c2), e);
  EXPECT_EQ(Count("event"), 1);
  // The lookups of a patient's events went through an index.
  jet::Catalog catalog;
  catalog.SetActiveConnection(*calmora::Run().DbConnection);
  EXPECT_TRUE(catalog.Tables("event").IsIndexed("patientid"));
}

TEST_F(DataSteps, SeveralEventsLinkToTheFirstOnTheDateOfInjury) {
  AddEvent(3, D(2014, 1, 1));
  const auto first = AddEvent(3, D(2014, 2, 28));
  AddEvent(3, D(2014, 2, 28));
  const auto claim = AddClaim(3, D(2014, 2, 28));
  COMFixNullEvent();
  ExpectNoReports();
  EXPECT_EQ(EventOf(claim), L(first));
  EXPECT_EQ(Count("event"), 3);
}

TEST_F(DataSteps, SeveralEventsNoneOnTheDateMakeANewEventSharedByTheSameDate) {
  AddEvent(4, D(2014, 1, 1));
  AddEvent(4, D(2014, 1, 2));
  AddEvent(5, D(2014, 3, 3));  // another patient's event on that date
  const auto c1 = AddClaim(4, D(2014, 3, 3));
  const auto c2 = AddClaim(4, D(2014, 3, 3));
  COMFixNullEvent();
  ExpectNoReports();
  const jet::Value e = EventOf(c1);
  ASSERT_FALSE(e.IsNull());
  ExpectNewEvent(e, 4, D(2014, 3, 3));
  EXPECT_EQ(EventOf(c2), e);
  EXPECT_EQ(Count("event"), 4);
}

// A claim without a date of injury that needs a new event once failed the
// step and left every later claim without an event.
TEST_F(DataSteps, AClaimWithoutADateOfInjuryGetsAnUndatedEvent) {
  AddEvent(8, D(2014, 1, 1));
  AddEvent(8, D(2014, 1, 2));
  const auto none = AddClaim(6, Null());
  const auto several = AddClaim(8, Null());
  const auto later = AddClaim(9, D(2014, 4, 4));
  COMFixNullEvent();
  ExpectNoReports();
  ExpectNewEvent(EventOf(none), 6, Null());
  ExpectNewEvent(EventOf(several), 8, Null());
  ExpectNewEvent(EventOf(later), 9, D(2014, 4, 4));
  EXPECT_EQ(Count("event"), 5);
}

TEST_F(DataSteps, AClaimWithoutAPatientIsReportedWithoutALine) {
  const auto ok = AddClaim(1, D(2014, 1, 1));
  const auto bad = AddClaim(1, Null());
  const auto after = AddClaim(2, D(2014, 1, 1));
  Exec("update conv_hcfa_info set client_id = null where hcfa_id = " + std::to_string(bad));
  COMFixNullEvent();
  ExpectReports({{"COMFixNullEvent", 0}});
  EXPECT_FALSE(EventOf(ok).IsNull());
  EXPECT_TRUE(EventOf(bad).IsNull());
  EXPECT_TRUE(EventOf(after).IsNull());
}

TEST_F(DataSteps, NoClaimWithoutAnEventWritesNothing) {
  const auto e = AddEvent(1, D(2014, 1, 1));
  AddClaim(1, D(2014, 1, 1), {{"event_id", L(e)}});
  COMFixNullEvent();
  ExpectNoReports();
  EXPECT_EQ(Count("event"), 1);
}

// ---- The data steps in the driver's order, then the copy.

TEST_F(DataSteps, EveryClaimArrivesLinkedAfterTheDataSteps) {
  legacy::InsertPerson(*calmora::Run().DbConnection, PersonRow(1, "One"));
  legacy::InsertPerson(*calmora::Run().DbConnection, PersonRow(2, "Two"));
  legacy::InsertPerson(*calmora::Run().DbConnection, PersonRow(3, "Three"));
  AddEvent(1, D(2014, 1, 1), {{"DIAGNOSIS_CODE1a", T("724")}, {"DIAGNOSIS_CODE1b", T("2")}});
  AddEvent(3, D(2014, 1, 1));
  AddEvent(3, D(2014, 1, 9));
  AddClaim(1, Null(), {{"Patient_LName", Null()}, {"Patient_Address", Null()}});
  AddClaim(2, D(2014, 2, 2));
  AddClaim(2, Null());
  AddClaim(3, D(2014, 1, 9));
  AddClaim(3, Null());
  COMAddRowData();
  COMRemoveNulls();
  COMFixNullEvent();
  COMMoveCMSData();
  ExpectNoReports();
  EXPECT_EQ(Count("cms2012"), 5);
  EXPECT_EQ(Scalar("select count(*) as n from conv_hcfa_info where event_id is null", "n"), L(0));
  const auto rows = Select("select * from cms2012 order by CMS_ID", {"CLIENT_ID", "EVENT_ID"});
  const std::int32_t events[] = {1, 4, 4, 3, 5};
  ASSERT_EQ(rows.size(), 5u);
  for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].at("EVENT_ID"), L(events[i])) << i;
}

}  // namespace
}  // namespace calmora::testing
