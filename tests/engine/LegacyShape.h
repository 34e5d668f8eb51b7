#pragma once
// A small practice database of the legacy shape, and the statement texts the
// upgrade sends, written out as the upgrade writes them.
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "jet/Connection.h"

namespace jet::testing {

struct ClaimColumn {
  std::string name, type, clause;  // clause: "not null", "null" or ""
};

// The new claim table in its order. Shorthand: n is TEXT(n) not null, L LONG
// not null, D DATE, Y YESNO, C CURRENCY null, I INTEGER null; '#' stands for
// the number of each of the six lines of service.
inline const std::vector<ClaimColumn>& Cms2012Columns() {
  static const std::vector<ClaimColumn> columns = [] {
    std::string text =
        "CLIENT_ID:L EVENT_ID:L DATE_OF_THERAPY:D QUEUED_FOR_BATCH:Y LAST_BATCH_DATE:D CARRIER1:41 "
        "CARRIER2:41 CARRIER3:41 CARRIER_CITY:27 CARRIER_STATE:2 CARRIER_ZIP:10 INSURANCE_TYPE1:Y "
        "INSURANCE_TYPE2:Y INSURANCE_TYPE3:Y INSURANCE_TYPE4:Y INSURANCE_TYPE5:Y INSURANCE_TYPE6:Y "
        "INSURANCE_TYPE7:Y INSURED_IDNUM:29 PATIENT_LNAME:15 PATIENT_FNAME:10 PATIENT_MI:1 "
        "PATIENT_DOB:D PATIENT_GENDER_M:Y PATIENT_GENDER_F:Y INSURED_LNAME:16 INSURED_FNAME:10 "
        "INSURED_MI:1 PATIENT_ADDRESS:28 PATIENT_CITY:24 PATIENT_STATE:2 PATIENT_ZIP_CODE:12 "
        "PATIENT_PHONE_NUMBER:14 PATIENT_RELATION1:Y PATIENT_RELATION2:Y PATIENT_RELATION3:Y "
        "PATIENT_RELATION4:Y INSURED_ADDRESS:29 INSURED_CITY:30 INSURED_STATE:2 INSURED_ZIP_CODE:12 "
        "INSURED_PHONE_NUMBER:14 OTHER_LNAME:15 OTHER_FNAME:10 OTHER_MI:1 OTHER_GROUPNUM:28 "
        "OTHER_INSPLAN_NAME:28 RELATED_EMPLOYMENT_Y:Y RELATED_EMPLOYMENT_N:Y RELATED_AUTO_Y:Y "
        "RELATED_AUTO_N:Y RELATED_AUTO_STATE:2 RELATED_OTHER_Y:Y RELATED_OTHER_N:Y CLAIM_CODES:19 "
        "INSURED_GROUPNUM:29 INSURED_DOB:D INSURED_GENDER_M:Y INSURED_GENDER_F:Y "
        "OTHER_CLAIM_ID_QUAL:2 OTHER_CLAIM_ID:28 INSURED_INSPLAN_NAME:29 ANOTHER_PLAN_Y:Y "
        "ANOTHER_PLAN_N:Y PATIENT_SIG_ON_FILE:Y INSURED_SIG_ON_FILE:Y DATE_OF_INJURY:D "
        "DATE_OF_INJURY_QUAL:3 OTHER_DATE_QUAL:3 OTHER_DATE:D DATE_UNABLE_WORK_FROM:D "
        "DATE_UNABLE_WORK_TO:D REFERRING_PROVIDER_QUAL:2 REFERRING_PROVIDER_NAME:24 "
        "REFERRING_PROVIDER_ID_QUAL:2 REFERRING_PROVIDER_ID:17 REFERRING_PROVIDER_NPI:10 "
        "DATE_HOSPITALIZED_FROM:D DATE_HOSPITALIZED_TO:D ADDITIONAL_CLAIM_INFO:71 OUTSIDE_LAB_Y:Y "
        "OUTSIDE_LAB_N:Y OUTSIDE_LAB_CHARGES:8 ICD_INDICATOR_10:Y ICDA:7 ICDB:7 ICDC:7 ICDD:7 ICDE:7 "
        "ICDF:7 ICDG:7 ICDH:7 ICDI:7 ICDJ:7 ICDK:7 ICDL:7 RESUBMISSION_CODE:11 "
        "ORIGINAL_REFERENCE_NUM:18 PRIOR_AUTHORIZATION_NUM:29 ";
    const std::string line =
        "SUPPLEMENTAL#:39 DATE_SERVICE_FROM_#:D DATE_SERVICE_TO_#:D PLACE_OF_SERVICE#:2 EMG#:2 "
        "CPT#:6 MODIFIERA#:2 MODIFIERB#:2 MODIFIERC#:2 MODIFIERD#:2 DIAGNOSIS_CODE#:4 CHARGES#:C "
        "DAYS_OR_UNITS#:I EPSDT#:2 FAMILY_PLAN#:1 RENDERING_ID_QUAL#:2 RENDERING_ID#:11 "
        "RENDERING_NPI#:10 ";
    for (char n = '1'; n <= '6'; ++n) {
      for (char c : line) text += c == '#' ? n : c;
    }
    text +=
        "FED_TAX_ID_NUM:15 FED_TAX_ID_CODE_SSN:Y FED_TAX_ID_CODE_EIN:Y PATIENT_ACCOUNT_NUM:14 "
        "ACCEPT_ASSIGNMENT_Y:Y ACCEPT_ASSIGNMENT_N:Y TOTAL_CHARGE:C AMOUNT_PAID:C "
        "PHYSICIAN_SIG_ON_FILE:Y RESPONSIBLE_PARTY:30 FACILITY_1:26 FACILITY_2:26 FACILITY_CITY:12 "
        "FACILITY_STATE:2 FACILITY_ZIP:10 FACILITY_NPI:10 FACILITY_NONNPI:14 PROVIDER_PHONE:14 "
        "PROVIDER_1:28 PROVIDER_2:29 PROVIDER_CITY:16 PROVIDER_STATE:2 PROVIDER_ZIP:10 "
        "PROVIDER_NPI:10 PROVIDER_NONNPI:17";
    std::vector<ClaimColumn> out{{"CMS_ID", "COUNTER PRIMARY KEY", ""}};
    std::istringstream words(text);
    for (std::string word; words >> word;) {
      const auto colon = word.find(':');
      const std::string name = word.substr(0, colon), kind = word.substr(colon + 1);
      if (kind == "L") out.push_back({name, "LONG", "not null"});
      else if (kind == "D") out.push_back({name, "DATE", ""});
      else if (kind == "Y") out.push_back({name, "YESNO", ""});
      else if (kind == "C") out.push_back({name, "CURRENCY", "null"});
      else if (kind == "I") out.push_back({name, "INTEGER", "null"});
      else out.push_back({name, "TEXT(" + kind + ")", "not null"});
    }
    return out;
  }();
  return columns;
}

inline std::string CreateCms2012() {
  std::string sql = "CREATE TABLE cms2012 (";
  for (const auto& c : Cms2012Columns()) {
    sql += (c.name == "CMS_ID" ? "" : " ") + c.name + " " + c.type + (c.clause.empty() ? "" : " ") +
           c.clause + (&c == &Cms2012Columns().back() ? ")" : ",");
  }
  return sql;
}

inline constexpr char kCreateConditionUrl[] =
    "CREATE TABLE condition_url (ID COUNTER PRIMARY KEY, condition_id LONG not null, name "
    "TEXT(50) not null, link TEXT(200) not null)";

// The legacy tables the upgrade reads, reduced to the columns the tests use.
inline void CreateLegacyTables(Connection& db) {
  db.Execute("CREATE TABLE Person (ID COUNTER PRIMARY KEY, LastName TEXT(30))");
  db.Execute("CREATE TABLE Condition (ID COUNTER PRIMARY KEY, patientid LONG)");
  db.Execute("CREATE TABLE event (id COUNTER PRIMARY KEY, patientid LONG, date_occurred DATE, event_typeid LONG)");
  db.Execute("CREATE TABLE conv_hcfa_info (hcfa_id COUNTER PRIMARY KEY, client_id LONG, event_id LONG, "
             "date_of_injury DATE, Carrier_City TEXT(30), queued_for_batch YESNO)");
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
  const std::map<std::string, std::string> texts = {
      {"PATIENT_LNAME", "O''BRIEN-SMITHFI"}, {"PATIENT_ZIP_CODE", "12345-    "}, {"ICDA", "724.2"},
      {"PATIENT_MI", "Q"}};
  std::string names = "Insert into cms2012 (CLIENT_ID, EVENT_ID,";
  std::string items = std::to_string(clientId) + ", " + std::to_string(eventId) + ", ";
  for (auto c = Cms2012Columns().begin() + 3; c != Cms2012Columns().end(); ++c) {
    const std::string& name = c->name;
    const bool last = c + 1 == Cms2012Columns().end();
    if (name == "LAST_BATCH_DATE") continue;
    names += name + (last ? ") " : ", ");
    if (c->type == "DATE") items += (name == "PATIENT_DOB" ? "#7/21/1961#" : date) + ", ";
    else if (c->type == "YESNO")
      items += name == "QUEUED_FOR_BATCH" ? "True, " : name == "ICD_INDICATOR_10" ? "False, " : "False,";
    else if (c->type == "CURRENCY") items += "12.5, ";
    else if (c->type == "INTEGER") items += "3, ";
    else if (texts.count(name)) items += "'" + texts.at(name) + "', ";
    else items += name.rfind("ICD", 0) == 0 || name.rfind("EPSDT", 0) == 0 ? "'', " : last ? "'X')" : "'X', ";
  }
  return names + " Values (" + items;
}

}  // namespace jet::testing
