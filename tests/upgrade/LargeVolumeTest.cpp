// Practices with more rows than a 16-bit counter holds: every event and
// every claim is handled, not none.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "UpgradeFixture.h"

namespace calmora::testing {
namespace {

constexpr int kRows = 33000;

class LargeVolume : public UpgradeFixture {};

TEST_F(LargeVolume, EveryEventAndEveryClaimBeyond32767IsHandled) {
  RunSchemaSteps();
  legacy::InsertPerson(db(), PersonRow(1, "Many"));
  for (int i = 1; i <= kRows; ++i) {
    legacy::InsertEvent(db(), {{"patientid", L(1)}, {"DIAGNOSIS_CODE1a", T(std::to_string(i % 1000))},
                               {"DIAGNOSIS_CODE1b", T("1")}});
    legacy::InsertClaim(db(), {{"client_id", L(1)}, {"event_id", L(i)},
                               {"Patient_LName", T("n" + std::to_string(i))}});
  }
  const auto start = std::chrono::steady_clock::now();
  COMAddRowData();
  COMMoveCMSData();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  ExpectNoReports();
  EXPECT_EQ(Count("cms2012"), kRows);
  EXPECT_EQ(Count("event where icda = ''"), 0);
  const std::string last = std::to_string(kRows);
  EXPECT_EQ(Scalar("select icda from event where id = " + last, "icda"),
            T(std::to_string(kRows % 1000) + ".1"));
  EXPECT_EQ(Scalar("select PATIENT_LNAME from cms2012 where EVENT_ID = " + last, "PATIENT_LNAME"),
            T("N" + last));
  EXPECT_EQ(LastProgress("COMAddRowData"), Done(kRows, kRows));
  EXPECT_EQ(LastProgress("COMMoveCMSData"), Done(kRows, kRows));
  // Progress is throttled, not one report per row.
  EXPECT_LT(std::count_if(ui.events().begin(), ui.events().end(),
                          [](const UiEvent& e) { return e.kind == UiEvent::Kind::StepProgress; }),
            2 * kRows / 100);
  EXPECT_LT(took.count(), 120.0) << "both steps over " << kRows << " rows";
}

}  // namespace
}  // namespace calmora::testing
