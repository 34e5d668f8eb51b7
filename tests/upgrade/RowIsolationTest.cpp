// One faulty row in a row-walking step: it is refused and named by its key,
// the rows after it are handled as if it were not there, only the step's
// first refusal shows a box, and the step's tally says what happened. (That
// no value of a row reaches a report is the end-to-end runs' to show, for
// every value of every row.)
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "UpgradeFixture.h"

namespace calmora::testing {
namespace {

class RowIsolation : public UpgradeFixture {
 protected:
  void SetUp() override {
    UpgradeFixture::SetUp();
    // Real practices' claim tables hold wider initials and states than the
    // sample's: a legacy table as wide as those.
    legacy::TableDef claims = legacy::LegacyTable("conv_hcfa_info");
    for (legacy::ColumnDef& c : claims.columns)
      if (c.name == "Patient_MI" || c.name == "Patient_State") c.width = 5;
    SwitchToNewDatabase({legacy::LegacyTable("Person"), legacy::LegacyTable("event"),
                         legacy::LegacyTable("Condition"), claims});
    RunSchemaSteps();
    legacy::InsertPerson(db(), PersonRow(1, "Okafor"));
    legacy::InsertPerson(db(), PersonRow(2, "Lindqvist"));
  }

  std::int32_t Add(const char* table, const char* key, const legacy::Row& row) {
    legacy::InsertRow(db(), table, row);
    return Scalar(std::string("select max(") + key + ") as n from " + table, "n").AsLong();
  }

  // One log record per refused key at its line, in the step's location, one box.
  void ExpectRefusals(const std::string& procedure, const std::vector<int>& lines, const std::string& keyColumn,
                      const std::vector<std::int32_t>& keys, const std::string& said) {
    std::vector<Report> reports;
    for (std::size_t i = 0; i < keys.size(); ++i)
      reports.push_back({procedure, lines.at(i), {said, " (row " + keyColumn + " " + std::to_string(keys[i]) + ")"}});
    ExpectReports(reports, 1);
    EXPECT_EQ(db().errors().Count(), 0u) << "every record's dump cleared the list";
  }
};

struct ClaimFault {
  const char* name;
  legacy::Row row;
  const char* said;  // in the engine's words
  friend void PrintTo(const ClaimFault& f, std::ostream* out) { *out << f.name; }
};

class ClaimCopyFault : public RowIsolation, public ::testing::WithParamInterface<ClaimFault> {};

// Good, bad, good, bad, good: the good ones arrive, the bad ones are named.
TEST_P(ClaimCopyFault, IsRefusedAndTheCopyGoesOn) {
  legacy::InsertEvent(db(), {{"patientid", L(1)}, {"date_occurred", D(2014, 2, 28)}});
  std::vector<std::int32_t> bad;
  for (const std::string name : {"first", "orphan", "third", "orphan", "fifth"}) {
    legacy::Row row{{"client_id", L(1)}, {"event_id", L(1)}, {"Patient_LName", T(name)}};
    if (name == "orphan")
      for (const auto& [column, value] : GetParam().row) row[column] = value;
    const auto key = Add("conv_hcfa_info", "hcfa_id", row);
    if (name == "orphan") bad.push_back(key);
  }
  COMMoveCMSData();
  EXPECT_EQ(Select("select * from cms2012 order by CMS_ID", {"PATIENT_LNAME"}),
            (std::vector<legacy::Row>{{{"PATIENT_LNAME", T("FIRST")}}, {{"PATIENT_LNAME", T("THIRD")}},
                                      {{"PATIENT_LNAME", T("FIFTH")}}}));
  ExpectRefusals("COMMoveCMSData", {5210, 5210}, "conv_hcfa_info.hcfa_id", bad, GetParam().said);
  const RowTally& tally = CurrentRun().reconciliation.claimCopy;
  EXPECT_EQ(tally.walked, 5);
  EXPECT_EQ(tally.written, 3);
  EXPECT_EQ(tally.refusedKeys, (std::vector<std::string>{std::to_string(bad[0]), std::to_string(bad[1])}));
  EXPECT_EQ(LastProgress("COMMoveCMSData"), "5/5");
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, ClaimCopyFault,
    ::testing::Values(
        ClaimFault{"OverlongText", {{"cpt3", T("OVERLONG")}}, "'cms2012.CPT3' is too small"},
        ClaimFault{"OverlongState", {{"Patient_State", T("OHX")}}, "'cms2012.PATIENT_STATE' is too small"},
        ClaimFault{"OverlongUpperCased", {{"Patient_MI", T("qz")}}, "'cms2012.PATIENT_MI' is too small"},
        ClaimFault{"MissingPatient", {{"client_id", L(99)}}, "related record is required in table 'Person'"},
        ClaimFault{"NoPatient", {{"client_id", Null()}}, "'cms2012.CLIENT_ID' cannot contain a Null"},
        ClaimFault{"MissingEvent", {{"event_id", L(99)}}, "related record is required in table 'event'"},
        ClaimFault{"NoEvent", {{"event_id", Null()}}, "'cms2012.EVENT_ID' cannot contain a Null"}),
    [](const auto& p) { return std::string(p.param.name); });

// A code too long for its column leaves the rest of its event's codes
// unwritten; every later event still gets its codes. Each record names the
// line of its own failing code.
TEST_F(RowIsolation, AnOverlongDiagnosisCodeCostsOnlyItsEvent) {
  const auto event = [this](std::vector<std::tuple<int, const char*, const char*>> codes) {
    legacy::Row row{{"patientid", L(1)}};
    for (const auto& [k, a, b] : codes) {
      row["DIAGNOSIS_CODE" + std::to_string(k) + "a"] = T(a);
      row["DIAGNOSIS_CODE" + std::to_string(k) + "b"] = T(b);
    }
    return Add("event", "id", row);
  };
  const std::int32_t ids[] = {event({{1, "724", "2"}}),
                              event({{2, "E8497", "123"}, {1, "V1", "1"}, {3, "300", "4"}}),
                              event({{1, "1", "1"}}), event({{1, "E8497", "123"}}), event({{1, "846", "0"}})};
  COMAddRowData();
  std::vector<legacy::Row> codes;
  for (const char* icda : {"724.2", "V1.1", "1.1", "", "846.0"})
    codes.push_back({{"icda", T(icda)}, {"icdb", T("")}, {"icdc", T("")}});
  EXPECT_EQ(Select("select icda, icdb, icdc from event order by id", {"icda", "icdb", "icdc"}), codes);
  ExpectRefusals("COMAddRowData", {140, 100}, "event.id", {ids[1], ids[3]}, "is too small");
  const RowTally& tally = CurrentRun().reconciliation.diagnosisCodes;
  EXPECT_EQ(tally.walked, 5);
  EXPECT_EQ(tally.written, 3);
  EXPECT_EQ(tally.refusedKeys.size(), 2u);
}

// A claim without a patient stops nothing: the claims after it are linked.
TEST_F(RowIsolation, AClaimWithoutAPatientCostsOnlyItself) {
  std::vector<std::int32_t> keys;
  for (int i = 0; i < 5; ++i)
    keys.push_back(Add("conv_hcfa_info", "hcfa_id",
                       {{"client_id", i % 2 == 1 ? Null() : L(1 + i % 2)}, {"date_of_injury", D(2014, 3, 1 + i)}}));
  COMFixNullEvent();
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(Scalar("select event_id from conv_hcfa_info where hcfa_id = " + std::to_string(keys[i]),
                     "event_id").IsNull(), i % 2 == 1) << i;
  ExpectRefusals("COMFixNullEvent", {0, 0}, "conv_hcfa_info.hcfa_id", {keys[1], keys[3]}, "patientid");
  const Reconciliation& r = CurrentRun().reconciliation;
  EXPECT_EQ(r.eventLinking.walked, 5);
  EXPECT_EQ(r.eventLinking.written, 3);
  EXPECT_EQ(r.eventsCreated, Count("event"));
  EXPECT_EQ(r.linkedToNewEvent, 1);
}

// A failure that is not about one row still ends the step at its line.
TEST_F(RowIsolation, AFailureOfTheStepItselfStillEndsIt) {
  SwitchToNewDatabase({legacy::LegacyTable("Person"), legacy::LegacyTable("event"),
                       legacy::LegacyTable("conv_hcfa_info")});
  for (int i = 0; i < 2; ++i) legacy::InsertClaim(db(), {{"client_id", L(1)}, {"event_id", L(1)}});
  COMMoveCMSData();
  ExpectReports({{"COMMoveCMSData", 5210, {"cms2012"}}});
  EXPECT_TRUE(CurrentRun().reconciliation.claimCopy.refusedKeys.empty());
  EXPECT_EQ(CurrentRun().reconciliation.claimCopy.walked, 0);
}

}  // namespace
}  // namespace calmora::testing
