#pragma once
// A small practice database of the legacy shape, and the statement texts the
// upgrade sends, written out as the upgrade writes them.
#include <string>
#include <vector>

#include "engine/Connection.h"

namespace jet::testing {

struct ClaimColumn {
  const char* name;
  const char* type;
  const char* clause;  // "" when the definition has no null clause
};

// The new claim table, in its order.
inline const std::vector<ClaimColumn>& Cms2012Columns() {
  static const std::vector<ClaimColumn> columns = {
    {"CMS_ID", "COUNTER PRIMARY KEY", ""},
    {"CLIENT_ID", "LONG", "not null"},
    {"EVENT_ID", "LONG", "not null"},
    {"DATE_OF_THERAPY", "DATE", ""},
    {"QUEUED_FOR_BATCH", "YESNO", ""},
    {"LAST_BATCH_DATE", "DATE", ""},
    {"CARRIER1", "TEXT(41)", "not null"},
    {"CARRIER2", "TEXT(41)", "not null"},
    {"CARRIER3", "TEXT(41)", "not null"},
    {"CARRIER_CITY", "TEXT(27)", "not null"},
    {"CARRIER_STATE", "TEXT(2)", "not null"},
    {"CARRIER_ZIP", "TEXT(10)", "not null"},
    {"INSURANCE_TYPE1", "YESNO", ""},
    {"INSURANCE_TYPE2", "YESNO", ""},
    {"INSURANCE_TYPE3", "YESNO", ""},
    {"INSURANCE_TYPE4", "YESNO", ""},
    {"INSURANCE_TYPE5", "YESNO", ""},
    {"INSURANCE_TYPE6", "YESNO", ""},
    {"INSURANCE_TYPE7", "YESNO", ""},
    {"INSURED_IDNUM", "TEXT(29)", "not null"},
    {"PATIENT_LNAME", "TEXT(15)", "not null"},
    {"PATIENT_FNAME", "TEXT(10)", "not null"},
    {"PATIENT_MI", "TEXT(1)", "not null"},
    {"PATIENT_DOB", "DATE", ""},
    {"PATIENT_GENDER_M", "YESNO", ""},
    {"PATIENT_GENDER_F", "YESNO", ""},
    {"INSURED_LNAME", "TEXT(16)", "not null"},
    {"INSURED_FNAME", "TEXT(10)", "not null"},
    {"INSURED_MI", "TEXT(1)", "not null"},
    {"PATIENT_ADDRESS", "TEXT(28)", "not null"},
    {"PATIENT_CITY", "TEXT(24)", "not null"},
    {"PATIENT_STATE", "TEXT(2)", "not null"},
    {"PATIENT_ZIP_CODE", "TEXT(12)", "not null"},
    {"PATIENT_PHONE_NUMBER", "TEXT(14)", "not null"},
    {"PATIENT_RELATION1", "YESNO", ""},
    {"PATIENT_RELATION2", "YESNO", ""},
    {"PATIENT_RELATION3", "YESNO", ""},
    {"PATIENT_RELATION4", "YESNO", ""},
    {"INSURED_ADDRESS", "TEXT(29)", "not null"},
    {"INSURED_CITY", "TEXT(30)", "not null"},
    {"INSURED_STATE", "TEXT(2)", "not null"},
    {"INSURED_ZIP_CODE", "TEXT(12)", "not null"},
    {"INSURED_PHONE_NUMBER", "TEXT(14)", "not null"},
    {"OTHER_LNAME", "TEXT(15)", "not null"},
    {"OTHER_FNAME", "TEXT(10)", "not null"},
    {"OTHER_MI", "TEXT(1)", "not null"},
    {"OTHER_GROUPNUM", "TEXT(28)", "not null"},
    {"OTHER_INSPLAN_NAME", "TEXT(28)", "not null"},
    {"RELATED_EMPLOYMENT_Y", "YESNO", ""},
    {"RELATED_EMPLOYMENT_N", "YESNO", ""},
    {"RELATED_AUTO_Y", "YESNO", ""},
    {"RELATED_AUTO_N", "YESNO", ""},
    {"RELATED_AUTO_STATE", "TEXT(2)", "not null"},
    {"RELATED_OTHER_Y", "YESNO", ""},
    {"RELATED_OTHER_N", "YESNO", ""},
    {"CLAIM_CODES", "TEXT(19)", "not null"},
    {"INSURED_GROUPNUM", "TEXT(29)", "not null"},
    {"INSURED_DOB", "DATE", ""},
    {"INSURED_GENDER_M", "YESNO", ""},
    {"INSURED_GENDER_F", "YESNO", ""},
    {"OTHER_CLAIM_ID_QUAL", "TEXT(2)", "not null"},
    {"OTHER_CLAIM_ID", "TEXT(28)", "not null"},
    {"INSURED_INSPLAN_NAME", "TEXT(29)", "not null"},
    {"ANOTHER_PLAN_Y", "YESNO", ""},
    {"ANOTHER_PLAN_N", "YESNO", ""},
    {"PATIENT_SIG_ON_FILE", "YESNO", ""},
    {"INSURED_SIG_ON_FILE", "YESNO", ""},
    {"DATE_OF_INJURY", "DATE", ""},
    {"DATE_OF_INJURY_QUAL", "TEXT(3)", "not null"},
    {"OTHER_DATE_QUAL", "TEXT(3)", "not null"},
    {"OTHER_DATE", "DATE", ""},
    {"DATE_UNABLE_WORK_FROM", "DATE", ""},
    {"DATE_UNABLE_WORK_TO", "DATE", ""},
    {"REFERRING_PROVIDER_QUAL", "TEXT(2)", "not null"},
    {"REFERRING_PROVIDER_NAME", "TEXT(24)", "not null"},
    {"REFERRING_PROVIDER_ID_QUAL", "TEXT(2)", "not null"},
    {"REFERRING_PROVIDER_ID", "TEXT(17)", "not null"},
    {"REFERRING_PROVIDER_NPI", "TEXT(10)", "not null"},
    {"DATE_HOSPITALIZED_FROM", "DATE", ""},
    {"DATE_HOSPITALIZED_TO", "DATE", ""},
    {"ADDITIONAL_CLAIM_INFO", "TEXT(71)", "not null"},
    {"OUTSIDE_LAB_Y", "YESNO", ""},
    {"OUTSIDE_LAB_N", "YESNO", ""},
    {"OUTSIDE_LAB_CHARGES", "TEXT(8)", "not null"},
    {"ICD_INDICATOR_10", "YESNO", ""},
    {"ICDA", "TEXT(7)", "not null"},
    {"ICDB", "TEXT(7)", "not null"},
    {"ICDC", "TEXT(7)", "not null"},
    {"ICDD", "TEXT(7)", "not null"},
    {"ICDE", "TEXT(7)", "not null"},
    {"ICDF", "TEXT(7)", "not null"},
    {"ICDG", "TEXT(7)", "not null"},
    {"ICDH", "TEXT(7)", "not null"},
    {"ICDI", "TEXT(7)", "not null"},
    {"ICDJ", "TEXT(7)", "not null"},
    {"ICDK", "TEXT(7)", "not null"},
    {"ICDL", "TEXT(7)", "not null"},
    {"RESUBMISSION_CODE", "TEXT(11)", "not null"},
    {"ORIGINAL_REFERENCE_NUM", "TEXT(18)", "not null"},
    {"PRIOR_AUTHORIZATION_NUM", "TEXT(29)", "not null"},
    {"SUPPLEMENTAL1", "TEXT(39)", "not null"},
    {"DATE_SERVICE_FROM_1", "DATE", ""},
    {"DATE_SERVICE_TO_1", "DATE", ""},
    {"PLACE_OF_SERVICE1", "TEXT(2)", "not null"},
    {"EMG1", "TEXT(2)", "not null"},
    {"CPT1", "TEXT(6)", "not null"},
    {"MODIFIERA1", "TEXT(2)", "not null"},
    {"MODIFIERB1", "TEXT(2)", "not null"},
    {"MODIFIERC1", "TEXT(2)", "not null"},
    {"MODIFIERD1", "TEXT(2)", "not null"},
    {"DIAGNOSIS_CODE1", "TEXT(4)", "not null"},
    {"CHARGES1", "CURRENCY", "null"},
    {"DAYS_OR_UNITS1", "INTEGER", "null"},
    {"EPSDT1", "TEXT(2)", "not null"},
    {"FAMILY_PLAN1", "TEXT(1)", "not null"},
    {"RENDERING_ID_QUAL1", "TEXT(2)", "not null"},
    {"RENDERING_ID1", "TEXT(11)", "not null"},
    {"RENDERING_NPI1", "TEXT(10)", "not null"},
    {"SUPPLEMENTAL2", "TEXT(39)", "not null"},
    {"DATE_SERVICE_FROM_2", "DATE", ""},
    {"DATE_SERVICE_TO_2", "DATE", ""},
    {"PLACE_OF_SERVICE2", "TEXT(2)", "not null"},
    {"EMG2", "TEXT(2)", "not null"},
    {"CPT2", "TEXT(6)", "not null"},
    {"MODIFIERA2", "TEXT(2)", "not null"},
    {"MODIFIERB2", "TEXT(2)", "not null"},
    {"MODIFIERC2", "TEXT(2)", "not null"},
    {"MODIFIERD2", "TEXT(2)", "not null"},
    {"DIAGNOSIS_CODE2", "TEXT(4)", "not null"},
    {"CHARGES2", "CURRENCY", "null"},
    {"DAYS_OR_UNITS2", "INTEGER", "null"},
    {"EPSDT2", "TEXT(2)", "not null"},
    {"FAMILY_PLAN2", "TEXT(1)", "not null"},
    {"RENDERING_ID_QUAL2", "TEXT(2)", "not null"},
    {"RENDERING_ID2", "TEXT(11)", "not null"},
    {"RENDERING_NPI2", "TEXT(10)", "not null"},
    {"SUPPLEMENTAL3", "TEXT(39)", "not null"},
    {"DATE_SERVICE_FROM_3", "DATE", ""},
    {"DATE_SERVICE_TO_3", "DATE", ""},
    {"PLACE_OF_SERVICE3", "TEXT(2)", "not null"},
    {"EMG3", "TEXT(2)", "not null"},
    {"CPT3", "TEXT(6)", "not null"},
    {"MODIFIERA3", "TEXT(2)", "not null"},
    {"MODIFIERB3", "TEXT(2)", "not null"},
    {"MODIFIERC3", "TEXT(2)", "not null"},
    {"MODIFIERD3", "TEXT(2)", "not null"},
    {"DIAGNOSIS_CODE3", "TEXT(4)", "not null"},
    {"CHARGES3", "CURRENCY", "null"},
    {"DAYS_OR_UNITS3", "INTEGER", "null"},
    {"EPSDT3", "TEXT(2)", "not null"},
    {"FAMILY_PLAN3", "TEXT(1)", "not null"},
    {"RENDERING_ID_QUAL3", "TEXT(2)", "not null"},
    {"RENDERING_ID3", "TEXT(11)", "not null"},
    {"RENDERING_NPI3", "TEXT(10)", "not null"},
    {"SUPPLEMENTAL4", "TEXT(39)", "not null"},
    {"DATE_SERVICE_FROM_4", "DATE", ""},
    {"DATE_SERVICE_TO_4", "DATE", ""},
    {"PLACE_OF_SERVICE4", "TEXT(2)", "not null"},
    {"EMG4", "TEXT(2)", "not null"},
    {"CPT4", "TEXT(6)", "not null"},
    {"MODIFIERA4", "TEXT(2)", "not null"},
    {"MODIFIERB4", "TEXT(2)", "not null"},
    {"MODIFIERC4", "TEXT(2)", "not null"},
    {"MODIFIERD4", "TEXT(2)", "not null"},
    {"DIAGNOSIS_CODE4", "TEXT(4)", "not null"},
    {"CHARGES4", "CURRENCY", "null"},
    {"DAYS_OR_UNITS4", "INTEGER", "null"},
    {"EPSDT4", "TEXT(2)", "not null"},
    {"FAMILY_PLAN4", "TEXT(1)", "not null"},
    {"RENDERING_ID_QUAL4", "TEXT(2)", "not null"},
    {"RENDERING_ID4", "TEXT(11)", "not null"},
    {"RENDERING_NPI4", "TEXT(10)", "not null"},
    {"SUPPLEMENTAL5", "TEXT(39)", "not null"},
    {"DATE_SERVICE_FROM_5", "DATE", ""},
    {"DATE_SERVICE_TO_5", "DATE", ""},
    {"PLACE_OF_SERVICE5", "TEXT(2)", "not null"},
    {"EMG5", "TEXT(2)", "not null"},
    {"CPT5", "TEXT(6)", "not null"},
    {"MODIFIERA5", "TEXT(2)", "not null"},
    {"MODIFIERB5", "TEXT(2)", "not null"},
    {"MODIFIERC5", "TEXT(2)", "not null"},
    {"MODIFIERD5", "TEXT(2)", "not null"},
    {"DIAGNOSIS_CODE5", "TEXT(4)", "not null"},
    {"CHARGES5", "CURRENCY", "null"},
    {"DAYS_OR_UNITS5", "INTEGER", "null"},
    {"EPSDT5", "TEXT(2)", "not null"},
    {"FAMILY_PLAN5", "TEXT(1)", "not null"},
    {"RENDERING_ID_QUAL5", "TEXT(2)", "not null"},
    {"RENDERING_ID5", "TEXT(11)", "not null"},
    {"RENDERING_NPI5", "TEXT(10)", "not null"},
    {"SUPPLEMENTAL6", "TEXT(39)", "not null"},
    {"DATE_SERVICE_FROM_6", "DATE", ""},
    {"DATE_SERVICE_TO_6", "DATE", ""},
    {"PLACE_OF_SERVICE6", "TEXT(2)", "not null"},
    {"EMG6", "TEXT(2)", "not null"},
    {"CPT6", "TEXT(6)", "not null"},
    {"MODIFIERA6", "TEXT(2)", "not null"},
    {"MODIFIERB6", "TEXT(2)", "not null"},
    {"MODIFIERC6", "TEXT(2)", "not null"},
    {"MODIFIERD6", "TEXT(2)", "not null"},
    {"DIAGNOSIS_CODE6", "TEXT(4)", "not null"},
    {"CHARGES6", "CURRENCY", "null"},
    {"DAYS_OR_UNITS6", "INTEGER", "null"},
    {"EPSDT6", "TEXT(2)", "not null"},
    {"FAMILY_PLAN6", "TEXT(1)", "not null"},
    {"RENDERING_ID_QUAL6", "TEXT(2)", "not null"},
    {"RENDERING_ID6", "TEXT(11)", "not null"},
    {"RENDERING_NPI6", "TEXT(10)", "not null"},
    {"FED_TAX_ID_NUM", "TEXT(15)", "not null"},
    {"FED_TAX_ID_CODE_SSN", "YESNO", ""},
    {"FED_TAX_ID_CODE_EIN", "YESNO", ""},
    {"PATIENT_ACCOUNT_NUM", "TEXT(14)", "not null"},
    {"ACCEPT_ASSIGNMENT_Y", "YESNO", ""},
    {"ACCEPT_ASSIGNMENT_N", "YESNO", ""},
    {"TOTAL_CHARGE", "CURRENCY", "null"},
    {"AMOUNT_PAID", "CURRENCY", "null"},
    {"PHYSICIAN_SIG_ON_FILE", "YESNO", ""},
    {"RESPONSIBLE_PARTY", "TEXT(30)", "not null"},
    {"FACILITY_1", "TEXT(26)", "not null"},
    {"FACILITY_2", "TEXT(26)", "not null"},
    {"FACILITY_CITY", "TEXT(12)", "not null"},
    {"FACILITY_STATE", "TEXT(2)", "not null"},
    {"FACILITY_ZIP", "TEXT(10)", "not null"},
    {"FACILITY_NPI", "TEXT(10)", "not null"},
    {"FACILITY_NONNPI", "TEXT(14)", "not null"},
    {"PROVIDER_PHONE", "TEXT(14)", "not null"},
    {"PROVIDER_1", "TEXT(28)", "not null"},
    {"PROVIDER_2", "TEXT(29)", "not null"},
    {"PROVIDER_CITY", "TEXT(16)", "not null"},
    {"PROVIDER_STATE", "TEXT(2)", "not null"},
    {"PROVIDER_ZIP", "TEXT(10)", "not null"},
    {"PROVIDER_NPI", "TEXT(10)", "not null"},
    {"PROVIDER_NONNPI", "TEXT(17)", "not null"},
  };
  return columns;
}

inline std::string CreateCms2012() {
  std::string sql = "CREATE TABLE cms2012 (CMS_ID COUNTER PRIMARY KEY,";
  const auto& columns = Cms2012Columns();
  for (std::size_t i = 1; i < columns.size(); ++i) {
    sql += std::string(" ") + columns[i].name + " " + columns[i].type;
    if (*columns[i].clause != '\0') sql += std::string(" ") + columns[i].clause;
    sql += i + 1 < columns.size() ? "," : ")";
  }
  return sql;
}

inline constexpr char kCreateConditionUrl[] =
    "CREATE TABLE condition_url (ID COUNTER PRIMARY KEY, condition_id LONG not null, name "
    "TEXT(50) not null, link TEXT(200) not null)";

inline constexpr char kCreateStatementTemp[] =
    "CREATE TABLE statement_temp (person_id NUMBER PRIMARY KEY, statement_from DATE NOT NULL, "
    "statement_to DATE NOT NULL, amount_due CURRENCY NOT NULL, balance CURRENCY NOT NULL, "
    "current_amount CURRENCY NOT NULL, age1 CURRENCY NOT NULL, age2 CURRENCY NOT NULL, age3 "
    "CURRENCY NOT NULL, age4 CURRENCY NOT NULL)";

// The legacy tables the upgrade reads, reduced to the columns the tests use.
inline void CreateLegacyTables(Connection& db) {
  db.Execute("CREATE TABLE Person (ID COUNTER PRIMARY KEY, LastName TEXT(30), FirstName TEXT(20))");
  db.Execute("CREATE TABLE Condition (ID COUNTER PRIMARY KEY, patientid LONG, description TEXT(100))");
  db.Execute(
      "CREATE TABLE event (id COUNTER PRIMARY KEY, patientid LONG, date_occurred DATE, "
      "event_typeid LONG, DIAGNOSIS_CODE1a TEXT(8), DIAGNOSIS_CODE1b TEXT(4), "
      "DIAGNOSIS_CODE2a TEXT(8), DIAGNOSIS_CODE2b TEXT(4))");
  db.Execute(
      "CREATE TABLE conv_hcfa_info (hcfa_id COUNTER PRIMARY KEY, client_id LONG, event_id LONG, "
      "date_of_injury DATE, Carrier_City TEXT(30), Patient_LName TEXT(30), Patient_MI TEXT(2), "
      "Patient_Address TEXT(40), charges1 CURRENCY, queued_for_batch YESNO)");
}

// The event table extension, statement by statement.
inline std::vector<std::string> AlterEventStatements() {
  std::vector<std::string> out = {"Alter TABLE event add responsible_party TEXT(30) default \"\" not null"};
  for (char c = 'a'; c <= 'l'; ++c)
    out.push_back(std::string("Alter TABLE event add icd") + c + " TEXT(7) default \"\" not null");
  out.push_back("Alter TABLE event add icd_indicator_10 YESNO");
  return out;
}

// One claim row as the claim copy writes it: 231 items, dates between #
// signs or the word null, flags followed by a bare comma.
inline std::string CmsInsert(int clientId, int eventId, const std::string& date = "#3/5/2014#") {
  const auto& columns = Cms2012Columns();
  std::string names = "Insert into cms2012 (CLIENT_ID, EVENT_ID,";
  std::string items = std::to_string(clientId) + ", " + std::to_string(eventId) + ", ";
  for (std::size_t i = 3; i < columns.size(); ++i) {
    const std::string name = columns[i].name;
    const std::string type = columns[i].type;
    if (name == "LAST_BATCH_DATE") continue;
    const bool last = i + 1 == columns.size();
    names += name + (last ? ") " : ", ");
    if (type == "DATE") {
      items += name == "PATIENT_DOB" ? "#7/21/1961#, " : date == "null" ? "null, " : date + ", ";
    } else if (type == "YESNO") {
      if (name == "QUEUED_FOR_BATCH") items += "True, ";
      else if (name == "ICD_INDICATOR_10") items += "False, ";
      else items += "False,";
    } else if (type == "CURRENCY") {
      items += "12.5, ";
    } else if (type == "INTEGER") {
      items += "3, ";
    } else {
      std::string text;
      if (name == "PATIENT_LNAME") text = "O''BRIEN-SMITHFI";
      else if (name == "PATIENT_ZIP_CODE") text = "12345-    ";
      else if (name == "ICDA") text = "724.2";
      else if (name.rfind("ICD", 0) == 0 || name.rfind("EPSDT", 0) == 0) text = "";
      else if (name == "PATIENT_MI") text = "Q";
      else text = "X";
      items += "'" + text + (last ? "')" : "', ");
    }
  }
  return names + " Values (" + items;
}

}  // namespace jet::testing
