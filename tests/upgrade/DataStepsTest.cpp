// The steps that repair and link the legacy rows before the claim copy:
// the NULL cleanup and the event linking; then all four data steps over a
// large practice.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iostream>
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
  std::int32_t AddEvent(std::int32_t patient, const jet::Value& date) {
    legacy::InsertEvent(db(), {{"patientid", L(patient)}, {"date_occurred", date}, {"event_typeid", L(1)}});
    return Scalar("select max(id) as n from event", "n").AsLong();
  }
  std::int32_t AddClaim(std::int32_t patient, const jet::Value& injury, legacy::Row row = {}) {
    row.insert({{"client_id", L(patient)}, {"date_of_injury", injury}});
    legacy::InsertClaim(db(), row);
    return Scalar("select max(hcfa_id) as n from conv_hcfa_info", "n").AsLong();
  }
  jet::Value EventOf(std::int32_t claim) {
    return Scalar("select event_id from conv_hcfa_info where hcfa_id = " + std::to_string(claim), "event_id");
  }
};

TEST_F(DataSteps, NullCleanupEmptiesOnlyTheEighteenColumnsAndStopsAtAFailure) {
  AddClaim(1, Null(), {{"Patient_LName", T("Okafor")}, {"Carrier_City", T("Akron")}});
  AddClaim(1, Null());
  COMRemoveNulls();
  COMRemoveNulls();
  ExpectNoReports();
  const std::vector<std::string> cleaned = {
      "CARRIER_CITY",  "CARRIER_STATE", "CARRIER_ZIP",   "FACILITY_CITY", "FACILITY_STATE", "FACILITY_ZIP",
      "PROVIDER_CITY", "PROVIDER_STATE", "PROVIDER_ZIP", "PATIENT_LNAME", "PATIENT_FNAME", "PATIENT_MI",
      "INSURED_LNAME", "INSURED_FNAME", "INSURED_MI",    "OTHER_LNAME",   "OTHER_FNAME",    "OTHER_MI"};
  std::vector<std::string> columns = cleaned;
  columns.insert(columns.end(), {"Patient_Address", "Carrier1"});
  const auto rows = Select("select * from conv_hcfa_info order by hcfa_id", columns);
  ASSERT_EQ(rows.size(), 2u);
  for (const auto& row : rows)
    for (const auto& [c, v] : row)
      EXPECT_EQ(v, c == "Patient_Address" || c == "Carrier1" ? Null()
                   : &row != &rows[0]                        ? T("")
                   : c == "CARRIER_CITY"                     ? T("Akron")
                   : c == "PATIENT_LNAME"                    ? T("Okafor")
                                                             : T("")) << c;
  // OTHER_MI refuses a zero-length text: statement 18 fails, 1 to 17 stay done.
  Exec("delete from conv_hcfa_info");
  jet::Catalog catalog;
  catalog.SetActiveConnection(db());
  catalog.Tables("conv_hcfa_info").Columns("Other_MI").Properties(jet::kAllowZeroLength).SetValue(B(false));
  AddClaim(1, Null());
  COMRemoveNulls();
  ExpectReports({{"COMRemoveNulls", 370}});
  EXPECT_EQ(Scalar("select OTHER_FNAME from conv_hcfa_info where OTHER_MI is null", "OTHER_FNAME"), T(""));
}

// A patient's only event takes every claim whatever its date; without one,
// the first claim's new event takes the next; of several, the first on the
// date of injury; none on it (another patient's is): a new one, then
// shared. No date of injury once failed the step and left every later
// claim without an event; such a claim gets an undated event, which the
// patient's other undated claims then share.
TEST_F(DataSteps, ClaimsWithoutAnEventAreLinkedOrGetANewEvent) {
  const auto only = L(AddEvent(1, D(2014, 1, 1)));
  for (int p : {3, 4, 8}) AddEvent(p, D(2014, 1, 1));
  const auto first = L(AddEvent(3, D(2014, 2, 28)));
  AddEvent(3, D(2014, 2, 28));
  for (int p : {4, 8}) AddEvent(p, D(2014, 1, 2));
  AddEvent(5, D(2014, 3, 3));
  // A claim: its patient, date of injury and event; the event it must get
  // (none given: a new one, unless it shares that of an earlier claim).
  struct Claim {
    int patient;
    jet::Value injury, given = {}, linked = {};
    int sameAs = -1;
  };
  const Claim claims[] = {
      {1, D(2014, 5, 5), {}, only}, {1, Null(), {}, only}, {1, D(2014, 5, 5), only, only},
      {7, D(2014, 2, 28)},          {7, D(2014, 6, 1), {}, {}, 3},  {3, D(2014, 2, 28), {}, first},
      {4, D(2014, 3, 3)},           {4, D(2014, 3, 3), {}, {}, 6},  {6, Null()},
      {8, Null()},                  {9, D(2014, 4, 4)},             {6, Null(), {}, {}, 8},
      {8, Null(), {}, {}, 9}};
  std::vector<std::int32_t> ids;
  for (const Claim& c : claims) ids.push_back(AddClaim(c.patient, c.injury, {{"event_id", c.given}}));
  COMFixNullEvent();
  ExpectNoReports();
  std::vector<std::string> columns{"patientid", "date_occurred", "event_typeid", "responsible_party"};
  for (char c = 'a'; c <= 'l'; ++c) columns.push_back(std::string("icd") + c);
  for (std::size_t i = 0; i < ids.size(); ++i) {
    const Claim& c = claims[i];
    if (c.sameAs >= 0) {
      EXPECT_EQ(EventOf(ids[i]), EventOf(ids[std::size_t(c.sameAs)])) << i;
    } else if (!c.linked.IsNull()) {
      EXPECT_EQ(EventOf(ids[i]), c.linked) << i;
    } else {
      // A new event: type 3 for the patient on the date, every added text column empty.
      legacy::Row expected{{"patientid", L(c.patient)}, {"date_occurred", c.injury}, {"event_typeid", L(3)}};
      for (std::size_t k = 3; k < columns.size(); ++k) expected[columns[k]] = T("");
      EXPECT_EQ(Select("select * from event where id = " + EventOf(ids[i]).ToText(), columns),
                std::vector<legacy::Row>{expected}) << i;
    }
  }
  EXPECT_EQ(Count("event"), 9 + 5);
  EXPECT_EQ(LastProgress("COMFixNullEvent"), "12/12");
  const Reconciliation& tally = CurrentRun().reconciliation;
  EXPECT_EQ(tally.eventLinking.written, 12);
  EXPECT_EQ(tally.eventsCreated, 5);
  EXPECT_EQ(tally.linkedToNewEvent, 5);
  jet::Catalog catalog;
  catalog.SetActiveConnection(db());
  EXPECT_TRUE(catalog.Tables("event").IsIndexed("patientid")) << "the lookups go through an index";
}

// A busy clinic's practice, more rows than a 16-bit counter holds: every
// event gets its codes, every claim an event and its row in cms2012. Every
// tenth claim names its event; the others belong to a patient without
// one, so the first of them gets a new event the rest then share. Slow by
// nature; its time is printed.
using LargeVolume = UpgradeFixture;
constexpr int kRows = 40000;

TEST_F(LargeVolume, FortyThousandClaimsAllArriveWithAnEvent) {
  RunSchemaSteps();
  legacy::InsertPerson(db(), PersonRow(1, "Many"));
  legacy::InsertPerson(db(), PersonRow(2, "Unlinked"));
  for (int i = 1; i <= kRows; ++i) {
    legacy::InsertEvent(db(), {{"patientid", L(1)}, {"DIAGNOSIS_CODE1a", T(std::to_string(i % 1000))},
                               {"DIAGNOSIS_CODE1b", T("1")}});
    const bool linked = i % 10 == 0;
    legacy::InsertClaim(db(), {{"client_id", L(linked ? 1 : 2)}, {"event_id", linked ? L(i) : Null()},
                               {"date_of_injury", D(2014, 2, 28)}, {"Patient_LName", T("n" + std::to_string(i))}});
  }
  const auto start = std::chrono::steady_clock::now();
  COMAddRowData();
  COMRemoveNulls();
  COMFixNullEvent();
  COMMoveCMSData();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::cout << "[ timing ] four data steps over " << kRows << " claims: " << took.count() << " s\n";
  ExpectNoReports();
  EXPECT_EQ(Count("cms2012 where EVENT_ID is not null"), kRows);
  EXPECT_EQ(Count("event"), kRows + 1);
  EXPECT_EQ(Count("event where patientid = 1 and icda = ''"), 0);
  const std::string last = std::to_string(kRows);
  EXPECT_EQ(Scalar("select icda from event where id = " + last, "icda"), T(std::to_string(kRows % 1000) + ".1"));
  EXPECT_EQ(Scalar("select PATIENT_LNAME from cms2012 where EVENT_ID = " + last, "PATIENT_LNAME"), T("N" + last));
  EXPECT_EQ(LastProgress("COMAddRowData"), "40000/40000");
  EXPECT_EQ(LastProgress("COMFixNullEvent"), "36000/36000");
  EXPECT_EQ(LastProgress("COMMoveCMSData"), "40000/40000");
  EXPECT_EQ(CurrentRun().reconciliation.eventsCreated, 1);
  EXPECT_LT(std::count_if(ui.events().begin(), ui.events().end(),
                          [](const UiEvent& e) { return e.kind == UiEvent::Kind::StepProgress; }),
            3 * kRows / 100)
      << "progress is throttled, not one report per row";
}

}  // namespace
}  // namespace calmora::testing
