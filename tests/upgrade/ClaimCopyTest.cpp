// The claim copy: what arrives in cms2012 for each legacy claim, and how a
// row the database refuses is reported.
#include <gtest/gtest.h>

#include <string>

#include "UpgradeFixture.h"
#include "state/RunState.h"
#include "upgrade/NewTables.h"
#include "upgrade/modCommon.h"

namespace calmora::testing {
namespace {

std::vector<std::string> CmsColumns() {
  std::vector<std::string> names;
  for (const auto& c : upgrade::Cms2012Table().columns) names.push_back(c.name);
  return names;
}

class ClaimCopy : public UpgradeFixture {
 protected:
  void SetUp() override {
    UpgradeFixture::SetUp();
    RunSchemaSteps();
    legacy::InsertPerson(*calmora::Run().DbConnection, PersonRow(1, "Okafor"));
    legacy::InsertPerson(*calmora::Run().DbConnection, PersonRow(2, "Lindqvist"));
    legacy::InsertEvent(*calmora::Run().DbConnection, {{"patientid", L(1)}, {"date_occurred", D(2014, 2, 28)}});
  }

  void AddClaim(legacy::Row row) {
    row.emplace("client_id", L(1));
    row.emplace("event_id", L(1));
    legacy::InsertClaim(*calmora::Run().DbConnection, row);
  }

  std::vector<legacy::Row> Copied() { return Select("select * from cms2012", CmsColumns()); }
};

// A claim with every legacy column filled, and what cms2012 must hold.
legacy::Row FullClaim() {
  legacy::Row r{
      {"client_id", L(2)}, {"event_id", L(1)}, {"date_of_therapy", D(2014, 3, 5)},
      {"queued_for_batch", B(true)}, {"Carrier1", T("Blue Shield of Ohio")},
      {"Carrier2", T("PO Box 1200")}, {"Carrier_City", T("north cincinnati heights twp")},
      {"Carrier_State", T("OH")}, {"Carrier_Zip", T("45202-1234")},
      {"Insured_Idnum", T("ABCDEFGHIJKLMNOPQRSTUVWXYZ1234")},
      {"Patient_LName", T("o'brien-smithfield")}, {"Patient_FName", T("maximiliana")},
      {"Patient_MI", T("q")}, {"Patient_DOB", D(1961, 7, 4)}, {"Patient_Gender_M", B(false)},
      {"Patient_Gender_F", B(true)}, {"Insured_LName", T("vanderbilt-montgomery")},
      {"Insured_FName", T("ed")}, {"Insured_MI", T("")},
      {"Patient_Address", T("1234 Long Meadow Boulevard Apartment 5")},
      {"Patient_City", T("Cincinnati")}, {"Patient_State", T("OH")},
      {"Patient_Zip_Code", T("45202")}, {"Patient_Phone_Number", T("(513) 555-0100")},
      {"Insured_Address", T("9 Elm St")}, {"Insured_City", T("Dayton")}, {"Insured_State", T("OH")},
      {"Insured_Zip_Code", T("123")}, {"Insured_Phone_Number", T("")}, {"Other_LName", T("ng")},
      {"Other_FName", T("li")}, {"Other_MI", T("")}, {"Other_GroupNum", T("GRP-0001")},
      {"Other_InsPlan_Name", T("Acme Health Plan Gold Premier")},
      {"Related_Employment_Y", B(false)}, {"Related_Employment_N", B(true)},
      {"Related_Auto_Y", B(true)}, {"Related_Auto_N", B(false)}, {"Related_Auto_State", T("KY")},
      {"Related_Other_Y", B(false)}, {"Related_Other_N", B(true)}, {"Insured_GroupNum", T("G-77")},
      {"Insured_DOB", Null()}, {"Insured_Gender_M", B(true)}, {"Insured_Gender_F", B(false)},
      {"Insured_InsPlan_Name", T("Medicare")}, {"Another_Plan_Y", B(false)},
      {"Another_Plan_N", B(true)}, {"Patient_Sig_On_File", B(true)},
      {"Insured_Sig_On_File", B(false)}, {"date_of_injury", D(2014, 2, 28)},
      {"first_date_of_injury", D(2014, 2, 1)},
      {"date_unable_work_from", jet::Value::Date({2014, 3, 1, 14, 5, 0})},
      {"date_unable_work_to", Null()}, {"referring_physician_name", T("Dr. Henrietta Featherston")},
      {"referring_physician_alt_code", T("1G")},
      {"referring_physician_alt_num", T("ALT-NUMBER-12345678")},
      {"referring_physician_num", T("123456789012345")}, {"date_hospitalized_from", Null()},
      {"date_hospitalized_to", Null()}, {"outside_lab_Y", B(false)}, {"outside_lab_N", B(true)},
      {"outside_lab_charges1", T("125.00")}, {"DIAGNOSIS_CODE1a", T("724")},
      {"DIAGNOSIS_CODE1b", T("2")}, {"DIAGNOSIS_CODE2a", T("E8497")},
      {"DIAGNOSIS_CODE2b", T("123")}, {"DIAGNOSIS_CODE3a", T(" 724 ")}, {"DIAGNOSIS_CODE3b", T("")},
      {"DIAGNOSIS_CODE4a", Null()}, {"DIAGNOSIS_CODE4b", Null()},
      {"medicaid_resubmission_code", T("RESUB-CODE-1234")},
      {"original_reference_num", T("ORIG-REF-0000000001")}, {"prior_authorization_num", T("PA-1")},
      {"fed_tax_id_num", T("31-1234567-EXTRA-999")}, {"fed_tax_id_code_ssn", B(false)},
      {"fed_tax_id_code_ein", B(true)}, {"patient_account_num", T("ACCT-000012345678")},
      {"accept_assignment_Y", B(true)}, {"accept_assignment_N", B(false)},
      {"total_charge", M("601.5")}, {"amount_paid", M("0")}, {"Physician_Sig_On_File", B(true)},
      {"Facility_1", T("Riverside Physical Therapy Ctr")}, {"Facility_2", T("200 Main St")},
      {"Facility_City", T("Covington Heights")}, {"Facility_State", T("KY")},
      {"Facility_Zip", T("41011-0001")}, {"Facility_NPI", T("1234567893")},
      {"Facility_nonNPI", T("NONNPI-FAC-000001")}, {"Supplier_Phone", T("(859) 555-0199")},
      {"Supplier_1", T("Riverside Therapy Group, Inc.")}, {"Supplier_2", T("PO Box 77")},
      {"Provider_City", T("fort mitchell")}, {"Provider_State", T("KY")}, {"Provider_Zip", T("")},
      {"Supplier_NPI", T("9876543210")}, {"Supplier_nonNPI", T("O'NEIL-PROVIDER")},
  };
  const bool types[] = {true, false, false, false, false, false, true};
  for (int i = 1; i <= 7; ++i) r["Insurance_type" + std::to_string(i)] = B(types[i - 1]);
  for (int i = 1; i <= 4; ++i) r["Patient_Relation" + std::to_string(i)] = B(i == 1);
  for (int n = 1; n <= 6; ++n) {
    const std::string s = std::to_string(n);
    r["detail_explanation" + s] = T("Supplemental information for service line " + s + " here");
    r["date_service_from_" + s] = D(2014, 3, n);
    r["date_service_to_" + s] = n == 2 ? Null() : D(2014, 3, n + 1);
    r["place_of_service" + s] = T("11x");
    r["emg" + s] = T("Y");
    r["cpt" + s] = T("9711" + s);
    r["ModifierA" + s] = T("GP");
    r["ModifierB" + s] = T("59");
    r["ModifierC" + s] = T("");
    r["ModifierD" + s] = T("KX");
    r["Diagnosis_Code" + s] = T("1234567");
    r["charges" + s] = n == 6 ? Null() : M("100.25");
    r["days_or_units" + s] = n == 6 ? Null() : L(n);
    r["epsdt_family_plan" + s] = T("NF");
    r["id_qual" + s] = T("1C");
    r["alt_id" + s] = T("ALT" + s);
  }
  return r;
}

legacy::Row ExpectedCms() {
  legacy::Row e{
      {"CMS_ID", L(1)}, {"CLIENT_ID", L(2)}, {"EVENT_ID", L(1)}, {"DATE_OF_THERAPY", D(2014, 3, 5)},
      {"QUEUED_FOR_BATCH", B(true)}, {"LAST_BATCH_DATE", Null()},
      {"CARRIER1", T("Blue Shield of Ohio")}, {"CARRIER2", T("PO Box 1200")}, {"CARRIER3", T("")},
      {"CARRIER_CITY", T("NORTH CINCINNATI HEIGHTS TW")}, {"CARRIER_STATE", T("OH")},
      {"CARRIER_ZIP", T("45202-    ")}, {"INSURANCE_TYPE1", B(true)}, {"INSURANCE_TYPE2", B(false)},
      {"INSURANCE_TYPE3", B(false)}, {"INSURANCE_TYPE4", B(false)}, {"INSURANCE_TYPE5", B(false)},
      {"INSURANCE_TYPE6", B(false)}, {"INSURANCE_TYPE7", B(true)},
      {"INSURED_IDNUM", T("ABCDEFGHIJKLMNOPQRSTUVWXYZ123")},
      {"PATIENT_LNAME", T("O'BRIEN-SMITHFI")}, {"PATIENT_FNAME", T("MAXIMILIAN")},
      {"PATIENT_MI", T("Q")}, {"PATIENT_DOB", D(1961, 7, 4)}, {"PATIENT_GENDER_M", B(false)},
      {"PATIENT_GENDER_F", B(true)}, {"INSURED_LNAME", T("VANDERBILT-MONTG")},
      {"INSURED_FNAME", T("ED")}, {"INSURED_MI", T("")},
      {"PATIENT_ADDRESS", T("1234 Long Meadow Boulevard A")}, {"PATIENT_CITY", T("Cincinnati")},
      {"PATIENT_STATE", T("OH")}, {"PATIENT_ZIP_CODE", T("45202-    ")},
      {"PATIENT_PHONE_NUMBER", T("(513) 555-0100")}, {"PATIENT_RELATION1", B(true)},
      {"PATIENT_RELATION2", B(false)}, {"PATIENT_RELATION3", B(false)},
      {"PATIENT_RELATION4", B(false)}, {"INSURED_ADDRESS", T("9 Elm St")},
      {"INSURED_CITY", T("Dayton")}, {"INSURED_STATE", T("OH")},
      {"INSURED_ZIP_CODE", T("123-    ")}, {"INSURED_PHONE_NUMBER", T("")},
      {"OTHER_LNAME", T("NG")}, {"OTHER_FNAME", T("LI")}, {"OTHER_MI", T("")},
      {"OTHER_GROUPNUM", T("GRP-0001")}, {"OTHER_INSPLAN_NAME", T("Acme Health Plan Gold Premie")},
      {"RELATED_EMPLOYMENT_Y", B(false)}, {"RELATED_EMPLOYMENT_N", B(true)},
      {"RELATED_AUTO_Y", B(true)}, {"RELATED_AUTO_N", B(false)}, {"RELATED_AUTO_STATE", T("KY")},
      {"RELATED_OTHER_Y", B(false)}, {"RELATED_OTHER_N", B(true)}, {"CLAIM_CODES", T("")},
      {"INSURED_GROUPNUM", T("G-77")}, {"INSURED_DOB", Null()}, {"INSURED_GENDER_M", B(true)},
      {"INSURED_GENDER_F", B(false)}, {"OTHER_CLAIM_ID_QUAL", T("")}, {"OTHER_CLAIM_ID", T("")},
      {"INSURED_INSPLAN_NAME", T("Medicare")}, {"ANOTHER_PLAN_Y", B(false)},
      {"ANOTHER_PLAN_N", B(true)}, {"PATIENT_SIG_ON_FILE", B(true)},
      {"INSURED_SIG_ON_FILE", B(false)}, {"DATE_OF_INJURY", D(2014, 2, 28)},
      {"DATE_OF_INJURY_QUAL", T("")}, {"OTHER_DATE_QUAL", T("")}, {"OTHER_DATE", D(2014, 2, 1)},
      {"DATE_UNABLE_WORK_FROM", jet::Value::Date({2014, 3, 1, 14, 5, 0})},
      {"DATE_UNABLE_WORK_TO", Null()}, {"REFERRING_PROVIDER_QUAL", T("")},
      {"REFERRING_PROVIDER_NAME", T("Dr. Henrietta Feathersto")},
      {"REFERRING_PROVIDER_ID_QUAL", T("1G")}, {"REFERRING_PROVIDER_ID", T("ALT-NUMBER-123456")},
      {"REFERRING_PROVIDER_NPI", T("1234567890")}, {"DATE_HOSPITALIZED_FROM", Null()},
      {"DATE_HOSPITALIZED_TO", Null()}, {"ADDITIONAL_CLAIM_INFO", T("")},
      {"OUTSIDE_LAB_Y", B(false)}, {"OUTSIDE_LAB_N", B(true)}, {"OUTSIDE_LAB_CHARGES", T("125.00")},
      {"ICD_INDICATOR_10", B(false)}, {"ICDA", T("724.2")}, {"ICDB", T("E8497.1")},
      {"ICDC", T("724 .")}, {"ICDD", T("")}, {"RESUBMISSION_CODE", T("RESUB-CODE-")},
      {"ORIGINAL_REFERENCE_NUM", T("ORIG-REF-000000000")}, {"PRIOR_AUTHORIZATION_NUM", T("PA-1")},
      {"FED_TAX_ID_NUM", T("31-1234567-EXTR")}, {"FED_TAX_ID_CODE_SSN", B(false)},
      {"FED_TAX_ID_CODE_EIN", B(true)}, {"PATIENT_ACCOUNT_NUM", T("ACCT-000012345")},
      {"ACCEPT_ASSIGNMENT_Y", B(true)}, {"ACCEPT_ASSIGNMENT_N", B(false)},
      {"TOTAL_CHARGE", M("601.5")}, {"AMOUNT_PAID", M("0")}, {"PHYSICIAN_SIG_ON_FILE", B(true)},
      {"RESPONSIBLE_PARTY", T("")}, {"FACILITY_1", T("Riverside Physical Therapy")},
      {"FACILITY_2", T("200 Main St")}, {"FACILITY_CITY", T("COVINGTON HE")},
      {"FACILITY_STATE", T("KY")}, {"FACILITY_ZIP", T("41011-    ")},
      {"FACILITY_NPI", T("1234567893")}, {"FACILITY_NONNPI", T("NONNPI-FAC-000")},
      {"PROVIDER_PHONE", T("(859) 555-0199")}, {"PROVIDER_1", T("Riverside Therapy Group, Inc")},
      {"PROVIDER_2", T("PO Box 77")}, {"PROVIDER_CITY", T("FORT MITCHELL")},
      {"PROVIDER_STATE", T("KY")}, {"PROVIDER_ZIP", T("-    ")}, {"PROVIDER_NPI", T("9876543210")},
      {"PROVIDER_NONNPI", T("O'NEIL-PROVIDER")},
  };
  for (char c = 'E'; c <= 'L'; ++c) e[std::string("ICD") + c] = T("");
  for (int n = 1; n <= 6; ++n) {
    const std::string s = std::to_string(n);
    e["SUPPLEMENTAL" + s] = T("Supplemental information for service li");
    e["DATE_SERVICE_FROM_" + s] = D(2014, 3, n);
    e["DATE_SERVICE_TO_" + s] = n == 2 ? Null() : D(2014, 3, n + 1);
    e["PLACE_OF_SERVICE" + s] = T("11");
    e["EMG" + s] = T("Y");
    e["CPT" + s] = T("9711" + s);
    e["MODIFIERA" + s] = T("GP");
    e["MODIFIERB" + s] = T("59");
    e["MODIFIERC" + s] = T("");
    e["MODIFIERD" + s] = T("KX");
    e["DIAGNOSIS_CODE" + s] = T("1234");
    e["CHARGES" + s] = n == 6 ? Null() : M("100.25");
    e["DAYS_OR_UNITS" + s] = n == 6 ? Null() : L(n);
    e["EPSDT" + s] = T("");
    e["FAMILY_PLAN" + s] = T("N");
    e["RENDERING_ID_QUAL" + s] = T("1C");
    e["RENDERING_ID" + s] = T("ALT" + s);
    e["RENDERING_NPI" + s] = T("");
  }
  return e;
}

TEST_F(ClaimCopy, AFullClaimArrivesColumnByColumn) {
  legacy::InsertClaim(*calmora::Run().DbConnection, FullClaim());
  COMMoveCMSData();
  ExpectNoReports();
  const auto rows = Copied();
  ASSERT_EQ(rows.size(), 1u);
  const legacy::Row expected = ExpectedCms();
  ASSERT_EQ(expected.size(), 233u);
  for (const auto& [column, value] : expected)
    EXPECT_EQ(rows[0].at(column), value) << column << " holds '" << rows[0].at(column).ToText()
                                         << "', expected '" << value.ToText() << "'";
  EXPECT_EQ(LastProgress("COMMoveCMSData"), std::make_pair(std::int64_t{1}, std::int64_t{1}));
  // The legacy row is left as it was.
  EXPECT_EQ(Scalar("select Patient_LName from conv_hcfa_info", "Patient_LName"),
            T("o'brien-smithfield"));
}

TEST_F(ClaimCopy, ZipCodesKeepFiveCharactersThenADashAndFourBlanks) {
  for (const char* zip : {"12345-6789", "12345", "123", ""})
    AddClaim({{"Patient_Zip_Code", T(zip)}, {"Carrier_Zip", T(zip)}, {"Insured_Zip_Code", T(zip)},
              {"Facility_Zip", T(zip)}, {"Provider_Zip", T(zip)}});
  COMMoveCMSData();
  ExpectNoReports();
  const auto rows = Select("select * from cms2012 order by CMS_ID",
                           {"PATIENT_ZIP_CODE", "CARRIER_ZIP", "INSURED_ZIP_CODE", "FACILITY_ZIP",
                            "PROVIDER_ZIP"});
  const char* expected[] = {"12345-    ", "12345-    ", "123-    ", "-    "};
  ASSERT_EQ(rows.size(), 4u);
  for (std::size_t i = 0; i < rows.size(); ++i)
    for (const auto& [column, value] : rows[i]) EXPECT_EQ(value, T(expected[i])) << column << i;
}

TEST_F(ClaimCopy, DiagnosisCodesAreJoinedTrimmedAndCutToSeven) {
  struct Case {
    jet::Value a, b;
    const char* icd;
  };
  const Case cases[] = {
      {T("724"), T("2"), "724.2"},     {T(""), T(""), ""},           {Null(), Null(), ""},
      {T("724"), T(""), "724."},       {T(""), T("5"), ".5"},        {T("E8497"), T("123"), "E8497.1"},
      {T(" 724 "), T(""), "724 ."},    {T("72'4"), T("1"), "72'4.1"}, {Null(), T("9"), ".9"},
  };
  for (const Case& c : cases)
    AddClaim({{"DIAGNOSIS_CODE1a", c.a}, {"DIAGNOSIS_CODE1b", c.b}, {"DIAGNOSIS_CODE4a", c.a},
              {"DIAGNOSIS_CODE4b", c.b}});
  COMMoveCMSData();
  ExpectNoReports();
  const auto rows = Select("select * from cms2012 order by CMS_ID", {"ICDA", "ICDB", "ICDD"});
  ASSERT_EQ(rows.size(), std::size(cases));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].at("ICDA"), T(cases[i].icd)) << i;
    EXPECT_EQ(rows[i].at("ICDD"), T(cases[i].icd)) << i;
    EXPECT_EQ(rows[i].at("ICDB"), T("")) << i;
  }
}

TEST_F(ClaimCopy, UpperCaseCoversEveryLetterAndCutsCountCharacters) {
  AddClaim({{"Patient_LName", T("żółtowska-brzęczyszczykiewicz")}, {"Patient_MI", T("ł")},
            {"Facility_City", T("münchen-straße")}});
  COMMoveCMSData();
  ExpectNoReports();
  const auto row = Select("select * from cms2012", {"PATIENT_LNAME", "PATIENT_MI", "FACILITY_CITY"});
  ASSERT_EQ(row.size(), 1u);
  EXPECT_EQ(row[0].at("PATIENT_LNAME"), T("ŻÓŁTOWSKA-BRZĘC"));
  EXPECT_EQ(row[0].at("PATIENT_MI"), T("Ł"));
  EXPECT_EQ(row[0].at("FACILITY_CITY"), T("MÜNCHEN-STRA"));
}

// Once a NULL outside the cleaned columns stopped the whole copy; now it
// is written as what the new column can hold.
TEST_F(ClaimCopy, NullSourcesBecomeEmptyTextFalseOrNull) {
  AddClaim({});
  COMMoveCMSData();
  ExpectNoReports();
  const auto rows = Copied();
  ASSERT_EQ(rows.size(), 1u);
  for (const auto& c : upgrade::Cms2012Table().columns) {
    const jet::Value& v = rows[0].at(c.name);
    switch (c.type) {
      case upgrade::ColumnType::Text:
        EXPECT_EQ(v, T(c.name.find("ZIP") != std::string::npos ? "-    " : "")) << c.name;
        break;
      case upgrade::ColumnType::YesNo: EXPECT_EQ(v, B(false)) << c.name; break;
      case upgrade::ColumnType::Date:
      case upgrade::ColumnType::Currency:
      case upgrade::ColumnType::Integer: EXPECT_TRUE(v.IsNull()) << c.name; break;
      default: break;
    }
  }
  EXPECT_EQ(rows[0].at("CLIENT_ID"), L(1));
}

TEST_F(ClaimCopy, ARowWithoutItsPersonStopsTheCopyAtLine5210) {
  AddClaim({{"Patient_LName", T("first")}});
  AddClaim({{"Patient_LName", T("orphan")}, {"client_id", L(99)}});
  AddClaim({{"Patient_LName", T("third")}});
  COMMoveCMSData();
  ExpectReports({{"COMMoveCMSData", 5210}});
  const auto rows = Select("select * from cms2012", {"PATIENT_LNAME"});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].at("PATIENT_LNAME"), T("FIRST"));
  // The engine's own words, not the patient's data.
  EXPECT_NE(Reports()[0].box.find("Person"), std::string::npos) << Reports()[0].box;
  EXPECT_EQ(Reports()[0].box.find("orphan"), std::string::npos);
  EXPECT_EQ(calmora::Run().DbConnection->errors().Count(), 0u) << "the dump cleared the list";
}

TEST_F(ClaimCopy, ATextTooLongForAnUncutColumnIsReportedAtLine5210) {
  AddClaim({{"cpt1", T("97110")}});
  AddClaim({{"cpt3", T("9711099")}});
  COMMoveCMSData();
  ExpectReports({{"COMMoveCMSData", 5210}});
  EXPECT_EQ(Count("cms2012"), 1);
  EXPECT_NE(Reports()[0].logRecord.find("too small"), std::string::npos) << Reports()[0].logRecord;
}

// A claim without a patient or an event cannot exist in cms2012: it is
// written with null there, and the database refuses the INSERT.
TEST_F(ClaimCopy, ANullClientOrEventIsRefusedAtLine5210) {
  AddClaim({{"client_id", Null()}});
  COMMoveCMSData();
  AddClaim({{"event_id", Null()}});
  Exec("delete from conv_hcfa_info where client_id is null");
  COMMoveCMSData();
  ExpectReports({{"COMMoveCMSData", 5210}, {"COMMoveCMSData", 5210}});
  EXPECT_EQ(Count("cms2012"), 0);
}

TEST_F(ClaimCopy, AnEmptyClaimTableCopiesNothingQuietly) {
  COMMoveCMSData();
  ExpectNoReports();
  EXPECT_EQ(Count("cms2012"), 0);
  EXPECT_EQ(LastProgress("COMMoveCMSData"), std::make_pair(std::int64_t{0}, std::int64_t{0}));
}

TEST_F(ClaimCopy, AMissingClaimTableIsReportedAtLine40) {
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
    std::erase_if(claims.columns, [&](const legacy::ColumnDef& c) { return c.name == missing; });
    ASSERT_EQ(claims.columns.size(), legacy::LegacyTable("conv_hcfa_info").columns.size() - 1);
    SwitchToNewDatabase({legacy::LegacyTable("Person"), legacy::LegacyTable("event"), claims});
    Exec("insert into conv_hcfa_info (Patient_LName) values ('x')");
    ui.clear();
    COMMoveCMSData();
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text.find("Error on line... " + std::to_string(line) + "\r\n"),
              Messages()[0].text.find(' ') + 1)
        << Messages()[0].text;
  }
}

}  // namespace
}  // namespace calmora::testing
