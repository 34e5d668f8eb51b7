// One faulty row in a row-walking step: it is refused and named by its key,
// the rows after it are handled as if it were not there, only the step's
// first refusal shows a box, and the step's tally says what happened.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
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

  std::int32_t AddEvent(legacy::Row row) {
    row.emplace("patientid", L(1));
    row.emplace("date_occurred", D(2014, 2, 28));
    legacy::InsertEvent(db(), row);
    return Scalar("select max(id) as n from event", "n").AsLong();
  }
  std::int32_t AddClaim(legacy::Row row) {
    legacy::InsertClaim(db(), row);
    return Scalar("select max(hcfa_id) as n from conv_hcfa_info", "n").AsLong();
  }

  // Refusals of one step: one box, a log record each naming its line (0:
  // none) and its row's key, in the step's location, and no patient value.
  void ExpectRefusals(const std::string& procedure, const std::vector<int>& lines,
                         const std::string& keyColumn,
                         const std::vector<std::int32_t>& keys, const std::string& said,
                         const std::vector<std::string>& values) {
    std::vector<std::string> boxes;
    for (const ShownMessage& m : ui.messages()) boxes.push_back(m.title + ": " + m.text);
    ASSERT_EQ(boxes.size(), 1u) << "only the first refusal shows a box";
    const std::string log = LogBytes();
    const auto records = Records(log);
    ASSERT_EQ(records.size(), keys.size()) << log;
    ASSERT_EQ(lines.size(), keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i) {
      SCOPED_TRACE("refusal " + std::to_string(i + 1));
      const std::string prefix = lines[i] == 0 ? "DESCRIPTION: "
                                               : "DESCRIPTION: Error on line... " +
                                                     std::to_string(lines[i]) + "\r\n";
      const std::string& record = records[i];
      const std::size_t at = record.find(prefix);
      ASSERT_NE(at, std::string::npos) << record;
      const std::string description =
          record.substr(at + prefix.size(), record.find("\r\n", at + prefix.size()) - at - prefix.size());
      EXPECT_NE(description.find(said), std::string::npos) << description;
      EXPECT_TRUE(description.ends_with(" (row " + keyColumn + " " + std::to_string(keys[i]) + ")"))
          << description;
      EXPECT_NE(record.find("\r\nLOCATION: modCommon/" + procedure + "\r\n"), std::string::npos);
      if (i == 0) {
        EXPECT_NE(boxes[0].find(description), std::string::npos) << boxes[0];
      }
    }
    for (const std::string& value : values) {
      EXPECT_EQ(log.find(value), std::string::npos) << value << " in the log";
      EXPECT_EQ(boxes[0].find(value), std::string::npos) << value << " in the box";
    }
    EXPECT_TRUE(calmora::CurrentRun().log.ErrorsReported);
    EXPECT_EQ(db().errors().Count(), 0u) << "every record's dump cleared the list";
  }
};

struct ClaimFault {
  const char* name;
  legacy::Row row;
  const char* said;                 // in the engine's words
  std::vector<std::string> values;  // of the row: never in a report
  friend void PrintTo(const ClaimFault& f, std::ostream* out) { *out << f.name; }
};

class ClaimCopyFault : public RowIsolation, public ::testing::WithParamInterface<ClaimFault> {};

// Good, bad, good, bad, good: the good ones arrive, the bad ones are named.
TEST_P(ClaimCopyFault, IsRefusedAndTheCopyGoesOn) {
  legacy::InsertEvent(db(), {{"patientid", L(1)}, {"date_occurred", D(2014, 2, 28)}});
  std::vector<std::int32_t> bad;
  for (const char* name : {"first", "orphan", "third", "orphan", "fifth"}) {
    legacy::Row row{{"client_id", L(1)}, {"event_id", L(1)}, {"Patient_LName", T(name)}};
    if (std::string(name) == "orphan")
      for (const auto& [column, value] : GetParam().row) row[column] = value;
    const auto key = AddClaim(row);
    if (std::string(name) == "orphan") bad.push_back(key);
  }
  COMMoveCMSData();
  const auto rows = Select("select * from cms2012 order by CMS_ID", {"PATIENT_LNAME"});
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].at("PATIENT_LNAME"), T("FIRST"));
  EXPECT_EQ(rows[1].at("PATIENT_LNAME"), T("THIRD"));
  EXPECT_EQ(rows[2].at("PATIENT_LNAME"), T("FIFTH"));
  std::vector<std::string> values = GetParam().values;
  values.insert(values.end(), {"orphan", "ORPHAN"});
  ExpectRefusals("COMMoveCMSData", {5210, 5210}, "conv_hcfa_info.hcfa_id", bad, GetParam().said, values);
  const RowTally& tally = calmora::CurrentRun().reconciliation.claimCopy;
  EXPECT_EQ(tally.walked, 5);
  EXPECT_EQ(tally.written, 3);
  EXPECT_EQ(tally.refusedKeys, (std::vector<std::string>{std::to_string(bad[0]), std::to_string(bad[1])}));
  EXPECT_EQ(LastProgress("COMMoveCMSData"), Done(5, 5));
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, ClaimCopyFault,
    ::testing::Values(
        ClaimFault{"OverlongText", {{"cpt3", T("OVERLONG")}}, "'cms2012.CPT3' is too small", {"OVERLONG"}},
        ClaimFault{"OverlongState", {{"Patient_State", T("OHX")}}, "'cms2012.PATIENT_STATE' is too small",
                   {"OHX"}},
        ClaimFault{"OverlongUpperCased", {{"Patient_MI", T("qz")}}, "'cms2012.PATIENT_MI' is too small",
                   {"qz", "QZ"}},
        ClaimFault{"MissingPatient", {{"client_id", L(99)}}, "related record is required in table 'Person'", {}},
        ClaimFault{"NoPatient", {{"client_id", Null()}}, "'cms2012.CLIENT_ID' cannot contain a Null", {}},
        ClaimFault{"MissingEvent", {{"event_id", L(99)}}, "related record is required in table 'event'", {}},
        ClaimFault{"NoEvent", {{"event_id", Null()}}, "'cms2012.EVENT_ID' cannot contain a Null", {}}),
    [](const auto& p) { return std::string(p.param.name); });

// A code too long for its column leaves the rest of its event's codes
// unwritten; every later event still gets its codes.
TEST_F(RowIsolation, AnOverlongDiagnosisCodeCostsOnlyItsEvent) {
  const auto code = [](const char* a, const char* b, int k = 1) {
    return legacy::Row{{"DIAGNOSIS_CODE" + std::to_string(k) + "a", T(a)},
                       {"DIAGNOSIS_CODE" + std::to_string(k) + "b", T(b)}};
  };
  const auto first = AddEvent(code("724", "2"));
  legacy::Row secondCode = code("E8497", "123", 2);
  secondCode.merge(code("V1", "1"));
  secondCode.merge(code("300", "4", 3));
  const auto bad = AddEvent(secondCode);
  const auto third = AddEvent(code("1", "1"));
  const auto badFirstCode = AddEvent(code("E8497", "123"));
  const auto fifth = AddEvent(code("846", "0"));
  COMAddRowData();
  const auto icd = [this](std::int32_t id, const char* column) {
    return Scalar("select " + std::string(column) + " from event where id = " + std::to_string(id), column);
  };
  EXPECT_EQ(icd(first, "icda"), T("724.2"));
  EXPECT_EQ(icd(bad, "icda"), T("V1.1"));
  EXPECT_EQ(icd(bad, "icdb"), T(""));
  EXPECT_EQ(icd(bad, "icdc"), T(""));
  EXPECT_EQ(icd(third, "icda"), T("1.1"));
  EXPECT_EQ(icd(badFirstCode, "icda"), T(""));
  EXPECT_EQ(icd(fifth, "icda"), T("846.0"));
  // Each record names the line of its own failing code.
  ExpectRefusals("COMAddRowData", {140, 100}, "event.id", {bad, badFirstCode}, "is too small",
                    {"E8497"});
  const RowTally& tally = calmora::CurrentRun().reconciliation.diagnosisCodes;
  EXPECT_EQ(tally.walked, 5);
  EXPECT_EQ(tally.written, 3);
  EXPECT_EQ(tally.refusedKeys.size(), 2u);
}

// A claim without a patient stops nothing: the claims after it are linked.
TEST_F(RowIsolation, AClaimWithoutAPatientCostsOnlyItself) {
  std::vector<std::int32_t> bad, good;
  for (int i = 0; i < 5; ++i) {
    const bool faulty = i % 2 == 1;
    const auto key = AddClaim({{"client_id", faulty ? Null() : L(1 + i % 2)},
                               {"date_of_injury", D(2014, 3, 1 + i)}});
    (faulty ? bad : good).push_back(key);
  }
  COMFixNullEvent();
  for (const auto key : good)
    EXPECT_FALSE(Scalar("select event_id from conv_hcfa_info where hcfa_id = " + std::to_string(key),
                        "event_id").IsNull()) << key;
  for (const auto key : bad)
    EXPECT_TRUE(Scalar("select event_id from conv_hcfa_info where hcfa_id = " + std::to_string(key),
                       "event_id").IsNull()) << key;
  ExpectRefusals("COMFixNullEvent", {0, 0}, "conv_hcfa_info.hcfa_id", bad, "patientid", {});
  EXPECT_EQ(LogBytes().find("Error on line"), std::string::npos);
  const Reconciliation& r = calmora::CurrentRun().reconciliation;
  EXPECT_EQ(r.eventLinking.walked, 5);
  EXPECT_EQ(r.eventLinking.written, 3);
  EXPECT_EQ(r.eventsCreated, Count("event"));
  EXPECT_EQ(r.linkedToNewEvent, 1);
}

// A failure that is not about one row still ends the step at its line.
TEST_F(RowIsolation, AFailureOfTheStepItselfStillEndsIt) {
  SwitchToNewDatabase({legacy::LegacyTable("Person"), legacy::LegacyTable("event"),
                       legacy::LegacyTable("conv_hcfa_info")});
  AddClaim({{"client_id", L(1)}, {"event_id", L(1)}});
  AddClaim({{"client_id", L(1)}, {"event_id", L(1)}});
  COMMoveCMSData();
  ExpectReports({{"COMMoveCMSData", 5210}});
  EXPECT_NE(ui.messages().at(0).text.find("cms2012"), std::string::npos);
  EXPECT_TRUE(calmora::CurrentRun().reconciliation.claimCopy.refusedKeys.empty());
  EXPECT_EQ(calmora::CurrentRun().reconciliation.claimCopy.walked, 0);
}

}  // namespace
}  // namespace calmora::testing
