#include "upgrade/ClaimMapping.h"

#include <stdexcept>

#include "upgrade/NewTables.h"

namespace calmora {
namespace {

using R = ClaimRule;

struct Entry {
  std::string target;
  std::string source;
  ClaimRule rule;
  int diagnosis = 0;
};

std::vector<Entry> Entries() {
  std::vector<Entry> e{
      {"CLIENT_ID", "client_id", R::Value},
      {"EVENT_ID", "event_id", R::Value},
      {"DATE_OF_THERAPY", "date_of_therapy", R::Date},
      {"QUEUED_FOR_BATCH", "queued_for_batch", R::Value},
      {"CARRIER1", "Carrier1", R::Text},
      {"CARRIER2", "Carrier2", R::Text},
      {"CARRIER3", "", R::Empty},
      {"CARRIER_CITY", "Carrier_City", R::UpperFirst},
      {"CARRIER_STATE", "Carrier_State", R::Text},
      {"CARRIER_ZIP", "Carrier_Zip", R::Zip},
  };
  for (int i = 1; i <= 7; ++i)
    e.push_back({"INSURANCE_TYPE" + std::to_string(i), "Insurance_type" + std::to_string(i), R::Flag});
  e.insert(e.end(), {
      {"INSURED_IDNUM", "Insured_Idnum", R::TextFirst},
      {"PATIENT_LNAME", "Patient_LName", R::UpperFirst},
      {"PATIENT_FNAME", "Patient_FName", R::UpperFirst},
      {"PATIENT_MI", "Patient_MI", R::Upper},
      {"PATIENT_DOB", "Patient_DOB", R::Date},
      {"PATIENT_GENDER_M", "Patient_Gender_M", R::Flag},
      {"PATIENT_GENDER_F", "Patient_Gender_F", R::Flag},
      {"INSURED_LNAME", "Insured_LName", R::UpperFirst},
      {"INSURED_FNAME", "Insured_FName", R::UpperFirst},
      {"INSURED_MI", "Insured_MI", R::Upper},
      {"PATIENT_ADDRESS", "Patient_Address", R::TextFirst},
      {"PATIENT_CITY", "Patient_City", R::TextFirst},
      {"PATIENT_STATE", "Patient_State", R::Text},
      {"PATIENT_ZIP_CODE", "Patient_Zip_Code", R::Zip},
      {"PATIENT_PHONE_NUMBER", "Patient_Phone_Number", R::Text},
  });
  for (int i = 1; i <= 4; ++i)
    e.push_back({"PATIENT_RELATION" + std::to_string(i), "Patient_Relation" + std::to_string(i),
                 R::Flag});
  e.insert(e.end(), {
      {"INSURED_ADDRESS", "Insured_Address", R::TextFirst},
      {"INSURED_CITY", "Insured_City", R::Text},
      {"INSURED_STATE", "Insured_State", R::Text},
      {"INSURED_ZIP_CODE", "Insured_Zip_Code", R::Zip},
      {"INSURED_PHONE_NUMBER", "Insured_Phone_Number", R::Text},
      {"OTHER_LNAME", "Other_LName", R::UpperFirst},
      {"OTHER_FNAME", "Other_FName", R::UpperFirst},
      {"OTHER_MI", "Other_MI", R::Upper},
      {"OTHER_GROUPNUM", "Other_GroupNum", R::TextFirst},
      {"OTHER_INSPLAN_NAME", "Other_InsPlan_Name", R::TextFirst},
      {"RELATED_EMPLOYMENT_Y", "Related_Employment_Y", R::Flag},
      {"RELATED_EMPLOYMENT_N", "Related_Employment_N", R::Flag},
      {"RELATED_AUTO_Y", "Related_Auto_Y", R::Flag},
      {"RELATED_AUTO_N", "Related_Auto_N", R::Flag},
      {"RELATED_AUTO_STATE", "Related_Auto_State", R::Text},
      {"RELATED_OTHER_Y", "Related_Other_Y", R::Flag},
      {"RELATED_OTHER_N", "Related_Other_N", R::Flag},
      {"CLAIM_CODES", "", R::Empty},
      {"INSURED_GROUPNUM", "Insured_GroupNum", R::TextFirst},
      {"INSURED_DOB", "Insured_DOB", R::Date},
      {"INSURED_GENDER_M", "Insured_Gender_M", R::Flag},
      {"INSURED_GENDER_F", "Insured_Gender_F", R::Flag},
      {"OTHER_CLAIM_ID_QUAL", "", R::Empty},
      {"OTHER_CLAIM_ID", "", R::Empty},
      {"INSURED_INSPLAN_NAME", "Insured_InsPlan_Name", R::TextFirst},
      {"ANOTHER_PLAN_Y", "Another_Plan_Y", R::Flag},
      {"ANOTHER_PLAN_N", "Another_Plan_N", R::Flag},
      {"PATIENT_SIG_ON_FILE", "Patient_Sig_On_File", R::Flag},
      {"INSURED_SIG_ON_FILE", "Insured_Sig_On_File", R::Flag},
      {"DATE_OF_INJURY", "date_of_injury", R::Date},
      {"DATE_OF_INJURY_QUAL", "", R::Empty},
      {"OTHER_DATE_QUAL", "", R::Empty},
      {"OTHER_DATE", "first_date_of_injury", R::Date},
      {"DATE_UNABLE_WORK_FROM", "date_unable_work_from", R::Date},
      {"DATE_UNABLE_WORK_TO", "date_unable_work_to", R::Date},
      {"REFERRING_PROVIDER_QUAL", "", R::Empty},
      {"REFERRING_PROVIDER_NAME", "referring_physician_name", R::TextFirst},
      {"REFERRING_PROVIDER_ID_QUAL", "referring_physician_alt_code", R::Text},
      {"REFERRING_PROVIDER_ID", "referring_physician_alt_num", R::TextFirst},
      {"REFERRING_PROVIDER_NPI", "referring_physician_num", R::TextFirst},
      {"DATE_HOSPITALIZED_FROM", "date_hospitalized_from", R::Date},
      {"DATE_HOSPITALIZED_TO", "date_hospitalized_to", R::Date},
      {"ADDITIONAL_CLAIM_INFO", "", R::Empty},
      {"OUTSIDE_LAB_Y", "outside_lab_Y", R::Flag},
      {"OUTSIDE_LAB_N", "outside_lab_N", R::Flag},
      {"OUTSIDE_LAB_CHARGES", "outside_lab_charges1", R::Text},
      {"ICD_INDICATOR_10", "", R::False},
  });
  for (int k = 1; k <= 4; ++k)
    e.push_back({std::string("ICD") + static_cast<char>('A' + k - 1), "", R::Diagnosis, k});
  for (char letter = 'E'; letter <= 'L'; ++letter)
    e.push_back({std::string("ICD") + letter, "", R::Empty});
  e.insert(e.end(), {
      {"RESUBMISSION_CODE", "medicaid_resubmission_code", R::TextFirst},
      {"ORIGINAL_REFERENCE_NUM", "original_reference_num", R::TextFirst},
      {"PRIOR_AUTHORIZATION_NUM", "prior_authorization_num", R::TextFirst},
  });
  for (int line = 1; line <= 6; ++line) {
    const std::string n = std::to_string(line);
    e.insert(e.end(), {
        {"SUPPLEMENTAL" + n, "detail_explanation" + n, R::TextFirst},
        {"DATE_SERVICE_FROM_" + n, "date_service_from_" + n, R::Date},
        {"DATE_SERVICE_TO_" + n, "date_service_to_" + n, R::Date},
        {"PLACE_OF_SERVICE" + n, "place_of_service" + n, R::TextFirst},
        {"EMG" + n, "emg" + n, R::TextFirst},
        {"CPT" + n, "cpt" + n, R::Text},
        {"MODIFIERA" + n, "ModifierA" + n, R::Text},
        {"MODIFIERB" + n, "ModifierB" + n, R::Text},
        {"MODIFIERC" + n, "ModifierC" + n, R::Text},
        {"MODIFIERD" + n, "ModifierD" + n, R::Text},
        {"DIAGNOSIS_CODE" + n, "Diagnosis_Code" + n, R::TextFirst},
        {"CHARGES" + n, "charges" + n, R::Value},
        {"DAYS_OR_UNITS" + n, "days_or_units" + n, R::Value},
        {"EPSDT" + n, "", R::Empty},
        {"FAMILY_PLAN" + n, "epsdt_family_plan" + n, R::TextFirst},
        {"RENDERING_ID_QUAL" + n, "id_qual" + n, R::Text},
        {"RENDERING_ID" + n, "alt_id" + n, R::Text},
        {"RENDERING_NPI" + n, "", R::Empty},
    });
  }
  e.insert(e.end(), {
      {"FED_TAX_ID_NUM", "fed_tax_id_num", R::TextFirst},
      {"FED_TAX_ID_CODE_SSN", "fed_tax_id_code_ssn", R::Flag},
      {"FED_TAX_ID_CODE_EIN", "fed_tax_id_code_ein", R::Flag},
      {"PATIENT_ACCOUNT_NUM", "patient_account_num", R::TextFirst},
      {"ACCEPT_ASSIGNMENT_Y", "accept_assignment_Y", R::Flag},
      {"ACCEPT_ASSIGNMENT_N", "accept_assignment_N", R::Flag},
      {"TOTAL_CHARGE", "total_charge", R::Value},
      {"AMOUNT_PAID", "amount_paid", R::Value},
      {"PHYSICIAN_SIG_ON_FILE", "Physician_Sig_On_File", R::Flag},
      {"RESPONSIBLE_PARTY", "", R::Empty},
      {"FACILITY_1", "Facility_1", R::TextFirst},
      {"FACILITY_2", "Facility_2", R::TextFirst},
      {"FACILITY_CITY", "Facility_City", R::UpperFirst},
      {"FACILITY_STATE", "Facility_State", R::Text},
      {"FACILITY_ZIP", "Facility_Zip", R::Zip},
      {"FACILITY_NPI", "Facility_NPI", R::Text},
      {"FACILITY_NONNPI", "Facility_nonNPI", R::TextFirst},
      {"PROVIDER_PHONE", "Supplier_Phone", R::Text},
      {"PROVIDER_1", "Supplier_1", R::TextFirst},
      {"PROVIDER_2", "Supplier_2", R::TextFirst},
      {"PROVIDER_CITY", "Provider_City", R::UpperFirst},
      {"PROVIDER_STATE", "Provider_State", R::Text},
      {"PROVIDER_ZIP", "Provider_Zip", R::Zip},
      {"PROVIDER_NPI", "Supplier_NPI", R::Text},
      {"PROVIDER_NONNPI", "Supplier_nonNPI", R::Text},
  });
  return e;
}

// Widths and yes/no-ness come from the one definition of cms2012.
std::vector<ClaimItem> Build() {
  const NewTable& target = Cms2012Table();
  std::vector<ClaimItem> items;
  for (Entry& entry : Entries()) {
    const NewColumn* column = target.Find(entry.target);
    if (column == nullptr) throw std::logic_error("cms2012 has no column " + entry.target);
    items.push_back({std::move(entry.target), std::move(entry.source), entry.rule, column->width,
                     entry.diagnosis, column->type == ColumnType::YesNo});
  }
  return items;
}

}  // namespace

const std::vector<ClaimItem>& ClaimMapping() {
  static const std::vector<ClaimItem> items = Build();
  return items;
}

}  // namespace calmora
