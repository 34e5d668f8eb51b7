// A busy clinic's practice, more rows than a 16-bit counter holds in every
// row-walking step: every event gets its codes, every claim an event and
// its row in cms2012, none is skipped. Slow by nature; its time is printed.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <string>

#include "UpgradeFixture.h"

namespace calmora::testing {
namespace {

constexpr int kRows = 40000;

class LargeVolume : public UpgradeFixture {};

// Every tenth claim names its event; the others belong to a patient
// without one, so the first of them gets a new event the rest then share.
TEST_F(LargeVolume, FortyThousandClaimsAllArriveWithAnEvent) {
  RunSchemaSteps();
  legacy::InsertPerson(db(), PersonRow(1, "Many"));
  legacy::InsertPerson(db(), PersonRow(2, "Unlinked"));
  for (int i = 1; i <= kRows; ++i) {
    legacy::InsertEvent(db(), {{"patientid", L(1)}, {"DIAGNOSIS_CODE1a", T(std::to_string(i % 1000))},
                               {"DIAGNOSIS_CODE1b", T("1")}});
    const bool linked = i % 10 == 0;
    legacy::InsertClaim(db(), {{"client_id", L(linked ? 1 : 2)},
                               {"event_id", linked ? L(i) : Null()},
                               {"date_of_injury", D(2014, 2, 28)},
                               {"Patient_LName", T("n" + std::to_string(i))}});
  }
  const auto start = std::chrono::steady_clock::now();
  COMAddRowData();
  COMRemoveNulls();
  COMFixNullEvent();
  COMMoveCMSData();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::cout << "[ timing ] four data steps over " << kRows << " claims: " << took.count()
            << " s\n";
  ExpectNoReports();
  constexpr int kUnlinked = kRows - kRows / 10;
  EXPECT_EQ(Count("cms2012"), kRows);
  EXPECT_EQ(Count("conv_hcfa_info where event_id is null"), 0);
  EXPECT_EQ(Count("cms2012 where EVENT_ID is null"), 0);
  EXPECT_EQ(Count("event"), kRows + 1);
  EXPECT_EQ(Count("event where patientid = 1 and icda = ''"), 0);
  const std::string last = std::to_string(kRows);
  EXPECT_EQ(Scalar("select icda from event where id = " + last, "icda"),
            T(std::to_string(kRows % 1000) + ".1"));
  EXPECT_EQ(Scalar("select PATIENT_LNAME from cms2012 where EVENT_ID = " + last, "PATIENT_LNAME"),
            T("N" + last));
  EXPECT_EQ(LastProgress("COMAddRowData"), Done(kRows, kRows));
  EXPECT_EQ(LastProgress("COMFixNullEvent"), Done(kUnlinked, kUnlinked));
  EXPECT_EQ(LastProgress("COMMoveCMSData"), Done(kRows, kRows));
  const Reconciliation& tally = calmora::CurrentRun().reconciliation;
  EXPECT_EQ(tally.eventLinking.written, kUnlinked);
  EXPECT_EQ(tally.eventsCreated, 1);
  EXPECT_EQ(tally.claimCopy.written, kRows);
  // Progress is throttled, not one report per row.
  EXPECT_LT(std::count_if(ui.events().begin(), ui.events().end(),
                          [](const UiEvent& e) { return e.kind == UiEvent::Kind::StepProgress; }),
            3 * kRows / 100);
  EXPECT_LT(took.count(), 120.0) << "the data steps over " << kRows << " claims";
}

}  // namespace
}  // namespace calmora::testing
