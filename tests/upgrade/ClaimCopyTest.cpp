// The claim copy: what arrives in cms2012 for each legacy claim, and how a
// row the database refuses is reported.
#include <gtest/gtest.h>

#include <cctype>
#include <tuple>
#include <string>

#include "UpgradeFixture.h"
#include "upgrade/ClaimRules.h"
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

// A column of the full claim: the legacy column and its value, and the
// cms2012 column (none given: the same name in capitals; empty: none) with
// what it must hold (none given: the same value).
struct Cell {
  Cell(std::string f, jet::Value v) : Cell(f, v, Upper(f), v) {}
  Cell(std::string f, jet::Value v, jet::Value o) : Cell(f, std::move(v), Upper(f), std::move(o)) {}
  Cell(std::string f, jet::Value v, std::string t) : Cell(std::move(f), v, std::move(t), v) {}
  Cell(std::string f, jet::Value v, std::string t, jet::Value o)
      : from(std::move(f)), in(std::move(v)), to(std::move(t)), out(std::move(o)) {}
  static std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
  }
  std::string from;
  jet::Value in;
  std::string to;
  jet::Value out;
};

std::vector<Cell> FullClaim() {
  std::vector<Cell> cells{
      {"client_id", L(2)}, {"event_id", L(1)}, {"date_of_therapy", D(2014, 3, 5)},
      {"queued_for_batch", B(true)}, {"Carrier1", T("Blue Shield of Ohio")},
      {"Carrier2", T("PO Box 1200")},
      {"Carrier_City", T("north cincinnati heights twp"), T("NORTH CINCINNATI HEIGHTS TW")},
      {"Carrier_State", T("OH")}, {"Carrier_Zip", T("12345-6789"), T("12345-    ")},
      {"Insured_Idnum", T("ABCDEFGHIJKLMNOPQRSTUVWXYZ1234"), T("ABCDEFGHIJKLMNOPQRSTUVWXYZ123")},
      {"Patient_LName", T("o'brien-smithfield"), T("O'BRIEN-SMITHFI")},
      {"Patient_FName", T("maximiliana"), T("MAXIMILIAN")}, {"Patient_MI", T("ł"), T("Ł")},
      {"Patient_DOB", D(1961, 7, 4)}, {"Patient_Gender_M", B(false)}, {"Patient_Gender_F", B(true)},
      {"Insured_LName", T("żółtowska-brzęczyszczykiewicz"), T("ŻÓŁTOWSKA-BRZĘCZ")},
      {"Insured_FName", T("ed"), T("ED")}, {"Insured_MI", T("")},
      {"Patient_Address", T("1234 Long Meadow Boulevard Apartment 5"),
       T("1234 Long Meadow Boulevard A")},
      {"Patient_City", T("Cincinnati")}, {"Patient_State", T("OH")},
      {"Patient_Zip_Code", T("12345"), T("12345-    ")}, {"Patient_Phone_Number", T("(513) 555-0100")},
      {"Insured_Address", T("9 Elm St")}, {"Insured_City", T("Dayton")}, {"Insured_State", T("OH")},
      {"Insured_Zip_Code", T("123"), T("123-    ")}, {"Insured_Phone_Number", T("")},
      {"Other_LName", T("ng"), T("NG")}, {"Other_FName", T("li"), T("LI")}, {"Other_MI", T("")},
      {"Other_GroupNum", T("GRP-0001")},
      {"Other_InsPlan_Name", T("Acme Health Plan Gold Premier"), T("Acme Health Plan Gold Premie")},
      {"Related_Employment_Y", B(false)}, {"Related_Employment_N", B(true)},
      {"Related_Auto_Y", B(true)}, {"Related_Auto_N", B(false)}, {"Related_Auto_State", T("KY")},
      {"Related_Other_Y", B(false)}, {"Related_Other_N", B(true)}, {"Insured_GroupNum", T("G-77")},
      {"Insured_DOB", Null()}, {"Insured_Gender_M", B(true)}, {"Insured_Gender_F", B(false)},
      {"Insured_InsPlan_Name", T("Medicare")}, {"Another_Plan_Y", B(false)},
      {"Another_Plan_N", B(true)}, {"Patient_Sig_On_File", B(true)},
      {"Insured_Sig_On_File", B(false)}, {"date_of_injury", D(2014, 2, 28)},
      {"first_date_of_injury", D(2014, 2, 1), "OTHER_DATE"},
      {"date_unable_work_from", jet::Value::Date({2014, 3, 1, 14, 5, 0})},
      {"date_unable_work_to", Null()},
      {"referring_physician_name", T("Dr. Henrietta Featherston"), "REFERRING_PROVIDER_NAME",
       T("Dr. Henrietta Feathersto")},
      {"referring_physician_alt_code", T("1G"), "REFERRING_PROVIDER_ID_QUAL"},
      {"referring_physician_alt_num", T("ALT-NUMBER-12345678"), "REFERRING_PROVIDER_ID",
       T("ALT-NUMBER-123456")},
      {"referring_physician_num", T("123456789012345"), "REFERRING_PROVIDER_NPI", T("1234567890")},
      {"date_hospitalized_from", Null()}, {"date_hospitalized_to", Null()},
      {"outside_lab_Y", B(false)}, {"outside_lab_N", B(true)},
      {"outside_lab_charges1", T("125.00"), "OUTSIDE_LAB_CHARGES"},
      {"DIAGNOSIS_CODE1a", T("724"), "ICDA", T("724.2")}, {"DIAGNOSIS_CODE1b", T("2"), ""},
      {"DIAGNOSIS_CODE2a", T("E8497"), "ICDB", T("E8497.1")}, {"DIAGNOSIS_CODE2b", T("123"), ""},
      {"DIAGNOSIS_CODE3a", T(" 724 "), "ICDC", T("724 .")}, {"DIAGNOSIS_CODE3b", T(""), ""},
      {"DIAGNOSIS_CODE4a", Null(), "ICDD", T("")}, {"DIAGNOSIS_CODE4b", Null(), ""},
      {"medicaid_resubmission_code", T("RESUB-CODE-1234"), "RESUBMISSION_CODE", T("RESUB-CODE-")},
      {"original_reference_num", T("ORIG-REF-0000000001"), T("ORIG-REF-000000000")},
      {"prior_authorization_num", T("PA-1")},
      {"fed_tax_id_num", T("31-1234567-EXTRA-999"), T("31-1234567-EXTR")},
      {"fed_tax_id_code_ssn", B(false)}, {"fed_tax_id_code_ein", B(true)},
      {"patient_account_num", T("ACCT-000012345678"), T("ACCT-000012345")},
      {"accept_assignment_Y", B(true)}, {"accept_assignment_N", B(false)},
      {"total_charge", M("601.5")}, {"amount_paid", M("0")}, {"Physician_Sig_On_File", B(true)},
      {"Facility_1", T("Riverside Physical Therapy Ctr"), T("Riverside Physical Therapy")},
      {"Facility_2", T("200 Main St")}, {"Facility_City", T("münchen-straße"), T("MÜNCHEN-STRA")},
      {"Facility_State", T("KY")}, {"Facility_Zip", T("41011-0001"), T("41011-    ")},
      {"Facility_NPI", T("1234567893")},
      {"Facility_nonNPI", T("NONNPI-FAC-000001"), T("NONNPI-FAC-000")},
      {"Supplier_Phone", T("(859) 555-0199"), "PROVIDER_PHONE"},
      {"Supplier_1", T("Riverside Therapy Group, Inc."), "PROVIDER_1",
       T("Riverside Therapy Group, Inc")},
      {"Supplier_2", T("PO Box 77"), "PROVIDER_2"},
      {"Provider_City", T("fort mitchell"), T("FORT MITCHELL")}, {"Provider_State", T("KY")},
      {"Provider_Zip", T(""), T("-    ")}, {"Supplier_NPI", T("9876543210"), "PROVIDER_NPI"},
      {"Supplier_nonNPI", T("O'NEIL-PROVIDER"), "PROVIDER_NONNPI"},
  };
  for (int i = 1; i <= 7; ++i)
    cells.push_back({"Insurance_type" + std::to_string(i), B(i == 1 || i == 7)});
  for (int i = 1; i <= 4; ++i) cells.push_back({"Patient_Relation" + std::to_string(i), B(i == 1)});
  for (int n = 1; n <= 6; ++n) {
    const std::string s = std::to_string(n);
    const Cell line[] = {
        {"detail_explanation" + s, T("Supplemental information for service line " + s + " here"),
         "SUPPLEMENTAL" + s, T("Supplemental information for service li")},
        {"date_service_from_" + s, D(2014, 3, n)},
        {"date_service_to_" + s, n == 2 ? Null() : D(2014, 3, n + 1)},
        {"place_of_service" + s, T("11x"), T("11")}, {"emg" + s, T("Y")}, {"cpt" + s, T("9711" + s)},
        {"ModifierA" + s, T("GP")}, {"ModifierB" + s, T("59")}, {"ModifierC" + s, T("")},
        {"ModifierD" + s, T("KX")}, {"Diagnosis_Code" + s, T("1234567"), T("1234")},
        {"charges" + s, n == 6 ? Null() : M("100.25")},
        {"days_or_units" + s, n == 6 ? Null() : L(n)},
        {"epsdt_family_plan" + s, T("NF"), "FAMILY_PLAN" + s, T("N")},
        {"id_qual" + s, T("1C"), "RENDERING_ID_QUAL" + s},
        {"alt_id" + s, T("ALT" + s), "RENDERING_ID" + s}};
    cells.insert(cells.end(), std::begin(line), std::end(line));
  }
  return cells;
}

// The full claim, then one of NULLs only: a NULL outside the cleaned
// columns once stopped the whole copy; now it is written as the empty text,
// False or null, as a column with no legacy source is.
TEST_F(ClaimCopy, AFullAndAnAllNullClaimArriveColumnByColumn) {
  legacy::Row source;
  legacy::Row expected{{"CMS_ID", L(1)}};
  for (const Cell& c : FullClaim()) {
    source[c.from] = c.in;
    ASSERT_TRUE(c.to.empty() || expected.emplace(c.to, c.out).second) << c.to;
  }
  legacy::InsertClaim(db(), source);
  AddClaim({});
  COMMoveCMSData();
  ExpectNoReports();
  const auto rows = Copied();
  ASSERT_EQ(rows.size(), 2u);
  std::size_t named = 0;
  for (const auto& c : Cms2012Table().columns) {
    const auto it = expected.find(c.name);
    named += it != expected.end();
    const jet::Value blank = c.type == ColumnType::Text    ? T("")
                             : c.type == ColumnType::YesNo ? B(false)
                                                           : Null();
    EXPECT_EQ(rows[0].at(c.name), it != expected.end() ? it->second : blank) << c.name;
    if (c.type == ColumnType::Counter || c.type == ColumnType::Long) continue;
    EXPECT_EQ(rows[1].at(c.name), c.name.find("ZIP") != std::string::npos ? T("-    ") : blank)
        << c.name << " from NULL";
  }
  EXPECT_EQ(named, expected.size()) << "every named column exists";
  EXPECT_EQ(rows[1].at("CLIENT_ID"), L(1));
  EXPECT_EQ(LastProgress("COMMoveCMSData"), Done(2, 2));
  EXPECT_EQ(Scalar("select Patient_LName from conv_hcfa_info where client_id = 2", "Patient_LName"),
            T("o'brien-smithfield"))
      << "the legacy row is left as it was";
}

// Parts a and b of a code joined by a point and trimmed, into the event's
// columns and the claim's, where they are cut to seven.
TEST_F(ClaimCopy, DiagnosisCodesAreJoinedIntoEventsAndClaims) {
  const std::tuple<jet::Value, jet::Value, const char*> cases[] = {
      {T("724"), T("2"), "724.2"}, {T(""), T(""), ""},        {Null(), Null(), ""},
      {T("724"), T(""), "724."},   {T(""), T("5"), ".5"},     {Null(), T("9"), ".9"},
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
  EXPECT_EQ(LastProgress("COMAddRowData"), Done(std::size(cases), std::size(cases)));
  const auto events =
      Select("select * from event where id > 1 order by id", {"icda", "icdb", "icdc", "icdd", "icde"});
  const auto claims = Copied();
  ASSERT_EQ(events.size(), std::size(cases) - 1);
  ASSERT_EQ(claims.size(), std::size(cases));
  for (std::size_t i = 0; i < claims.size(); ++i) {
    const jet::Value icd = T(std::get<2>(cases[i]));
    EXPECT_EQ(claims[i].at("ICDA"), icd) << i;
    EXPECT_EQ(claims[i].at("ICDB"), T("")) << i;
    EXPECT_EQ(claims[i].at("ICDD"), icd) << i;
    if (i == events.size()) break;
    for (const auto& [column, value] : events[i])
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
      {"DIAGNOSIS_CODE1a", 70}, {"DIAGNOSIS_CODE2b", 80},  {"DIAGNOSIS_CODE4a", 100},
      {"client_id", 2410},      {"event_id", 2410},        {"date_of_therapy", 2420},
      {"queued_for_batch", 2450}, {"Patient_DOB", 2630},   {"Supplier_nonNPI", 5200},
  };
  for (const auto& [missing, line] : cases) {
    SCOPED_TRACE(missing);
    legacy::TableDef claims = legacy::LegacyTable("conv_hcfa_info");
    const std::string dropped = missing;  // a lambda may not capture a binding in clang 14
    ASSERT_EQ(std::erase_if(claims.columns, [&](const auto& c) { return c.name == dropped; }), 1u);
    SwitchToNewDatabase({legacy::LegacyTable("Person"), legacy::LegacyTable("event"), claims});
    Exec("insert into conv_hcfa_info (Patient_LName) values ('x')");
    ui.clear();
    COMMoveCMSData();
    ASSERT_EQ(ui.messages().size(), 1u);
    EXPECT_EQ(ui.messages()[0].text.find("Error on line... " + std::to_string(line) + "\r\n"),
              ui.messages()[0].text.find(' ') + 1)
        << ui.messages()[0].text;
  }
}

// The INSERT text where its exact form matters: the column list, the
// separators of each rule, the quoting and the closing.
TEST(ClaimInsert, TextFollowsTheFormOfEachRule) {
  const legacy::Row row{{"client_id", L(12)},      {"event_id", L(34)},
                        {"date_of_therapy", D(2014, 3, 5)}, {"queued_for_batch", B(true)},
                        {"Carrier1", T("Blue")},   {"Carrier_Zip", T("45202-1234")},
                        {"Insurance_type1", B(true)}, {"Patient_LName", T("o'brien-smithfield")},
                        {"charges1", M("12.5")},   {"Supplier_nonNPI", T("O'NEIL")}};
  int line = 0;
  const std::string sql = BuildClaimInsert(
      [&row](const std::string& column) {
        const auto it = row.find(column);
        return it == row.end() ? jet::Value() : it->second;
      },
      {"724.2", ".", "E8497.123", "724 ."}, line);
  EXPECT_EQ(line, 5210);
  EXPECT_EQ(sql.rfind("Insert into cms2012 (CLIENT_ID, EVENT_ID,DATE_OF_THERAPY, QUEUED_FOR_BATCH, "
                      "CARRIER1, CARRIER2, CARRIER3, CARRIER_CITY, ",
                      0),
            0u)
      << sql.substr(0, 120);
  for (const char* part :
       {"PROVIDER_NPI, PROVIDER_NONNPI)  Values (12, 34, #3/5/2014#, True, 'Blue', '', '', '', '', "
        "'45202-    ', True,False,False,False,False,False,False,'', 'O''BRIEN-SMITHFI', ",
        ", False, '724.2', '', 'E8497.1', '724 .', '', '', ", ", 12.5, null, '', "})
    EXPECT_NE(sql.find(part), std::string::npos) << part << " in " << sql;
  EXPECT_EQ(sql.substr(sql.size() - 12), ", 'O''NEIL')");
  EXPECT_EQ(sql.find("CMS_ID"), std::string::npos);
  EXPECT_EQ(sql.find("LAST_BATCH_DATE"), std::string::npos);
  const std::string head = sql.substr(0, sql.find(")  Values ("));
  EXPECT_EQ(std::count(head.begin(), head.end(), ',') + 1, 231);
}

}  // namespace
}  // namespace calmora::testing
