// Practices with more rows than a 16-bit counter holds: every event and
// every claim is handled, not none.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "UpgradeFixture.h"
#include "engine/Connection.h"
#include "state/RunState.h"
#include "upgrade/modCommon.h"

namespace calmora::testing {
namespace {

constexpr int kRows = 33000;

class LargeVolume : public UpgradeFixture {
 protected:
  void SetUp() override {
    UpgradeFixture::SetUp();
    RunSchemaSteps();
    legacy::InsertPerson(*calmora::Run().DbConnection, PersonRow(1, "Many"));
  }
};

TEST_F(LargeVolume, EveryEventAndEveryClaimBeyond32767IsHandled) {
  jet::Connection& db = *calmora::Run().DbConnection;
  for (int i = 1; i <= kRows; ++i) {
    legacy::InsertEvent(db, {{"patientid", L(1)},
                             {"DIAGNOSIS_CODE1a", T(std::to_string(i % 1000))},
                             {"DIAGNOSIS_CODE1b", T("1")}});
    legacy::InsertClaim(db, {{"client_id", L(1)}, {"event_id", L(i)},
                             {"Patient_LName", T("n" + std::to_string(i))}});
  }
  const auto start = std::chrono::steady_clock::now();
  COMAddRowData();
  COMMoveCMSData();
  const auto seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ExpectNoReports();
  EXPECT_EQ(Count("cms2012"), kRows);
  EXPECT_EQ(Scalar("select count(*) as n from event where icda = ''", "n"), L(0));
  EXPECT_EQ(Scalar("select icda from event where id = " + std::to_string(kRows), "icda"),
            T(std::to_string(kRows % 1000) + ".1"));
  EXPECT_EQ(Scalar("select PATIENT_LNAME from cms2012 where EVENT_ID = " + std::to_string(kRows),
                   "PATIENT_LNAME"),
            T("N" + std::to_string(kRows)));
  EXPECT_EQ(LastProgress("COMAddRowData"), std::make_pair(std::int64_t{kRows}, std::int64_t{kRows}));
  EXPECT_EQ(LastProgress("COMMoveCMSData"), std::make_pair(std::int64_t{kRows}, std::int64_t{kRows}));
  // Progress is throttled, not one report per row.
  std::int64_t reports = 0;
  for (const UiEvent& e : ui.events()) reports += e.kind == UiEvent::Kind::StepProgress;
  EXPECT_LT(reports, 2 * kRows / 100);
  RecordProperty("seconds", std::to_string(seconds));
  EXPECT_LT(seconds, 120.0) << "both steps over " << kRows << " rows";
}

}  // namespace
}  // namespace calmora::testing
