#include "tools/legacy/LegacySchema.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "jet/Connection.h"

namespace calmora::legacy {
namespace {

using K = ColumnKind;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

std::string TypeText(const ColumnDef& c) {
  switch (c.kind) {
    case K::Counter: return "COUNTER PRIMARY KEY";
    case K::KeyLong: return "LONG PRIMARY KEY";
    case K::Long: return "LONG";
    case K::Integer: return "INTEGER";
    case K::Text: return "TEXT(" + std::to_string(c.width) + ")";
    case K::Date: return "DATE";
    case K::YesNo: return "YESNO";
    case K::Currency: return "CURRENCY";
  }
  return {};
}

TableDef PersonTable() {
  return {"Person",
          {{"ID", K::Counter},
           {"LastName", K::Text, 30},
           {"FirstName", K::Text, 20},
           {"MiddleInitial", K::Text, 1},
           {"DateOfBirth", K::Date},
           {"Address", K::Text, 40},
           {"City", K::Text, 30},
           {"State", K::Text, 2},
           {"Zip", K::Text, 10},
           {"Phone", K::Text, 14}}};
}

TableDef ConditionTable() {
  return {"Condition",
          {{"ID", K::Counter},
           {"patientid", K::Long},
           {"description", K::Text, 100},
           {"onset_date", K::Date}}};
}

TableDef EventTable() {
  TableDef t{"event",
             {{"id", K::Counter},
              {"patientid", K::Long},
              {"date_occurred", K::Date},
              {"event_typeid", K::Long},
              {"notes", K::Text, 100}}};
  // The legacy diagnosis codes, each split at its point.
  for (int k = 1; k <= 4; ++k) {
    t.columns.push_back({"DIAGNOSIS_CODE" + std::to_string(k) + "a", K::Text, 8});
    t.columns.push_back({"DIAGNOSIS_CODE" + std::to_string(k) + "b", K::Text, 4});
  }
  return t;
}

// The legacy claim form. Texts that the new form cuts are wider here than
// their new columns; texts copied whole are as wide as their new columns,
// except the procedure codes, which V3.1 allowed to run longer.
TableDef ClaimTable() {
  TableDef t{"conv_hcfa_info",
             {{"hcfa_id", K::Counter},
              {"client_id", K::Long},
              {"event_id", K::Long},
              {"date_of_therapy", K::Date},
              {"queued_for_batch", K::YesNo},
              {"Carrier1", K::Text, 41},
              {"Carrier2", K::Text, 41},
              {"Carrier_City", K::Text, 30},
              {"Carrier_State", K::Text, 2},
              {"Carrier_Zip", K::Text, 10}}};
  auto add = [&t](std::string name, ColumnKind kind, int width = 0) {
    t.columns.push_back({std::move(name), kind, width});
  };
  for (int i = 1; i <= 7; ++i) add("Insurance_type" + std::to_string(i), K::YesNo);
  add("Insured_Idnum", K::Text, 30);
  add("Patient_LName", K::Text, 30);
  add("Patient_FName", K::Text, 20);
  add("Patient_MI", K::Text, 1);
  add("Patient_DOB", K::Date);
  add("Patient_Gender_M", K::YesNo);
  add("Patient_Gender_F", K::YesNo);
  add("Insured_LName", K::Text, 30);
  add("Insured_FName", K::Text, 20);
  add("Insured_MI", K::Text, 1);
  add("Patient_Address", K::Text, 40);
  add("Patient_City", K::Text, 30);
  add("Patient_State", K::Text, 2);
  add("Patient_Zip_Code", K::Text, 10);
  add("Patient_Phone_Number", K::Text, 14);
  for (int i = 1; i <= 4; ++i) add("Patient_Relation" + std::to_string(i), K::YesNo);
  add("Insured_Address", K::Text, 40);
  add("Insured_City", K::Text, 30);
  add("Insured_State", K::Text, 2);
  add("Insured_Zip_Code", K::Text, 10);
  add("Insured_Phone_Number", K::Text, 14);
  add("Other_LName", K::Text, 30);
  add("Other_FName", K::Text, 20);
  add("Other_MI", K::Text, 1);
  add("Other_GroupNum", K::Text, 30);
  add("Other_InsPlan_Name", K::Text, 30);
  add("Related_Employment_Y", K::YesNo);
  add("Related_Employment_N", K::YesNo);
  add("Related_Auto_Y", K::YesNo);
  add("Related_Auto_N", K::YesNo);
  add("Related_Auto_State", K::Text, 2);
  add("Related_Other_Y", K::YesNo);
  add("Related_Other_N", K::YesNo);
  add("Insured_GroupNum", K::Text, 30);
  add("Insured_DOB", K::Date);
  add("Insured_Gender_M", K::YesNo);
  add("Insured_Gender_F", K::YesNo);
  add("Insured_InsPlan_Name", K::Text, 30);
  add("Another_Plan_Y", K::YesNo);
  add("Another_Plan_N", K::YesNo);
  add("Patient_Sig_On_File", K::YesNo);
  add("Insured_Sig_On_File", K::YesNo);
  add("date_of_injury", K::Date);
  add("first_date_of_injury", K::Date);
  add("date_unable_work_from", K::Date);
  add("date_unable_work_to", K::Date);
  add("referring_physician_name", K::Text, 30);
  add("referring_physician_alt_code", K::Text, 2);
  add("referring_physician_alt_num", K::Text, 20);
  add("referring_physician_num", K::Text, 15);
  add("date_hospitalized_from", K::Date);
  add("date_hospitalized_to", K::Date);
  add("outside_lab_Y", K::YesNo);
  add("outside_lab_N", K::YesNo);
  add("outside_lab_charges1", K::Text, 8);
  for (int k = 1; k <= 4; ++k) {
    add("DIAGNOSIS_CODE" + std::to_string(k) + "a", K::Text, 8);
    add("DIAGNOSIS_CODE" + std::to_string(k) + "b", K::Text, 4);
  }
  add("medicaid_resubmission_code", K::Text, 15);
  add("original_reference_num", K::Text, 20);
  add("prior_authorization_num", K::Text, 30);
  for (int n = 1; n <= 6; ++n) {
    const std::string s = std::to_string(n);
    add("detail_explanation" + s, K::Text, 60);
    add("date_service_from_" + s, K::Date);
    add("date_service_to_" + s, K::Date);
    add("place_of_service" + s, K::Text, 3);
    add("emg" + s, K::Text, 3);
    add("cpt" + s, K::Text, 10);
    for (const char* m : {"ModifierA", "ModifierB", "ModifierC", "ModifierD"})
      add(m + s, K::Text, 2);
    add("Diagnosis_Code" + s, K::Text, 10);
    add("charges" + s, K::Currency);
    add("days_or_units" + s, K::Integer);
    add("epsdt_family_plan" + s, K::Text, 2);
    add("id_qual" + s, K::Text, 2);
    add("alt_id" + s, K::Text, 11);
  }
  add("fed_tax_id_num", K::Text, 20);
  add("fed_tax_id_code_ssn", K::YesNo);
  add("fed_tax_id_code_ein", K::YesNo);
  add("patient_account_num", K::Text, 20);
  add("accept_assignment_Y", K::YesNo);
  add("accept_assignment_N", K::YesNo);
  add("total_charge", K::Currency);
  add("amount_paid", K::Currency);
  add("Physician_Sig_On_File", K::YesNo);
  add("Facility_1", K::Text, 30);
  add("Facility_2", K::Text, 30);
  add("Facility_City", K::Text, 30);
  add("Facility_State", K::Text, 2);
  add("Facility_Zip", K::Text, 10);
  add("Facility_NPI", K::Text, 10);
  add("Facility_nonNPI", K::Text, 20);
  add("Supplier_Phone", K::Text, 14);
  add("Supplier_1", K::Text, 30);
  add("Supplier_2", K::Text, 30);
  add("Provider_City", K::Text, 30);
  add("Provider_State", K::Text, 2);
  add("Provider_Zip", K::Text, 10);
  add("Supplier_NPI", K::Text, 10);
  add("Supplier_nonNPI", K::Text, 17);
  return t;
}

const ColumnDef* FindColumn(const TableDef& table, std::string_view name) {
  for (const ColumnDef& c : table.columns)
    if (SameName(c.name, name)) return &c;
  return nullptr;
}

}  // namespace

bool NameLess::operator()(const std::string& a, const std::string& b) const {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char x = Lower(a[i]), y = Lower(b[i]);
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

const std::vector<TableDef>& LegacyTables() {
  static const std::vector<TableDef> tables{PersonTable(), ConditionTable(), EventTable(),
                                            ClaimTable()};
  return tables;
}

const TableDef& LegacyTable(std::string_view name) {
  for (const TableDef& t : LegacyTables())
    if (SameName(t.name, name)) return t;
  throw std::invalid_argument("no legacy table " + std::string(name));
}

std::string CreateTableSql(const TableDef& table) {
  std::string sql = "CREATE TABLE " + table.name + " (";
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    if (i > 0) sql += ", ";
    sql += table.columns[i].name + " " + TypeText(table.columns[i]);
  }
  return sql + ")";
}

void CreateLegacySchema(jet::Connection& connection) {
  for (const TableDef& t : LegacyTables()) connection.Execute(CreateTableSql(t));
}

std::string SqlLiteral(const jet::Value& value) {
  switch (value.kind()) {
    case jet::Value::Kind::Null:
      return "null";
    case jet::Value::Kind::Date:
      return "#" + value.ToText() + "#";
    case jet::Value::Kind::Text: {
      std::string out = "'";
      for (char c : value.AsText()) {
        out += c;
        if (c == '\'') out += c;
      }
      return out + "'";
    }
    default:
      return value.ToText();
  }
}

std::string InsertSql(std::string_view table, const Row& row) {
  const TableDef& def = LegacyTable(table);
  std::string names, values;
  for (const auto& [name, value] : row) {
    const ColumnDef* column = FindColumn(def, name);
    if (column == nullptr)
      throw std::invalid_argument("no column " + name + " in legacy table " + def.name);
    if (!names.empty()) {
      names += ", ";
      values += ", ";
    }
    names += column->name;
    values += SqlLiteral(value);
  }
  return "INSERT INTO " + def.name + " (" + names + ") VALUES (" + values + ")";
}

void InsertRow(jet::Connection& connection, std::string_view table, const Row& row) {
  connection.Execute(InsertSql(table, row));
}

}  // namespace calmora::legacy
