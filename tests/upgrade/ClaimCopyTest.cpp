// The claim copy: what arrives in cms2012 for each legacy claim, and the
// line a failing read is reported at.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <tuple>

#include "UpgradeFixture.h"
#include "upgrade/NewTables.h"

namespace calmora::testing {
namespace {

class ClaimCopy : public UpgradeFixture {
 protected:
  void SetUp() override {
    UpgradeFixture::SetUp();
    RunSchemaSteps();
    legacy::InsertPerson(db(), PersonRow(1, "Okafor"));
    legacy::InsertPerson(db(), PersonRow(2, "Lindqvist"));
    legacy::InsertEvent(db(), {{"patientid", L(1)}, {"date_occurred", D(2014, 2, 28)}});
  }
  void AddClaim(legacy::Row row) {
    row.emplace("client_id", L(1));
    row.emplace("event_id", L(1));
    legacy::InsertClaim(db(), row);
  }
  std::vector<legacy::Row> Copied() {
    std::vector<std::string> names;
    for (const auto& c : Cms2012Table().columns) names.push_back(c.name);
    return Select("select * from cms2012 order by CMS_ID", names);
  }
};

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// A legacy column whose value the copy changes: what it must be in the
// cms2012 column of its name in capitals, or in `to`.
struct Cell {
  std::string from;
  jet::Value in, out;
  std::string to = "";
};

std::vector<Cell> ChangedCells() {
  std::vector<Cell> cells{
      {"client_id", L(2), L(2)}, {"event_id", L(1), L(1)},
      {"Carrier_City", T("north cincinnati heights twp"), T("NORTH CINCINNATI HEIGHTS TW")},
      {"Carrier_Zip", T("12345-6789"), T("12345-    ")},
      {"Insured_Idnum", T("ABCDEFGHIJKLMNOPQRSTUVWXYZ1234"), T("ABCDEFGHIJKLMNOPQRSTUVWXYZ123")},
      {"Patient_LName", T("o'brien-smithfield"), T("O'BRIEN-SMITHFI")},
      {"Patient_FName", T("maximiliana"), T("MAXIMILIAN")}, {"Patient_MI", T("ł"), T("Ł")},
      {"Insured_LName", T("żółtowska-brzęczyszczykiewicz"), T("ŻÓŁTOWSKA-BRZĘCZ")},
      {"Insured_FName", T("ed"), T("ED")}, {"Other_LName", T("ng"), T("NG")},
      {"Other_FName", T("li"), T("LI")}, {"Provider_City", T("fort mitchell"), T("FORT MITCHELL")},
      {"Patient_Address", T("1234 Long Meadow Boulevard Apartment 5"), T("1234 Long Meadow Boulevard A")},
      {"Patient_Zip_Code", T("12345"), T("12345-    ")}, {"Insured_Zip_Code", T("123"), T("123-    ")},
      {"Other_InsPlan_Name", T("Acme Health Plan Gold Premier"), T("Acme Health Plan Gold Premie")},
      {"date_unable_work_from", jet::Value::Date({2014, 3, 1, 14, 5, 0}), jet::Value::Date({2014, 3, 1, 14, 5, 0})},
      {"referring_physician_name", T("Dr. Henrietta Featherston"), T("Dr. Henrietta Feathersto"),
       "REFERRING_PROVIDER_NAME"},
      {"referring_physician_alt_num", T("ALT-NUMBER-12345678"), T("ALT-NUMBER-123456"),
       "REFERRING_PROVIDER_ID"},
      {"referring_physician_num", T("123456789012345"), T("1234567890"), "REFERRING_PROVIDER_NPI"},
      {"DIAGNOSIS_CODE2a", T("E8497"), T("E8497.1"), "ICDB"}, {"DIAGNOSIS_CODE2b", T("123"), {}, "-"},
      {"DIAGNOSIS_CODE3a", T(" 724 "), T("724 ."), "ICDC"}, {"DIAGNOSIS_CODE3b", T(""), {}, "-"},
      {"medicaid_resubmission_code", T("RESUB-CODE-1234"), T("RESUB-CODE-"), "RESUBMISSION_CODE"},
      {"original_reference_num", T("ORIG-REF-0000000001"), T("ORIG-REF-000000000")},
      {"fed_tax_id_num", T("31-1234567-EXTRA-999"), T("31-1234567-EXTR")},
      {"patient_account_num", T("ACCT-000012345678"), T("ACCT-000012345")},
      {"Facility_1", T("Riverside Physical Therapy Ctr"), T("Riverside Physical Therapy")},
      {"Facility_City", T("münchen-straße"), T("MÜNCHEN-STRA")},
      {"Facility_Zip", T("41011-0001"), T("41011-    ")},
      {"Facility_nonNPI", T("NONNPI-FAC-000001"), T("NONNPI-FAC-000")},
      {"Supplier_1", T("Riverside Therapy Group, Inc."), T("Riverside Therapy Group, Inc"), "PROVIDER_1"},
      {"Provider_Zip", T(""), T("-    ")}, {"Supplier_nonNPI", T("O'NEIL-PROV"), T("O'NEIL-PROV"), "PROVIDER_NONNPI"}};
  for (const std::string n : {"1", "2", "3", "4", "5", "6"})
    cells.insert(cells.end(), {{"detail_explanation" + n, T("Supplemental information for service line " + n),
                                T("Supplemental information for service li"), "SUPPLEMENTAL" + n},
                               {"place_of_service" + n, T("11x"), T("11")},
                               {"Diagnosis_Code" + n, T("1234567"), T("1234")},
                               {"epsdt_family_plan" + n, T("NF"), T("N"), "FAMILY_PLAN" + n},
                               {"id_qual" + n, T("1C"), T("1C"), "RENDERING_ID_QUAL" + n},
                               {"alt_id" + n, T("ALT" + n), T("ALT" + n), "RENDERING_ID" + n}});
  return cells;
}

// Legacy columns whose value arrives unchanged under another name.
const std::pair<std::string, std::string> kRenamed[] = {
    {"first_date_of_injury", "OTHER_DATE"}, {"referring_physician_alt_code", "REFERRING_PROVIDER_ID_QUAL"},
    {"outside_lab_charges1", "OUTSIDE_LAB_CHARGES"}, {"Supplier_Phone", "PROVIDER_PHONE"},
    {"Supplier_2", "PROVIDER_2"}, {"Supplier_NPI", "PROVIDER_NPI"}};

// Every other legacy column holds a value of its own, which must arrive
// unchanged in the cms2012 column of its name, if there is one.
jet::Value OwnValue(const legacy::ColumnDef& c, int i) {
  switch (c.kind) {
    case legacy::ColumnKind::Text:
      return T(c.width == 1 ? std::string(1, char('A' + i % 26))
                            : std::string{char('A' + i / 10 % 26), char('0' + i % 10)});
    case legacy::ColumnKind::YesNo: return B(i % 2 == 1);
    case legacy::ColumnKind::Date: return D(2000 + i % 20, 1 + i % 12, 1 + i % 28);
    case legacy::ColumnKind::Currency: return M(std::to_string(i) + ".25");
    default: return L(i);
  }
}

// The full claim, then one of NULLs only: a NULL outside the cleaned
// columns once stopped the whole copy; now it is written as the empty text,
// False or null, as a column with no legacy source is.
TEST_F(ClaimCopy, AFullAndAnAllNullClaimArriveColumnByColumn) {
  legacy::Row source;
  legacy::Row expected{{"CMS_ID", L(1)}};
  for (const Cell& c : ChangedCells()) {
    source[c.from] = c.in;
    const std::string to = c.to.empty() ? Upper(c.from) : c.to;
    if (c.to == "-") continue;
    ASSERT_NE(Cms2012Table().Find(to), nullptr) << to;
    ASSERT_TRUE(expected.emplace(to, c.out).second) << to;
  }
  int i = 0;
  for (const legacy::ColumnDef& c : legacy::LegacyTable("conv_hcfa_info").columns) {
    if (c.kind == legacy::ColumnKind::Counter || source.contains(c.name) || c.name.starts_with("DIAGNOSIS_CODE"))
      continue;
    source[c.name] = OwnValue(c, ++i);
    std::string to = Upper(c.name);
    for (const auto& [from, renamed] : kRenamed) to = from == c.name ? renamed : to;
    expected.emplace(to, source[c.name]);
  }
  legacy::InsertClaim(db(), source);
  AddClaim({});
  COMMoveCMSData();
  ExpectNoReports();
  const auto rows = Copied();
  ASSERT_EQ(rows.size(), 2u);
  for (const auto& c : Cms2012Table().columns) {
    const auto it = expected.find(c.name);
    const jet::Value blank = c.type == ColumnType::Text    ? T("")
                             : c.type == ColumnType::YesNo ? B(false)
                                                           : Null();
    EXPECT_EQ(rows[0].at(c.name), it != expected.end() ? it->second : blank) << c.name;
    if (c.type == ColumnType::Counter || c.type == ColumnType::Long) continue;
    EXPECT_EQ(rows[1].at(c.name), c.name.find("ZIP") != std::string::npos ? T("-    ") : blank)
        << c.name << " from NULL";
  }
  EXPECT_EQ(rows[1].at("CLIENT_ID"), L(1));
  EXPECT_EQ(LastProgress("COMMoveCMSData"), "2/2");
  EXPECT_EQ(Scalar("select Patient_LName from conv_hcfa_info where client_id = 2", "Patient_LName"),
            T("o'brien-smithfield"))
      << "the legacy row is left as it was";
}

// Parts a and b of a code joined by a point and trimmed, into the event's
// columns and the claim's, where they are cut to seven.
TEST_F(ClaimCopy, DiagnosisCodesAreJoinedIntoEventsAndClaims) {
  const std::tuple<jet::Value, jet::Value, const char*> cases[] = {
      {T("724"), T("2"), "724.2"}, {T(""), T(""), ""},    {Null(), Null(), ""},
      {T("724"), T(""), "724."},   {T(""), T("5"), ".5"}, {Null(), T("9"), ".9"},
      {T(" 724 "), T(""), "724 ."},
      // A quote inside a code once broke the event's statement; now it is kept.
      {T(" 72'4 "), T(""), "72'4 ."}, {T("72'4"), T("1"), "72'4.1"},
      {T("E8497"), T("123"), "E8497.1"},  // claims only: too long for an event's column
  };
  for (const auto& [a, b, icd] : cases) {
    if (std::string(icd) != "E8497.1")
      legacy::InsertEvent(db(), {{"patientid", L(1)}, {"DIAGNOSIS_CODE1a", a}, {"DIAGNOSIS_CODE1b", b},
                                 {"DIAGNOSIS_CODE3a", a}, {"DIAGNOSIS_CODE3b", b}});
    AddClaim({{"DIAGNOSIS_CODE1a", a}, {"DIAGNOSIS_CODE1b", b}, {"DIAGNOSIS_CODE4a", a},
              {"DIAGNOSIS_CODE4b", b}});
  }
  COMAddRowData();
  COMMoveCMSData();
  ExpectNoReports();
  EXPECT_EQ(LastProgress("COMAddRowData"), "10/10");
  const auto events = Select("select * from event where id > 1 order by id", {"icda", "icdb", "icdc", "icdd"});
  const auto claims = Copied();
  ASSERT_EQ(events.size(), std::size(cases) - 1);
  ASSERT_EQ(claims.size(), std::size(cases));
  for (std::size_t i = 0; i < claims.size(); ++i) {
    const jet::Value icd = T(std::get<2>(cases[i]));
    EXPECT_EQ(claims[i].at("ICDA"), icd) << i;
    EXPECT_EQ(claims[i].at("ICDD"), icd) << i;
    for (const auto& [column, value] : i < events.size() ? events[i] : legacy::Row())
      EXPECT_EQ(value, column == "icda" || column == "icdc" ? icd : T("")) << i << column;
  }
}

TEST_F(ClaimCopy, AMissingTableIsReportedAtLine40) {
  SwitchToNewDatabase({});
  COMMoveCMSData();
  COMAddRowData();
  ExpectReports({{"COMMoveCMSData", 40}, {"COMAddRowData", 40}});
}

// A legacy claim table that lacks a column fails where that column is
// read, which shows the line each part of the statement is built on.
TEST_F(ClaimCopy, AColumnTheCopyCannotReadNamesTheLineOfItsItem) {
  const std::pair<const char*, int> cases[] = {
      {"DIAGNOSIS_CODE1a", 70}, {"DIAGNOSIS_CODE2b", 80},     {"DIAGNOSIS_CODE4a", 100},
      {"client_id", 2410},      {"event_id", 2410},           {"date_of_therapy", 2420},
      {"queued_for_batch", 2450}, {"Patient_DOB", 2630},     {"Supplier_nonNPI", 5200},
  };
  for (const auto& [missing, line] : cases) {
    legacy::TableDef claims = legacy::LegacyTable("conv_hcfa_info");
    const std::string dropped = missing;  // a lambda may not capture a binding in clang 14
    ASSERT_EQ(std::erase_if(claims.columns, [&](const auto& c) { return c.name == dropped; }), 1u);
    SwitchToNewDatabase({legacy::LegacyTable("Person"), legacy::LegacyTable("event"), claims});
    Exec("insert into conv_hcfa_info (Patient_LName) values ('x')");
    ui.clear();
    COMMoveCMSData();
    ASSERT_EQ(ui.messages().size(), 1u) << missing;
    const std::string& box = ui.messages()[0].text;
    EXPECT_EQ(box.find("Error on line... " + std::to_string(line) + "\r\n"), box.find(' ') + 1) << box;
  }
}

}  // namespace
}  // namespace calmora::testing
