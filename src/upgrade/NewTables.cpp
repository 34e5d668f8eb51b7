#include "upgrade/NewTables.h"

#include <string>

namespace calmora {
namespace {

using T = ColumnType;

NewColumn Text(std::string name, int width) {
  return {std::move(name), T::Text, width, false, "not null"};
}
NewColumn Plain(std::string name, ColumnType type) { return {std::move(name), type, 0, false, ""}; }
NewColumn Nullable(std::string name, ColumnType type) {
  return {std::move(name), type, 0, false, "null"};
}

NewTable BuildConditionUrl() {
  return {"condition_url",
          {{"ID", T::Counter, 0, true, ""},
           {"condition_id", T::Long, 0, false, "not null"},
           {"name", T::Text, 50, false, "not null"},
           {"link", T::Text, 200, false, "not null"}},
          false};
}

NewTable BuildStatementTemp() {
  NewTable t{"statement_temp",
             {{"person_id", T::Number, 0, true, ""},
              {"statement_from", T::Date, 0, false, "NOT NULL"},
              {"statement_to", T::Date, 0, false, "NOT NULL"}},
             std::nullopt};
  for (const char* name : {"amount_due", "balance", "current_amount", "age1", "age2", "age3",
                           "age4"})
    t.columns.push_back({name, T::Currency, 0, false, "NOT NULL"});
  return t;
}

NewTable BuildCms2012() {
  NewTable t{"cms2012", {}, true};
  auto& c = t.columns;
  auto numbered = [&c](const std::string& stem, int from, int to, ColumnType type) {
    for (int i = from; i <= to; ++i) c.push_back(Plain(stem + std::to_string(i), type));
  };

  c.push_back({"CMS_ID", T::Counter, 0, true, ""});
  c.push_back({"CLIENT_ID", T::Long, 0, false, "not null"});
  c.push_back({"EVENT_ID", T::Long, 0, false, "not null"});
  c.push_back(Plain("DATE_OF_THERAPY", T::Date));
  c.push_back(Plain("QUEUED_FOR_BATCH", T::YesNo));
  c.push_back(Plain("LAST_BATCH_DATE", T::Date));
  c.push_back(Text("CARRIER1", 41));
  c.push_back(Text("CARRIER2", 41));
  c.push_back(Text("CARRIER3", 41));
  c.push_back(Text("CARRIER_CITY", 27));
  c.push_back(Text("CARRIER_STATE", 2));
  c.push_back(Text("CARRIER_ZIP", 10));
  numbered("INSURANCE_TYPE", 1, 7, T::YesNo);
  c.push_back(Text("INSURED_IDNUM", 29));
  c.push_back(Text("PATIENT_LNAME", 15));
  c.push_back(Text("PATIENT_FNAME", 10));
  c.push_back(Text("PATIENT_MI", 1));
  c.push_back(Plain("PATIENT_DOB", T::Date));
  c.push_back(Plain("PATIENT_GENDER_M", T::YesNo));
  c.push_back(Plain("PATIENT_GENDER_F", T::YesNo));
  c.push_back(Text("INSURED_LNAME", 16));
  c.push_back(Text("INSURED_FNAME", 10));
  c.push_back(Text("INSURED_MI", 1));
  c.push_back(Text("PATIENT_ADDRESS", 28));
  c.push_back(Text("PATIENT_CITY", 24));
  c.push_back(Text("PATIENT_STATE", 2));
  c.push_back(Text("PATIENT_ZIP_CODE", 12));
  c.push_back(Text("PATIENT_PHONE_NUMBER", 14));
  numbered("PATIENT_RELATION", 1, 4, T::YesNo);
  c.push_back(Text("INSURED_ADDRESS", 29));
  c.push_back(Text("INSURED_CITY", 30));
  c.push_back(Text("INSURED_STATE", 2));
  c.push_back(Text("INSURED_ZIP_CODE", 12));
  c.push_back(Text("INSURED_PHONE_NUMBER", 14));
  c.push_back(Text("OTHER_LNAME", 15));
  c.push_back(Text("OTHER_FNAME", 10));
  c.push_back(Text("OTHER_MI", 1));
  c.push_back(Text("OTHER_GROUPNUM", 28));
  c.push_back(Text("OTHER_INSPLAN_NAME", 28));
  c.push_back(Plain("RELATED_EMPLOYMENT_Y", T::YesNo));
  c.push_back(Plain("RELATED_EMPLOYMENT_N", T::YesNo));
  c.push_back(Plain("RELATED_AUTO_Y", T::YesNo));
  c.push_back(Plain("RELATED_AUTO_N", T::YesNo));
  c.push_back(Text("RELATED_AUTO_STATE", 2));
  c.push_back(Plain("RELATED_OTHER_Y", T::YesNo));
  c.push_back(Plain("RELATED_OTHER_N", T::YesNo));
  c.push_back(Text("CLAIM_CODES", 19));
  c.push_back(Text("INSURED_GROUPNUM", 29));
  c.push_back(Plain("INSURED_DOB", T::Date));
  c.push_back(Plain("INSURED_GENDER_M", T::YesNo));
  c.push_back(Plain("INSURED_GENDER_F", T::YesNo));
  c.push_back(Text("OTHER_CLAIM_ID_QUAL", 2));
  c.push_back(Text("OTHER_CLAIM_ID", 28));
  c.push_back(Text("INSURED_INSPLAN_NAME", 29));
  c.push_back(Plain("ANOTHER_PLAN_Y", T::YesNo));
  c.push_back(Plain("ANOTHER_PLAN_N", T::YesNo));
  c.push_back(Plain("PATIENT_SIG_ON_FILE", T::YesNo));
  c.push_back(Plain("INSURED_SIG_ON_FILE", T::YesNo));
  c.push_back(Plain("DATE_OF_INJURY", T::Date));
  c.push_back(Text("DATE_OF_INJURY_QUAL", 3));
  c.push_back(Text("OTHER_DATE_QUAL", 3));
  c.push_back(Plain("OTHER_DATE", T::Date));
  c.push_back(Plain("DATE_UNABLE_WORK_FROM", T::Date));
  c.push_back(Plain("DATE_UNABLE_WORK_TO", T::Date));
  c.push_back(Text("REFERRING_PROVIDER_QUAL", 2));
  c.push_back(Text("REFERRING_PROVIDER_NAME", 24));
  c.push_back(Text("REFERRING_PROVIDER_ID_QUAL", 2));
  c.push_back(Text("REFERRING_PROVIDER_ID", 17));
  c.push_back(Text("REFERRING_PROVIDER_NPI", 10));
  c.push_back(Plain("DATE_HOSPITALIZED_FROM", T::Date));
  c.push_back(Plain("DATE_HOSPITALIZED_TO", T::Date));
  c.push_back(Text("ADDITIONAL_CLAIM_INFO", 71));
  c.push_back(Plain("OUTSIDE_LAB_Y", T::YesNo));
  c.push_back(Plain("OUTSIDE_LAB_N", T::YesNo));
  c.push_back(Text("OUTSIDE_LAB_CHARGES", 8));
  c.push_back(Plain("ICD_INDICATOR_10", T::YesNo));
  for (char letter = 'A'; letter <= 'L'; ++letter) c.push_back(Text(std::string("ICD") + letter, 7));
  c.push_back(Text("RESUBMISSION_CODE", 11));
  c.push_back(Text("ORIGINAL_REFERENCE_NUM", 18));
  c.push_back(Text("PRIOR_AUTHORIZATION_NUM", 29));

  // The six service lines repeat one block; only the service dates put an
  // underscore before the line number.
  for (int line = 1; line <= 6; ++line) {
    const std::string n = std::to_string(line);
    c.push_back(Text("SUPPLEMENTAL" + n, 39));
    c.push_back(Plain("DATE_SERVICE_FROM_" + n, T::Date));
    c.push_back(Plain("DATE_SERVICE_TO_" + n, T::Date));
    c.push_back(Text("PLACE_OF_SERVICE" + n, 2));
    c.push_back(Text("EMG" + n, 2));
    c.push_back(Text("CPT" + n, 6));
    for (const char* modifier : {"MODIFIERA", "MODIFIERB", "MODIFIERC", "MODIFIERD"})
      c.push_back(Text(modifier + n, 2));
    c.push_back(Text("DIAGNOSIS_CODE" + n, 4));
    c.push_back(Nullable("CHARGES" + n, T::Currency));
    c.push_back(Nullable("DAYS_OR_UNITS" + n, T::Integer));
    c.push_back(Text("EPSDT" + n, 2));
    c.push_back(Text("FAMILY_PLAN" + n, 1));
    c.push_back(Text("RENDERING_ID_QUAL" + n, 2));
    c.push_back(Text("RENDERING_ID" + n, 11));
    c.push_back(Text("RENDERING_NPI" + n, 10));
  }

  c.push_back(Text("FED_TAX_ID_NUM", 15));
  c.push_back(Plain("FED_TAX_ID_CODE_SSN", T::YesNo));
  c.push_back(Plain("FED_TAX_ID_CODE_EIN", T::YesNo));
  c.push_back(Text("PATIENT_ACCOUNT_NUM", 14));
  c.push_back(Plain("ACCEPT_ASSIGNMENT_Y", T::YesNo));
  c.push_back(Plain("ACCEPT_ASSIGNMENT_N", T::YesNo));
  c.push_back(Nullable("TOTAL_CHARGE", T::Currency));
  c.push_back(Nullable("AMOUNT_PAID", T::Currency));
  c.push_back(Plain("PHYSICIAN_SIG_ON_FILE", T::YesNo));
  c.push_back(Text("RESPONSIBLE_PARTY", 30));
  c.push_back(Text("FACILITY_1", 26));
  c.push_back(Text("FACILITY_2", 26));
  c.push_back(Text("FACILITY_CITY", 12));
  c.push_back(Text("FACILITY_STATE", 2));
  c.push_back(Text("FACILITY_ZIP", 10));
  c.push_back(Text("FACILITY_NPI", 10));
  c.push_back(Text("FACILITY_NONNPI", 14));
  c.push_back(Text("PROVIDER_PHONE", 14));
  c.push_back(Text("PROVIDER_1", 28));
  c.push_back(Text("PROVIDER_2", 29));
  c.push_back(Text("PROVIDER_CITY", 16));
  c.push_back(Text("PROVIDER_STATE", 2));
  c.push_back(Text("PROVIDER_ZIP", 10));
  c.push_back(Text("PROVIDER_NPI", 10));
  c.push_back(Text("PROVIDER_NONNPI", 17));
  return t;
}

}  // namespace

std::string NewColumn::TypeText() const {
  std::string text;
  switch (type) {
    case T::Counter: text = "COUNTER"; break;
    case T::Long: text = "LONG"; break;
    case T::Integer: text = "INTEGER"; break;
    case T::Number: text = "NUMBER"; break;
    case T::Text: text = "TEXT(" + std::to_string(width) + ")"; break;
    case T::Date: text = "DATE"; break;
    case T::YesNo: text = "YESNO"; break;
    case T::Currency: text = "CURRENCY"; break;
  }
  return primaryKey ? text + " PRIMARY KEY" : text;
}

std::string NewColumn::Definition() const {
  std::string text = name + " " + TypeText();
  return nullClause.empty() ? text : text + " " + nullClause;
}

std::string NewTable::CreateText() const {
  std::string text = "CREATE TABLE " + name + " (";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (i > 0) text += ", ";
    text += columns[i].Definition();
  }
  return text + ")";
}

std::vector<std::string> NewTable::TextColumnNames() const {
  std::vector<std::string> names;
  for (const NewColumn& c : columns)
    if (c.IsText()) names.push_back(c.name);
  return names;
}

const NewColumn* NewTable::Find(const std::string& column) const {
  for (const NewColumn& c : columns)
    if (c.name == column) return &c;
  return nullptr;
}

const NewTable& ConditionUrlTable() {
  static const NewTable table = BuildConditionUrl();
  return table;
}

const NewTable& StatementTempTable() {
  static const NewTable table = BuildStatementTemp();
  return table;
}

const NewTable& Cms2012Table() {
  static const NewTable table = BuildCms2012();
  return table;
}

}  // namespace calmora
